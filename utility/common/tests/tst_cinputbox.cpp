#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <climits>

#include "cinputbox.h"
#include "modal_helper.h"

class TestCInputBox : public QObject {
  Q_OBJECT
 private slots:
  void parseLeadingInt_data();
  void parseLeadingInt();
  void numberTakesLeadingDigitsOnOk();
  void numberUnchangedOnCancel();
  void textUnchangedOnCancelAfterEditing();
  void textTakenOnOkAndCutToFit();
  void focusStartsInTheEdit();
};

void TestCInputBox::parseLeadingInt_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<int>("value");
  QTest::newRow("digits then letters") << QByteArray("12abc") << 12;
  QTest::newRow("letters only") << QByteArray("abc") << 0;
  QTest::newRow("empty") << QByteArray("") << 0;
  QTest::newRow("blanks and minus") << QByteArray("  \t-7x") << -7;
  QTest::newRow("plus sign") << QByteArray("+5") << 5;
  QTest::newRow("sign without digits") << QByteArray("-") << 0;
  QTest::newRow("blank inside") << QByteArray("1 2") << 1;
  QTest::newRow("above range held") << QByteArray("99999999999") << INT_MAX;
  QTest::newRow("below range held") << QByteArray("-99999999999") << INT_MIN;
  QTest::newRow("lowest value") << QByteArray("-2147483648") << INT_MIN;
}

void TestCInputBox::parseLeadingInt() {
  QFETCH(QByteArray, text);
  QFETCH(int, value);
  QCOMPARE(ParseLeadingInt(text.constData()), value);
}

void TestCInputBox::numberTakesLeadingDigitsOnOk() {
  CInputBox box;
  int32_t number = 30;
  QString shown;
  WhenModal<CInputBox>([&](CInputBox* dialog) {
    shown = dialog->Edit()->text();
    QTest::keyClicks(dialog->Edit(), "12abc");
    QTest::keyClick(dialog->Edit(), Qt::Key_Return);
  });
  QCOMPARE(box.InputNumber("Interval (seconds):", &number), 0);
  QCOMPARE(shown, QStringLiteral("30"));
  QCOMPARE(number, 12);
}

void TestCInputBox::numberUnchangedOnCancel() {
  CInputBox box;
  int32_t number = 30;
  WhenModal<CInputBox>([](CInputBox* dialog) {
    QTest::keyClicks(dialog->Edit(), "77");
    QTest::keyClick(dialog->Edit(), Qt::Key_Escape);
  });
  QCOMPARE(box.InputNumber("Interval (seconds):", &number), -1);
  QCOMPARE(number, 30);
}

void TestCInputBox::textUnchangedOnCancelAfterEditing() {
  CInputBox box;
  char text[50] = "Line 4";
  QString prompt;
  WhenModal<CInputBox>([&](CInputBox* dialog) {
    prompt = dialog->Prompt()->text();
    QTest::keyClicks(dialog->Edit(), "Packing hall");
    QTest::keyClick(dialog->Edit(), Qt::Key_Escape);
  });
  QCOMPARE(box.InputText("Edit Alias Name", text, sizeof text), -1);
  QCOMPARE(prompt, QStringLiteral("Edit Alias Name"));
  QCOMPARE(QByteArray(text), QByteArray("Line 4"));
}

void TestCInputBox::textTakenOnOkAndCutToFit() {
  CInputBox box;
  char text[6] = "ab";
  WhenModal<CInputBox>([](CInputBox* dialog) {
    QTest::keyClicks(dialog->Edit(), "0123456789");
    QTest::keyClick(dialog->Edit(), Qt::Key_Return);
  });
  QCOMPARE(box.InputText("Edit", text, sizeof text), 0);
  QCOMPARE(QByteArray(text), QByteArray("01234"));
}

void TestCInputBox::focusStartsInTheEdit() {
  CInputBox box;
  char text[20] = "x";
  bool focused = false;
  WhenModal<CInputBox>([&](CInputBox* dialog) {
    // Only note the outcome here: a failed check would return before
    // accept() and leave the box open until the test runner's time-out.
    focused = QTest::qWaitFor([dialog] { return dialog->Edit()->hasFocus(); });
    dialog->accept();
  });
  box.InputText("Edit", text, sizeof text);
  QVERIFY(focused);
}

QTEST_MAIN(TestCInputBox)
#include "tst_cinputbox.moc"
