// The "Adding Servers" dialog, and the road through the main window from
// the button to the servers pane.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app_state.h"
#include "caddserverip.h"
#include "caddservers.h"
#include "caddserversopt2.h"
#include "cconfigsvropt.h"
#include "ciconbutton.h"
#include "cpagetabctrl.h"
#include "cpelmardlg.h"
#include "cpelmarserverdlg.h"
#include "modal_helper.h"
#include "tarvik/ui_hooks.h"
#include "temp_root.h"
#include "restart_decline.h"
#include "ui_hook_double.h"

class TestCAddServers : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void pagesShowTheDefaults();
  void comListOffersFreeNumbersUpToMaxVcom_data();
  void comListOffersFreeNumbersUpToMaxVcom();
  void typingTheStartCopiesItIntoTheEnd();
  void checkBoxesEnableTheirEdits();
  void okChecksInOrderAndStaysOnTheFirstFailure();
  void okHandsBackTrimmedChoices();
  void addServerButtonAddsServersWithConsecutiveComNumbers();
  void closingTheWindowDuringAWalkEndsTheWalkNotTheProgram();
  void serversAddedByTarvikctlSurviveTheNextWholeSetWrite();

 private:
  std::unique_ptr<CAddServers> Dialog(FreeComList free = {3, 4, 8}, uint32_t maxVcom = 512) {
    AddServersChoices d;
    d.serverName = "Q410X4";
    d.rangeStart = d.rangeEnd = "10.0.0.7";
    d.commandPort = 4001;
    return std::make_unique<CAddServers>(d, free, maxVcom);
  }
  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<DeclineRestartDriverDialog> m_declineRestart;
};

void TestCAddServers::init() {
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  m_declineRestart = std::make_unique<DeclineRestartDriverDialog>();
  ResetAppState();
}

void TestCAddServers::cleanup() {
  m_declineRestart.reset();
  m_ui.reset();
  m_root.reset();
}

void TestCAddServers::pagesShowTheDefaults() {
  auto dlg = Dialog();
  QCOMPARE(dlg->windowTitle(), QStringLiteral("Adding Servers"));
  CAddServerIP* range = dlg->RangePage();
  QCOMPARE(range->NameEdit()->text(), QStringLiteral("Q410X4"));
  QVERIFY(!range->NameEdit()->isEnabled());  // the name is fetched by default
  QCOMPARE(range->StartEdit()->maxLength(), 16);
  QVERIFY(!range->NetCheck()->isChecked());
  QVERIFY(range->GatewayCheck()->isChecked());
  QVERIFY(!range->BroadcastCheck()->isChecked());
  using namespace tarvik::device;
  CConfigSvrOpt* options = dlg->OptionsPage();
  QVERIFY(!options->AddressFieldsVisible());
  QCOMPARE(options->NumberEdit(kTcpPortCmd)->text(), QStringLiteral("4001"));
  QCOMPARE(options->NumberEdit(kTcpPort7000)->text(), QStringLiteral("9999"));
  QCOMPARE(options->NumberEdit(kKeepAliveTime)->text(), QStringLiteral("120"));
  QCOMPARE(options->NumberEdit(kConnectionBroken)->text(), QStringLiteral("180"));
  QCOMPARE(options->NumberEdit(kConnectTimeout)->text(), QStringLiteral("5"));
  QCOMPARE(dlg->PortPage()->AutoFlushEdit()->text(), QStringLiteral("50"));
  QVERIFY(!dlg->PortPage()->AutoFlushEdit()->isEnabled());
}

