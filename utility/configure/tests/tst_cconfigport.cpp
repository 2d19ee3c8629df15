// The "Port Configuration" dialog over the application's configuration set,
// with its device page talking to a simulated command port on loopback.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>
#include <memory>
#include <vector>

#include "app_state.h"
#include "cconfigport.h"
#include "cconfigportmap.h"
#include "cconfigportset.h"
#include "command_server.h"
#include "cpagetabctrl.h"
#include "record_fixture.h"
#include "rfc2217_data_server.h"
#include "ui_hook_double.h"

using tarvik::app::testing::MakeServer;
using tarvik::app::testing::PortWord;

namespace {

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

}  // namespace

class TestCConfigPort : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void titleLineForEachKindOfEntry();
  void portIoPageIsDisabledWithoutConnecting();
  void pagesSitInsideTheTabFrame();
  void ownComNumberIsListedAndSelected();
  void ownComNumberAboveMaxVcomIsListedAndSelected();
  void recordsChangedWhileOpenLeaveTheDialogOnItsServer();
  void applyToSlotsFollowsReassignOnSlottedServers();
  void intervalOutOfRangeIsRefusedOnTabChangeAndOk();
  void firstVisitReadsAndRetriesUntilABaudRateCame();
  void limitedPortListsAndItsRefusedDataBits();
  void limitedPortSelectsNothingAfterARefusedItem_data();
  void limitedPortSelectsNothingAfterARefusedItem();
  void tabsAndButtonsAreLockedWhileTheDeviceIsAsked();
  void okAsksToWriteAChangedSettingAndSendsOnlyTheFormat();
  void okWithoutDeviceChangesAsksNothing();
  void rfc2217ServerIsReadAndSetOnTheDataPort();
  void rfc2217PortHeldByAnApplicationIsLeftAloneAndTheEntriesStay();

 private:
  // Server 0: "3147" with data ports 1..4 (entries 2..5) on COM 5..8 and its
  // command port on the simulator.
  void AddServer(const char* name, uint8_t slotted = 0);
  std::unique_ptr<CConfigPort> Open(int entry, bool reassign = false);
  // Server 0 speaks RFC 2217 on its data ports; data port 3 (entry 4, COM 7)
  // is the simulator's data port.
  void UseRfc2217DataPort(Rfc2217DataServer& data);

  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<CommandServer> m_device;
};

void TestCConfigPort::init() {
  m_ui = std::make_unique<UiHookDouble>();
  ResetAppState();
  devsim::CommandPortSettings settings;
  settings.ip = "127.0.0.1";
  settings.name = "3147";
  settings.ports = std::vector<devsim::SerialPortSettings>(4);
  m_device = std::make_unique<CommandServer>(settings);
}

void TestCConfigPort::cleanup() {
  m_device.reset();
  m_ui.reset();
}

void TestCConfigPort::AddServer(const char* name, uint8_t slotted) {
  ServerRecord r = MakeServer(name, "127.0.0.1");
  r.PortNo = 4;
  r.Slotted = slotted;
  r.TcpPortCmd = m_device->Port();
  r.ConnectTimeout = 2000;
  r.PortMap[0].Com = 0;
  for (uint32_t p = 1; p <= 4; ++p) r.PortMap[p + 1].Com = PortWord(4 + p, p, p, 0);
  r.PortMap[5].Com = PortWord(0, 4, 4, 0);  // data port 4 unmapped
  r.PortMap[3].Options = 1 | (12u << 1);     // data port 2: write buffer, 120 ms
  tarvik::app::testing::AddServer(App().config, r);
  for (uint32_t com : {5u, 6u, 7u}) App().ownComMap[com - 1] = 1;
}

std::unique_ptr<CConfigPort> TestCConfigPort::Open(int entry, bool reassign) {
  auto dialog = std::make_unique<CConfigPort>(0, entry, reassign);
  dialog->show();
  return dialog;
}

void TestCConfigPort::titleLineForEachKindOfEntry() {
  AddServer("3147");
  QCOMPARE(Open(0)->Title()->text(), QStringLiteral("Server: 3147 (127.0.0.1), Port I/O"));
  QCOMPARE(Open(0)->Title()->textFormat(), Qt::PlainText);  // the device's name is text
  QCOMPARE(Open(1)->Title()->text(), QStringLiteral("Server: 3147 (127.0.0.1), Cmd Port"));
  QCOMPARE(Open(4)->Title()->text(), QStringLiteral("Server: 3147 (127.0.0.1), Port 3"));
}

