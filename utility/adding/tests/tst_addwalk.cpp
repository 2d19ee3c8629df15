// The main window while Add Server(s) walks a range: what it refuses and
// holds, how the walk is stopped, a second writer adding at the same time,
// a store that did not load in full, and a termination request.
//
// The devices are simulated on 127.0.0.1 (loopback only). A device that
// never answers the name question keeps a fetch waiting, so the walk is
// known to be under way whenever the fetch pumps the window's events: the
// tests act from the pump hook, never after a sleep.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <functional>
#include <memory>
#include <set>

#include "app_state.h"
#include "add_store_step.h"
#include "caddserverip.h"
#include "caddservers.h"
#include "cconfigsvropt.h"
#include "ciconbutton.h"
#include "cmip.h"
#include "command_server.h"
#include "cpelmarapp.h"
#include "cpelmardlg.h"
#include "cpelmarmenu.h"
#include "cpelmarserverdlg.h"
#include "modal_helper.h"
#include "qt_ui_hooks.h"
#include "restart_decline.h"
#include "tarvik/registry.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "temp_root.h"
#include "ui_hook_double.h"

namespace {

constexpr int kLongTimeoutSeconds = 60;

// A named server written straight into the store, as another program would.
void StoreServer(uint32_t index, const char* ip, uint32_t firstCom) {
  ServerRecord r{};
  tarvik::CopyText(r.ServerName, "Q410X2");
  QCOMPARE(Tkc_ParseServerInfo(&r, kServerRecordSize), uint16_t(TKC_OK));
  CMIP address;
  r.IPAddress = address.SetTextGetValue(ip);
  r.TcpPortCmd = 10000;
  r.TcpPort7000 = 9999;
  r.KeepAliveTime = 120000;
  if (firstCom != 0) {
    r.PortMap[2].Com = TkcComSetNumber(r.PortMap[2].Com, firstCom);
    r.PortMap[3].Com = TkcComSetNumber(r.PortMap[3].Com, firstCom + 1);
  }
  QCOMPARE(Tkc_RegWriteOneServer(index, &r, kServerRecordSize), uint16_t(TKC_OK));
}

uint32_t StoredServers() {
  uint32_t servers = 0, ports = 0;
  Tkc_RegReadServersAndPorts(&servers, &ports);
  return servers;
}

std::string StoredAddress(uint32_t index) {
  ServerRecord r{};
  if (Tkc_RegReadOneServer(index, &r, kServerRecordSize) != TKC_OK) return "unreadable";
  CMIP ip;
  ip.SetValue(r.IPAddress);
  return ip.GetText();
}

}  // namespace

class TestAddWalk : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void commandsAndTickRequestsWaitForTheWalk();
  void cancelInTheStatusBarStopsTheWalk();
  void utilityAndTarvikctlAddingAtOnceKeepEveryServer();
  void afterAFailedLoadAddingReloadsFirstOrRefuses();
  // Last: a termination request marks the whole program as ending.
  void terminationSignalDuringAWalkEndsTheWalkThenTheProgram();

 private:
  // A device on 127.0.0.1 that takes connections and never names itself.
  void StartSilentDevice() {
    devsim::CommandPortSettings s;
    s.ip = "127.0.0.1";
    s.faults = {{"10", devsim::CommandFault::kNoReply, ""}};
    m_device = std::make_unique<CommandServer>(std::move(s));
  }
  // Answers the "Adding Servers" dialog: the one silent device, its name
  // fetched, the lowest free COM number.
  void WalkTheSilentDevice() {
    const QString port = QString::number(m_device->Port());
    WhenModal<CAddServers>([port](CAddServers* d) {
      d->RangePage()->StartEdit()->setText(QStringLiteral("127.0.0.1"));
      d->RangePage()->EndEdit()->setText(QStringLiteral("127.0.0.1"));
      d->OptionsPage()->NumberEdit(tarvik::device::kTcpPortCmd)->setText(port);
      d->OptionsPage()->NumberEdit(tarvik::device::kConnectTimeout)
          ->setText(QString::number(kLongTimeoutSeconds));
      d->OkButton()->click();
    });
  }
  // Runs during(dlg) from the first pump of the walk's name fetch.
  void DuringTheWalk(CPelmarDlg& dlg, std::function<void()> during) {
    m_pumps = 0;
    tarvik::SetPumpHook([this, &dlg, during] {
      if (dlg.Adding() && ++m_pumps == 1) during();
      QCoreApplication::processEvents();
    });
  }
  void Open(CPelmarDlg& dlg) {
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  }

  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<DeclineRestartDriverDialog> m_declineRestart;
  std::unique_ptr<CommandServer> m_device;
  int m_pumps = 0;
};

