#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include "findra.h"

#include "app_state.h"
#include "caboutdlg.h"
#include "caddservers.h"
#include "cfg_link.h"
#include "companion.h"
#include "ciconbutton.h"
#include "cpagetabctrl.h"
#include "cpelmarmenu.h"
#include "crestartdrv.h"
#include "modal_helper.h"
#include "restart_decline.h"
#include "store_fixture.h"
#include "tarvik/registry.h"
#include "tarvik/text.h"
#include "temp_root.h"
#include "test_panes.h"
#include "ui_hook_double.h"

using C = PelmarCommand;

namespace {

const FixtureServer kTwoServers[] = {
    {"VF-414", "", "", Ipv4(10, 0, 0, 5), 4, 3},
    {"NGR-3004", "Packing hall", "box7.example", Ipv4(10, 0, 0, 9), 2, 20},
};

const C kGreyOnSearch[] = {C::kEditAlias,    C::kEditHost,        C::kQueryIp,
                           C::kRemoveServer, C::kConfigureServer, C::kConfigurePort};

template <typename Dlg>
std::unique_ptr<Dlg> ShowMainWindow() {
  auto dlg = std::make_unique<Dlg>();
  dlg->show();
  if (!QTest::qWaitForWindowExposed(dlg.get())) return nullptr;
  return dlg;
}

// Waits for the next timer tick of the main window.
bool NextTick(CPelmarDlg* dlg) {
  QSignalSpy spy(dlg->Timer(), &QTimer::timeout);
  return spy.wait(5000);
}

QStringList TreeLabels(CPelmarDlg* dlg) {
  QStringList labels;
  QTreeWidget* tree = dlg->ServerPane()->Tree();
  for (QTreeWidgetItemIterator it(tree); *it; ++it) labels << (*it)->text(0);
  return labels;
}

}  // namespace

class TestCPelmarDlg : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void startUpOnAnEmptyStateRoot();
  void startUpOnAPopulatedStateRoot();
  void enterAndEscCloseWithTheFullShutdown_data();
  void enterAndEscCloseWithTheFullShutdown();
  void enterAndEscInAPaneListDoNotCloseTheProgram_data();
  void enterAndEscInAPaneListDoNotCloseTheProgram();
  void unchangedOptionsAreNotWrittenAtShutdown();
  void commandsWithoutTheirDialogsStayGrey();
  void commandStatesFollowATabSwitchWithinOneTick();
  void f2AndF3ReachTheServersPaneWhereverTheFocusIs();
  void accelerator_of_a_grey_item_does_nothing();
  void pendingRequestsRunOnePerTick();
  void searchServersShowsTheSearchPageWhileItRuns();
  void webAndCompanionProgramsGoThroughTheShell();
  void webRefusesACurrentAddressThatIsNotIpv4();
  void modbusMastersWorkOnTheServersPaneSelection();
  void aboutBoxOpensFromTheHelpMenu();
  void shutdownClosesTheDiscoveryLibrary();
  void restartDriverDialogFollowsThePendingFlag_data();
  void restartDriverDialogFollowsThePendingFlag();
  void restartProcedureStoresFirstAndRebuildsTheMaps();

 private:
  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<DeclineRestartDriverDialog> m_declineRestart;
};

void TestCPelmarDlg::init() {
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  ResetAppState();
  m_declineRestart = std::make_unique<DeclineRestartDriverDialog>();
}

void TestCPelmarDlg::cleanup() {
  m_declineRestart.reset();
  m_ui.reset();
  m_root.reset();
}

