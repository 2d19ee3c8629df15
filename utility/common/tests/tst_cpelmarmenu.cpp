#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include "cpelmarmenu.h"

class TestCPelmarMenu : public QObject {
  Q_OBJECT
 private slots:
  void menusHoldTheirItemsInOrder();
  void itemsReportTheirCommand();
};

namespace {
// "Title: item, item, ..." with "-" for a separator and "Sub > ..." for a
// submenu's items.
QStringList Describe(const QMenuBar* bar) {
  QStringList lines;
  for (QAction* top : bar->actions()) {
    QStringList items;
    for (QAction* item : top->menu()->actions()) {
      if (item->isSeparator()) {
        items << QStringLiteral("-");
      } else if (item->menu()) {
        QStringList sub;
        for (QAction* s : item->menu()->actions()) sub << s->text();
        items << item->text() + " > " + sub.join(QStringLiteral(" | "));
      } else {
        items << item->text();
      }
    }
    lines << top->text() + ": " + items.join(QStringLiteral(", "));
  }
  return lines;
}
}  // namespace

void TestCPelmarMenu::menusHoldTheirItemsInOrder() {
  QWidget owner;
  CPelmarMenu menu(&owner);
  const QStringList expected = {
      "&File: &Import Configuration, &Export Configuration, -, E&xit",
      "&Server: &Ping Server, &Diagnostic, -, &Add Server(s), &Remove Server, "
      "Re&move All Servers, &Configure Server, -, Edit Alias Name\tF2, Edit Host Name\tF3, "
      "Sorting by > None | Model Name | Alias Name | IP Address | Host Name, -, "
      "Query IP by Host, Query IP by Host (All), Interval of Query IP",
      "&Port: &Open COM Port, Open &TCP Port, -, &Configure Port",
      "&Tools: &Restart Driver, -, Terminal, Modbus RTU Master, Modbus TCP Master, -, "
      "Driver Options, &System Information",
      "&Help: &About utility...",
  };
  QCOMPARE(Describe(menu.Bar()), expected);
  QCOMPARE(menu.ServerMenu()->title(), QStringLiteral("&Server"));
  QCOMPARE(menu.PortMenu()->title(), QStringLiteral("&Port"));
}

void TestCPelmarMenu::itemsReportTheirCommand() {
  QWidget owner;
  CPelmarMenu menu(&owner);
  QSignalSpy spy(&menu, &CPelmarMenu::commandTriggered);
  QVERIFY(spy.isValid());
  for (int i = 0; i < kPelmarCommandCount; ++i) {
    const auto command = static_cast<PelmarCommand>(i);
    QAction* action = menu.Action(command);
    const bool buttonOnly = command == PelmarCommand::kWeb ||
                            command == PelmarCommand::kSearchServers ||
                            command == PelmarCommand::kConfigureUdp;
    QCOMPARE(action == nullptr, buttonOnly);
    if (!action) continue;
    action->trigger();
    QCOMPARE(spy.last().at(0).value<PelmarCommand>(), command);
  }
  menu.Enable(PelmarCommand::kEditAlias, false);
  QVERIFY(!menu.IsEnabled(PelmarCommand::kEditAlias));
  QVERIFY(!menu.IsEnabled(PelmarCommand::kWeb));  // no item at all
  menu.Check(PelmarCommand::kSortIp, true);
  QVERIFY(menu.Action(PelmarCommand::kSortIp)->isChecked());
}

QTEST_MAIN(TestCPelmarMenu)
#include "tst_cpelmarmenu.moc"
