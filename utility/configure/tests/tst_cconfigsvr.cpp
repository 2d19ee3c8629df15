// The Server Configuration dialog against a simulated device's command port
// on loopback: the tab change that is refused, the first read of the
// device, changing its network settings, and what OK hands back.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>
#include <cstring>
#include <memory>

#include "cconfigsvr.h"
#include "cconfigsvrdev.h"
#include "cconfigsvropt.h"
#include "command_server.h"
#include "cpagetabctrl.h"
#include "server_options.h"
#include "ui_hook_double.h"

using tarvik::device::DeviceField;
using tarvik::device::ServerOptionNumber;

namespace {

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return a | (b << 8) | (c << 16) | (d << 24);
}

void Retype(QLineEdit* edit, const char* text) {
  edit->selectAll();
  QTest::keyClicks(edit, QString::fromLatin1(text));
}

}  // namespace

class TestCConfigSvr : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void connectTimeoutZeroKeepsTheOptionsTab();
  void firstVisitReadsTheDeviceOnce();
  void onlyTheChangedGatewayGoesOnTheWire();
  void nothingChangedDoesNotConnect();
  void newAddressBecomesThePrimaryOne();
  void redundantAddressIsCheckedOnOk();
  void busyDialogTakesNoSecondAction();

 private:
  void StartDevice(devsim::CommandPortSettings settings = {});
  void ShowDevicePage();
  std::string Wire() { return m_server->Received(); }

  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<CommandServer> m_server;
  std::unique_ptr<CConfigSvr> m_dialog;
  TkcServerRecord m_record{};
};

void TestCConfigSvr::init() {
  m_ui = std::make_unique<UiHookDouble>();
  // As the program's hook: the session's connect keeps the UI running.
  tarvik::SetPumpHook([] { QCoreApplication::processEvents(); });
}

void TestCConfigSvr::cleanup() {
  m_dialog.reset();
  m_server.reset();
  m_ui.reset();
}

void TestCConfigSvr::StartDevice(devsim::CommandPortSettings settings) {
  settings.ip = "127.0.0.1";
  m_server = std::make_unique<CommandServer>(std::move(settings));
  std::memset(&m_record, 0, sizeof m_record);
  m_record.IPAddress = Ip(127, 0, 0, 1);
  m_record.IPAddress2 = Ip(127, 0, 0, 9);
  m_record.KeepAliveTime = 30000;
  m_record.ConnectionBroken = 0;
  m_record.ConnectTimeout = 1000;
  m_record.TcpPortCmd = m_server->Port();
  m_record.TcpPort7000 = 9999;
  m_dialog = std::make_unique<CConfigSvr>();
  m_dialog->SetServer(0, QStringLiteral("Q410X-2 [127.0.0.1]"), m_record);
  m_dialog->show();
}

void TestCConfigSvr::ShowDevicePage() {
  QTest::mouseClick(m_dialog->Tabs()->TabBar(), Qt::LeftButton, {},
                    m_dialog->Tabs()->TabBar()->tabRect(CConfigSvr::kDevicePage).center());
}

void TestCConfigSvr::connectTimeoutZeroKeepsTheOptionsTab() {
  StartDevice();
  Retype(m_dialog->OptionsPage()->NumberEdit(tarvik::device::kConnectTimeout), "0");
  ShowDevicePage();
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{
                              "Input a value between 1 to 180 seconds for Connect Timeout."});
  QCOMPARE(m_dialog->Tabs()->CurrentIndex(), int(CConfigSvr::kOptionsPage));
  QVERIFY(m_dialog->OptionsPage()->isVisible());
  QVERIFY(!m_dialog->DevicePage()->isVisible());
  QCOMPARE(Wire(), std::string());
}

void TestCConfigSvr::firstVisitReadsTheDeviceOnce() {
  devsim::CommandPortSettings s;
  s.shareMode = "1";
  s.gateway = "127.0.0.254";
  StartDevice(s);
  ShowDevicePage();
  CConfigSvrDev* page = m_dialog->DevicePage();
  QVERIFY(page->isVisible());
  QCOMPARE(page->AddressEdit()->text(), QStringLiteral("127.0.0.1"));
  QCOMPARE(page->PortEdit()->text(), QString::number(m_server->Port()));
  QVERIFY(!page->PortEdit()->isEnabled());
  QCOMPARE(page->Field(DeviceField::kServerName)->text(), QStringLiteral("Q410X-2"));
  QCOMPARE(page->Field(DeviceField::kOperationMode)->text(), QStringLiteral("1, Non-shared"));
  QCOMPARE(page->Field(DeviceField::kGateway)->text(), QStringLiteral("127.0.0.254"));
  QCOMPARE(page->Field(DeviceField::kPasswordSetting)->text(), QStringLiteral("Unlocked"));
  QCOMPARE(page->StatusLine()->text(), QStringLiteral("Status : OK"));
  QVERIFY(page->SetButton()->isEnabled());
  // Device texts blue, the status line red, the entries as usual.
  QCOMPARE(page->Field(DeviceField::kServerName)->palette().color(QPalette::Text),
           QColor(50, 50, 200));
  QCOMPARE(page->StatusLine()->palette().color(QPalette::WindowText), QColor(200, 50, 50));
  QVERIFY(page->AddressEdit()->palette().color(QPalette::Text) != QColor(50, 50, 200));
  QCOMPARE(m_dialog->Description()->palette().color(QPalette::WindowText), QColor(50, 50, 200));
  // Pages sit 10 pixels in and 30 down, 20 narrower and 40 shorter.
  const QRect tabs = m_dialog->Tabs()->rect();
  QCOMPARE(page->geometry(), QRect(10, 30, tabs.width() - 20, tabs.height() - 40));

  // Back and forth again does not ask the device a second time.
  m_server->ClearReceived();
  m_dialog->Tabs()->SetCurrentIndex(CConfigSvr::kOptionsPage);
  ShowDevicePage();
  QCOMPARE(Wire(), std::string());
  QTest::mouseClick(page->RefreshButton(), Qt::LeftButton);
  QCOMPARE(Wire().substr(0, 4), std::string("10\r0"));
}

