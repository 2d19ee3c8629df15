// Configure Port from the servers pane against a simulated device on
// loopback: a port's COM number and flags change in the configuration, its
// baud rate on the device; the store, tarvikctl's listing and the device's
// record of received commands all agree. OK on an untouched dialog leaves
// the store as it was, and what the timer or another program changes while
// the dialog is open is neither lost nor written over.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app_state.h"
#include "cconfigport.h"
#include "cconfigportmap.h"
#include "cconfigportset.h"
#include "command_server.h"
#include "cpagetabctrl.h"
#include "cpelmarmenu.h"
#include "cpelmarserverdlg.h"
#include "modal_helper.h"
#include "record_fixture.h"
#include "store_snapshot.h"
#include "tarvik/clock.h"
#include "tarvik/registry.h"
#include "temp_root.h"
#include "tree_item_word.h"
#include "ui_hook_double.h"

using tarvik::app::testing::AddServer;
using tarvik::app::testing::MakeServer;
using tarvik::app::testing::MakeSet;
using tarvik::app::testing::PortWord;
using tarvik::app::testing::StoreSnapshot;

namespace {

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return a | (b << 8) | (c << 16) | (d << 24);
}

ServerRecord Stored(int index) {
  ServerRecord r{};
  Tkc_RegReadOneServer(static_cast<uint32_t>(index), &r, sizeof r);
  return r;
}

}  // namespace

class TestConfigurePort : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void comFlagsAndDeviceBaudRateChangeTogether();
  void okWithNothingChangedLeavesTheStoreAsItWas_data();
  void okWithNothingChangedLeavesTheStoreAsItWas();
  void reloadWhileOpenConfiguresTheSameServer();
  void comNumberTakenWhileOpenIsNotGivenTwice();
  void hostLookupWhileOpenKeepsTheFoundAddress();

 private:
  // "3147" on the simulator with data ports 1..4 (entries 2..5) on COM
  // 5..8, as the rows of a test may change it.
  ServerRecord DeviceServer() const;
  // Writes the set to the store and makes the pane over it.
  void Start(ConfigSet& set);
  // Start, with the periodic host-name lookup on and every name resolving
  // to address.
  void StartWithLookup(ConfigSet& set, uint32_t address);
  void SelectPort(int server, int entry);
  // One tick's host-name step with the interval over.
  void TickWithLookup();

  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<CommandServer> m_device;
  std::unique_ptr<QWidget> m_owner;
  CPelmarMenu* m_menu = nullptr;
  CPelmarServerDlg* m_pane = nullptr;
  tarvik::VirtualClock m_clock{1000000};
};

