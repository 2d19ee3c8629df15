// The main window's "Search Servers" procedure with the real search pane,
// against simulated devices. Runs only inside the network namespace harness.
#include <QSignalSpy>
#include <QTabBar>
#include <QTreeWidget>
#include <QtTest>
#include <net/if.h>

#include <cstring>
#include <memory>

#include "app_state.h"
#include "ciconbutton.h"
#include "cpagetabctrl.h"
#include "cpelmardlg.h"
#include "cpelmarsearchdlg.h"
#include "netns_guard.h"
#include "restart_decline.h"
#include "tarvik/registry.h"
#include "tarvik/ui_hooks.h"
#include "tarvikcfg.h"
#include "temp_root.h"
#include "ui_hook_double.h"

class TestSearchServers : public QObject {
  Q_OBJECT
 private slots:
  void searchListsTheDevicesAndAPickFillsTheCurrentDevice();
  void exitDuringASearchEndsTheSearchFirst_data();
  void exitDuringASearchEndsTheSearchFirst();
};

void TestSearchServers::searchListsTheDevicesAndAPickFillsTheCurrentDevice() {
  if (!InsidePrivateNamespace()) QSKIP("searches broadcast: run inside tests/netns/run-in-netns.sh");
  tarvik::TempStateRoot root;
  UiHookDouble ui;
  DeclineRestartDriverDialog declineRestart;
  // As the program's own hook: the search loop lets the window run.
  tarvik::SetPumpHook([] { QCoreApplication::processEvents(); });
  ResetAppState();
  tarvik::RegKey services;
  QCOMPARE(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  services.Close();

  auto dlg = std::make_unique<CPelmarDlg>();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  CIconButton* search = dlg->Button(PelmarCommand::kSearchServers);
  QVERIFY(search->isEnabled());

  // Halfway through the search (the window keeps handling its events, the
  // ticks included) the button is grey and a second search does nothing.
  bool enabledMidway = true;
  int rowsMidway = -1;
  QTimer::singleShot(1600, dlg.get(), [&] {
    enabledMidway = search->isEnabled();
    rowsMidway = dlg->SearchPane()->List()->topLevelItemCount();
    dlg->SearchPane()->Search();
  });
  QTest::mouseClick(search, Qt::LeftButton);
  QVERIFY(!enabledMidway);
  QCOMPARE(rowsMidway, 3);
  QCOMPARE(dlg->Tabs()->CurrentIndex(), 1);
  QVERIFY(search->isEnabled());
  QTreeWidget* list = dlg->SearchPane()->List();
  QCOMPARE(list->topLevelItemCount(), 3);
  QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Q410X-2"));
  QVERIFY(App().discoveryReady);
  QCOMPARE(ui.waitCursorDepth, 0);

  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->topLevelItem(1)).center());
  QCOMPARE(QString::fromLatin1(App().deviceAddress), QStringLiteral("10.77.0.22"));
  QCOMPARE(QString::fromLatin1(App().deviceName), QStringLiteral("NH-0408"));
  QCOMPARE(App().devicePort, 10000u);
  // The Web button goes to the picked device.
  QTest::mouseClick(dlg->Button(PelmarCommand::kWeb), Qt::LeftButton);
  QCOMPARE(ui.shellOpens.back().file, std::string("http://10.77.0.22/"));

  dlg->reject();
  QVERIFY(!App().discoveryReady);
  tarvik::SetPumpHook(nullptr);
}

void TestSearchServers::exitDuringASearchEndsTheSearchFirst_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("Exit button") << "exit";
  QTest::newRow("Esc") << "esc";
  QTest::newRow("close box") << "close";
  QTest::newRow("termination request") << "reject";
}

// Exit during a search: the shutdown must not run inside the search loop,
// and commands that change the set must not nest in it.
void TestSearchServers::exitDuringASearchEndsTheSearchFirst() {
  if (!InsidePrivateNamespace()) QSKIP("searches broadcast: run inside tests/netns/run-in-netns.sh");
  QFETCH(QString, how);
  tarvik::TempStateRoot root;
  UiHookDouble ui;
  DeclineRestartDriverDialog declineRestart;
  tarvik::SetPumpHook([] { QCoreApplication::processEvents(); });
  ResetAppState();
  tarvik::RegKey services;
  QCOMPARE(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  services.Close();

  auto dlg = std::make_unique<CPelmarDlg>();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  QSignalSpy finished(dlg.get(), &QDialog::finished);
  QVERIFY(finished.isValid());
  CIconButton* search = dlg->Button(PelmarCommand::kSearchServers);

  bool searchingAtClose = false;
  bool closedInsideSearch = true;
  size_t boxesAfterImport = 99;
  QTimer::singleShot(1000, dlg.get(), [&] {
    searchingAtClose = !dlg->SearchPane()->CanSearch();
    // Import would ask its question and replace the store mid-search.
    dlg->RunCommand(PelmarCommand::kImport);
    boxesAfterImport = ui.messageBoxes.size();
    if (how == "exit") {
      QTest::mouseClick(dlg->Button(PelmarCommand::kExit), Qt::LeftButton);
    } else if (how == "esc") {
      dlg->Tabs()->TabBar()->setFocus();
      QTest::keyClick(dlg->Tabs()->TabBar(), Qt::Key_Escape);
    } else if (how == "close") {
      dlg->close();
    } else {
      dlg->reject();
    }
    closedInsideSearch = finished.count() > 0;
  });
  QTest::mouseClick(search, Qt::LeftButton);
  QVERIFY(searchingAtClose);
  QCOMPARE(boxesAfterImport, size_t(0));
  QVERIFY(!closedInsideSearch);
  // Once the search has ended, the close runs with its full shutdown.
  QTRY_COMPARE(finished.count(), 1);
  QVERIFY(!dlg->isVisible());
  QVERIFY(!App().discoveryReady);
  tarvik::SetPumpHook(nullptr);
}

QTEST_MAIN(TestSearchServers)
#include "tst_searchservers.moc"
