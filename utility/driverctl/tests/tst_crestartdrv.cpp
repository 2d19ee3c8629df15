#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "crestartdrv.h"
#include "modal_helper.h"
#include "restart_procedure.h"
#include "service_test_support.h"
#include "tarvik/clock.h"
#include "tarvik/service_manager.h"
#include "temp_root.h"
#include "ui_hook_double.h"

namespace {

const char kStopFailed[] =
    "Failed to stop the driver!\n\nMake sure virtual COM ports are all closed.\n"
    "Make sure related software/services that using virtual COM ports are all closed.\n\n"
    "If you still have problem to restart the driver, you may need to reboot the computer.";

// A driver that takes the stop request but never gets to stopped.
void StartStubbornDriver() {
  QCOMPARE(tarvik::CreateTestService("Vonderil", TEST_SERVICE_PROGRAM), tarvik::LSTATUS(0));
  tarvik::SetTestServiceMode("never-stops");
  tarvik::ScManager manager;
  tarvik::ServiceHandle service;
  QCOMPARE(manager.Open(tarvik::kScManagerAllAccess), tarvik::LSTATUS(0));
  QCOMPARE(service.Open(manager, "Vonderil", tarvik::kServiceAllAccess), tarvik::LSTATUS(0));
  QCOMPARE(service.Start(), tarvik::LSTATUS(0));
  QCOMPARE(tarvik::WaitForState("Vonderil", tarvik::kServiceRunning), tarvik::kServiceRunning);
}

}  // namespace

class TestCRestartDrv : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void showsTheDriversStateInItsColour_data();
  void showsTheDriversStateInItsColour();
  void serversWithoutComNumbersEndStoppedAndOk();
  void anIgnoredStopEndsWithCancelAfterFifteenRounds();
  void skipEndsTheWaitAtTheNextRound();
  void closingAfterSkipLeavesNoWaitBehind_data();
  void closingAfterSkipLeavesNoWaitBehind();

 private:
  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<tarvik::VirtualClock> m_clock;
  std::unique_ptr<TkcConfigSet> m_set;
};

void TestCRestartDrv::init() {
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  m_clock = std::make_unique<tarvik::VirtualClock>();
  tarvik::SetClock(m_clock.get());
  m_set = std::make_unique<TkcConfigSet>();
  m_set->Servers = 1;
  m_set->Records[0].PortNo = 2;
  m_set->Records[0].PortMap[2].Com = 5;
}

void TestCRestartDrv::cleanup() {
  tarvik::KillService("Vonderil");
  tarvik::SetClock(nullptr);
  m_ui.reset();
  m_root.reset();
}

void TestCRestartDrv::showsTheDriversStateInItsColour_data() {
  QTest::addColumn<bool>("running");
  QTest::addColumn<QString>("line");
  QTest::addColumn<QColor>("colour");
  QTest::newRow("no service") << false << "Status: Service does not exist!" << QColor(200, 50, 50);
  QTest::newRow("running") << true << "Status: Driver is running." << QColor(50, 50, 200);
}

void TestCRestartDrv::showsTheDriversStateInItsColour() {
  QFETCH(bool, running);
  QFETCH(QString, line);
  QFETCH(QColor, colour);
  if (running) StartStubbornDriver();
  CRestartDrv dlg(m_set.get());
  QCOMPARE(dlg.windowTitle(), QStringLiteral("Tarvik Utility: Restarting Driver"));
  QCOMPARE(dlg.StatusLine()->text(), line);
  QCOMPARE(dlg.StatusColor(), colour);
  QCOMPARE(dlg.StatusLine()->palette().color(QPalette::WindowText), colour);
  QCOMPARE(dlg.Progress()->minimum(), 0);
  QCOMPARE(dlg.Progress()->maximum(), 15);
  QCOMPARE(dlg.Progress()->value(), 0);
  QCOMPARE(dlg.RestartButton()->text(), QStringLiteral("Restart Driver"));
  QCOMPARE(dlg.CancelButton()->text(), QStringLiteral("Cancel"));
}