void TestCPelmarDlg::startUpOnAnEmptyStateRoot() {
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  QCOMPARE(dlg->windowTitle(), QStringLiteral("Tarvik Utility [v2.14.03, Sep.28, 2021]"));
  QCOMPARE(dlg->StatusText(), QStringLiteral("Status"));
  // The status bar shows devices' names ("... found!"): as text.
  QStatusBar* bar = dlg->findChild<QStatusBar*>();
  QVERIFY(bar && bar->findChild<QLabel*>());
  QCOMPARE(bar->findChild<QLabel*>()->textFormat(), Qt::PlainText);
  QCOMPARE(dlg->Tabs()->PageCount(), 2);
  QCOMPARE(dlg->Tabs()->TabBar()->tabText(0), QStringLiteral("Servers"));
  QCOMPARE(dlg->Tabs()->TabBar()->tabText(1), QStringLiteral("Search"));
  QCOMPARE(dlg->Tabs()->CurrentIndex(), 0);
  QVERIFY(dlg->ServerPane()->isVisible());
  QVERIFY(!dlg->SearchPane()->isVisible());
  QVERIFY(!dlg->Button(C::kRemoveServer)->isEnabled());
  QVERIFY(!dlg->Button(C::kConfigureUdp)->isEnabled());
  QVERIFY(dlg->Button(C::kExit)->isDefault());
  QCOMPARE(dlg->Button(C::kWeb)->toolTip(),
           QStringLiteral("Open web browser and connect to device server"));
  QVERIFY(dlg->Timer()->isActive());
  QCOMPARE(dlg->Timer()->interval(), 500);
  QCOMPARE(TreeLabels(dlg.get()), (QStringList{"Servers", "-", "-"}));
  QCOMPARE(dlg->ServerPane()->SelectedServer(), -1);

  // The driver's keys now exist; nothing was reported.
  QCOMPARE(StoredDword(nullptr, "Servers"), 0xFFFFFFFFu);
  tarvik::RegKey key;
  QCOMPARE(key.Open(kParameterKey, tarvik::RegAccess::kRead), tarvik::LSTATUS(0));
  QVERIFY(m_ui->messageBoxes.empty());

  const AppState& app = App();
  QCOMPARE(QByteArray(app.deviceAddress), QByteArray("192.168.255.1"));
  QCOMPARE(app.devicePort, 10000u);
  QCOMPARE(app.ui.maxVcom, 512u);
  QCOMPARE(app.ui.chkSvr, 1u);
  QVERIFY(!app.discoveryReady);
  // An empty store lacks the format marker: the program sets it and the
  // driver needs a restart to see it.
  QVERIFY(app.config.Flags & kFlagFormatMarker);
  QVERIFY(app.restartPending);
  QVERIFY(QFileInfo(QString::fromLatin1(app.terminalPath)).fileName() == "Terminal.exe");
  QVERIFY(QFileInfo(QString::fromLatin1(app.diagPath)).fileName() == "Diag.exe");
  dlg->reject();
}

void TestCPelmarDlg::startUpOnAPopulatedStateRoot() {
  WriteFixtureStore(kTwoServers, 2, kFlagFormatMarker);
  tarvik::RegKey key;
  key.Create(kParameterKey);
  key.SetDword("MaxVCOM", 1024);
  key.SetDword("UIChkDup", 0);
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  const AppState& app = App();
  QCOMPARE(app.config.Servers, 2u);
  QCOMPARE(app.ui.maxVcom, 1024u);
  QCOMPARE(app.ui.chkDup, 0u);
  QVERIFY(!app.restartPending);
  QCOMPARE(TreeLabels(dlg.get()),
           (QStringList{"Servers", "VF-414 [10.0.0.5]",
                        "NGR-3004 (Packing hall) [10.0.0.9]-?box7.example", "-", "-"}));
  QCOMPARE(dlg->ServerPane()->SelectedServer(), 1);
  // COM3..COM6 and COM20..COM21 are the configuration's own at load.
  for (int com : {3, 4, 5, 6, 20, 21}) QCOMPARE(int(app.ownAtLoadComMap[com - 1]), 1);
  for (int com : {1, 2, 7, 19, 22}) QCOMPARE(int(app.ownAtLoadComMap[com - 1]), 0);
  QVERIFY(m_ui->messageBoxes.empty());
  dlg->reject();
}

