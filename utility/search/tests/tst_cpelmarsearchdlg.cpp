// The search pane against simulated devices. Runs only inside the network
// namespace harness (run-in-netns.sh with tarvik-devsim): every search here
// broadcasts, and a broadcast must never reach a real network.
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "app_state.h"
#include "companion.h"
#include "cpelmarsearchdlg.h"
#include "findra.h"
#include "netns_guard.h"
#include "record_fixture.h"
#include "tarvik/registry.h"
#include "temp_root.h"
#include "ui_hook_double.h"

using tarvik::app::testing::AddServer;
using tarvik::app::testing::MakeServer;

namespace {

enum { kPing, kDiagnostic, kConfigureUdp, kAddServers, kGetAliases };

// Started by the harness, in a namespace whose one interface is lo:
// anywhere else the test must not search.
QStringList Row(const QTreeWidget* list, int row) {
  QStringList texts;
  const QTreeWidgetItem* item = list->topLevelItem(row);
  for (int c = 0; item && c < list->columnCount(); ++c) texts << item->text(c);
  return texts;
}

QString RecordName(int index) {
  char name[FINDRA_NAME_SIZE] = {};
  if (Findra_GetModuleInfo(index, name, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) != 0)
    return QString();
  return QString::fromLatin1(name);
}

}  // namespace

class TestCPelmarSearchDlg : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();

  void failedInitIsReportedAndRetried();
  void listsKnownModelsOnlyAndRowsMapToTheirRecords();
  void columnTextsAndWidening();
  void leftClickPicksTheDevice();
  void nothingUnderTheCursorGreysTheRowItems();
  void addServersSetsTheCurrentDeviceAndTheRequest();
  void getAliasNamesCopiesOnlyToTheSameNameAndAddress();
  void pingEachSelectedRowAndDiagnosticOfTheSelection();
  void aNewSearchClearsTheSelection();
  void listingStopsAt255Rows();
  void layoutRule();
  void noUsableAddressIsReported();
  void repliesWithoutAnIpv4AddressStartNothing();

 private:
  void Search();
  void RightClickRow(int row);

  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<CPelmarSearchDlg> m_pane;
  bool m_searched = false;
};

void TestCPelmarSearchDlg::initTestCase() {
  if (!InsidePrivateNamespace())
    QSKIP("searches broadcast: run inside tests/netns/run-in-netns.sh");
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  ResetAppState();
  tarvik::RegKey services;
  QCOMPARE(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  services.Close();
  QCOMPARE(Tkc_RegCheckCreateServiceKey(), uint16_t(TKC_OK));
  m_pane = std::make_unique<CPelmarSearchDlg>();
  m_pane->resize(800, 300);
  m_pane->show();
}

void TestCPelmarSearchDlg::cleanupTestCase() {
  m_pane.reset();
  if (App().discoveryReady) Findra_Close();
  m_ui.reset();
  m_root.reset();
}

void TestCPelmarSearchDlg::init() {
  if (m_ui) m_ui->messageBoxes.clear();
}

void TestCPelmarSearchDlg::Search() {
  if (m_searched) return;
  m_pane->Search();
  m_searched = true;
}

void TestCPelmarSearchDlg::RightClickRow(int row) {
  QTreeWidget* list = m_pane->List();
  const QPoint at = row >= 0 ? list->visualItemRect(list->topLevelItem(row)).center()
                             : QPoint(10, list->viewport()->height() - 3);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, at);
  QCoreApplication::sendEvent(list->viewport(), &event);
  m_pane->ContextMenu()->hide();
}

