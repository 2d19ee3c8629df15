// The main window's driver commands with the real dialogs: Tools > "Driver
// Options" marks a restart only for a real change, the word reaches the
// store, and shutdown offers the Restart Driver dialog only while a restart
// is pending.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>

#include "app_state.h"
#include "cdrvoptions.h"
#include "cfg_link.h"
#include "cpelmardlg.h"
#include "cpelmarmenu.h"
#include "crestartdrv.h"
#include "modal_helper.h"
#include "service_test_support.h"
#include "store_fixture.h"
#include "tarvik/state_root.h"
#include "temp_root.h"
#include "ui_hook_double.h"

using C = PelmarCommand;

namespace {

const FixtureServer kOneServer[] = {{"VF-414", "", "", Ipv4(10, 0, 0, 5), 4, 3}};

void AnswerDriverOptions(const QString& delay) {
  WhenModal<CDrvOptions>([delay](CDrvOptions* d) {
    d->Delay()->setText(delay);
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
}

}  // namespace

class TestDriverCtlMain : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void restartDriverStartsTheStandInWithTheMapping();
  void driverOptionsMarkARestartOnlyWhenTheWordChanges();
  void shutdownOffersTheRestartOnlyWhilePending_data();
  void shutdownOffersTheRestartOnlyWhilePending();

 private:
  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
};

void TestDriverCtlMain::init() {
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  ResetAppState();
  WriteFixtureStore(kOneServer, 1, kFlagFormatMarker);
}

void TestDriverCtlMain::cleanup() {
  m_ui.reset();
  m_root.reset();
}

void TestDriverCtlMain::restartDriverStartsTheStandInWithTheMapping() {
  // The stand-in installed as a file only; its service does not exist yet.
  const std::string image = tarvik::SystemDirectory() + "/Drivers/Vonderil.sys";
  {
    std::ifstream in(STANDIN_PROGRAM, std::ios::binary);
    std::ofstream out(image, std::ios::binary);
    out << in.rdbuf();
  }
  QCOMPARE(::chmod(image.c_str(), 0755), 0);
  tarvik::ServiceReaper reaper("Vonderil");

  auto dlg = std::make_unique<CPelmarDlg>();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  App().restartPending = true;
  WhenModal<CRestartDrv>([](CRestartDrv* d) { d->RestartButton()->click(); });
  dlg->RunCommand(C::kRestartDriver);
  QVERIFY(!App().restartPending);
  QVERIFY(m_ui->messageBoxes.empty());
  QCOMPARE(tarvik::StatusOf("Vonderil").currentState, tarvik::kServiceRunning);
  std::ostringstream log;
  log << std::ifstream(tarvik::RunDirectory() + "/vonderil.log").rdbuf();
  QVERIFY2(log.str().find("COM3") != std::string::npos, log.str().c_str());
  dlg->reject();
}

void TestDriverCtlMain::driverOptionsMarkARestartOnlyWhenTheWordChanges() {
  auto dlg = std::make_unique<CPelmarDlg>();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  QVERIFY(dlg->Menu()->IsEnabled(C::kDriverOptions));

  AnswerDriverOptions("0");
  dlg->RunCommand(C::kDriverOptions);
  QVERIFY(!App().restartPending);

  AnswerDriverOptions("1000");
  dlg->RunCommand(C::kDriverOptions);
  QVERIFY(App().restartPending);
  QCOMPARE(App().config.Flags, kFlagFormatMarker | (100u << 3));

  // Shutdown stores the set and offers the restart, here declined.
  bool offered = false;
  WhenModal<CRestartDrv>([&offered](CRestartDrv* d) {
    offered = true;
    d->CancelButton()->click();
  });
  dlg->accept();
  QVERIFY(offered);
  QCOMPARE(StoredDword(nullptr, "Flags"), kFlagFormatMarker | (100u << 3));
  QVERIFY(App().restartPending);
}

void TestDriverCtlMain::shutdownOffersTheRestartOnlyWhilePending_data() {
  QTest::addColumn<bool>("pending");
  QTest::newRow("pending") << true;
  QTest::newRow("not pending") << false;
}

void TestDriverCtlMain::shutdownOffersTheRestartOnlyWhilePending() {
  QFETCH(bool, pending);
  auto dlg = std::make_unique<CPelmarDlg>();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  App().restartPending = pending;
  int offers = 0;
  WhenModal<CRestartDrv>([&offers](CRestartDrv* d) {
    ++offers;
    d->CancelButton()->click();
  }, 50);
  dlg->accept();
  QTest::qWait(700);  // long enough for the helper to have seen a dialog
  QCOMPARE(offers, pending ? 1 : 0);
}

QTEST_MAIN(TestDriverCtlMain)
#include "tst_driverctl_main.moc"
