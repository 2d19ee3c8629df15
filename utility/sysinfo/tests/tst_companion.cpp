#include <QtTest>
#include <string>

#include "companion.h"

class TestCompanion : public QObject {
  Q_OBJECT
 private slots:
  void besideTheProgram_data();
  void besideTheProgram();
  void aPathThatDoesNotFitIsNotCut();
};

void TestCompanion::besideTheProgram_data() {
  QTest::addColumn<QString>("exe");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("path");
  QTest::newRow("terminal") << "/opt/tarvik/bin/tarvik" << kTerminalProgram
                            << "/opt/tarvik/bin/Terminal.exe";
  QTest::newRow("other own name") << "/home/Ann/Build/bin/tarvik-debug" << kDiagProgram
                                  << "/home/Ann/Build/bin/Diag.exe";
  QTest::newRow("modbus, case kept") << "/usr/Bin/TARVIK.EXE" << kModbusRtuProgram
                                     << "/usr/Bin/HOLLIN.EXE";
  QTest::newRow("no folder") << "tarvik" << kModbusTcpProgram << "VARDEK.EXE";
}

void TestCompanion::besideTheProgram() {
  QFETCH(QString, exe);
  QFETCH(QString, name);
  QFETCH(QString, path);
  const std::string exePath = exe.toStdString();
  const std::string fileName = name.toStdString();
  QCOMPARE(QString::fromStdString(ProgramPathBeside(exePath, fileName.c_str())), path);
  char buffer[260];
  QVERIFY(ProgramPathBeside(exePath, fileName.c_str(), buffer, sizeof buffer));
  QCOMPARE(QString::fromLatin1(buffer), path);
}

void TestCompanion::aPathThatDoesNotFitIsNotCut() {
  const std::string exe = "/" + std::string(250, 'd') + "/tarvik";
  char buffer[260] = "old";
  QVERIFY(!ProgramPathBeside(exe, kTerminalProgram, buffer, sizeof buffer));
  QCOMPARE(buffer[0], '\0');
  // 259 characters still fit.
  const std::string fits = "/" + std::string(259 - 1 - 1 - 12, 'd') + "/tarvik";
  QVERIFY(ProgramPathBeside(fits, kTerminalProgram, buffer, sizeof buffer));
  QCOMPARE(std::string(buffer).size(), size_t(259));
}

QTEST_GUILESS_MAIN(TestCompanion)
#include "tst_companion.moc"