void TestCPelmarSearchDlg::failedInitIsReportedAndRetried() {
  // The library's listen port is taken: the first search cannot begin.
  int blocker = socket(AF_INET, SOCK_DGRAM, 0);
  QVERIFY(blocker >= 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(54321);
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  QCOMPARE(bind(blocker, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  m_pane->Search();
  close(blocker);
  QVERIFY(!m_ui->messageBoxes.empty());
  QCOMPARE(m_ui->messageBoxes.back().text, std::string("Search() failed! Error=-3"));
  QCOMPARE(m_ui->messageBoxes.back().caption, std::string("Tarvik Utility"));
  QCOMPARE(m_ui->messageBoxes.back().Icon(), unsigned(tarvik::kMbIconWarning));
  QVERIFY(!App().discoveryReady);
  QCOMPARE(m_ui->waitCursorDepth, 0);

  // The next search initialises the library again.
  Search();
  QVERIFY(App().discoveryReady);
  QCOMPARE(m_ui->waitCursorDepth, 0);
}

void TestCPelmarSearchDlg::listsKnownModelsOnlyAndRowsMapToTheirRecords() {
  if (qEnvironmentVariableIsSet("PANES_MANY_DEVICES")) QSKIP("the small device set only");
  Search();
  QCOMPARE(Findra_GetCount(), 4);
  QTreeWidget* list = m_pane->List();
  QCOMPARE(list->topLevelItemCount(), 3);
  for (int row = 0; row < 3; ++row)
    QCOMPARE(RecordName(m_pane->Rows().RecordOf(row)), list->topLevelItem(row)->text(0));
  // "Unlisted" keeps its record but gets no row; the row after it still
  // names its own record.
  QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("NH-0408"));
  QCOMPARE(RecordName(m_pane->Rows().RecordOf(1) - 1), QStringLiteral("Unlisted"));
}

void TestCPelmarSearchDlg::columnTextsAndWidening() {
  if (qEnvironmentVariableIsSet("PANES_MANY_DEVICES")) QSKIP("the small device set only");
  Search();
  QTreeWidget* list = m_pane->List();
  QCOMPARE(Row(list, 0), (QStringList{"Q410X-2", "lab", "10.77.0.21", "255.255.255.0",
                                      "10.77.0.254", "02:4E:A7:00:10:01", "ON"}));
  QCOMPARE(Row(list, 1).mid(0, 3), (QStringList{"NH-0408", "N/A", "10.77.0.22"}));
  QCOMPARE(Row(list, 1)[6], QStringLiteral("OFF"));  // DHCP 2
  QCOMPARE(Row(list, 2)[6], QStringLiteral("OFF"));
  QCOMPARE(list->headerItem()->text(3), QStringLiteral("Sub-net Mask"));
  const QFontMetrics metrics(list->font());
  QCOMPARE(list->columnWidth(0),
           qMax(100, metrics.horizontalAdvance(QStringLiteral("RRB-341-WIDE-NAME19")) + 20));
  QCOMPARE(list->columnWidth(6), 80);
}

void TestCPelmarSearchDlg::leftClickPicksTheDevice() {
  Search();
  QTreeWidget* list = m_pane->List();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->topLevelItem(1)).center());
  QCOMPARE(App().searchSelection, 1);
  QCOMPARE(QString::fromLatin1(App().deviceName), list->topLevelItem(1)->text(0));
  QCOMPARE(QString::fromLatin1(App().deviceAddress), list->topLevelItem(1)->text(2));
  QCOMPARE(App().devicePort, 10000u);
}

void TestCPelmarSearchDlg::nothingUnderTheCursorGreysTheRowItems() {
  Search();
  App().pendingRequests = 0;
  RightClickRow(-1);
  QCOMPARE(App().searchSelection, -1);
  QVERIFY(!m_pane->MenuAction(kConfigureUdp)->isEnabled());
  QVERIFY(!m_pane->MenuAction(kGetAliases)->isEnabled());
  QVERIFY(m_pane->MenuAction(kAddServers)->isEnabled());
  m_pane->MenuAction(kAddServers)->trigger();
  QCOMPARE(App().pendingRequests, 0u);

  RightClickRow(0);
  QCOMPARE(App().searchSelection, 0);
  QVERIFY(m_pane->MenuAction(kGetAliases)->isEnabled());
  QVERIFY(m_pane->MenuAction(kConfigureUdp)->isEnabled());
  QVERIFY(m_pane->MenuAction(kPing)->isEnabled());
  QVERIFY(m_pane->MenuAction(kDiagnostic)->isEnabled());
}