void TestCPelmarDlg::enterAndEscCloseWithTheFullShutdown_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("result");
  QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
  QTest::newRow("Esc") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void TestCPelmarDlg::enterAndEscCloseWithTheFullShutdown() {
  QFETCH(int, key);
  QFETCH(int, result);
  WriteFixtureStore(kTwoServers, 2, 0);  // an old store without the marker
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  QSignalSpy finished(dlg.get(), &QDialog::finished);
  QVERIFY(finished.isValid());
  // Changes made while the program ran: an option and a server's alias.
  App().ui.chkSvr = 0;
  tarvik::CopyText(App().config.Records[0].AliasName, "Line 4");

  QTabBar* focus = dlg->Tabs()->TabBar();
  focus->setFocus();
  QTest::keyClick(focus, Qt::Key(key));

  QCOMPARE(finished.count(), 1);
  QCOMPARE(dlg->result(), result);
  QVERIFY(!dlg->isVisible());
  QVERIFY(!dlg->Timer()->isActive());
  QCOMPARE(StoredDword(nullptr, "UIChkSvr"), 0u);
  QCOMPARE(StoredString("Server1", "AliasName"), std::string("Line 4"));
  QCOMPARE(StoredDword(nullptr, "Flags") & kFlagFormatMarker, kFlagFormatMarker);
  QCOMPARE(StoredDword(nullptr, "Servers"), 2u);
  QVERIFY(m_ui->messageBoxes.empty());
}

void TestCPelmarDlg::enterAndEscInAPaneListDoNotCloseTheProgram_data() {
  QTest::addColumn<int>("tab");
  QTest::addColumn<QString>("list");
  QTest::addColumn<int>("key");
  QTest::newRow("Enter in the servers tree") << 0 << "serverTree" << int(Qt::Key_Return);
  QTest::newRow("keypad Enter in the servers tree") << 0 << "serverTree" << int(Qt::Key_Enter);
  QTest::newRow("Esc in the servers tree") << 0 << "serverTree" << int(Qt::Key_Escape);
  QTest::newRow("Enter in the port list") << 0 << "portList" << int(Qt::Key_Return);
  QTest::newRow("Enter in the search list") << 1 << "" << int(Qt::Key_Return);
  QTest::newRow("Esc in the search list") << 1 << "" << int(Qt::Key_Escape);
}

// Enter and Esc in a list close the program: they must stay in the pane.
void TestCPelmarDlg::enterAndEscInAPaneListDoNotCloseTheProgram() {
  QFETCH(int, tab);
  QFETCH(QString, list);
  QFETCH(int, key);
  WriteFixtureStore(kTwoServers, 2, kFlagFormatMarker);
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  QSignalSpy finished(dlg.get(), &QDialog::finished);
  QVERIFY(finished.isValid());
  dlg->Tabs()->SetCurrentIndex(tab);
  QWidget* target = tab == 0 ? dlg->ServerPane()->findChild<QWidget*>(list)
                             : static_cast<QWidget*>(dlg->SearchPane()->List());
  QVERIFY(target);
  target->setFocus();
  QTRY_VERIFY(target->hasFocus());
  QTest::keyClick(target, Qt::Key(key));
  QCOMPARE(finished.count(), 0);
  QVERIFY(dlg->isVisible());
  dlg->reject();
  QCOMPARE(finished.count(), 1);
}

void TestCPelmarDlg::unchangedOptionsAreNotWrittenAtShutdown() {
  tarvik::RegKey key;
  key.Create(kParameterKey);
  key.SetString("UIChkDup", "0");  // not a DWORD: read as 1
  key.Close();
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  QCOMPARE(App().ui.chkDup, 1u);
  App().ui.chkAnc = 0;
  dlg->accept();
  QCOMPARE(StoredDword(nullptr, "UIChkANC"), 0u);
  QCOMPARE(StoredDword(nullptr, "UIChkSvr"), 0xFFFFFFFFu);
  QCOMPARE(StoredString(nullptr, "UIChkDup"), std::string("0"));
  QCOMPARE(StoredDword(nullptr, "MaxVCOM"), 0xFFFFFFFFu);
}

