// From a search to a stored mapping: search, pick a simulated device, ask
// the search pane to add it, and the next tick runs the add procedure with
// the device's values. Runs only inside the network namespace harness.
#include <QAction>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>
#include <net/if.h>

#include <cstring>
#include <memory>

#include "app_state.h"
#include "caddserverip.h"
#include "caddservers.h"
#include "cpelmardlg.h"
#include "cpelmarsearchdlg.h"
#include "cpelmarserverdlg.h"
#include "modal_helper.h"
#include "netns_guard.h"
#include "restart_decline.h"
#include "tarvik/ui_hooks.h"
#include "temp_root.h"
#include "ui_hook_double.h"

namespace {

constexpr int kSearchMenuAddServers = 3;

}  // namespace

class TestAddFromSearch : public QObject {
  Q_OBJECT
 private slots:
  void pickedDeviceIsAddedWithConsecutiveComNumbers();
};

void TestAddFromSearch::pickedDeviceIsAddedWithConsecutiveComNumbers() {
  if (!InsidePrivateNamespace()) QSKIP("searches broadcast: run inside tests/netns/run-in-netns.sh");
  tarvik::TempStateRoot root;
  UiHookDouble ui;
  DeclineRestartDriverDialog declineRestart;
  tarvik::SetPumpHook([] { QCoreApplication::processEvents(); });
  ResetAppState();

  auto dlg = std::make_unique<CPelmarDlg>();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  dlg->SearchServers();
  QTreeWidget* list = dlg->SearchPane()->List();
  QTreeWidgetItem* row = nullptr;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->text(0) == QStringLiteral("Q410X4")) row = list->topLevelItem(i);
  QVERIFY(row);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(row).center());
  QCOMPARE(QString::fromLatin1(App().deviceAddress), QStringLiteral("10.77.0.22"));

  bool answered = false;
  WhenModal<CAddServers>([&](CAddServers* add) {
    // The defaults as they come: this device's range, the name asked of
    // it, the lowest free COM number.
    QCOMPARE(add->RangePage()->StartEdit()->text(), QStringLiteral("10.77.0.22"));
    QCOMPARE(add->RangePage()->EndEdit()->text(), QStringLiteral("10.77.0.22"));
    answered = true;
    add->accept();
  });
  dlg->SearchPane()->MenuAction(kSearchMenuAddServers)->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(answered, 5000);
  QTRY_COMPARE_WITH_TIMEOUT(App().config.Servers, 1u, 10000);
  const ServerRecord& r = App().config.Records[0];
  QCOMPARE(QString::fromLatin1(r.ServerName), QStringLiteral("Q410X4"));
  for (int port = 1; port <= 4; ++port) QCOMPARE(TkcComNumber(r.PortMap[port + 1].Com), uint32_t(port));
  QVERIFY(dlg->StatusText() == QStringLiteral("Status: OK"));
  QStringList labels;
  for (QTreeWidgetItemIterator it(dlg->ServerPane()->Tree()); *it; ++it) labels << (*it)->text(0);
  QVERIFY2(labels.contains(QStringLiteral("Q410X4 [10.77.0.22]")), qPrintable(labels.join('|')));

  dlg->reject();
  tarvik::SetPumpHook(nullptr);
}

QTEST_MAIN(TestAddFromSearch)
#include "tst_addfromsearch.moc"
