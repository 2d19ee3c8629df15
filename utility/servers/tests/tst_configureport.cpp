// Configure Port from the servers pane against a simulated device on
// loopback: a port's COM number and flags change in the configuration, its
// baud rate on the device; the store, tarvikctl's listing and the device's
// record of received commands all agree.
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
#include "tarvik/registry.h"
#include "temp_root.h"
#include "ui_hook_double.h"

using tarvik::app::testing::AddServer;
using tarvik::app::testing::MakeServer;
using tarvik::app::testing::MakeSet;
using tarvik::app::testing::PortWord;

class TestConfigurePort : public QObject {
  Q_OBJECT
 private slots:
  void comFlagsAndDeviceBaudRateChangeTogether();
};

void TestConfigurePort::comFlagsAndDeviceBaudRateChangeTogether() {
  tarvik::TempStateRoot root;
  UiHookDouble ui;
  ResetAppState();
  devsim::CommandPortSettings settings;
  settings.ip = "127.0.0.1";
  settings.name = "3147";
  settings.ports = std::vector<devsim::SerialPortSettings>(4);
  CommandServer device(settings);

  tarvik::RegKey services;
  QCOMPARE(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  services.Close();
  QCOMPARE(Tkc_RegCheckCreateServiceKey(), uint16_t(TKC_OK));
  auto set = MakeSet();
  ServerRecord r = MakeServer("3147", "127.0.0.1");
  r.PortNo = 4;
  r.TcpPortCmd = device.Port();
  r.ConnectTimeout = 2000;
  for (uint32_t p = 1; p <= 4; ++p) r.PortMap[p + 1].Com = PortWord(4 + p, p, p, 0);
  for (uint32_t p = 1; p <= 4; ++p) r.PortMap[p + 1].Options = 5u << 1;
  AddServer(*set, r);
  set->Flags = TKC_FLAGS_FORMAT_MARKER;
  QCOMPARE(Tkc_RegWriteAll(set.get()), uint16_t(TKC_OK));

  QWidget owner;
  auto* menu = new CPelmarMenu(&owner);
  auto* pane = new CPelmarServerDlg(menu, &owner);
  pane->LoadSortType();
  QCOMPARE(pane->Load(), 0);
  pane->Rebuild();
  QCOMPARE(pane->SelectedServer(), 0);
  pane->PortList()->setCurrentItem(pane->PortList()->topLevelItem(2));  // "Port 3", COM7 (no usable port 2)

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
  pane->OnCommand(PelmarCommand::kConfigurePort);

  QCOMPARE(deviceStatus, QStringLiteral("Status: Setting OK!"));
  QCOMPARE(device.Received(), std::string("163\r06319200\r"));
  device.WithDevice([](devsim::CommandPortDevice& d) {
    QCOMPARE(d.Settings().ports[2].baud, std::string("19200"));
    QCOMPARE(d.Settings().ports[2].format, std::string("8N1"));
  });
  QVERIFY(ui.messageBoxes.empty());  // nothing left to ask on OK
  QVERIFY(App().restartPending);

  ServerRecord stored;
  QCOMPARE(Tkc_RegReadOneServer(0, &stored, 928), uint16_t(TKC_OK));
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

QTEST_MAIN(TestConfigurePort)
#include "tst_configureport.moc"