void TestAddWalk::init() {
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  m_declineRestart = std::make_unique<DeclineRestartDriverDialog>();
  ResetAppState();
  tarvik::RegKey services;
  QCOMPARE(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  services.Close();
  QCOMPARE(Tkc_RegCheckCreateServiceKey(), uint16_t(TKC_OK));
}

void TestAddWalk::cleanup() {
  tarvik::SetPumpHook(nullptr);
  m_device.reset();
  m_declineRestart.reset();
  m_ui.reset();
  m_root.reset();
}

void TestAddWalk::commandsAndTickRequestsWaitForTheWalk() {
  StoreServer(0, "127.0.0.50", 0);
  QCOMPARE(Tkc_RegWriteServersAndPorts(1, 3), uint16_t(TKC_OK));
  StartSilentDevice();
  CPelmarDlg dlg;
  Open(dlg);
  QTRY_VERIFY(dlg.Button(PelmarCommand::kAddServers)->isEnabled());
  dlg.Timer()->setInterval(1);  // a tick with every pump

  bool refreshHeld = false;
  QString progress;
  int dialogsOpened = 0;
  DuringTheWalk(dlg, [&] {
    progress = dlg.StatusText();
    App().pendingRequests |= kRequestRefresh;
    // Anything that opens a window of its own is answered at once.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        ++dialogsOpened;
        modal->reject();
      }
    });
    closer.start(5);
    m_ui->AnswerMessageBoxes({tarvik::kIdYes, tarvik::kIdYes, tarvik::kIdYes});
    for (PelmarCommand c : {PelmarCommand::kRemoveServer, PelmarCommand::kRemoveAllServers,
                            PelmarCommand::kEditAlias, PelmarCommand::kConfigurePort,
                            PelmarCommand::kImport, PelmarCommand::kRestartDriver,
                            PelmarCommand::kAddServers, PelmarCommand::kSearchServers})
      dlg.RunCommand(c);
    dlg.Menu()->Action(PelmarCommand::kEditHost)->trigger();
    // Ticks come and go; the refresh they would run stays requested.
    for (int i = 0; i < 5; ++i) QTest::qWait(2);
    refreshHeld = (App().pendingRequests & kRequestRefresh) != 0;
    QVERIFY(!dlg.Button(PelmarCommand::kExit)->isEnabled());
    QVERIFY(!dlg.ServerPane()->isEnabled());
    QVERIFY(dlg.CancelWalkButton()->isVisible());
    dlg.CancelWalkButton()->click();
  });
  WalkTheSilentDevice();
  dlg.Button(PelmarCommand::kAddServers)->click();

  QVERIFY(m_pumps > 0);
  QCOMPARE(progress, QStringLiteral("Searching 127.0.0.1 - 127.0.0.1: 0 of 1, 0 found"));
  QVERIFY(refreshHeld);
  QCOMPARE(dialogsOpened, 0);
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{});
  QCOMPARE(StoredServers(), 1u);
  QCOMPARE(StoredAddress(0), std::string("127.0.0.50"));
  QVERIFY(dlg.Button(PelmarCommand::kExit)->isEnabled());
  QVERIFY(dlg.ServerPane()->isEnabled());
  QVERIFY(!dlg.CancelWalkButton()->isVisible());
  dlg.reject();
}

void TestAddWalk::cancelInTheStatusBarStopsTheWalk() {
  StartSilentDevice();
  CPelmarDlg dlg;
  Open(dlg);
  QTRY_VERIFY(dlg.Button(PelmarCommand::kAddServers)->isEnabled());
  DuringTheWalk(dlg, [&] { QTest::mouseClick(dlg.CancelWalkButton(), Qt::LeftButton); });
  WalkTheSilentDevice();
  dlg.Button(PelmarCommand::kAddServers)->click();
  // Ended at once, without the question a failed fetch brings.
  QCOMPARE(m_pumps, 1);
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{});
  QCOMPARE(dlg.StatusText(), QStringLiteral("Status: OK"));
  QCOMPARE(App().config.Servers, 0u);
  QVERIFY(dlg.isVisible());
  dlg.reject();
}

void TestAddWalk::utilityAndTarvikctlAddingAtOnceKeepEveryServer() {
  StoreServer(0, "127.0.0.5", 0);  // a duplicate the utility's walk meets
  QCOMPARE(Tkc_RegWriteServersAndPorts(1, 3), uint16_t(TKC_OK));
  CPelmarDlg dlg;
  Open(dlg);
  QTRY_VERIFY(dlg.Button(PelmarCommand::kAddServers)->isEnabled());

  // While the utility's walk shows its duplicate warning, tarvikctl adds
  // three servers of its own, from the lowest free COM number on.
  QString ctlOut;
  tarvik::SetMessageBoxHook([&](const std::string& text, const std::string&, unsigned) {
    if (text == "Skip duplicated IP:127.0.0.5") {
      QProcess ctl;
      ctl.start(QStringLiteral(TARVIKCTL_EXE),
                {"servers", "add", "127.0.1.1", "127.0.1.3", "--name", "Q410X4", "--com", "1"});
      ctl.waitForFinished(30000);
      ctlOut = QString::fromLatin1(ctl.readAllStandardOutput());
    }
    return tarvik::kIdOk;
  });
  WhenModal<CAddServers>([](CAddServers* d) {
    d->RangePage()->GetNameCheck()->setChecked(false);
    d->RangePage()->NameEdit()->setText(QStringLiteral("Q410X2"));
    d->RangePage()->StartEdit()->setText(QStringLiteral("127.0.0.1"));
    d->RangePage()->EndEdit()->setText(QStringLiteral("127.0.0.8"));
    d->RangePage()->ComList()->setCurrentIndex(1);  // COM1
    d->OkButton()->click();
  });
  dlg.Button(PelmarCommand::kAddServers)->click();
  QCOMPARE(ctlOut.count(QStringLiteral("added index=")), 3);

  // 1 stored before, 7 by the utility, 3 by tarvikctl.
  static ConfigSet set;
  set.SizeStamp = kConfigSetSize;
  QCOMPARE(Tkc_RegReadAll(&set), uint16_t(TKC_OK));
  QCOMPARE(set.Servers, 11u);
  std::set<uint32_t> addresses, coms;
  for (uint32_t s = 0; s < set.Servers; ++s) {
    addresses.insert(set.Records[s].IPAddress);
    for (uint32_t e = 2; e <= set.Records[s].PortNo + 1; ++e) {
      const uint32_t com = TkcComNumber(set.Records[s].PortMap[e].Com);
      if (s == 0) continue;  // stored unmapped
      QVERIFY(com != 0);
      QVERIFY2(coms.insert(com).second, qPrintable(QStringLiteral("COM%1 twice").arg(com)));
    }
  }
  QCOMPARE(addresses.size(), size_t(11));
  // The utility shows them all.
  QCOMPARE(App().config.Servers, 11u);
  dlg.reject();
}