void TestCPelmarSearchDlg::addServersSetsTheCurrentDeviceAndTheRequest() {
  Search();
  App().pendingRequests = 0;
  App().devicePort = 4000;
  const int last = m_pane->List()->topLevelItemCount() - 1;
  RightClickRow(last);
  m_pane->MenuAction(kAddServers)->trigger();
  QCOMPARE(App().pendingRequests, uint32_t(kRequestAddServers));
  QCOMPARE(QString::fromLatin1(App().deviceName), m_pane->List()->topLevelItem(last)->text(0));
  QCOMPARE(QString::fromLatin1(App().deviceAddress), m_pane->List()->topLevelItem(last)->text(2));
  QCOMPARE(App().devicePort, 10000u);
}

void TestCPelmarSearchDlg::pingEachSelectedRowAndDiagnosticOfTheSelection() {
  if (qEnvironmentVariableIsSet("PANES_MANY_DEVICES")) QSKIP("the small device set only");
  Search();
  QVERIFY(m_pane->List()->topLevelItemCount() >= 2);
  tarvik::CopyText(App().diagPath, "/opt/tarvik/Diag.exe");
  const QString first = m_pane->List()->topLevelItem(0)->text(2);
  const QString second = m_pane->List()->topLevelItem(1)->text(2);

  // Nothing under the cursor: no ping, and the diagnostic's fallback.
  RightClickRow(-1);
  m_ui->shellOpens.clear();
  m_pane->MenuAction(kPing)->trigger();
  QVERIFY(m_ui->shellOpens.empty());
  m_pane->MenuAction(kDiagnostic)->trigger();
  QCOMPARE(m_ui->shellOpens.size(), size_t(1));
  QCOMPARE(m_ui->shellOpens[0].file, std::string("/opt/tarvik/Diag.exe"));
  QCOMPARE(m_ui->shellOpens[0].parameters, std::string("TCP=192.168.0.1,10000"));

  // Two rows selected: one ping each, in list order, without a question.
  m_pane->List()->clearSelection();
  m_pane->List()->topLevelItem(1)->setSelected(true);
  m_pane->List()->topLevelItem(0)->setSelected(true);
  RightClickRow(1);
  m_ui->shellOpens.clear();
  m_pane->MenuAction(kPing)->trigger();
  QCOMPARE(m_ui->shellOpens.size(), size_t(2));
  QCOMPARE(QString::fromStdString(m_ui->shellOpens[0].parameters), "-a -t " + first);
  QCOMPARE(QString::fromStdString(m_ui->shellOpens[1].parameters), "-a -t " + second);
  QCOMPARE(m_ui->shellOpens[1].file, std::string("Ping.exe"));
  m_ui->shellOpens.clear();
  m_pane->MenuAction(kDiagnostic)->trigger();
  QCOMPARE(QString::fromStdString(m_ui->shellOpens.at(0).parameters),
           "TCP=" + second + ",10000");
}

void TestCPelmarSearchDlg::getAliasNamesCopiesOnlyToTheSameNameAndAddress() {
  if (qEnvironmentVariableIsSet("PANES_MANY_DEVICES")) QSKIP("the small device set only");
  Search();
  ConfigSet& set = App().config;
  std::memset(&set, 0, sizeof set);
  set.SizeStamp = TKC_SET_SIZE;
  AddServer(set, MakeServer("Q410X-2", "10.77.0.21", "old"));
  AddServer(set, MakeServer("Q410X-4", "10.77.0.21", "old"));  // same address, other name
  set.Flags = TKC_FLAGS_FORMAT_MARKER;
  QCOMPARE(Tkc_RegWriteAll(&set), uint16_t(TKC_OK));
  App().pendingRequests = 0;
  App().restartPending = false;

  m_pane->List()->clearSelection();
  m_pane->List()->topLevelItem(0)->setSelected(true);
  RightClickRow(0);
  m_pane->MenuAction(kGetAliases)->trigger();
  QCOMPARE(QString::fromLatin1(set.Records[0].AliasName), QStringLiteral("lab"));
  QCOMPARE(QString::fromLatin1(set.Records[1].AliasName), QStringLiteral("old"));
  ServerRecord stored;
  QCOMPARE(Tkc_RegReadOneServer(0, &stored, 928), uint16_t(TKC_OK));
  QCOMPARE(QString::fromLatin1(stored.AliasName), QStringLiteral("lab"));
  QCOMPARE(App().pendingRequests, uint32_t(kRequestRefresh));
  QVERIFY(App().restartPending);

  // Asking again changes nothing and asks for nothing.
  App().pendingRequests = 0;
  App().restartPending = false;
  m_pane->MenuAction(kGetAliases)->trigger();
  QCOMPARE(App().pendingRequests, 0u);
  QVERIFY(!App().restartPending);
}