void TestConfigurePort::init() {
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  ResetAppState();
  devsim::CommandPortSettings settings;
  settings.ip = "127.0.0.1";
  settings.name = "3147";
  settings.ports = std::vector<devsim::SerialPortSettings>(4);
  m_device = std::make_unique<CommandServer>(settings);
  tarvik::RegKey services;
  QCOMPARE(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  services.Close();
  QCOMPARE(Tkc_RegCheckCreateServiceKey(), uint16_t(TKC_OK));
}

void TestConfigurePort::cleanup() {
  m_owner.reset();
  m_pane = nullptr;
  tarvik::SetClock(nullptr);
  m_device.reset();
  m_ui.reset();
  m_root.reset();
}

ServerRecord TestConfigurePort::DeviceServer() const {
  ServerRecord r = MakeServer("3147", "127.0.0.1");
  r.PortNo = 4;
  r.TcpPortCmd = m_device->Port();
  r.ConnectTimeout = 2000;
  for (uint32_t p = 1; p <= 4; ++p) r.PortMap[p + 1].Com = PortWord(4 + p, p, p, 0);
  for (uint32_t p = 1; p <= 4; ++p) r.PortMap[p + 1].Options = 5u << 1;
  return r;
}

void TestConfigurePort::Start(ConfigSet& set) {
  set.Flags = TKC_FLAGS_FORMAT_MARKER;
  QCOMPARE(Tkc_RegWriteAll(&set), uint16_t(TKC_OK));
  m_owner = std::make_unique<QWidget>();
  m_menu = new CPelmarMenu(m_owner.get());
  m_pane = new CPelmarServerDlg(m_menu, m_owner.get());
  connect(m_menu, &CPelmarMenu::commandTriggered, m_pane, &CPelmarServerDlg::OnCommand);
  m_pane->LoadSortType();
  QCOMPARE(m_pane->Load(), 0);
  m_pane->Rebuild();
}

void TestConfigurePort::StartWithLookup(ConfigSet& set, uint32_t address) {
  tarvik::SetClock(&m_clock);
  QCOMPARE(Tkc_RegSetQueryInterval(60), uint16_t(TKC_OK));
  Start(set);
  m_pane->Query().SetResolver([address](const std::string&, uint32_t* found) {
    *found = address;
    return 0;
  });
}

void TestConfigurePort::SelectPort(int server, int entry) {
  QTreeWidgetItem* root = m_pane->Tree()->topLevelItem(0);
  for (int i = 0; i < root->childCount() && m_pane->SelectedServer() != server; ++i)
    m_pane->Tree()->setCurrentItem(root->child(i));
  QCOMPARE(m_pane->SelectedServer(), server);
  QTreeWidget* list = m_pane->PortList();
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    list->setCurrentItem(list->topLevelItem(i));
    if (m_pane->SelectedPortEntry() == entry) return;
  }
  QFAIL("port not in the list");
}

void TestConfigurePort::TickWithLookup() {
  m_clock.Advance(static_cast<uint32_t>(m_pane->Query().IntervalMs()) + 1);
  m_pane->HostQueryStep();
}

void TestConfigurePort::comFlagsAndDeviceBaudRateChangeTogether() {
  auto set = MakeSet();
  AddServer(*set, DeviceServer());
  Start(*set);
  QCOMPARE(m_pane->SelectedServer(), 0);
  m_pane->PortList()->setCurrentItem(m_pane->PortList()->topLevelItem(2));  // "Port 3", COM7 (no usable port 2)

  QString deviceStatus;
  WhenModal<CConfigPort>([&](CConfigPort* dialog) {
    CConfigPortMap* map = dialog->MapPage();
    map->ComList()->setCurrentText(QStringLiteral("COM12"));
    map->FixedBaud()->setChecked(true);
    map->DisablePurge()->setChecked(true);
    map->WriteBuffer()->setChecked(true);
    map->Interval()->setText(QStringLiteral("200"));
    dialog->Tabs()->SetCurrentIndex(1);
    dialog->SetPage()->Baud()->setText(QStringLiteral("19200"));
    dialog->SetPage()->SetButton()->click();
    deviceStatus = dialog->SetPage()->StatusLine()->text();
    dialog->accept();
  });
  m_pane->OnCommand(PelmarCommand::kConfigurePort);

  QCOMPARE(deviceStatus, QStringLiteral("Status: Setting OK!"));
  QCOMPARE(m_device->Received(), std::string("163\r06319200\r"));
  m_device->WithDevice([](devsim::CommandPortDevice& d) {
    QCOMPARE(d.Settings().ports[2].baud, std::string("19200"));
    QCOMPARE(d.Settings().ports[2].format, std::string("8N1"));
  });
  QVERIFY(m_ui->messageBoxes.empty());  // nothing left to ask on OK
  QVERIFY(App().restartPending);

  const ServerRecord stored = Stored(0);
  QCOMPARE(stored.PortMap[4].Com, App().config.Records[0].PortMap[4].Com);
  QCOMPARE(stored.PortMap[4].Options, App().config.Records[0].PortMap[4].Options);

  QProcess tarvikctl;
  tarvikctl.start(QStringLiteral(TARVIKCTL_PATH), {QStringLiteral("servers")});
  QVERIFY(tarvikctl.waitForFinished(20000));
  QCOMPARE(tarvikctl.exitCode(), 0);
  const QString listing = QString::fromLatin1(tarvikctl.readAllStandardOutput());
  QVERIFY2(listing.contains(QStringLiteral("port server=1 port=3 com=12 devport=3 slot=0 index=3 "
                                           "fixed=1 purge=1 writebuffer=1 autoflush=20\n")),
           qPrintable(listing));
  QVERIFY2(listing.contains(QStringLiteral("port server=1 port=2 com=6 devport=2 slot=0 index=2 "
                                           "fixed=0 purge=0 writebuffer=0 autoflush=5\n")),
           qPrintable(listing));
}