void TestCConfigPort::portIoPageIsDisabledWithoutConnecting() {
  AddServer("3147");
  auto dialog = Open(0);
  QVERIFY(!dialog->MapPage()->FixedBaud()->isChecked());
  dialog->Tabs()->SetCurrentIndex(1);
  CConfigPortSet* page = dialog->SetPage();
  QCOMPARE(page->StatusLine()->text(), QStringLiteral("Port I/O does not support configuration!"));
  QVERIFY(!page->isEnabled());
  QVERIFY(!page->Baud()->isEnabled());
  QVERIFY(!page->Parity()->isEnabled());
  QCOMPARE(page->Baud()->text(), QStringLiteral("N/A"));
  QCOMPARE(m_device->Received(), std::string());
}

void TestCConfigPort::pagesSitInsideTheTabFrame() {
  AddServer("3147");
  auto dialog = Open(0);  // the I/O port: its device page asks nothing
  QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
  for (int tab : {0, 1, 0}) {
    dialog->Tabs()->SetCurrentIndex(tab);
    const QRect frame = dialog->Tabs()->rect();
    QWidget* page = dialog->Tabs()->Page(tab);
    QVERIFY(page->isVisible());
    QCOMPARE(page->geometry(), QRect(10, 30, frame.width() - 20, frame.height() - 40));
  }
  dialog->resize(dialog->width() + 40, dialog->height() + 30);
  const QRect frame = dialog->Tabs()->rect();
  QCOMPARE(dialog->MapPage()->geometry(),
           QRect(10, 30, frame.width() - 20, frame.height() - 40));
}

void TestCConfigPort::ownComNumberIsListedAndSelected() {
  AddServer("3147");
  App().occupiedComMap[0] = 1;  // COM1: a serial port of the machine
  App().ui.maxVcom = 10;
  auto dialog = Open(4);  // data port 3 on COM7
  QComboBox* list = dialog->MapPage()->ComList();
  QCOMPARE(Items(list), (QStringList{"UnMap", "COM2", "COM3", "COM4", "COM7", "COM8", "COM9",
                                     "COM10"}));
  QCOMPARE(list->currentText(), QStringLiteral("COM7"));
  dialog->accept();
  QCOMPARE(dialog->Choice().com, 7u);
  // The table handed back counts the entry's own number as free.
  QCOMPARE(int(dialog->InUse()[6]), 0);
  QCOMPARE(int(dialog->InUse()[5]), 1);
  QCOMPARE(int(dialog->InUse()[0]), 1);

  auto unmapped = Open(5);
  QCOMPARE(unmapped->MapPage()->ComList()->currentText(), QStringLiteral("UnMap"));
  unmapped->accept();
  QCOMPARE(unmapped->Choice().com, 0u);
}

void TestCConfigPort::ownComNumberAboveMaxVcomIsListedAndSelected() {
  AddServer("3147");
  App().config.Records[0].PortMap[4].Com = PortWord(600, 3, 3, 0);
  App().ownComMap[599] = 1;
  auto dialog = Open(4);  // MaxVCOM at its default, 512
  QComboBox* list = dialog->MapPage()->ComList();
  QCOMPARE(list->count(), 1 + 512 - 3 + 1);  // "UnMap", 1..512 but COM5..7, COM600
  QCOMPARE(list->itemText(list->count() - 2), QStringLiteral("COM512"));
  QCOMPARE(list->currentText(), QStringLiteral("COM600"));
  dialog->accept();
  QCOMPARE(dialog->Choice().com, 600u);
  QVERIFY(tarvik::device::SamePortChoice(dialog->Choice(), dialog->Shown()));
}

void TestCConfigPort::recordsChangedWhileOpenLeaveTheDialogOnItsServer() {
  AddServer("3147");
  auto dialog = Open(4);
  // The timer's reload puts another server where this one was.
  App().config.Records[0] = MakeServer("4629", "127.0.0.2");
  dialog->Tabs()->SetCurrentIndex(1);
  QCOMPARE(dialog->SetPage()->StatusLine()->text(), QStringLiteral("Status: OK"));
  QCOMPARE(m_device->Received(), std::string("163\r"));
  QCOMPARE(dialog->Title()->text(), QStringLiteral("Server: 3147 (127.0.0.1), Port 3"));
}

