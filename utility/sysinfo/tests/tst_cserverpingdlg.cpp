#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <cstring>

#include "cserverpingdlg.h"
#include "modal_helper.h"

class TestCServerPingDlg : public QObject {
  Q_OBJECT
 private slots:
  void showsItsTitleAndTakesAtMost15Characters();
  void okTakesTheTextEntered();
  void cancelLeavesTheTargetAlone();
};

void TestCServerPingDlg::showsItsTitleAndTakesAtMost15Characters() {
  CServerPingDlg dlg;
  QCOMPARE(dlg.windowTitle(), QStringLiteral("Ping "));
  QVERIFY(dlg.findChild<QLabel*>()->text() == QStringLiteral("IP Address or Host Name to ping : "));
  dlg.Edit()->clear();
  QTest::keyClicks(dlg.Edit(), QStringLiteral("192.168.100.200.extra"));
  QCOMPARE(dlg.Edit()->text(), QStringLiteral("192.168.100.200"));
}

void TestCServerPingDlg::okTakesTheTextEntered() {
  CServerPingDlg dlg;
  char target[80] = "192.168.0.1";
  QString shown;
  WhenModal<CServerPingDlg>([&](CServerPingDlg* d) {
    shown = d->Edit()->text();
    d->Edit()->selectAll();
    QTest::keyClicks(d->Edit(), QStringLiteral("plc-7"));
    QTest::keyClick(d->Edit(), Qt::Key_Return);
  });
  QVERIFY(dlg.AskTarget(target, sizeof target));
  QCOMPARE(shown, QStringLiteral("192.168.0.1"));
  QCOMPARE(QString::fromLatin1(target), QStringLiteral("plc-7"));
}

void TestCServerPingDlg::cancelLeavesTheTargetAlone() {
  CServerPingDlg dlg;
  char target[80] = "10.0.0.9";
  WhenModal<CServerPingDlg>([](CServerPingDlg* d) {
    d->Edit()->setText(QStringLiteral("other"));
    d->reject();
  });
  QVERIFY(!dlg.AskTarget(target, sizeof target));
  QCOMPARE(QString::fromLatin1(target), QStringLiteral("10.0.0.9"));
}

QTEST_MAIN(TestCServerPingDlg)
#include "tst_cserverpingdlg.moc"