void TestCPelmarDlg::commandsWithoutTheirDialogsStayGrey() {
  WriteFixtureStore(kTwoServers, 2, kFlagFormatMarker);
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  QVERIFY(NextTick(dlg.get()));
  QVERIFY(dlg->Menu()->IsEnabled(C::kConfigureServer));  // a server is selected
  QVERIFY(dlg->Button(C::kAddServers)->isEnabled());
  QVERIFY(!dlg->Button(C::kConfigureUdp)->isEnabled());
  QVERIFY(dlg->Button(C::kSearchServers)->isEnabled());
  QCOMPARE(dlg->ServerPane()->SelectedServer(), 1);
  QVERIFY(dlg->Button(C::kRemoveServer)->isEnabled());
  QVERIFY(dlg->Menu()->IsEnabled(C::kImport));
  QVERIFY(dlg->Menu()->IsEnabled(C::kExport));
  for (C command : {C::kExit, C::kTerminal, C::kModbusRtu, C::kModbusTcp, C::kAbout,
                    C::kRestartDriver, C::kDriverOptions})
    QVERIFY(dlg->Menu()->IsEnabled(command));
  QVERIFY(dlg->Button(C::kWeb)->isEnabled());
  dlg->reject();
}

void TestCPelmarDlg::commandStatesFollowATabSwitchWithinOneTick() {
  WriteFixtureStore(kTwoServers, 2, kFlagFormatMarker);
  auto dlg = ShowMainWindow<RoutingTestDlg>();
  QVERIFY(dlg);
  QVERIFY(NextTick(dlg.get()));
  QVERIFY(dlg->Button(C::kRemoveServer)->isEnabled());
  for (C command : kGreyOnSearch) QVERIFY(dlg->Menu()->IsEnabled(command));

  QTabBar* bar = dlg->Tabs()->TabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  QCOMPARE(dlg->Tabs()->CurrentIndex(), 1);
  QVERIFY(dlg->SearchPane()->isVisible());
  QVERIFY(!dlg->ServerPane()->isVisible());
  QVERIFY(NextTick(dlg.get()));
  QVERIFY(!dlg->Button(C::kRemoveServer)->isEnabled());
  for (C command : kGreyOnSearch) QVERIFY(!dlg->Menu()->IsEnabled(command));
  QVERIFY(dlg->Menu()->IsEnabled(C::kRemoveAllServers));
  QVERIFY(!dlg->Button(C::kConfigureUdp)->isEnabled());

  // "Configuration (UDP)" follows the search selection.
  App().searchSelection = 0;
  QVERIFY(NextTick(dlg.get()));
  QVERIFY(dlg->Button(C::kConfigureUdp)->isEnabled());
  QTest::mouseClick(dlg->Button(C::kConfigureUdp), Qt::LeftButton);
  QCOMPARE(dlg->Search()->udpRuns, 1);
  App().searchSelection = -1;
  QVERIFY(NextTick(dlg.get()));
  QVERIFY(!dlg->Button(C::kConfigureUdp)->isEnabled());

  // Back on Servers the pane's items follow its selection again at once.
  App().searchSelection = 0;
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
  for (C command : kGreyOnSearch) QVERIFY(dlg->Menu()->IsEnabled(command));
  QVERIFY(NextTick(dlg.get()));
  QVERIFY(!dlg->Button(C::kConfigureUdp)->isEnabled());
  QVERIFY(dlg->Button(C::kRemoveServer)->isEnabled());
  dlg->reject();
}