void TestCConfigPort::applyToSlotsFollowsReassignOnSlottedServers() {
  AddServer("ZNX-0800", 1);
  auto mapped = Open(2, true);
  QVERIFY(!mapped->MapPage()->ApplyToSlots()->isChecked());
  QVERIFY(!mapped->MapPage()->ApplyToSlots()->isEnabled());
  auto dialog = Open(5, true);  // unmapped
  CConfigPortMap* page = dialog->MapPage();
  QVERIFY(page->ApplyToSlots()->isChecked());
  QVERIFY(page->ApplyToSlots()->isEnabled());
  page->Reassign()->click();
  QVERIFY(!page->ApplyToSlots()->isChecked());
  QVERIFY(!page->ApplyToSlots()->isEnabled());
  page->Reassign()->click();
  QVERIFY(page->ApplyToSlots()->isChecked());
  QVERIFY(page->ApplyToSlots()->isEnabled());
  dialog->accept();
  QVERIFY(dialog->Choice().reassign);
  QVERIFY(dialog->Choice().applyToSlots);

  App().config.Records[0].Slotted = 0;
  auto plain = Open(5, true);
  QVERIFY(!plain->MapPage()->ApplyToSlots()->isEnabled());
  plain->MapPage()->Reassign()->click();
  QVERIFY(!plain->MapPage()->ApplyToSlots()->isEnabled());
}

void TestCConfigPort::intervalOutOfRangeIsRefusedOnTabChangeAndOk() {
  AddServer("3147");
  auto dialog = Open(3);
  CConfigPortMap* page = dialog->MapPage();
  QVERIFY(page->WriteBuffer()->isChecked());
  QCOMPARE(page->Interval()->text(), QStringLiteral("120"));
  page->WriteBuffer()->click();
  QVERIFY(!page->Interval()->isEnabled());
  page->WriteBuffer()->click();
  QVERIFY(page->Interval()->isEnabled());

  page->Interval()->setText(QStringLiteral("5"));
  dialog->Tabs()->SetCurrentIndex(1);
  QCOMPARE(dialog->Tabs()->CurrentIndex(), 0);
  QCOMPARE(m_device->Received(), std::string());  // the device page was not visited
  dialog->accept();
  QVERIFY(dialog->isVisible());
  QCOMPARE(dialog->result(), int(QDialog::Rejected));
  const std::string message = "Input a value between 10 to 500 ms for Auto-Flush Interval.";
  QCOMPARE(m_ui->Texts(), (std::vector<std::string>{message, message}));
  QCOMPARE(m_ui->messageBoxes[0].Icon(), unsigned(tarvik::kMbIconWarning));

  // Typed with leading zeros, as the digits-only field lets anyone do.
  page->Interval()->clear();
  QTest::keyClicks(page->Interval(), QStringLiteral("00100"));
  page->FixedBaud()->click();
  page->DisablePurge()->click();
  dialog->accept();
  QCOMPARE(m_ui->messageBoxes.size(), size_t(2));
  QCOMPARE(dialog->result(), int(QDialog::Accepted));
  QCOMPARE(dialog->Choice().intervalMs, 100u);
  QVERIFY(dialog->Choice().writeBuffer);
  QVERIFY(dialog->Choice().fixedBaud);
  QVERIFY(dialog->Choice().disablePurge);
}

void TestCConfigPort::firstVisitReadsAndRetriesUntilABaudRateCame() {
  AddServer("3147");
  m_device->WithDevice([](devsim::CommandPortDevice& d) {
    d.Settings().faults = {{"16", devsim::CommandFault::kFixedReply, "16N81\r"}};
  });
  auto dialog = Open(4);
  CConfigPortSet* page = dialog->SetPage();
  dialog->Tabs()->SetCurrentIndex(1);
  QCOMPARE(page->StatusLine()->text(),
           QStringLiteral("Err:Getting Baud rate/Data format of a port!"));
  QCOMPARE(page->Baud()->text(), QStringLiteral("N/A"));

  m_device->WithDevice([](devsim::CommandPortDevice& d) {
    d.Settings().faults.clear();
    d.Settings().ports[2] = {"38400", "7O2"};
  });
  dialog->Tabs()->SetCurrentIndex(0);
  dialog->Tabs()->SetCurrentIndex(1);
  QCOMPARE(page->StatusLine()->text(), QStringLiteral("Status: OK"));
  QCOMPARE(page->Baud()->text(), QStringLiteral("38400"));
  QCOMPARE(page->DataBits()->currentText(), QStringLiteral("7"));
  QCOMPARE(page->Parity()->currentText(), QStringLiteral("Odd"));
  QCOMPARE(page->StopBits()->currentText(), QStringLiteral("2"));
  QCOMPARE(m_device->Received(), std::string("163\r163\r"));

  // Read once: later visits leave the device alone.
  dialog->Tabs()->SetCurrentIndex(0);
  dialog->Tabs()->SetCurrentIndex(1);
  QCOMPARE(m_device->Received(), std::string("163\r163\r"));
}

