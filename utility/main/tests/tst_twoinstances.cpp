#include <QProcess>
#include <QtTest>

#include "app_texts.h"
#include "cfg_link.h"
#include "store_fixture.h"
#include "tarvik/registry.h"
#include "temp_root.h"

// Two copies of the program on one state root: neither stops the other, and
// each goes through its full shutdown when asked to end.
class TestTwoInstances : public QObject {
  Q_OBJECT
 private slots:
  void twoCopiesRunSideBySide();
  void aTerminationRequestEndsThroughOpenMessageBoxes();
  void anImportByAnotherProcessSurvivesTheShutdown();
};

namespace {
QProcessEnvironment ProgramEnvironment(const tarvik::TempStateRoot& root) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("TARVIK_ROOT"), QString::fromStdString(root.Path()));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  return env;
}
}  // namespace

void TestTwoInstances::twoCopiesRunSideBySide() {
  tarvik::TempStateRoot root;
  const QProcessEnvironment env = ProgramEnvironment(root);
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

// A store with a damaged server makes the start-up show its load message;
// the program, asked to end while that box is open, still ends through its
// shutdown. Lost configuration: that shutdown must not write the servers it
// could read over the store, or the damaged one would be gone.
void TestTwoInstances::aTerminationRequestEndsThroughOpenMessageBoxes() {
  tarvik::TempStateRoot root;
  const FixtureServer servers[] = {{"VF-414", "", "", Ipv4(10, 0, 0, 5), 4, 3},
                                   {"NGR-3004", "", "", Ipv4(10, 0, 0, 9), 2, 20}};
  WriteFixtureStore(servers, 2, 0);
  {
    tarvik::RegKey second;
    second.Open(std::string(kParameterKey) + "\\Server2", tarvik::RegAccess::kFullAccess);
    second.DeleteValue("PortNo");
  }
  tarvik::RegCloseStore();
  QProcess program;
  program.setProcessEnvironment(ProgramEnvironment(root));
  program.setProcessChannelMode(QProcess::MergedChannels);
  program.start(QStringLiteral(TARVIK_EXE), QStringList());
  QVERIFY(program.waitForStarted());
  QTest::qWait(1500);
  QCOMPARE(program.state(), QProcess::Running);
  program.terminate();
  QVERIFY(program.waitForFinished(15000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), 0);
  QCOMPARE(StoredDword(nullptr, "Servers"), 2u);
  QCOMPARE(StoredString("Server2", "ServerName"), std::string("NGR-3004"));
  QCOMPARE(StoredDword("Server2", "IPAddress"), Ipv4(10, 0, 0, 9));
}

// Another process's changes are overwritten: tarvikctl replaces the store
// while the program runs; the program, which changed nothing itself, must
// take the new list in at its shutdown instead of writing its old one back.
void TestTwoInstances::anImportByAnotherProcessSurvivesTheShutdown() {
  tarvik::TempStateRoot root;
  const FixtureServer servers[] = {{"VF-414", "", "", Ipv4(10, 0, 0, 5), 4, 3},
                                   {"NGR-3004", "", "", Ipv4(10, 0, 0, 9), 2, 20}};
  WriteFixtureStore(servers, 2, kFlagFormatMarker);
  tarvik::RegCloseStore();
  QProcess program;
  program.setProcessEnvironment(ProgramEnvironment(root));
  program.setProcessChannelMode(QProcess::MergedChannels);
  program.start(QStringLiteral(TARVIK_EXE), QStringList());
  QVERIFY(program.waitForStarted());
  QTest::qWait(1500);
  QCOMPARE(program.state(), QProcess::Running);

  QProcess import;
  import.setProcessEnvironment(ProgramEnvironment(root));
  import.start(QStringLiteral(TARVIKCTL_EXE),
               {QStringLiteral("import"), QStringLiteral(IMPORT_FILE)});
  QVERIFY(import.waitForFinished(15000));
  QCOMPARE(StoredString("Server1", "ServerName"), std::string("3147"));

  program.terminate();
  QVERIFY(program.waitForFinished(15000));
  QCOMPARE(program.exitCode(), 0);
  QCOMPARE(StoredDword(nullptr, "Servers"), 2u);
  QCOMPARE(StoredString("Server1", "ServerName"), std::string("3147"));
  QCOMPARE(StoredString("Server2", "ServerName"), std::string("Q410X2"));
}

QTEST_GUILESS_MAIN(TestTwoInstances)
#include "tst_twoinstances.moc"
