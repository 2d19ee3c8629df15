// The server options page as a user edits it: the red note, hidden address
// fields, and the message of the first failing field.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "cconfigsvropt.h"
#include "ui_hook_double.h"

using namespace tarvik::device;

class TestCConfigSvrOpt : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    m_ui = std::make_unique<UiHookDouble>();
    m_page = std::make_unique<CConfigSvrOpt>();
    ServerOptions o;
    const int32_t numbers[kServerOptionNumbers] = {30, 60, 3, 10000, 9999};
    std::copy(std::begin(numbers), std::end(numbers), std::begin(o.numbers));
    o.address = "10.0.0.10";
    o.address2 = "0.0.0.0";
    m_page->Fill(o);
    m_page->show();
  }
  void cleanup() {
    m_page.reset();
    m_ui.reset();
  }

  void noteIsRed() {
    QCOMPARE(m_page->Note()->text(),
             QStringLiteral("The following items are all PC side settings, not device settings."));
    QCOMPARE(m_page->Note()->palette().color(QPalette::WindowText), QColor(200, 50, 50));
  }

  void editedValuesAreTaken() {
    Type(kConnectTimeout, "180");
    m_page->AddressEdit()->setText(QStringLiteral("10.0.0.20"));
    QVERIFY(m_page->Validate());
    QCOMPARE(m_page->Values().numbers[kConnectTimeout], 180);
    QCOMPARE(m_page->Values().numbers[kTcpPortCmd], 10000);
    QCOMPARE(m_page->Values().address, std::string("10.0.0.20"));
    QVERIFY(m_ui->messageBoxes.empty());
  }

  void onlyTheFirstFailingFieldIsReported() {
    Type(kConnectionBroken, "abc");
    Type(kConnectTimeout, "0");
    Type(kTcpPortCmd, "65501");
    QVERIFY(!m_page->Validate());
    QCOMPARE(m_ui->messageBoxes.size(), size_t(1));
    const auto& box = m_ui->messageBoxes[0];
    QCOMPARE(box.text,
             std::string("Input a value between 0 to 4000000 seconds for Connection Broken."));
    QCOMPARE(box.caption, std::string("Tarvik Utility"));
    QCOMPARE(box.Icon(), unsigned(tarvik::kMbIconWarning));
    QCOMPARE(box.Buttons(), unsigned(tarvik::kMbOk));
    QCOMPARE(m_page->focusWidget(), m_page->NumberEdit(kConnectionBroken));
  }

  void hiddenAddressFieldsStillValidateTheNumbers() {
    m_page->SetAddressFieldsVisible(false);
    QVERIFY(!m_page->AddressEdit()->isVisible());
    QVERIFY(!m_page->Address2Edit()->isVisible());
    const auto labels = m_page->findChildren<QLabel*>();
    for (QLabel* label : labels)
      QVERIFY2(!label->isVisible() || !label->text().contains(QStringLiteral("IP")),
               qPrintable(label->text()));
    Type(kKeepAliveTime, "-1");
    QVERIFY(!m_page->Validate());
    QCOMPARE(m_ui->Texts(),
             std::vector<std::string>{"Input a value between 0 to 1800 seconds for Keep Alive Time."});
  }

  void rfc2217BoxShowsTheChoiceAndAClickChangesIt() {
    QCOMPARE(m_page->Rfc2217Box()->text(),
             QStringLiteral("Data ports use RFC 2217 (Telnet Com Port Control)"));
    QVERIFY(m_page->Rfc2217Box()->isVisible());
    QVERIFY(!m_page->Rfc2217Box()->isChecked());
    QTest::mouseClick(m_page->Rfc2217Box(), Qt::LeftButton);
    QVERIFY(m_page->Validate());
    QVERIFY(m_page->Values().rfc2217);

    ServerOptions o = m_page->Values();
    o.rfc2217 = true;
    m_page->Fill(o);
    QVERIFY(m_page->Rfc2217Box()->isChecked());
    QTest::mouseClick(m_page->Rfc2217Box(), Qt::LeftButton);
    QVERIFY(m_page->Validate());
    QVERIFY(!m_page->Values().rfc2217);
    m_page->SetRfc2217(true);
    QVERIFY(m_page->Rfc2217Box()->isChecked());
    QVERIFY(m_page->Values().rfc2217);
  }

  void hiddenAddressFieldsKeepTheRfc2217Box() {
    m_page->SetAddressFieldsVisible(false);
    QVERIFY(m_page->Rfc2217Box()->isVisible());
  }

 private:
  void Type(ServerOptionNumber which, const char* text) {
    QLineEdit* edit = m_page->NumberEdit(which);
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromLatin1(text));
  }

  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<CConfigSvrOpt> m_page;
};

QTEST_MAIN(TestCConfigSvrOpt)
#include "tst_cconfigsvropt.moc"