void TestCConfigPort::limitedPortListsAndItsRefusedDataBits() {
  AddServer("Q410X-4");
  m_device->WithDevice([](devsim::CommandPortDevice& d) { d.Settings().ports[0].format = "6N1"; });
  auto dialog = Open(2);
  CConfigPortSet* page = dialog->SetPage();
  QCOMPARE(Items(page->DataBits()), (QStringList{"7", "8"}));
  QCOMPARE(Items(page->Parity()), (QStringList{"None", "Even", "Odd"}));
  QCOMPARE(Items(page->StopBits()), (QStringList{"1", "2"}));
  dialog->Tabs()->SetCurrentIndex(1);
  QCOMPARE(page->StatusLine()->text(),
           QStringLiteral("Err:Getting Baud rate/Data format of a port!"));
  QCOMPARE(page->Baud()->text(), QStringLiteral("9600"));
  QCOMPARE(page->DataBits()->currentIndex(), -1);

  auto later = Open(4);  // data port 3 is not limited
  QCOMPARE(Items(later->SetPage()->DataBits()), (QStringList{"5", "6", "7", "8"}));
  QCOMPARE(later->SetPage()->Parity()->count(), 5);
}

void TestCConfigPort::limitedPortSelectsNothingAfterARefusedItem_data() {
  QTest::addColumn<QString>("format");  // the reply carries parity, data bits, stop bits
  QTest::addColumn<int>("dataBits");
  QTest::addColumn<int>("parity");
  QTest::addColumn<int>("stopBits");
  QTest::newRow("mark parity") << "8M1" << -1 << -1 << -1;
  QTest::newRow("space parity") << "7S1" << -1 << -1 << -1;
  QTest::newRow("six data bits") << "6E1" << -1 << 1 << -1;
  QTest::newRow("two stop bits") << "7N2" << 0 << 0 << -1;
}

void TestCConfigPort::limitedPortSelectsNothingAfterARefusedItem() {
  QFETCH(QString, format);
  QFETCH(int, dataBits);
  QFETCH(int, parity);
  QFETCH(int, stopBits);
  AddServer("Q410X-4");
  m_device->WithDevice([&](devsim::CommandPortDevice& d) {
    d.Settings().ports[0].format = format.toStdString();
  });
  auto dialog = Open(2);
  CConfigPortSet* page = dialog->SetPage();
  dialog->Tabs()->SetCurrentIndex(1);
  QCOMPARE(page->StatusLine()->text(),
           QStringLiteral("Err:Getting Baud rate/Data format of a port!"));
  QCOMPARE(page->DataBits()->currentIndex(), dataBits);
  QCOMPARE(page->Parity()->currentIndex(), parity);
  QCOMPARE(page->StopBits()->currentIndex(), stopBits);
}

void TestCConfigPort::tabsAndButtonsAreLockedWhileTheDeviceIsAsked() {
  AddServer("3147");
  auto dialog = Open(4);
  std::vector<bool> tabsEnabled, okEnabled, setEnabled;
  connect(dialog->SetPage(), &CConfigPortSet::busyChanged, this, [&](bool) {
    tabsEnabled.push_back(dialog->Tabs()->TabBar()->isEnabled());
    okEnabled.push_back(dialog->OkButton()->isEnabled() || dialog->CancelButton()->isEnabled());
    setEnabled.push_back(dialog->SetPage()->SetButton()->isEnabled());
  });
  dialog->Tabs()->SetCurrentIndex(1);
  dialog->SetPage()->Parity()->setCurrentIndex(1);
  dialog->SetPage()->SetButton()->click();
  QCOMPARE(tabsEnabled, (std::vector<bool>{false, true, false, true}));
  QCOMPARE(okEnabled, (std::vector<bool>{false, true, false, true}));
  QCOMPARE(setEnabled, (std::vector<bool>{false, true, false, true}));
  QCOMPARE(dialog->SetPage()->StatusLine()->text(), QStringLiteral("Status: Setting OK!"));
}