void TestCRestartDrv::serversWithoutComNumbersEndStoppedAndOk() {
  m_set->Servers = 2;
  m_set->Records[0].PortMap[2].Com = 0;
  CRestartDrv dlg(m_set.get());
  WhenModal<CRestartDrv>([](CRestartDrv* d) { d->RestartButton()->click(); });
  QCOMPARE(dlg.exec(), int(QDialog::Accepted));
  QCOMPARE(m_ui->messageBoxes.size(), size_t(1));
  QCOMPARE(m_ui->messageBoxes[0].text,
           std::string("No mappings for virtual COM ports.\n\nDriver is stopped!"));
  QCOMPARE(m_ui->messageBoxes[0].caption, std::string("Tarvik Utility"));
  QCOMPARE(m_ui->messageBoxes[0].Icon(), unsigned(tarvik::kMbIconWarning));
  // The missing service was created on the spot and left stopped.
  QCOMPARE(tarvik::StatusOf("Vonderil").currentState, tarvik::kServiceStopped);
  QCOMPARE(dlg.StatusColor(), QColor(200, 50, 50));
}

void TestCRestartDrv::anIgnoredStopEndsWithCancelAfterFifteenRounds() {
  StartStubbornDriver();
  CRestartDrv dlg(m_set.get());
  WhenModal<CRestartDrv>([](CRestartDrv* d) { d->RestartButton()->click(); });
  QCOMPARE(dlg.exec(), int(QDialog::Rejected));
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{kStopFailed});
  QCOMPARE(dlg.Progress()->value(), 15);
  QCOMPARE(dlg.CancelButton()->text(), QStringLiteral("Skip"));
  QVERIFY(!dlg.CancelButton()->isEnabled());
  QVERIFY(!dlg.RestartButton()->isEnabled());
  QCOMPARE(dlg.StatusLine()->text(), QStringLiteral("Status: Stopping Driver!!"));
  QCOMPARE(m_clock->SleptMs(), uint64_t(15 * 1000 + 500));
}

void TestCRestartDrv::skipEndsTheWaitAtTheNextRound() {
  StartStubbornDriver();
  CRestartDrv dlg(m_set.get());
  connect(dlg.Progress(), &QProgressBar::valueChanged, &dlg, [&dlg](int value) {
    if (value == 2) dlg.CancelButton()->click();
  });
  WhenModal<CRestartDrv>([](CRestartDrv* d) { d->RestartButton()->click(); });
  QCOMPARE(dlg.exec(), int(QDialog::Rejected));
  QCOMPARE(dlg.Progress()->value(), 2);
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{kStopFailed});
  // One full round, the second cut short, and the closing half second.
  QCOMPARE(m_clock->SleptMs(), uint64_t(1000 + 500));
}

void TestCRestartDrv::closingAfterSkipLeavesNoWaitBehind_data() {
  QTest::addColumn<bool>("skipFirst");
  QTest::newRow("Skip, then the dialog is destroyed") << true;
  QTest::newRow("destroyed without Skip") << false;
}

void TestCRestartDrv::closingAfterSkipLeavesNoWaitBehind() {
  QFETCH(bool, skipFirst);
  StartStubbornDriver();
  QPointer<CRestartDrv> dlg = new CRestartDrv(m_set.get());
  dlg->show();
  connect(dlg->Progress(), &QProgressBar::valueChanged, dlg, [dlg, skipFirst](int value) {
    if (value != 2) return;
    if (skipFirst) dlg->CancelButton()->click();
    // Its owner goes away while the wait pumps events.
    QTimer::singleShot(0, [dlg] { delete dlg.data(); });
  });
  dlg->Restart();
  QVERIFY(dlg.isNull());
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{kStopFailed});
  QVERIFY(m_clock->SleptMs() <= uint64_t(2 * 1000 + 500));
  QVERIFY(RestartCancelCounter().load() > 0);
}

QTEST_MAIN(TestCRestartDrv)
#include "tst_crestartdrv.moc"