void TestCAddServers::comListOffersFreeNumbersUpToMaxVcom_data() {
  QTest::addColumn<QList<int>>("free");
  QTest::addColumn<QStringList>("items");
  QTest::addColumn<int>("selected");
  QTest::newRow("several") << QList<int>{3, 4, 8} << QStringList{"UnMap", "COM3", "COM4", "COM8"} << 1;
  QTest::newRow("one_left_keeps_unmap") << QList<int>{9} << QStringList{"UnMap", "COM9"} << 0;
  QTest::newRow("none") << QList<int>{} << QStringList{"UnMap"} << 0;
  QTest::newRow("stops_above_max") << QList<int>{511, 512, 513} << QStringList{"UnMap", "COM511", "COM512"}
                                   << 1;
}

void TestCAddServers::comListOffersFreeNumbersUpToMaxVcom() {
  QFETCH(QList<int>, free);
  QFETCH(QStringList, items);
  QFETCH(int, selected);
  FreeComList list(free.begin(), free.end());
  auto dlg = Dialog(list, 512);
  QComboBox* com = dlg->RangePage()->ComList();
  QStringList shown;
  for (int i = 0; i < com->count(); ++i) shown << com->itemText(i);
  QCOMPARE(shown, items);
  QCOMPARE(com->currentIndex(), selected);
}

void TestCAddServers::typingTheStartCopiesItIntoTheEnd() {
  auto dlg = Dialog();
  CAddServerIP* range = dlg->RangePage();
  range->StartEdit()->clear();
  QTest::keyClicks(range->StartEdit(), "10.1.2.");
  QCOMPARE(range->EndEdit()->text(), QStringLiteral("10.1.2."));
  range->EndEdit()->setText(QStringLiteral("10.1.2.99"));
  QTest::keyClicks(range->StartEdit(), "1");
  QCOMPARE(range->EndEdit()->text(), QStringLiteral("10.1.2.1"));
}

void TestCAddServers::checkBoxesEnableTheirEdits() {
  auto dlg = Dialog();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  CAddServerIP* range = dlg->RangePage();
  range->GetNameCheck()->click();
  QVERIFY(range->NameEdit()->isEnabled());
  range->GetNameCheck()->click();
  QVERIFY(!range->NameEdit()->isEnabled());
  dlg->Tabs()->SetCurrentIndex(2);
  dlg->PortPage()->WriteBufferCheck()->click();
  QVERIFY(dlg->PortPage()->AutoFlushEdit()->isEnabled());
}

void TestCAddServers::okChecksInOrderAndStaysOnTheFirstFailure() {
  auto dlg = Dialog();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  QSignalSpy accepted(dlg.get(), &QDialog::accepted);
  QVERIFY(accepted.isValid());
  using namespace tarvik::device;
  // Four things wrong at once: each OK names the first that is left.
  dlg->OptionsPage()->NumberEdit(kConnectTimeout)->setText(QStringLiteral("0"));
  dlg->PortPage()->AutoFlushEdit()->setText(QStringLiteral("9"));  // read though disabled
  dlg->RangePage()->GetNameCheck()->setChecked(false);
  dlg->RangePage()->NameEdit()->setText(QStringLiteral("  "));
  dlg->RangePage()->EndEdit()->setText(QStringLiteral(" "));
  const char* expected[] = {"Input a value between 1 to 180 seconds for Connect Timeout.",
                            "Input a value between 10 to 500 ms for Auto-Flush Interval.",
                            "Server Name is required.", "IP Address is required."};
  for (const char* message : expected) {
    m_ui->messageBoxes.clear();
    dlg->OkButton()->click();
    QCOMPARE(m_ui->Texts(), std::vector<std::string>{message});
    QCOMPARE(m_ui->messageBoxes[0].caption, std::string("Tarvik Utility"));
    QCOMPARE(accepted.count(), 0);
    if (std::string(message).find("Connect") != std::string::npos) {
      QCOMPARE(dlg->Tabs()->CurrentIndex(), 1);
      dlg->OptionsPage()->NumberEdit(kConnectTimeout)->setText(QStringLiteral("180"));
    } else if (std::string(message).find("Auto") != std::string::npos) {
      dlg->PortPage()->AutoFlushEdit()->setText(QStringLiteral("500"));
    } else if (std::string(message).find("Name") != std::string::npos) {
      dlg->RangePage()->NameEdit()->setText(QStringLiteral("Q410X2"));
    }
  }
  dlg->RangePage()->EndEdit()->setText(QStringLiteral("10.0.0.9"));
  dlg->OkButton()->click();
  QCOMPARE(accepted.count(), 1);
}

