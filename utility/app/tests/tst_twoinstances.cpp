#include <QProcess>
#include <QtTest>

#include "app_texts.h"
#include "cfg_link.h"
#include "store_fixture.h"
#include "temp_root.h"

// Two copies of the program on one state root: neither stops the other, and
// each goes through its full shutdown when asked to end.
class TestTwoInstances : public QObject {
  Q_OBJECT
 private slots:
  void twoCopiesRunSideBySide();
};

void TestTwoInstances::twoCopiesRunSideBySide() {
  tarvik::TempStateRoot root;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("TARVIK_ROOT"), QString::fromStdString(root.Path()));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess first, second;
  for (QProcess* copy : {&first, &second}) {
    copy->setProcessEnvironment(env);
    copy->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    copy->start(QStringLiteral(TARVIK_EXE), QStringList());
    QVERIFY(copy->waitForStarted());
  }
  // Both are up at the same time; neither ends by itself.
  QTest::qWait(1500);
  QCOMPARE(first.state(), QProcess::Running);
  QCOMPARE(second.state(), QProcess::Running);

  for (QProcess* copy : {&first, &second}) {
    copy->terminate();
    QVERIFY(copy->waitForFinished(15000));
    QCOMPARE(copy->exitStatus(), QProcess::NormalExit);
    QCOMPARE(copy->exitCode(), 0);
  }
  // Their shutdown stored the configuration with the format marker.
  QCOMPARE(StoredDword(nullptr, "Flags") & kFlagFormatMarker, kFlagFormatMarker);
  QCOMPARE(StoredDword(nullptr, "Servers"), 0u);
}

QTEST_GUILESS_MAIN(TestTwoInstances)
#include "tst_twoinstances.moc"