void TestConfigurePort::okWithNothingChangedLeavesTheStoreAsItWas_data() {
  QTest::addColumn<int>("entry");
  QTest::addColumn<bool>("reassign");
  QTest::addColumn<uint32_t>("com");      // the entry's COM word, 0 to keep the usual one
  QTest::addColumn<uint32_t>("options");  // the entry's options word, 0xFFFFFFFF to keep it
  // Re-assignment and imported files leave ports above the list.
  QTest::newRow("COM600 above MaxVCOM 512") << 4 << false << PortWord(600, 3, 3, 0) << ~0u;
  // Left on from the last time, over numbers with gaps between them.
  QTest::newRow("re-assign left on") << 2 << true << PortWord(5, 1, 1, 0) << ~0u;
  // The page shows 50 ms for an interval it cannot show.
  QTest::newRow("interval stored out of range") << 5 << false << PortWord(12, 4, 4, 0)
                                                << (1u | (60u << 1));
  QTest::newRow("I/O port without the fixed flag") << 0 << false << 3u << ~0u;
}

void TestConfigurePort::okWithNothingChangedLeavesTheStoreAsItWas() {
  QFETCH(int, entry);
  QFETCH(bool, reassign);
  QFETCH(uint32_t, com);
  QFETCH(uint32_t, options);
  auto set = MakeSet();
  ServerRecord r = DeviceServer();
  r.PortMap[4].Com = PortWord(9, 3, 3, 0);
  r.PortMap[5].Com = PortWord(12, 4, 4, 0);
  r.PortMap[entry].Com = com;
  if (options != ~0u) r.PortMap[entry].Options = options;
  AddServer(*set, r);
  Start(*set);
  App().ui.chkAnc = reassign ? 1 : 0;
  SelectPort(0, entry);
  const std::string before = StoreSnapshot();
  const ServerRecord inMemory = App().config.Records[0];

  QString selected;
  WhenModal<CConfigPort>([&](CConfigPort* dialog) {
    selected = dialog->MapPage()->ComList()->currentText();
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  });
  m_pane->OnCommand(PelmarCommand::kConfigurePort);

  QCOMPARE(selected, QString::fromLatin1(
                         tarvik::device::ComListText(tarvik::app::ComNumber(com)).c_str()));
  QVERIFY(m_ui->messageBoxes.empty());
  QCOMPARE(StoreSnapshot(), before);
  QVERIFY(std::memcmp(&App().config.Records[0], &inMemory, sizeof inMemory) == 0);
  QVERIFY(!App().restartPending);
}