void TestCConfigPort::okAsksToWriteAChangedSettingAndSendsOnlyTheFormat() {
  AddServer("3147");
  auto dialog = Open(4);
  dialog->Tabs()->SetCurrentIndex(1);
  m_device->ClearReceived();
  dialog->SetPage()->Parity()->setCurrentIndex(2);  // "Odd", without pressing Set
  m_ui->AnswerMessageBoxes({tarvik::kIdYes});
  dialog->accept();
  QCOMPARE(m_ui->Texts(), (std::vector<std::string>{
                              "Port setting is changed!\nDo you want to set it to EEPROM "
                              "(Device) now?\n."}));
  QCOMPARE(m_ui->messageBoxes[0].Buttons(), unsigned(tarvik::kMbYesNo));
  QCOMPARE(m_device->Received(), std::string("0738O1\r"));
  QCOMPARE(dialog->result(), int(QDialog::Accepted));
  QCOMPARE(dialog->Choice().com, 7u);
}

void TestCConfigPort::okWithoutDeviceChangesAsksNothing() {
  AddServer("3147");
  auto dialog = Open(4);
  dialog->Tabs()->SetCurrentIndex(1);
  dialog->SetPage()->SetButton()->click();
  QCOMPARE(dialog->SetPage()->StatusLine()->text(), QStringLiteral("Status: Nothing changed!"));
  m_device->ClearReceived();
  dialog->accept();
  QVERIFY(m_ui->messageBoxes.empty());
  QCOMPARE(m_device->Received(), std::string());
  QCOMPARE(dialog->result(), int(QDialog::Accepted));
}

void TestCConfigPort::UseRfc2217DataPort(Rfc2217DataServer& data) {
  App().config.DataProtocol[0] = TKC_DATA_PROTOCOL_RFC2217;
  App().config.Records[0].TcpPortCmd = data.Port() - 3u;  // the driver's rule: command port + 3
}

void TestCConfigPort::rfc2217ServerIsReadAndSetOnTheDataPort() {
  AddServer("3147");
  Rfc2217DataServer data("ack");
  UseRfc2217DataPort(data);
  auto dialog = Open(4);
  CConfigPortSet* page = dialog->SetPage();
  page->Device().SetUseQuery([](uint32_t) { return tarvik::device::DataPortUse::kFree; });
  dialog->Tabs()->SetCurrentIndex(1);
  QCOMPARE(page->StatusLine()->text(), QStringLiteral("Status: OK"));
  QCOMPARE(page->Baud()->text(), QStringLiteral("9600"));
  QCOMPARE(page->Parity()->currentText(), QStringLiteral("None"));
  page->Baud()->setText(QStringLiteral("57600"));
  page->SetButton()->click();
  QCOMPARE(page->StatusLine()->text(), QStringLiteral("Status: Setting OK!"));
  QCOMPARE(data.Notes(), (std::vector<std::string>{"baud=57600"}));
  QCOMPARE(data.Connections(), 2);
  QVERIFY(!page->Changed());
  QVERIFY(m_ui->messageBoxes.empty());
}

void TestCConfigPort::rfc2217PortHeldByAnApplicationIsLeftAloneAndTheEntriesStay() {
  AddServer("3147");
  Rfc2217DataServer data("ack");
  UseRfc2217DataPort(data);
  auto dialog = Open(4);
  CConfigPortSet* page = dialog->SetPage();
  std::vector<uint32_t> asked;
  page->Device().SetUseQuery([&](uint32_t com) {
    asked.push_back(com);
    return tarvik::device::DataPortUse::kHeld;
  });
  dialog->Tabs()->SetCurrentIndex(1);
  const QString why = QStringLiteral(
      "COM7 is in use by an application; its line settings travel with its data and cannot be "
      "read or set from here now.");
  QCOMPARE(page->StatusLine()->text(), why);
  page->Baud()->setText(QStringLiteral("38400"));
  page->DataBits()->setCurrentIndex(3);
  page->Parity()->setCurrentIndex(1);
  page->StopBits()->setCurrentIndex(0);
  page->SetButton()->click();
  QCOMPARE(m_ui->Texts(), (std::vector<std::string>{"Error: " + why.toStdString()}));
  QCOMPARE(page->Baud()->text(), QStringLiteral("38400"));
  QCOMPARE(page->Parity()->currentText(), QStringLiteral("Even"));
  QCOMPARE(data.Connections(), 0);
  QCOMPARE(m_device->Received(), std::string());
  QCOMPARE(asked, (std::vector<uint32_t>{7, 7}));
}

QTEST_MAIN(TestCConfigPort)
#include "tst_cconfigport.moc"