void TestCPelmarDlg::f2AndF3ReachTheServersPaneWhereverTheFocusIs() {
  WriteFixtureStore(kTwoServers, 2, kFlagFormatMarker);
  auto dlg = ShowMainWindow<RoutingTestDlg>();
  QVERIFY(dlg);
  QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
  QWidget* places[] = {dlg->Button(C::kExit), dlg->Button(C::kWeb), dlg->Tabs()->TabBar(),
                       dlg->ServerPane()->Tree()};
  for (QWidget* place : places) {
    place->setFocus();
    QTRY_VERIFY(place->hasFocus());
    dlg->Servers()->received.clear();
    QTest::keyClick(place, Qt::Key_F2);
    QTest::keyClick(place, Qt::Key_F3);
    QCOMPARE(dlg->Servers()->received, (std::vector<C>{C::kEditAlias, C::kEditHost}));
  }
  QVERIFY(dlg->isVisible());
  dlg->reject();
}

void TestCPelmarDlg::accelerator_of_a_grey_item_does_nothing() {
  auto dlg = ShowMainWindow<RoutingTestDlg>();
  QVERIFY(dlg);
  QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
  QTabBar* bar = dlg->Tabs()->TabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  QVERIFY(NextTick(dlg.get()));
  QTest::keyClick(bar, Qt::Key_F2);
  QVERIFY(dlg->Servers()->received.empty());
  dlg->reject();
}

void TestCPelmarDlg::pendingRequestsRunOnePerTick() {
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  QCOMPARE(TreeLabels(dlg.get()), (QStringList{"Servers", "-", "-"}));
  // A pane changed the set and asks for a refresh, and an add came in too.
  ServerRecord& rec = App().config.Records[0];
  tarvik::CopyText(rec.ServerName, "XYZ-389");
  rec.IPAddress = Ipv4(192, 168, 1, 30);
  App().config.Servers = 1;
  App().pendingRequests = kRequestAddServers | kRequestRefresh;
  bool addDialogShown = false;
  WhenModal<CAddServers>([&](CAddServers* add) {
    addDialogShown = true;
    add->reject();
  });
  QVERIFY(NextTick(dlg.get()));
  QTRY_VERIFY(addDialogShown);
  QCOMPARE(App().pendingRequests, uint32_t(kRequestRefresh));
  QCOMPARE(TreeLabels(dlg.get()), (QStringList{"Servers", "-", "-"}));
  QVERIFY(NextTick(dlg.get()));
  QCOMPARE(App().pendingRequests, 0u);
  QCOMPARE(TreeLabels(dlg.get()), (QStringList{"Servers", "XYZ-389 [192.168.1.30]", "-", "-"}));
  dlg->reject();
}

void TestCPelmarDlg::searchServersShowsTheSearchPageWhileItRuns() {
  auto dlg = ShowMainWindow<RoutingTestDlg>();
  QVERIFY(dlg);
  App().searchSelection = 0;  // a row of an earlier search is selected
  QVERIFY(NextTick(dlg.get()));
  int searches = 0;
  dlg->Search()->onSearch = [&] {
    ++searches;
    QCOMPARE(dlg->Tabs()->CurrentIndex(), 1);
    QVERIFY(dlg->SearchPane()->isVisible());
    QVERIFY(!dlg->Button(C::kSearchServers)->isEnabled());
    QVERIFY(!dlg->Button(C::kConfigureUdp)->isEnabled());
  };
  QTest::mouseClick(dlg->Button(C::kSearchServers), Qt::LeftButton);
  QCOMPARE(searches, 1);
  QVERIFY(dlg->Button(C::kSearchServers)->isEnabled());
  // "Configuration (UDP)" comes back with the next tick.
  QVERIFY(!dlg->Button(C::kConfigureUdp)->isEnabled());
  QVERIFY(NextTick(dlg.get()));
  QVERIFY(dlg->Button(C::kConfigureUdp)->isEnabled());
  dlg->reject();
}

