// The servers pane over a fixture store: what the tree and the port list
// show, sorting, removal, alias and host-name edits, the host-name query
// (names resolved from a table, never by a real resolver), the terminal
// launches, the menu states and the layout.
#include <QAction>
#include <QContextMenuEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>
#include <map>
#include <memory>

#include "app_state.h"
#include "cconfigport.h"
#include "cconfigportmap.h"
#include "cinputbox.h"
#include "cpelmarmenu.h"
#include "cpelmarserverdlg.h"
#include "cserverpingdlg.h"
#include "server_label.h"
#include "modal_helper.h"
#include "record_fixture.h"
#include "tarvik/clock.h"
#include "tarvik/registry.h"
#include "temp_root.h"
#include "ui_hook_double.h"

using tarvik::app::testing::AddServer;
using tarvik::app::testing::MakeServer;
using tarvik::app::testing::MakeSet;
using tarvik::app::testing::PortWord;

namespace {

uint32_t Ip(const char* text) {
  uint32_t a = 0;
  tarvik::app::ParseIpv4(text, &a);
  return a;
}

QStringList Children(const QTreeWidgetItem* item) {
  QStringList texts;
  for (int i = 0; item && i < item->childCount(); ++i) texts << item->child(i)->text(0);
  return texts;
}

QStringList Row(const QTreeWidget* list, int row) {
  QStringList texts;
  const QTreeWidgetItem* item = list->topLevelItem(row);
  for (int c = 0; item && c < list->columnCount(); ++c) texts << item->text(c);
  return texts;
}

void Answer(const char* text) {
  WhenModal<CInputBox>([text](CInputBox* box) {
    box->Edit()->setText(QString::fromLatin1(text));
    QTest::keyClick(box->Edit(), Qt::Key_Return);
  });
}

}  // namespace

class TestCPelmarServerDlg : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void showsTheFixtureWithLabelsAndFillers();
  void portRowsOfTheSelectedServer();
  void slotChildrenOnlyForSlotsWithPorts();
  void sortingByIpAddressIsStoredAndChecked();
  void removingTheSecondServerClosesTheGap();
  void noAnswerRemovesNothing();
  void deleteKeyAsksToRemove();
  void removeAllEmptiesStoreAndView();
  void editAliasIsWrittenAndSelectionKept();
  void staleIndexesAcrossTicks_data();
  void staleIndexesAcrossTicks();
  void editHostNameResolvesAtOnce();
  void queryIntervalBelowThreeSecondsSwitchesOff();
  void periodicQueryUpdatesTheAddress();
  void terminalLaunches();
  void pingAndDiagnosticLaunches();
  void menuStatesFollowTheSelection();
  void rightClickSelectsAndOpensTheServerMenu();
  void layoutRule();
  void configurePortWithoutARowAsksForOne();
  void configurePortReassignsAroundTakenNumbersAndWrites();
  void configurePortRunningOutOfNumbersSaysHowMany();

 private:
  void StoreFixture();
  CPelmarServerDlg* MakePane();
  void Select(int serverIndex);
  std::vector<std::string> StoredNames();
  void SelectRow(int row);
  void AnswerPortDialog(const char* com, bool reassign);

  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<QWidget> m_owner;
  CPelmarMenu* m_menu = nullptr;
  CPelmarServerDlg* m_pane = nullptr;
  std::map<std::string, uint32_t> m_names;
  int m_lookups = 0;
};