void TestAddWalk::afterAFailedLoadAddingReloadsFirstOrRefuses() {
  // Three servers; the second lacks its PortNo and cannot be read.
  StoreServer(0, "127.0.0.11", 1);
  StoreServer(1, "127.0.0.12", 3);
  StoreServer(2, "127.0.0.13", 5);
  QCOMPARE(Tkc_RegWriteServersAndPorts(3, 9), uint16_t(TKC_OK));
  tarvik::RegKey second;
  QCOMPARE(second.Open(std::string(TKC_PARAMETER_KEY) + "\\Server2", tarvik::RegAccess::kFullAccess),
           tarvik::kErrorSuccess);
  QCOMPARE(second.DeleteValue("PortNo"), tarvik::kErrorSuccess);

  CPelmarDlg dlg;
  Open(dlg);
  QTRY_VERIFY(dlg.Button(PelmarCommand::kAddServers)->isEnabled());
  QCOMPARE(App().config.Servers, 2u);
  m_ui->messageBoxes.clear();

  bool refusing = true;
  bool dialogOpened = false;
  WhenModal<CAddServers>([&](CAddServers* d) {
    if (!refusing) return;  // the dialog of the second try is answered below
    dialogOpened = true;
    d->reject();
  });
  dlg.Button(PelmarCommand::kAddServers)->click();
  QVERIFY(!dialogOpened);
  const std::vector<std::string> texts = m_ui->Texts();
  QVERIFY(!texts.empty());
  QCOMPARE(texts.back(), std::string(kAddRefusedUnread));
  QCOMPARE(StoredServers(), 3u);
  QCOMPARE(StoredAddress(2), std::string("127.0.0.13"));
  refusing = false;

  // Repaired meanwhile: the next Add Server(s) reads the whole list first
  // and the new server comes after all three.
  QCOMPARE(second.SetDword("PortNo", 2), tarvik::kErrorSuccess);
  second.Close();
  WhenModal<CAddServers>([](CAddServers* d) {
    d->RangePage()->GetNameCheck()->setChecked(false);
    d->RangePage()->NameEdit()->setText(QStringLiteral("Q410X2"));
    d->RangePage()->StartEdit()->setText(QStringLiteral("127.0.0.14"));
    d->RangePage()->ComList()->setCurrentIndex(1);
    d->OkButton()->click();
  });
  dlg.Button(PelmarCommand::kAddServers)->click();
  QCOMPARE(StoredServers(), 4u);
  QCOMPARE(StoredAddress(2), std::string("127.0.0.13"));
  QCOMPARE(StoredAddress(3), std::string("127.0.0.14"));
  QCOMPARE(App().config.Servers, 4u);
  QCOMPARE(TkcComNumber(App().config.Records[3].PortMap[2].Com), 7u);
  dlg.reject();
}

void TestAddWalk::terminationSignalDuringAWalkEndsTheWalkThenTheProgram() {
  StartSilentDevice();
  CPelmarApp::CatchTerminationSignals();
  CPelmarDlg dlg;
  CPelmarApp::WatchTerminationSignals(&dlg);
  Open(dlg);
  QTRY_VERIFY(dlg.Button(PelmarCommand::kAddServers)->isEnabled());
  DuringTheWalk(dlg, [] { std::raise(SIGTERM); });
  WalkTheSilentDevice();
  dlg.Button(PelmarCommand::kAddServers)->click();
  QVERIFY(m_pumps > 0);
  QVERIFY(!dlg.Adding());
  QTRY_VERIFY(!dlg.isVisible());
  QCOMPARE(dlg.result(), int(QDialog::Rejected));
  QVERIFY(IsUiTerminating());
}

QTEST_MAIN(TestAddWalk)
#include "tst_addwalk.moc"