void TestCAddServers::okHandsBackTrimmedChoices() {
  auto dlg = Dialog();
  dlg->RangePage()->StartEdit()->setText(QStringLiteral(" 10.0.0.1 "));
  dlg->RangePage()->EndEdit()->setText(QStringLiteral("10.0.0.20  "));
  dlg->RangePage()->ComList()->setCurrentIndex(3);  // COM8
  dlg->RangePage()->MapIoCheck()->setChecked(true);
  dlg->PortPage()->AutoFlushEdit()->setText(QStringLiteral("55"));
  QVERIFY(!dlg->OptionsPage()->Rfc2217Box()->isChecked());
  dlg->OptionsPage()->Rfc2217Box()->setChecked(true);
  dlg->accept();
  QCOMPARE(dlg->result(), int(QDialog::Accepted));
  const AddServersChoices& c = dlg->Choices();
  QVERIFY(c.rfc2217);
  QCOMPARE(c.rangeStart, std::string("10.0.0.1"));
  QCOMPARE(c.rangeEnd, std::string("10.0.0.20"));
  QCOMPARE(c.firstComIndex, 2);
  QVERIFY(c.mapIoPort);
  QCOMPARE(c.autoFlushMs, int64_t(55));
  QCOMPARE(c.commandPort, int64_t(4001));
}

void TestCAddServers::addServerButtonAddsServersWithConsecutiveComNumbers() {
  CPelmarDlg dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  CIconButton* add = dlg.Button(PelmarCommand::kAddServers);
  QTRY_VERIFY(add->isEnabled());
  bool answered = false;
  WhenModal<CAddServers>([&](CAddServers* d) {
    d->RangePage()->GetNameCheck()->setChecked(false);
    d->RangePage()->NameEdit()->setText(QStringLiteral("Q410X2"));
    d->RangePage()->StartEdit()->setText(QStringLiteral("192.168.1.253"));
    d->RangePage()->EndEdit()->setText(QStringLiteral("192.168.1.255"));
    d->RangePage()->ComList()->setCurrentIndex(1);  // the lowest free number
    answered = true;
    d->OkButton()->click();
  });
  add->click();
  QVERIFY(answered);
  QCOMPARE(App().config.Servers, 2u);  // .255 is left out by default
  QCOMPARE(TkcComNumber(App().config.Records[0].PortMap[2].Com), 1u);
  QCOMPARE(TkcComNumber(App().config.Records[0].PortMap[3].Com), 2u);
  QCOMPARE(TkcComNumber(App().config.Records[1].PortMap[2].Com), 3u);
  QVERIFY(App().restartPending);
  QCOMPARE(dlg.StatusText(), QStringLiteral("Status: OK"));
  QVERIFY(add->isEnabled());
  QVERIFY(dlg.Button(PelmarCommand::kExit)->isEnabled());
  QStringList labels;
  for (QTreeWidgetItemIterator it(dlg.ServerPane()->Tree()); *it; ++it) labels << (*it)->text(0);
  QVERIFY2(labels.contains(QStringLiteral("Q410X2 [192.168.1.253]")), qPrintable(labels.join('|')));
  QVERIFY2(labels.contains(QStringLiteral("Q410X2 [192.168.1.254]")), qPrintable(labels.join('|')));
  dlg.reject();
}