void TestCPelmarServerDlg::init() {
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  ResetAppState();
  tarvik::RegKey services;
  QCOMPARE(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  services.Close();
  QCOMPARE(Tkc_RegCheckCreateServiceKey(), uint16_t(TKC_OK));
  m_names.clear();
  m_lookups = 0;
  StoreFixture();
  m_pane = MakePane();
}

void TestCPelmarServerDlg::cleanup() {
  m_owner.reset();
  m_pane = nullptr;
  m_ui.reset();
  m_root.reset();
}

// Four servers as a store holds them: "Q410X4" with its I/O port unmapped,
// two others, and one with a host name.
void TestCPelmarServerDlg::StoreFixture() {
  auto set = MakeSet();
  const struct {
    const char* name;
    const char* ip;
    const char* alias;
    const char* host;
  } rows[] = {{"Q410X4", "9.0.0.3", "", ""},
              {"3147", "10.0.0.2", "line", ""},
              {"RRB-341", "192.168.0.7", "", "plc.lab"},
              {"4629", "10.0.0.9", "", ""}};
  for (int i = 0; i < 4; ++i) {
    ServerRecord r = MakeServer(rows[i].name, rows[i].ip, rows[i].alias, rows[i].host);
    QCOMPARE(Tkc_ParseServerInfo(&r, 928), uint16_t(TKC_OK));
    for (uint32_t p = 0; p < r.PortNo; ++p) r.PortMap[p + 2].Com |= 20 * (i + 1) + p;
    AddServer(*set, r);
  }
  set->Records[0].PortMap[3].Com &= ~0xFFFu;  // data port 2 of the first server unmapped
  set->Flags = TKC_FLAGS_FORMAT_MARKER;
  QCOMPARE(Tkc_RegWriteAll(set.get()), uint16_t(TKC_OK));
}

CPelmarServerDlg* TestCPelmarServerDlg::MakePane() {
  m_owner = std::make_unique<QWidget>();
  m_menu = new CPelmarMenu(m_owner.get());
  auto* pane = new CPelmarServerDlg(m_menu, m_owner.get());
  // As the main window routes them.
  connect(m_menu, &CPelmarMenu::commandTriggered, pane, &CPelmarServerDlg::OnCommand);
  pane->Query().SetResolver([this](const std::string& host, uint32_t* address) {
    ++m_lookups;
    auto it = m_names.find(host);
    if (it == m_names.end()) return -2;
    *address = it->second;
    return 0;
  });
  pane->resize(510, 300);
  pane->LoadSortType();
  pane->Load();
  pane->Rebuild();
  return pane;
}

void TestCPelmarServerDlg::Select(int serverIndex) {
  QTreeWidgetItem* root = m_pane->Tree()->topLevelItem(0);
  for (int i = 0; i < root->childCount(); ++i) {
    QTreeWidgetItem* item = root->child(i);
    m_pane->Tree()->setCurrentItem(item);
    if (m_pane->SelectedServer() == serverIndex) return;
  }
  QFAIL("server not in the tree");
}

std::vector<std::string> TestCPelmarServerDlg::StoredNames() {
  auto set = MakeSet();
  Tkc_RegReadAll(set.get());
  std::vector<std::string> names;
  for (uint32_t k = 0; k < set->Servers; ++k) names.push_back(set->Records[k].ServerName);
  return names;
}

void TestCPelmarServerDlg::showsTheFixtureWithLabelsAndFillers() {
  QTreeWidgetItem* root = m_pane->Tree()->topLevelItem(0);
  QCOMPARE(root->text(0), QStringLiteral("Servers"));
  QCOMPARE(Children(root), (QStringList{"Q410X4 [9.0.0.3]", "3147 (line) [10.0.0.2]",
                                        "RRB-341 [192.168.0.7]-?plc.lab", "4629 [10.0.0.9]",
                                        "-", "-"}));
  // The last server is selected and fills the current device values.
  QCOMPARE(m_pane->SelectedServer(), 3);
  QCOMPARE(QString::fromLatin1(App().deviceAddress), QStringLiteral("10.0.0.9"));
  QCOMPARE(QString::fromLatin1(App().deviceName), QStringLiteral("4629"));
  QCOMPARE(App().devicePort, 10000u);
}

void TestCPelmarServerDlg::portRowsOfTheSelectedServer() {
  // "4629": its unmapped I/O port is reserved by the device.
  QCOMPARE(Row(m_pane->PortList(), 0), (QStringList{"Port I/O", "Reserved", "N/A"}));
  QCOMPARE(Row(m_pane->PortList(), 1), (QStringList{"Port 1", "COM80", "Dynamic"}));

  Select(0);  // "Q410X4": reserved as well (a digit follows "Q410X")
  QCOMPARE(Row(m_pane->PortList(), 0), (QStringList{"Port I/O", "Reserved", "N/A"}));
  QCOMPARE(Row(m_pane->PortList(), 2), (QStringList{"Port 2", "UnMap", "Dynamic"}));
  QCOMPARE(m_pane->PortList()->topLevelItemCount(), 5);  // I/O and 4 data ports, no command port

  Select(1);  // "3147": a free I/O port, and no usable second port
  QCOMPARE(Row(m_pane->PortList(), 0), (QStringList{"Port I/O", "UnMap", "N/A"}));
  QCOMPARE(Row(m_pane->PortList(), 2), (QStringList{"Port 3", "COM42", "Dynamic"}));
  QCOMPARE(m_pane->PortList()->topLevelItemCount(), 4);
}

void TestCPelmarServerDlg::slotChildrenOnlyForSlotsWithPorts() {
  ConfigSet& set = App().config;
  ServerRecord& r = set.Records[1];
  r.Slotted = 1;
  r.SlotCount = 3;
  r.SlotPorts[1] = 1;
  r.SlotPorts[2] = 0;
  r.SlotPorts[3] = 1;
  r.PortNo = 4;
  r.PortMap[4].Com = PortWord(31, 10, 1, 1);
  r.PortMap[5].Com = PortWord(32, 30, 1, 3, true);
  m_pane->Rebuild();
  QTreeWidgetItem* server = m_pane->Tree()->topLevelItem(0)->child(1);
  QCOMPARE(Children(server), (QStringList{"Slot 1", "Slot 3"}));
  QVERIFY(server->isExpanded());
  m_pane->Tree()->setCurrentItem(server->child(1));
  QCOMPARE(m_pane->SelectedServer(), 1);
  QCOMPARE(m_pane->PortList()->topLevelItemCount(), 1);
  QCOMPARE(Row(m_pane->PortList(), 0), (QStringList{"Port 30", "COM32", "Fixed"}));
}

void TestCPelmarServerDlg::sortingByIpAddressIsStoredAndChecked() {
  m_menu->Action(PelmarCommand::kSortIp)->trigger();
  QCOMPARE(Children(m_pane->Tree()->topLevelItem(0)).mid(0, 4),
           (QStringList{"3147 (line) [10.0.0.2]", "Q410X4 [9.0.0.3]",
                        "RRB-341 [192.168.0.7]-?plc.lab", "4629 [10.0.0.9]"}));
  QVERIFY(m_menu->Action(PelmarCommand::kSortIp)->isChecked());
  QVERIFY(!m_menu->Action(PelmarCommand::kSortNone)->isChecked());
  uint32_t stored = 0;
  QCOMPARE(Tkc_RegGetSortingType(&stored), uint16_t(TKC_OK));
  QCOMPARE(stored, 3u);
  // The selection stays on the server it was on.
  QCOMPARE(m_pane->SelectedServer(), 3);

  // A new pane reads the stored choice.
  m_pane = MakePane();
  QCOMPARE(m_pane->SortType(), 3);
  QVERIFY(m_menu->Action(PelmarCommand::kSortIp)->isChecked());
}

void TestCPelmarServerDlg::removingTheSecondServerClosesTheGap() {
  Select(1);
  m_ui->AnswerMessageBoxes({tarvik::kIdYes});
  m_menu->Action(PelmarCommand::kRemoveServer)->trigger();
  QCOMPARE(m_ui->messageBoxes.size(), size_t(1));
  QCOMPARE(m_ui->messageBoxes[0].text,
           std::string("Server: 3147 (line) [10.0.0.2] \n\nRemove this server?"));
  QCOMPARE(m_ui->messageBoxes[0].Buttons(), unsigned(tarvik::kMbYesNo));
  QCOMPARE(StoredNames(), (std::vector<std::string>{"Q410X4", "RRB-341", "4629"}));
  tarvik::RegKey gone;
  QVERIFY(gone.Open(std::string(TKC_PARAMETER_KEY) + "\\Server4", tarvik::RegAccess::kRead) != 0);
  QCOMPARE(Children(m_pane->Tree()->topLevelItem(0)).size(), 5);
  QCOMPARE(App().config.Servers, 3u);
  QVERIFY(App().restartPending);
}

void TestCPelmarServerDlg::noAnswerRemovesNothing() {
  Select(1);
  m_ui->AnswerMessageBoxes({tarvik::kIdNo});
  m_menu->Action(PelmarCommand::kRemoveServer)->trigger();
  QCOMPARE(StoredNames().size(), size_t(4));
  QVERIFY(!App().restartPending);
}

void TestCPelmarServerDlg::deleteKeyAsksToRemove() {
  Select(0);
  m_ui->AnswerMessageBoxes({tarvik::kIdYes});
  QTest::keyClick(m_pane->Tree(), Qt::Key_Delete);
  QCOMPARE(StoredNames(), (std::vector<std::string>{"3147", "RRB-341", "4629"}));
}

void TestCPelmarServerDlg::removeAllEmptiesStoreAndView() {
  m_ui->AnswerMessageBoxes({tarvik::kIdYes});
  m_menu->Action(PelmarCommand::kRemoveAllServers)->trigger();
  QCOMPARE(m_ui->messageBoxes[0].text,
           std::string("Remove all device servers from the Servers list window."));
  QVERIFY(StoredNames().empty());
  QCOMPARE(Children(m_pane->Tree()->topLevelItem(0)), (QStringList{"-", "-"}));
  QCOMPARE(m_pane->SelectedServer(), -1);
  QVERIFY(!m_menu->IsEnabled(PelmarCommand::kRemoveAllServers));
  QVERIFY(!m_menu->IsEnabled(PelmarCommand::kEditAlias));
}

void TestCPelmarServerDlg::editAliasIsWrittenAndSelectionKept() {
  Select(2);
  Answer("cabinet 7");
  m_menu->Action(PelmarCommand::kEditAlias)->trigger();
  QCOMPARE(m_pane->SelectedServer(), 2);
  QCOMPARE(m_pane->Tree()->currentItem()->text(0),
           QStringLiteral("RRB-341 (cabinet 7) [192.168.0.7]-?plc.lab"));
  auto stored = MakeSet();
  QCOMPARE(Tkc_RegReadOneServer(2, &stored->Records[0], 928), uint16_t(TKC_OK));
  QCOMPARE(QString::fromLatin1(stored->Records[0].AliasName), QStringLiteral("cabinet 7"));
}

void TestCPelmarServerDlg::staleIndexesAcrossTicks_data() {
  QTest::addColumn<int>("command");
  QTest::newRow("Edit Alias Name") << int(PelmarCommand::kEditAlias);
  QTest::newRow("Edit Host Name") << int(PelmarCommand::kEditHost);
  QTest::newRow("Remove Server") << int(PelmarCommand::kRemoveServer);
}

// Stale indexes across ticks: while the command's box is open, a tick
// reloads the set (as adding servers does) with a new server in front, so
// the chosen server "RRB-341" moves from index 2 to 3. The command must act
// on it, not on whatever now sits at index 2.
void TestCPelmarServerDlg::staleIndexesAcrossTicks() {
  QFETCH(int, command);
  const auto cmd = static_cast<PelmarCommand>(command);
  Select(2);
  auto reloadWithANewFirstServer = [this] {
    auto set = MakeSet();
    Tkc_RegReadAll(set.get());
    for (uint32_t k = set->Servers; k > 0; --k) set->Records[k] = set->Records[k - 1];
    set->Records[0] = MakeServer("3147", "10.0.0.77");
    ++set->Servers;
    QCOMPARE(Tkc_RegWriteAll(set.get()), uint16_t(TKC_OK));
    m_pane->Load();
  };
  if (cmd == PelmarCommand::kRemoveServer) {
    tarvik::SetMessageBoxHook([&](const std::string&, const std::string&, unsigned) {
      reloadWithANewFirstServer();
      return int(tarvik::kIdYes);
    });
  } else {
    WhenModal<CInputBox>([&](CInputBox* box) {
      reloadWithANewFirstServer();
      box->Edit()->setText(QStringLiteral("cabinet.7"));
      QTest::keyClick(box->Edit(), Qt::Key_Return);
    });
  }
  m_pane->OnCommand(cmd);
  tarvik::SetMessageBoxHook(nullptr);

  auto stored = MakeSet();
  QCOMPARE(Tkc_RegReadAll(stored.get()), uint16_t(TKC_OK));
  if (cmd == PelmarCommand::kRemoveServer) {
    QCOMPARE(StoredNames(), (std::vector<std::string>{"3147", "Q410X4", "3147", "4629"}));
    return;
  }
  QCOMPARE(QByteArray(stored->Records[3].ServerName), QByteArray("RRB-341"));
  const char* field = cmd == PelmarCommand::kEditAlias ? stored->Records[3].AliasName
                                                       : stored->Records[3].HostName;
  QCOMPARE(QByteArray(field), QByteArray("cabinet.7"));
  // The server now at the old index keeps its values.
  QCOMPARE(QByteArray(stored->Records[2].AliasName), QByteArray("line"));
  QCOMPARE(QByteArray(stored->Records[2].HostName), QByteArray(""));
}

void TestCPelmarServerDlg::editHostNameResolvesAtOnce() {
  m_names["gw.lab"] = Ip("10.1.1.1");
  Select(0);
  Answer("gw.lab");
  m_menu->Action(PelmarCommand::kEditHost)->trigger();
  QCOMPARE(m_pane->Tree()->currentItem()->text(0), QStringLiteral("Q410X4 [10.1.1.1]-gw.lab"));
  auto stored = MakeSet();
  QCOMPARE(Tkc_RegReadOneServer(0, &stored->Records[0], 928), uint16_t(TKC_OK));
  QCOMPARE(stored->Records[0].IPAddress, Ip("10.1.1.1"));
  QCOMPARE(QString::fromLatin1(stored->Records[0].HostName), QStringLiteral("gw.lab"));

  // An unknown name keeps the address and shows as unresolved.
  Answer("nowhere.lab");
  m_menu->Action(PelmarCommand::kEditHost)->trigger();
  QCOMPARE(m_pane->Tree()->currentItem()->text(0),
           QStringLiteral("Q410X4 [10.1.1.1]-?nowhere.lab"));
}

void TestCPelmarServerDlg::queryIntervalBelowThreeSecondsSwitchesOff() {
  Answer("45");
  m_menu->Action(PelmarCommand::kQueryInterval)->trigger();
  uint32_t stored = 0;
  QCOMPARE(Tkc_RegGetQueryInterval(&stored), uint16_t(TKC_OK));
  QCOMPARE(stored, 45u);
  QCOMPARE(m_pane->Query().IntervalMs(), int64_t(45000));

  Answer("2");
  m_menu->Action(PelmarCommand::kQueryInterval)->trigger();
  QCOMPARE(Tkc_RegGetQueryInterval(&stored), uint16_t(TKC_OK));
  QCOMPARE(stored, 0u);
  QCOMPARE(m_pane->Query().IntervalMs(), int64_t(0));
}

void TestCPelmarServerDlg::periodicQueryUpdatesTheAddress() {
  tarvik::VirtualClock clock(50000);
  tarvik::SetClock(&clock);
  QCOMPARE(Tkc_RegSetQueryInterval(5), uint16_t(TKC_OK));
  m_pane = MakePane();  // reads the interval
  m_names["plc.lab"] = Ip("10.2.2.2");
  clock.Advance(1);
  m_pane->HostQueryStep();
  tarvik::SetClock(nullptr);
  QCOMPARE(m_lookups, 1);
  QCOMPARE(App().config.Records[2].IPAddress, Ip("10.2.2.2"));
  QCOMPARE(m_pane->Tree()->topLevelItem(0)->child(2)->text(0),
           QStringLiteral("RRB-341 [10.2.2.2]-plc.lab"));
  auto stored = MakeSet();
  QCOMPARE(Tkc_RegReadOneServer(2, &stored->Records[0], 928), uint16_t(TKC_OK));
  QCOMPARE(stored->Records[0].IPAddress, Ip("10.2.2.2"));
}

void TestCPelmarServerDlg::terminalLaunches() {
  tarvik::CopyText(App().terminalPath, "/opt/tarvik/Terminal.exe");
  auto launch = [this](PelmarCommand command) {
    m_ui->shellOpens.clear();
    m_menu->Action(command)->trigger();
    return m_ui->shellOpens.empty() ? std::string() : m_ui->shellOpens.back().parameters;
  };
  Select(1);  // 3147 at 10.0.0.2, command port 10000, I/O port 9999
  QCOMPARE(launch(PelmarCommand::kOpenTcpPort), std::string("Tcp=10.0.0.2,10000"));
  QCOMPARE(launch(PelmarCommand::kOpenComPort), std::string("Serial=COM1"));
  QCOMPARE(m_ui->shellOpens.back().file, std::string("/opt/tarvik/Terminal.exe"));
  m_pane->PortList()->setCurrentItem(m_pane->PortList()->topLevelItem(0));  // the I/O port
  QCOMPARE(launch(PelmarCommand::kOpenTcpPort), std::string("Tcp=10.0.0.2,9999"));
  QCOMPARE(launch(PelmarCommand::kOpenComPort), std::string("Serial=COM1"));  // unmapped
  m_pane->PortList()->setCurrentItem(m_pane->PortList()->topLevelItem(2));  // data port 3
  QCOMPARE(launch(PelmarCommand::kOpenTcpPort), std::string("Tcp=10.0.0.2,10003"));
  QCOMPARE(launch(PelmarCommand::kOpenComPort), std::string("Serial=COM42"));

  m_pane->Tree()->setCurrentItem(m_pane->Tree()->topLevelItem(0));  // the root: no server
  QCOMPARE(launch(PelmarCommand::kOpenTcpPort), std::string("Tcp=192.168.0.1,10001"));
  QCOMPARE(launch(PelmarCommand::kOpenComPort), std::string("Serial=COM1"));
}

void TestCPelmarServerDlg::pingAndDiagnosticLaunches() {
  tarvik::CopyText(App().diagPath, "/opt/tarvik/Diag.exe");
  auto launch = [this](PelmarCommand command) {
    m_ui->shellOpens.clear();
    m_menu->Action(command)->trigger();
    return m_ui->shellOpens.empty()
               ? std::string()
               : m_ui->shellOpens.back().file + " " + m_ui->shellOpens.back().parameters;
  };
  // Answers the ping target dialog: what it showed, then Cancel or text.
  QString shown;
  auto answer = [&shown](const char* text) {
    WhenModal<CServerPingDlg>([&shown, text](CServerPingDlg* d) {
      shown = d->Edit()->text();
      if (!text) {
        d->reject();
        return;
      }
      d->Edit()->setText(QString::fromLatin1(text));
      d->accept();
    });
  };

  Select(1);  // 10.0.0.2, command port 10000: no question
  QCOMPARE(launch(PelmarCommand::kPingServer), std::string("Ping.exe -a -t 10.0.0.2"));
  QCOMPARE(launch(PelmarCommand::kDiagnostic),
           std::string("/opt/tarvik/Diag.exe TCP=10.0.0.2,10000"));

  // No selection: the first server, with the question.
  m_pane->Tree()->setCurrentItem(m_pane->Tree()->topLevelItem(0));
  const ServerRecord& first = App().config.Records[0];
  const std::string firstIp = tarvik::app::Ipv4Text(first.IPAddress);
  answer(nullptr);
  QCOMPARE(launch(PelmarCommand::kPingServer), std::string());
  QCOMPARE(shown, QString::fromStdString(firstIp));
  answer("plc-7");
  QCOMPARE(launch(PelmarCommand::kPingServer), std::string("Ping.exe -a -t plc-7"));
  QCOMPARE(launch(PelmarCommand::kDiagnostic),
           "/opt/tarvik/Diag.exe TCP=" + firstIp + "," + std::to_string(first.TcpPortCmd));

  // No servers at all.
  App().config.Servers = 0;
  answer(nullptr);
  QCOMPARE(launch(PelmarCommand::kPingServer), std::string());
  QCOMPARE(shown, QStringLiteral("192.168.0.1"));
  QCOMPARE(launch(PelmarCommand::kDiagnostic),
           std::string("/opt/tarvik/Diag.exe TCP=192.168.0.1,10000"));
}

void TestCPelmarServerDlg::menuStatesFollowTheSelection() {
  using C = PelmarCommand;
  Select(0);
  for (C c : {C::kEditAlias, C::kEditHost, C::kQueryIp, C::kRemoveServer, C::kRemoveAllServers,
              C::kQueryIpAll, C::kQueryInterval, C::kOpenComPort, C::kOpenTcpPort,
              C::kConfigureServer, C::kConfigurePort, C::kPingServer, C::kDiagnostic})
    QVERIFY2(m_menu->IsEnabled(c), qPrintable(m_menu->Action(c)->text()));

  m_pane->Tree()->setCurrentItem(m_pane->Tree()->topLevelItem(0));
  for (C c : {C::kEditAlias, C::kEditHost, C::kQueryIp, C::kRemoveServer, C::kConfigureServer,
              C::kConfigurePort})
    QVERIFY2(!m_menu->IsEnabled(c), qPrintable(m_menu->Action(c)->text()));
  QVERIFY(m_menu->IsEnabled(C::kRemoveAllServers));
  // Edit Alias with nothing selected does nothing (no input box).
  m_pane->OnCommand(C::kEditAlias);
  QVERIFY(m_ui->messageBoxes.empty());
}

void TestCPelmarServerDlg::rightClickSelectsAndOpensTheServerMenu() {
  m_owner->show();
  QTreeWidgetItem* first = m_pane->Tree()->topLevelItem(0)->child(0);
  const QPoint at = m_pane->Tree()->visualItemRect(first).center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, at);
  QCoreApplication::sendEvent(m_pane->Tree()->viewport(), &event);
  QCOMPARE(m_pane->SelectedServer(), 0);
  QTRY_VERIFY(m_menu->ServerMenu()->isVisible());
  m_menu->ServerMenu()->hide();

  QContextMenuEvent onList(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
  QCoreApplication::sendEvent(m_pane->PortList()->viewport(), &onList);
  QTRY_VERIFY(m_menu->PortMenu()->isVisible());
  m_menu->PortMenu()->hide();
}

void TestCPelmarServerDlg::layoutRule() {
  m_owner->show();
  m_pane->resize(520, 300);  // u = 51
  QCOMPARE(m_pane->Tree()->geometry(), QRect(5, 5, 311, 295));
  QCOMPARE(m_pane->PortList()->geometry(), QRect(316, 5, 199, 295));
}

void TestCPelmarServerDlg::SelectRow(int row) {
  m_pane->PortList()->setCurrentItem(m_pane->PortList()->topLevelItem(row));
}

void TestCPelmarServerDlg::AnswerPortDialog(const char* com, bool reassign) {
  WhenModal<CConfigPort>([com, reassign](CConfigPort* dialog) {
    CConfigPortMap* page = dialog->MapPage();
    page->ComList()->setCurrentText(QString::fromLatin1(com));
    page->Reassign()->setChecked(reassign);
    dialog->accept();
  });
}

void TestCPelmarServerDlg::configurePortWithoutARowAsksForOne() {
  Select(0);
  m_pane->OnCommand(PelmarCommand::kConfigurePort);
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{"Please select a port first!"});
  QCOMPARE(m_ui->messageBoxes[0].Icon(), unsigned(tarvik::kMbIconWarning));
  QVERIFY(!App().restartPending);
}