void TestCPelmarDlg::webAndCompanionProgramsGoThroughTheShell() {
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  m_ui->shellOpenResult = 2;  // as if no program were there: nothing is shown
  tarvik::CopyText(App().deviceAddress, "10.0.0.9");
  QTest::mouseClick(dlg->Button(C::kWeb), Qt::LeftButton);
  dlg->Menu()->Action(C::kTerminal)->trigger();
  dlg->Menu()->Action(C::kModbusRtu)->trigger();
  dlg->Menu()->Action(C::kModbusTcp)->trigger();
  const QString dir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  QCOMPARE(m_ui->shellOpens.size(), size_t(4));
  QCOMPARE(QString::fromStdString(m_ui->shellOpens[0].file), QStringLiteral("http://10.0.0.9/"));
  QCOMPARE(QString::fromStdString(m_ui->shellOpens[1].file), dir + "Terminal.exe");
  QCOMPARE(m_ui->shellOpens[1].parameters, std::string("Serial=COM1"));
  QCOMPARE(QString::fromStdString(m_ui->shellOpens[2].file), dir + "HOLLIN.EXE");
  QCOMPARE(m_ui->shellOpens[2].parameters, std::string());
  QCOMPARE(QString::fromStdString(m_ui->shellOpens[3].file), dir + "VARDEK.EXE");
  QVERIFY(m_ui->messageBoxes.empty());
  dlg->reject();
}

void TestCPelmarDlg::webRefusesACurrentAddressThatIsNotIpv4() {
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  // As a search row leaves it: the "IP=" text of a discovery reply.
  for (const char* address : {"evil.example", "10.0.0.9/x", "<b>10.0.0.9</b>"}) {
    tarvik::CopyText(App().deviceAddress, address);
    QTest::mouseClick(dlg->Button(C::kWeb), Qt::LeftButton);
    QVERIFY(m_ui->shellOpens.empty());
    QCOMPARE(dlg->StatusText(),
             QStringLiteral("Web: the current device address is not an IPv4 address; nothing opened."));
  }
  dlg->reject();
}

void TestCPelmarDlg::modbusMastersWorkOnTheServersPaneSelection() {
  WriteFixtureStore(kTwoServers, 2, kFlagFormatMarker);
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  QCOMPARE(dlg->ServerPane()->SelectedServer(), 1);
  CompanionTarget target = CompanionEnvironment::Live().target;
  QCOMPARE(target.comNumber, 0u);  // no port row selected
  QCOMPARE(target.deviceAddress, std::string("10.0.0.9"));

  QTreeWidget* ports = dlg->ServerPane()->PortList();
  const QList<QTreeWidgetItem*> com21 = ports->findItems("COM21", Qt::MatchExactly, 1);
  QCOMPARE(com21.size(), 1);
  ports->setCurrentItem(com21.first());
  target = CompanionEnvironment::Live().target;
  QCOMPARE(target.comNumber, 21u);
  QCOMPARE(target.devicePort, 2u);
  QCOMPARE(target.serverAddress, Ipv4(10, 0, 0, 9));
  QCOMPARE(target.commandPort, 10000u);
  dlg->reject();
  dlg.reset();
  // Without the main window the masters have nothing to work on.
  QCOMPARE(CompanionEnvironment::Live().target.comNumber, 0u);
}

void TestCPelmarDlg::aboutBoxOpensFromTheHelpMenu() {
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  QString title;
  WhenModal<CAboutDlg>([&](CAboutDlg* about) {
    title = about->windowTitle();
    about->accept();
  });
  dlg->Menu()->Action(C::kAbout)->trigger();
  QCOMPARE(title, QStringLiteral("About Tarvik Utility"));
  QVERIFY(dlg->isVisible());
  dlg->reject();
}

namespace {
// Whether a UDP socket can take the port now (binding sends nothing).
bool UdpPortFree(quint16 port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}
}  // namespace