void TestCConfigSvr::onlyTheChangedGatewayGoesOnTheWire() {
  StartDevice();
  ShowDevicePage();
  m_server->ClearReceived();
  Retype(m_dialog->DevicePage()->Field(DeviceField::kGateway), "127.0.0.254");
  QTest::mouseClick(m_dialog->DevicePage()->SetButton(), Qt::LeftButton);
  QVERIFY(m_server->WaitUntil([](devsim::CommandPortDevice& d) { return d.RestartCount() == 1; }));
  QCOMPARE(Wire(), std::string("26ISAVE=1,GATEWAY=127.0.0.254\r33RESET\r"));
  QCOMPARE(m_ui->messageBoxes.size(), size_t(1));
  QVERIFY(m_ui->messageBoxes[0].text.rfind("Caution!!\n\nThe wrong network setting (IP /Mask "
                                           "/Gateway) may cause",
                                           0) == 0);
  QCOMPARE(m_ui->messageBoxes[0].Buttons(), unsigned(tarvik::kMbYesNo));
}

void TestCConfigSvr::nothingChangedDoesNotConnect() {
  StartDevice();
  ShowDevicePage();
  m_server->ClearReceived();
  QTest::mouseClick(m_dialog->DevicePage()->SetButton(), Qt::LeftButton);
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{"Nothing changed!"});
  QCOMPARE(Wire(), std::string());
  QCOMPARE(m_dialog->DevicePage()->StatusLine()->text(), QStringLiteral("Status : OK"));
}

void TestCConfigSvr::newAddressBecomesThePrimaryOne() {
  StartDevice();
  ShowDevicePage();
  Retype(m_dialog->DevicePage()->AddressEdit(), "127.0.0.2");
  QTest::mouseClick(m_dialog->DevicePage()->SetButton(), Qt::LeftButton);
  QVERIFY(m_server->WaitUntil([](devsim::CommandPortDevice& d) { return d.RestartCount() == 1; }));
  QVERIFY(m_dialog->DevicePage()->NetworkChanged());

  m_dialog->Tabs()->SetCurrentIndex(CConfigSvr::kOptionsPage);
  QCOMPARE(m_dialog->OptionsPage()->AddressEdit()->text(), QStringLiteral("127.0.0.2"));
  Retype(m_dialog->OptionsPage()->Address2Edit(), "0.0.0.0");
  Retype(m_dialog->OptionsPage()->NumberEdit(tarvik::device::kKeepAliveTime), "45");
  m_dialog->accept();
  QCOMPARE(m_dialog->result(), int(QDialog::Accepted));

  TkcServerRecord stored = m_record;
  tarvik::device::MergeOptionsIntoRecord(tarvik::device::OptionsFromRecord(m_record),
                                         m_dialog->Options(), stored, nullptr);
  QCOMPARE(stored.IPAddress, Ip(127, 0, 0, 2));
  QCOMPARE(stored.IPAddress2, 0u);
  QCOMPARE(stored.KeepAliveTime, 45000u);
  QCOMPARE(stored.ConnectTimeout, 1000u);
}

void TestCConfigSvr::redundantAddressIsCheckedOnOk() {
  StartDevice();
  Retype(m_dialog->OptionsPage()->Address2Edit(), "127.0.0");
  m_dialog->accept();
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{
                              "Invalid Redundant IP (Secondary) on Server-Options setting!"});
  QVERIFY(m_dialog->isVisible());
  Retype(m_dialog->OptionsPage()->Address2Edit(), " ");
  m_dialog->accept();
  QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
  QCOMPARE(m_dialog->Options().address2, std::string(" "));
}

void TestCConfigSvr::busyDialogTakesNoSecondAction() {
  StartDevice();
  ShowDevicePage();
  m_server->ClearReceived();
  CConfigSvrDev* page = m_dialog->DevicePage();
  bool checked = false;
  // Runs while the session's connect lets the UI work.
  QTimer::singleShot(0, this, [&] {
    checked = true;
    QVERIFY(page->Busy());
    QVERIFY(!page->RefreshButton()->isEnabled());
    QVERIFY(!page->SetButton()->isEnabled());
    QVERIFY(!m_dialog->Tabs()->isEnabled());
    page->Refresh();  // as a second click would
    m_dialog->reject();
  });
  page->Refresh();
  QVERIFY(checked);
  QVERIFY(m_dialog->isVisible());
  QVERIFY(m_dialog->Tabs()->isEnabled());
  QVERIFY(page->RefreshButton()->isEnabled());
  const std::string wire = Wire();
  QCOMPARE(wire.find("10\r"), size_t(0));
  QCOMPARE(wire.find("10\r", 1), std::string::npos);
}

QTEST_MAIN(TestCConfigSvr)
#include "tst_cconfigsvr.moc"