// "Q410X4": data ports 1 to 4 on COM20, unmapped, COM22, COM23. COM24 is
// another serial port of the machine, COM40 on belong to other servers.
void TestCPelmarServerDlg::configurePortReassignsAroundTakenNumbersAndWrites() {
  Select(0);
  SelectRow(1);
  App().occupiedComMap[24 - 1] = 1;
  AnswerPortDialog("COM21", true);
  m_pane->OnCommand(PelmarCommand::kConfigurePort);
  QVERIFY(App().restartPending);
  QCOMPARE(App().ui.chkAnc, 1u);
  QCOMPARE(m_pane->SelectedServer(), 0);
  QStringList coms;
  for (int row = 1; row <= 4; ++row) coms << Row(m_pane->PortList(), row)[1];
  QCOMPARE(coms, (QStringList{"COM21", "COM22", "COM23", "COM25"}));
  ServerRecord stored;
  QCOMPARE(Tkc_RegReadOneServer(0, &stored, 928), uint16_t(TKC_OK));
  for (int entry = 2; entry <= 5; ++entry)
    QCOMPARE(stored.PortMap[entry].Com, App().config.Records[0].PortMap[entry].Com);
  QCOMPARE(TkcComNumber(stored.PortMap[5].Com), 25u);
}

void TestCPelmarServerDlg::configurePortRunningOutOfNumbersSaysHowMany() {
  App().ui.maxVcom = 4095;
  Select(0);
  SelectRow(1);
  QSignalSpy status(m_pane, &CPelmarServerDlg::statusMessage);
  AnswerPortDialog("COM4094", true);
  m_pane->OnCommand(PelmarCommand::kConfigurePort);
  QStringList coms;
  for (int row = 1; row <= 4; ++row) coms << Row(m_pane->PortList(), row)[1];
  QCOMPARE(coms, (QStringList{"COM4094", "COM4095", "UnMap", "UnMap"}));
  QCOMPARE(status.count(), 1);
  QCOMPARE(status[0][0].toString(),
           QStringLiteral("No free COM number left: 2 port(s) stay unmapped."));
}

QTEST_MAIN(TestCPelmarServerDlg)
#include "tst_cpelmarserverdlg.moc"