void TestCPelmarDlg::shutdownClosesTheDiscoveryLibrary() {
  auto dlg = ShowMainWindow<CPelmarDlg>();
  QVERIFY(dlg);
  // What the search pane does at its first search.
  if (Findra_Init(54321) != 0) QSKIP("the discovery library cannot bind its ports here");
  App().discoveryReady = true;
  QVERIFY(!UdpPortFree(54321));
  dlg->accept();
  QVERIFY(!App().discoveryReady);
  QVERIFY(UdpPortFree(54321));
}

bool RestartScriptDlg::RunRestartDriverDialog() {
  ++runs;
  aliasInStoreAtRun.push_back(StoredString("Server1", "AliasName"));
  if (answers.empty()) return true;
  const bool ok = answers.front();
  answers.erase(answers.begin());
  return ok;
}

void TestCPelmarDlg::restartDriverDialogFollowsThePendingFlag_data() {
  QTest::addColumn<bool>("restartFirst");
  QTest::addColumn<bool>("restartAnswer");
  QTest::addColumn<int>("runsAtShutdown");
  QTest::newRow("import, then close: offered") << false << false << 1;
  QTest::newRow("import, restart with OK, close: not offered") << true << true << 0;
  QTest::newRow("import, restart cancelled, close: offered again") << true << false << 1;
}

void TestCPelmarDlg::restartDriverDialogFollowsThePendingFlag() {
  QFETCH(bool, restartFirst);
  QFETCH(bool, restartAnswer);
  QFETCH(int, runsAtShutdown);
  WriteFixtureStore(kTwoServers, 2, kFlagFormatMarker);
  auto dlg = ShowMainWindow<RestartScriptDlg>();
  QVERIFY(dlg);
  QVERIFY(!App().restartPending);
  QVERIFY(dlg->Menu()->IsEnabled(C::kRestartDriver));
  SetImportFunction([](const std::string&) { return ImportResult{}; });
  m_ui->AnswerFileDialog("/d/Quenport.xml");
  dlg->ImportConfiguration();
  SetImportFunction(nullptr);
  QVERIFY(App().restartPending);
  int runsBefore = 0;
  if (restartFirst) {
    dlg->answers = {restartAnswer};
    dlg->Menu()->Action(C::kRestartDriver)->trigger();
    QCOMPARE(dlg->runs, 1);
    QCOMPARE(App().restartPending, !restartAnswer);
    runsBefore = 1;
  }
  dlg->answers = {true};
  dlg->accept();
  QCOMPARE(dlg->runs - runsBefore, runsAtShutdown);
  QVERIFY(!App().restartPending);
}

void TestCPelmarDlg::restartProcedureStoresFirstAndRebuildsTheMaps() {
  WriteFixtureStore(kTwoServers, 2, kFlagFormatMarker);
  auto dlg = ShowMainWindow<RestartScriptDlg>();
  QVERIFY(dlg);
  ServerRecord& first = App().config.Records[0];
  tarvik::CopyText(first.AliasName, "Line 4");
  first.PortMap[2].Com = (first.PortMap[2].Com & ~0xFFFu) | 40;  // COM3 -> COM40
  App().restartPending = true;

  dlg->answers = {false};  // cancelled: the maps stay as they were
  dlg->Menu()->Action(C::kRestartDriver)->trigger();
  QCOMPARE(dlg->aliasInStoreAtRun.back(), std::string("Line 4"));
  QVERIFY(App().restartPending);
  QCOMPARE(int(App().ownAtLoadComMap[3 - 1]), 1);
  QCOMPARE(int(App().ownAtLoadComMap[40 - 1]), 0);

  dlg->answers = {true};
  dlg->Menu()->Action(C::kRestartDriver)->trigger();
  QVERIFY(!App().restartPending);
  QCOMPARE(int(App().ownAtLoadComMap[3 - 1]), 0);
  QCOMPARE(int(App().ownAtLoadComMap[40 - 1]), 1);
  dlg->reject();
  QCOMPARE(dlg->runs, 2);
}

QTEST_MAIN(TestCPelmarDlg)
#include "tst_cpelmardlg.moc"
