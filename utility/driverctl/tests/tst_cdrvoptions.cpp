#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "cdrvoptions.h"
#include "modal_helper.h"
#include "ui_hook_double.h"

namespace {

QPushButton* Button(CDrvOptions* dlg, QDialogButtonBox::StandardButton which) {
  return dlg->findChild<QDialogButtonBox*>()->button(which);
}

}  // namespace

class TestCDrvOptions : public QObject {
  Q_OBJECT
 private slots:
  void init() { m_ui = std::make_unique<UiHookDouble>(); }
  void cleanup() { m_ui.reset(); }
  void showsTheFieldsOfTheWord();
  void okPutsBackWhatChanged_data();
  void okPutsBackWhatChanged();
  void aBadDelayKeepsTheDialogOpen_data();
  void aBadDelayKeepsTheDialogOpen();
  void cancelChangesNothing();

 private:
  std::unique_ptr<UiHookDouble> m_ui;
};

void TestCDrvOptions::showsTheFieldsOfTheWord() {
  uint32_t flags = 0x1 | 0x4 | (25u << 3);
  WhenModal<CDrvOptions>([](CDrvOptions* d) {
    QCOMPARE(d->windowTitle(), QStringLiteral("Driver Options"));
    QVERIFY(!d->FastOpen()->isChecked());
    QVERIFY(d->IgnoreWriteErrors()->isChecked());
    QCOMPARE(d->Delay()->text(), QStringLiteral("250"));
    QCOMPARE(d->FastOpen()->text(), QStringLiteral("Fast Open (Allow Always Open)"));
    QCOMPARE(d->IgnoreWriteErrors()->text(), QStringLiteral("Ignore Writing Errors"));
    d->reject();
  });
  QVERIFY(!RunDriverOptions(&flags, nullptr));
  QCOMPARE(flags, 0x1u | 0x4u | (25u << 3));
}

void TestCDrvOptions::okPutsBackWhatChanged_data() {
  QTest::addColumn<uint>("before");
  QTest::addColumn<bool>("fastOpen");
  QTest::addColumn<QString>("delay");
  QTest::addColumn<uint>("after");
  QTest::addColumn<bool>("changed");
  QTest::newRow("unchanged") << 0x1u << false << "0" << 0x1u << false;
  QTest::newRow("1000 ms stored as 100") << 0x1u << false << "1000" << (0x1u | 100u << 3) << true;
  QTest::newRow("5 ms stored as 0") << (0x1u | 3u << 3) << false << "5" << 0x1u << true;
  QTest::newRow("19 ms is the 10 ms there") << (0x1u | 1u << 3) << false << "19"
                                            << (0x1u | 1u << 3) << false;
  QTest::newRow("fast open") << 0x1u << true << " 0 " << 0x3u << true;
}

void TestCDrvOptions::okPutsBackWhatChanged() {
  QFETCH(uint, before);
  QFETCH(bool, fastOpen);
  QFETCH(QString, delay);
  QFETCH(uint, after);
  QFETCH(bool, changed);
  uint32_t flags = before;
  WhenModal<CDrvOptions>([fastOpen, delay](CDrvOptions* d) {
    d->FastOpen()->setChecked(fastOpen);
    d->Delay()->setText(delay);
    Button(d, QDialogButtonBox::Ok)->click();
  });
  QCOMPARE(RunDriverOptions(&flags, nullptr), changed);
  QCOMPARE(uint(flags), after);
  QVERIFY(m_ui->messageBoxes.empty());
}

void TestCDrvOptions::aBadDelayKeepsTheDialogOpen_data() {
  QTest::addColumn<QString>("delay");
  QTest::addColumn<QString>("message");
  const QString range = "Please enter an integer between 0 and 1000.";
  QTest::newRow("1001") << "1001" << range;
  QTest::newRow("-1") << "-1" << range;
  QTest::newRow("letters") << "50ms" << "Please enter an integer.";
  QTest::newRow("empty") << "" << "Please enter an integer.";
}

void TestCDrvOptions::aBadDelayKeepsTheDialogOpen() {
  QFETCH(QString, delay);
  QFETCH(QString, message);
  uint32_t flags = 0x1;
  bool stillOpen = false;
  WhenModal<CDrvOptions>([delay, &stillOpen](CDrvOptions* d) {
    d->FastOpen()->setChecked(true);
    d->Delay()->setText(delay);
    Button(d, QDialogButtonBox::Ok)->click();
    stillOpen = d->isVisible();
    d->reject();
  });
  QVERIFY(!RunDriverOptions(&flags, nullptr));
  QVERIFY(stillOpen);
  QCOMPARE(flags, 0x1u);
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{message.toStdString()});
  QCOMPARE(m_ui->messageBoxes[0].caption, std::string("Tarvik Utility"));
}

void TestCDrvOptions::cancelChangesNothing() {
  uint32_t flags = 0x1;
  WhenModal<CDrvOptions>([](CDrvOptions* d) {
    d->FastOpen()->setChecked(true);
    d->IgnoreWriteErrors()->setChecked(true);
    d->Delay()->setText("500");
    Button(d, QDialogButtonBox::Cancel)->click();
  });
  QVERIFY(!RunDriverOptions(&flags, nullptr));
  QCOMPARE(flags, 0x1u);
}

QTEST_MAIN(TestCDrvOptions)
#include "tst_cdrvoptions.moc"
