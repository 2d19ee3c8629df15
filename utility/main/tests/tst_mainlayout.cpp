#include <QtTest>

#include "main_layout.h"

class TestMainLayout : public QObject {
  Q_OBJECT
 private slots:
  void layout_data();
  void layout();
};

void TestMainLayout::layout_data() {
  QTest::addColumn<QSize>("client");
  QTest::addColumn<QPoint>("corner");
  QTest::addColumn<QRect>("tab");
  QTest::addColumn<QRect>("status");
  QTest::newRow("start size") << QSize(600, 300) << QPoint(111, 11)
                              << QRect(111, 11, 484, 254) << QRect(116, 270, 484, 25);
  QTest::newRow("wider and taller") << QSize(1000, 700) << QPoint(111, 11)
                                    << QRect(111, 11, 884, 654) << QRect(116, 670, 884, 25);
  QTest::newRow("too small for anything") << QSize(100, 40) << QPoint(111, 11)
                                          << QRect(111, 11, 0, 0) << QRect(116, 16, 0, 25);
}

void TestMainLayout::layout() {
  QFETCH(QSize, client);
  QFETCH(QPoint, corner);
  QFETCH(QRect, tab);
  QFETCH(QRect, status);
  const MainLayout result = ComputeMainLayout(client, corner);
  QCOMPARE(result.tab, tab);
  QCOMPARE(result.statusBar, status);
  // The status bar never leaves the window on the right or at the bottom
  // while there is room for it.
  if (client.height() >= corner.y() + kStatusBarHeight + 10)
    QVERIFY(result.statusBar.bottom() < client.height());
}

QTEST_GUILESS_MAIN(TestMainLayout)
#include "tst_mainlayout.moc"