void TestCPelmarSearchDlg::aNewSearchClearsTheSelection() {
  if (qEnvironmentVariableIsSet("PANES_MANY_DEVICES")) QSKIP("the small device set only");
  Search();
  RightClickRow(0);
  QCOMPARE(App().searchSelection, 0);
  m_pane->Search();
  QCOMPARE(App().searchSelection, -1);
  QCOMPARE(m_pane->List()->topLevelItemCount(), 3);
  QVERIFY(App().discoveryReady);
}

void TestCPelmarSearchDlg::listingStopsAt255Rows() {
  if (!qEnvironmentVariableIsSet("PANES_MANY_DEVICES")) QSKIP("needs the large device set");
  Search();
  QVERIFY(Findra_GetCount() > 255);
  QCOMPARE(m_pane->List()->topLevelItemCount(), 255);
  QCOMPARE(m_pane->Rows().Rows(), 255);
  QCOMPARE(RecordName(m_pane->Rows().RecordOf(254)), m_pane->List()->topLevelItem(254)->text(0));
}

void TestCPelmarSearchDlg::layoutRule() {
  m_pane->resize(640, 280);
  QCOMPARE(m_pane->List()->geometry(), QRect(5, 5, 635, 275));
}

void TestCPelmarSearchDlg::noUsableAddressIsReported() {
  if (qEnvironmentVariableIsSet("PANES_MANY_DEVICES")) QSKIP("the small device set only");
  // Inside the private namespace only: take its one address away for a
  // moment, so that the PC has no address to search from.
  QVERIFY(InsidePrivateNamespace());
  if (system("ip addr del 10.77.0.1/24 dev lo") != 0) QSKIP("cannot change the namespace's address");
  m_ui->messageBoxes.clear();
  m_pane->Search();
  const int restored = system("ip addr add 10.77.0.1/24 dev lo");
  QCOMPARE(restored, 0);
  QVERIFY(!m_ui->messageBoxes.empty());
  QCOMPARE(m_ui->messageBoxes.back().text, std::string("Failed to search modules! Error=-4"));
  QCOMPARE(m_pane->List()->topLevelItemCount(), 0);
  QCOMPARE(m_ui->waitCursorDepth, 0);
}


// Run alone, by tst_cpelmarsearchdlg_unaddressed, against devices whose
// replies say "IP=evil.example" and "IP=" with a terminal title sequence.
void TestCPelmarSearchDlg::repliesWithoutAnIpv4AddressStartNothing() {
  if (!qEnvironmentVariableIsSet("PANES_UNADDRESSED_DEVICES")) QSKIP("the unaddressed devices only");
  Search();
  QTreeWidget* list = m_pane->List();
  QCOMPARE(list->topLevelItemCount(), 2);
  tarvik::CopyText(App().diagPath, "/opt/tarvik/Diag.exe");
  std::vector<std::string> reported;
  SetCompanionProblemReport([&](const std::string& line) { reported.push_back(line); });
  for (int row = 0; row < 2; ++row) {
    list->clearSelection();
    list->topLevelItem(row)->setSelected(true);
    RightClickRow(row);
    m_ui->shellOpens.clear();
    m_pane->MenuAction(kPing)->trigger();
    m_pane->MenuAction(kDiagnostic)->trigger();
    QVERIFY(m_ui->shellOpens.empty());
  }
  SetCompanionProblemReport(nullptr);
  const std::string ping = "Ping: the device's search reply gives no IPv4 address; nothing started.";
  const std::string diag =
      "Diagnostic: the device's search reply gives no IPv4 address; nothing started.";
  QCOMPARE(reported, (std::vector<std::string>{ping, diag, ping, diag}));
}

QTEST_MAIN(TestCPelmarSearchDlg)
#include "tst_cpelmarsearchdlg.moc"