void TestConfigurePort::reloadWhileOpenConfiguresTheSameServer() {
  auto set = MakeSet();
  AddServer(*set, DeviceServer());
  ServerRecord other = MakeServer("4629", "127.0.0.5", "", "b.example");
  other.PortNo = 4;
  for (uint32_t p = 1; p <= 4; ++p) other.PortMap[p + 1].Com = PortWord(20 + p, p, p, 0);
  AddServer(*set, other);
  StartWithLookup(*set, Ip(127, 0, 0, 6));
  SelectPort(0, 4);

  WhenModal<CConfigPort>([&](CConfigPort* dialog) {
    // Another program writes the list in the other order...
    auto reordered = MakeSet();
    AddServer(*reordered, other);
    AddServer(*reordered, DeviceServer());
    reordered->Flags = TKC_FLAGS_FORMAT_MARKER;
    QCOMPARE(Tkc_RegWriteAll(reordered.get()), uint16_t(TKC_OK));
    // ...and the timer's lookup, writing its server, takes that list in.
    m_ui->AnswerMessageBoxes({tarvik::kIdNo});
    TickWithLookup();
    QCOMPARE(QString::fromLatin1(App().config.Records[0].ServerName), QStringLiteral("4629"));
    dialog->MapPage()->ComList()->setCurrentText(QStringLiteral("COM12"));
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  });
  m_pane->OnCommand(PelmarCommand::kConfigurePort);

  QCOMPARE(m_ui->messageBoxes.size(), size_t(1));  // only the timer's whose-list question
  for (const ServerRecord& r : {App().config.Records[1], Stored(1)}) {
    QCOMPARE(QString::fromLatin1(r.ServerName), QStringLiteral("3147"));
    QCOMPARE(tarvik::app::ComNumber(r.PortMap[4].Com), 12u);
  }
  for (const ServerRecord& r : {App().config.Records[0], Stored(0)}) {
    QCOMPARE(QString::fromLatin1(r.ServerName), QStringLiteral("4629"));
    QCOMPARE(tarvik::app::ComNumber(r.PortMap[4].Com), 23u);
  }
  QVERIFY(App().restartPending);
  QCOMPARE(m_pane->SelectedServer(), 1);
}

void TestConfigurePort::comNumberTakenWhileOpenIsNotGivenTwice() {
  auto set = MakeSet();
  AddServer(*set, DeviceServer());
  ServerRecord other = MakeServer("4629", "127.0.0.5");
  other.PortNo = 1;
  other.PortMap[2].Com = PortWord(30, 1, 1, 0);
  AddServer(*set, other);
  Start(*set);
  SelectPort(0, 4);
  WhenModal<CConfigPort>([&](CConfigPort* dialog) {
    // Another program maps the other server's port to COM12 meanwhile.
    ServerRecord moved = other;
    moved.PortMap[2].Com = PortWord(12, 1, 1, 0);
    QCOMPARE(Tkc_RegWriteOneServer(1, &moved, 928), uint16_t(TKC_OK));
    dialog->MapPage()->ComList()->setCurrentText(QStringLiteral("COM12"));
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  });
  m_pane->OnCommand(PelmarCommand::kConfigurePort);

  QCOMPARE(m_ui->Texts(), (std::vector<std::string>{
                              "COM12 was taken by another port while the dialog was open.\n"
                              "Nothing was stored."}));
  QCOMPARE(tarvik::app::ComNumber(Stored(0).PortMap[4].Com), 7u);
  QCOMPARE(tarvik::app::ComNumber(App().config.Records[0].PortMap[4].Com), 7u);
  QCOMPARE(tarvik::app::ComNumber(App().config.Records[1].PortMap[2].Com), 12u);
  QVERIFY(!App().restartPending);
}

void TestConfigurePort::hostLookupWhileOpenKeepsTheFoundAddress() {
  auto set = MakeSet();
  ServerRecord r = DeviceServer();
  tarvik::CopyText(r.HostName, "a.example");
  AddServer(*set, r);
  StartWithLookup(*set, Ip(127, 0, 0, 6));
  SelectPort(0, 4);
  WhenModal<CConfigPort>([&](CConfigPort* dialog) {
    TickWithLookup();
    QCOMPARE(App().config.Records[0].IPAddress, Ip(127, 0, 0, 6));
    dialog->MapPage()->ComList()->setCurrentText(QStringLiteral("COM12"));
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  });
  m_pane->OnCommand(PelmarCommand::kConfigurePort);

  QVERIFY(m_ui->messageBoxes.empty());
  for (const ServerRecord& stored : {App().config.Records[0], Stored(0)}) {
    QCOMPARE(stored.IPAddress, Ip(127, 0, 0, 6));
    QCOMPARE(tarvik::app::ComNumber(stored.PortMap[4].Com), 12u);
  }
}

QTEST_MAIN(TestConfigurePort)
#include "tst_configureport.moc"