void TestCAddServers::closingTheWindowDuringAWalkEndsTheWalkNotTheProgram() {
  CPelmarDlg dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  QTRY_VERIFY(dlg.Button(PelmarCommand::kAddServers)->isEnabled());
  // Nothing listens on 127.0.0.x:11 here, so every fetch fails at once and
  // asks; the first question is answered after an Esc in the main window.
  std::vector<std::string> asked;
  tarvik::SetMessageBoxHook([&](const std::string& text, const std::string&, unsigned) {
    asked.push_back(text);
    if (asked.size() == 1) dlg.reject();
    return tarvik::kIdOk;
  });
  WhenModal<CAddServers>([](CAddServers* d) {
    d->RangePage()->StartEdit()->setText(QStringLiteral("127.0.0.1"));
    d->RangePage()->EndEdit()->setText(QStringLiteral("127.0.0.40"));
    d->OptionsPage()->NumberEdit(tarvik::device::kTcpPortCmd)->setText(QStringLiteral("11"));
    d->OkButton()->click();
  });
  dlg.Button(PelmarCommand::kAddServers)->click();
  QCOMPARE(asked.size(), size_t(1));
  QVERIFY(asked[0].rfind("Failed to get the server name on IP:127.0.0.1 ", 0) == 0);
  QVERIFY(dlg.isVisible());
  QCOMPARE(dlg.result(), 0);
  QVERIFY(dlg.Button(PelmarCommand::kExit)->isEnabled());
  QCOMPARE(dlg.StatusText(), QStringLiteral("Status: OK"));
  dlg.reject();
  QVERIFY(!dlg.isVisible());
}

namespace {

// Runs tarvikctl on the test's state root; its standard output.
QString Tarvikctl(const QStringList& args) {
  QProcess ctl;
  ctl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  ctl.start(QStringLiteral(TARVIKCTL_EXE), args);
  if (!ctl.waitForFinished(20000) || ctl.exitCode() != 0) return QStringLiteral("failed");
  return QString::fromLatin1(ctl.readAllStandardOutput());
}

}  // namespace

void TestCAddServers::serversAddedByTarvikctlSurviveTheNextWholeSetWrite() {
  CPelmarDlg dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  QTRY_VERIFY(dlg.Button(PelmarCommand::kAddServers)->isEnabled());
  QCOMPARE(App().config.Servers, 0u);

  // Another process adds a server while the utility has its (empty) set.
  QCOMPARE(Tarvikctl({"servers", "add", "127.0.0.1", "--name", "Q410X2", "--com", "1"}),
           QStringLiteral("added index=1 ip=127.0.0.1 name=\"Q410X2\" ports=2 com=1,2\n"));

  // The utility then adds one of its own, which begins with a whole-set
  // write, and takes the lowest free COM number.
  WhenModal<CAddServers>([](CAddServers* d) {
    d->RangePage()->GetNameCheck()->setChecked(false);
    d->RangePage()->NameEdit()->setText(QStringLiteral("Q410X2"));
    d->RangePage()->StartEdit()->setText(QStringLiteral("127.0.0.2"));
    d->RangePage()->ComList()->setCurrentIndex(1);
    d->OkButton()->click();
  });
  dlg.Button(PelmarCommand::kAddServers)->click();
  QCOMPARE(App().config.Servers, 2u);
  QCOMPARE(App().config.Records[0].IPAddress, 0x0100007Fu);
  QCOMPARE(TkcComNumber(App().config.Records[1].PortMap[2].Com), 3u);

  // And again from outside, then the utility's shutdown writes its set.
  QVERIFY(Tarvikctl({"servers", "add", "127.0.0.3", "--name", "Q410X2"}).startsWith("added index=3"));
  dlg.accept();
  const QString listed = Tarvikctl({"servers"});
  QVERIFY2(listed.startsWith(QStringLiteral("store servers=3 ")), qPrintable(listed));
  for (const char* ip : {"ip=127.0.0.1 ", "ip=127.0.0.2 ", "ip=127.0.0.3 "})
    QVERIFY2(listed.contains(QLatin1String(ip)), ip);
}

QTEST_MAIN(TestCAddServers)
#include "tst_caddservers.moc"
