#include <QSignalSpy>
#include <QTabBar>
#include <QtTest>

#include "cpagetabctrl.h"

class TestCPageTabCtrl : public QObject {
  Q_OBJECT
 private slots:
  void onePageShownAtATime();
  void clickingATabSwitchesPages();
};

void TestCPageTabCtrl::onePageShownAtATime() {
  CPageTabCtrl tabs;
  tabs.resize(400, 300);
  auto* servers = new QWidget;
  auto* search = new QWidget;
  QCOMPARE(tabs.AddPage(QStringLiteral("Servers"), servers), 0);
  QCOMPARE(tabs.AddPage(QStringLiteral("Search"), search), 1);
  tabs.show();
  QVERIFY(QTest::qWaitForWindowExposed(&tabs));
  QCOMPARE(servers->parentWidget(), &tabs);
  QVERIFY(servers->isVisible());
  QVERIFY(!search->isVisible());
  QCOMPARE(servers->geometry(), QRect(0, 30, 400, 270));
  QCOMPARE(search->size(), QSize(0, 0));
  tabs.resize(500, 200);
  QCOMPARE(servers->geometry(), QRect(0, 30, 500, 170));
}

void TestCPageTabCtrl::clickingATabSwitchesPages() {
  CPageTabCtrl tabs;
  tabs.resize(400, 300);
  auto* servers = new QWidget;
  auto* search = new QWidget;
  tabs.AddPage(QStringLiteral("Servers"), servers);
  tabs.AddPage(QStringLiteral("Search"), search);
  tabs.show();
  QVERIFY(QTest::qWaitForWindowExposed(&tabs));
  QSignalSpy spy(&tabs, &CPageTabCtrl::currentChanged);
  QVERIFY(spy.isValid());
  QTest::mouseClick(tabs.TabBar(), Qt::LeftButton, {}, tabs.TabBar()->tabRect(1).center());
  QCOMPARE(spy.count(), 1);
  QCOMPARE(spy.at(0).at(0).toInt(), 1);
  QCOMPARE(tabs.CurrentIndex(), 1);
  QVERIFY(search->isVisible());
  QVERIFY(!servers->isVisible());
  QCOMPARE(search->geometry(), QRect(0, 30, 400, 270));
}

QTEST_MAIN(TestCPageTabCtrl)
#include "tst_cpagetabctrl.moc"
