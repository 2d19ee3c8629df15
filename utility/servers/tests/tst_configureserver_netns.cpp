// Configure Server end to end inside the namespace harness: the pane opens
// the dialog for a configured server, the dialog reads and unlocks the
// simulated device, changes its gateway, and the PC-side options edited on
// OK are what tarvikctl then reads from the store.
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app_state.h"
#include "cconfigsvr.h"
#include "cconfigsvrdev.h"
#include "cconfigsvropt.h"
#include "cpagetabctrl.h"
#include "cpelmarmenu.h"
#include "cpelmarserverdlg.h"
#include "czorn3.h"
#include "modal_helper.h"
#include "record_fixture.h"
#include "device_words.h"
#include "tarvik/registry.h"
#include "temp_root.h"
#include "tkcenc2.h"
#include "ui_hook_double.h"

using tarvik::device::DeviceField;

class TestConfigureServerNetns : public QObject {
  Q_OBJECT
 private slots:
  void readsChangesGatewayAndStoresOptions();
};

void TestConfigureServerNetns::readsChangesGatewayAndStoresOptions() {
  tarvik::TempStateRoot root;
  UiHookDouble ui;
  tarvik::SetPumpHook([] { QCoreApplication::processEvents(); });
  ResetAppState();
  tarvik::RegKey services;
  QCOMPARE(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  services.Close();
  QCOMPARE(Tkc_RegCheckCreateServiceKey(), uint16_t(TKC_OK));

  auto set = tarvik::app::testing::MakeSet();
  ServerRecord r = tarvik::app::testing::MakeServer("Q410X4", "10.77.0.31");
  QCOMPARE(Tkc_ParseServerInfo(&r, 928), uint16_t(TKC_OK));
  r.ConnectTimeout = 3000;
  QCOMPARE(TkcEnc2_Encode("s3cret", tarvik::device::kSavedPasswordKey, r.PW), 0);
  tarvik::app::testing::AddServer(*set, r);
  set->Flags = TKC_FLAGS_FORMAT_MARKER;
  QCOMPARE(Tkc_RegWriteAll(set.get()), uint16_t(TKC_OK));

  QWidget owner;
  auto* menu = new CPelmarMenu(&owner);
  auto* pane = new CPelmarServerDlg(menu, &owner);
  connect(menu, &CPelmarMenu::commandTriggered, pane, &CPelmarServerDlg::OnCommand);
  pane->Load();
  pane->Rebuild();
  QCOMPARE(pane->SelectedServer(), 0);

  QString name, lock, status;
  WhenModal<CConfigSvr>([&](CConfigSvr* dialog) {
    dialog->Tabs()->SetCurrentIndex(CConfigSvr::kDevicePage);
    CConfigSvrDev* device = dialog->DevicePage();
    name = device->Field(DeviceField::kServerName)->text();
    lock = device->Field(DeviceField::kPasswordSetting)->text();
    device->Field(DeviceField::kGateway)->setText(QStringLiteral("10.77.0.1"));
    QTest::mouseClick(device->SetButton(), Qt::LeftButton);  // Yes to the caution
    status = device->StatusLine()->text();
    dialog->Tabs()->SetCurrentIndex(CConfigSvr::kOptionsPage);
    dialog->OptionsPage()->NumberEdit(tarvik::device::kTcpPort7000)->setText("4001");
    dialog->OptionsPage()->Address2Edit()->setText("10.77.0.32");
    dialog->accept();
  });
  menu->Action(PelmarCommand::kConfigureServer)->trigger();
  QCOMPARE(name, QStringLiteral("Q410X4"));
  QCOMPARE(lock, QStringLiteral("Unlocked"));  // the saved password was proved
  QCOMPARE(status, QStringLiteral("Restarting Q410X/Q900X..."));
  QVERIFY(ui.messageBoxes.size() == 1);  // the caution question only

  // The device took the gateway (it may still be rebooting).
  QString gateway;
  for (int attempt = 0; attempt < 50 && gateway != QStringLiteral("10.77.0.1"); ++attempt) {
    CZorn3 session;
    session.Address().SetText("10.77.0.31");
    session.SetTimeout(1000);
    char value[200] = {};
    if (session.Connect() == 0 && session.GetGateway(value, sizeof value) == 0)
      gateway = QString::fromLatin1(value);
    session.Close();
    if (gateway != QStringLiteral("10.77.0.1")) QTest::qWait(100);
  }
  QCOMPARE(gateway, QStringLiteral("10.77.0.1"));

  QProcess ctl;
  ctl.start(QStringLiteral(TARVIKCTL_PATH), {QStringLiteral("servers")});
  QVERIFY(ctl.waitForFinished(10000));
  const QString out = QString::fromLatin1(ctl.readAllStandardOutput());
  QVERIFY2(out.contains(QStringLiteral("ip=10.77.0.31 ip2=10.77.0.32 ")), qPrintable(out));
  QVERIFY2(out.contains(QStringLiteral(" tcpcmd=10000 tcpio=4001\n")), qPrintable(out));
}

QTEST_MAIN(TestConfigureServerNetns)
#include "tst_configureserver_netns.moc"
