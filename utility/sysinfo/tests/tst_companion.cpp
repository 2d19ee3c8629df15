#include <QtTest>
#include <string>

#include "companion.h"
#include "tarvik/ui_hooks.h"

namespace {

const char kHold[] =
    "trap : INT; \"$@\"; echo; printf '%s' 'Press Enter to close this window.'; read -r _";

// A machine with the programs named in installed (found in /usr/bin, or at
// the path itself for names with a slash) and the files in present.
CompanionEnvironment Machine(QStringList installed, QStringList present = {}) {
  CompanionEnvironment env;
  env.stateRoot = "/state";
  env.findProgram = [installed](const std::string& name) -> std::string {
    if (!installed.contains(QString::fromStdString(name))) return std::string();
    return name.find('/') == std::string::npos ? "/usr/bin/" + name : name;
  };
  env.exists = [present](const std::string& path) {
    return present.contains(QString::fromStdString(path));
  };
  return env;
}

const QStringList kAll = {"x-terminal-emulator", "ping", "picocom", "xdg-open", "tarvikctl"};

QStringList InTerminal(const QString& title, QStringList command) {
  return QStringList{"/usr/bin/x-terminal-emulator", "-T", title, "-e", "sh", "-c",
                     QString::fromLatin1(kHold), "sh"} +
         command;
}

}  // namespace

class TestCompanion : public QObject {
  Q_OBJECT
 private slots:
  void besideTheProgram_data();
  void besideTheProgram();
  void aPathThatDoesNotFitIsNotCut();
  void mapsToCommands_data();
  void mapsToCommands();
  void cannotStart_data();
  void cannotStart();
  void otherFilesGoToTheShellHookBefore();
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

void TestCompanion::mapsToCommands_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("parameters");
  QTest::addColumn<QStringList>("installed");
  QTest::addColumn<QStringList>("argv");
  QTest::newRow("ping, windows flags dropped")
      << "Ping.exe" << "-a -t 10.0.0.5" << kAll
      << InTerminal("Ping", {"/usr/bin/ping", "10.0.0.5"});
  QTest::newRow("ping a host name") << "Ping.exe" << "-a -t plc-7" << kAll
                                    << InTerminal("Ping", {"/usr/bin/ping", "plc-7"});
  QTest::newRow("diagnostic beside the utility")
      << "/opt/t/Diag.exe" << "TCP=10.0.0.5,10001" << (kAll + QStringList{"/opt/t/tarvikctl"})
      << InTerminal("Diagnostic",
                    {"/opt/t/tarvikctl", "device", "diag", "10.0.0.5", "10001"});
  QTest::newRow("diagnostic from the path, name in any case")
      << "/opt/t/diag.EXE" << "tcp=192.168.0.1,10000" << kAll
      << InTerminal("Diagnostic",
                    {"/usr/bin/tarvikctl", "device", "diag", "192.168.0.1", "10000"});
  QTest::newRow("terminal on a served COM port")
      << "/opt/t/Terminal.exe" << "Serial=COM3" << kAll
      << InTerminal("Terminal",
                    {"/usr/bin/picocom", "--noinit", "--noreset", "--nolock", "/state/dev/COM3"});
  QTest::newRow("web") << "http://10.0.0.5/" << "" << kAll
                       << QStringList{"/usr/bin/xdg-open", "http://10.0.0.5/"};
}

void TestCompanion::mapsToCommands() {
  QFETCH(QString, file);
  QFETCH(QString, parameters);
  QFETCH(QStringList, installed);
  QFETCH(QStringList, argv);
  CompanionCommand command;
  const CompanionMapping m = MapCompanion(file.toStdString(), parameters.toStdString(),
                                          Machine(installed, {"/state/dev/COM3"}), &command);
  QCOMPARE(QString::fromStdString(command.problem), QString());
  QCOMPARE(int(m), int(CompanionMapping::kCommand));
  QStringList got;
  for (const std::string& a : command.argv) got << QString::fromStdString(a);
  QCOMPARE(got, argv);
}

void TestCompanion::cannotStart_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("parameters");
  QTest::addColumn<QStringList>("installed");
  QTest::addColumn<QString>("problem");
  const QStringList noPicocom = {"x-terminal-emulator", "ping", "xdg-open", "tarvikctl"};
  const QStringList noTerminal = {"ping", "picocom", "xdg-open", "tarvikctl"};
  QTest::newRow("ping target that is an option")
      << "Ping.exe" << "-a -t -f" << kAll << "Ping: no address or host name to ping.";
  QTest::newRow("ping without target") << "Ping.exe" << "-a -t " << kAll
                                       << "Ping: no address or host name to ping.";
  QTest::newRow("diagnostic port out of range")
      << "Diag.exe" << "TCP=10.0.0.5,70000" << kAll
      << "Diagnostic: \"TCP=10.0.0.5,70000\" names no server and port.";
  QTest::newRow("COM port the driver does not serve")
      << "Terminal.exe" << "Serial=COM4" << kAll
      << "Terminal: COM4 is not open; the driver does not serve it now.";
  QTest::newRow("COM number past 4095") << "Terminal.exe" << "Serial=COM4096" << kAll
                                        << "Terminal: \"Serial=COM4096\" names no COM port.";
  QTest::newRow("tcp terminal") << "Terminal.exe" << "Tcp=10.0.0.5,10001" << kAll
                                << "Terminal: a TCP terminal (10.0.0.5:10001) is not available "
                                   "on this system.";
  QTest::newRow("picocom missing") << "Terminal.exe" << "Serial=COM3" << noPicocom
                                   << "Terminal: picocom is not installed.";
  QTest::newRow("no terminal window program")
      << "Ping.exe" << "-a -t 10.0.0.5" << noTerminal
      << "Ping: no terminal window program (x-terminal-emulator) is installed.";
  QTest::newRow("modbus tool") << "/opt/t/HOLLIN.EXE" << "" << kAll
                               << "HOLLIN.EXE has no counterpart on this system.";
  QTest::newRow("no browser opener") << "http://10.0.0.5/" << "" << noTerminal.mid(0, 2)
                                     << "Web: xdg-open is not installed; open http://10.0.0.5/ "
                                        "in a browser.";
}

void TestCompanion::cannotStart() {
  QFETCH(QString, file);
  QFETCH(QString, parameters);
  QFETCH(QStringList, installed);
  QFETCH(QString, problem);
  CompanionCommand command;
  const CompanionMapping m = MapCompanion(file.toStdString(), parameters.toStdString(),
                                          Machine(installed, {"/state/dev/COM3"}), &command);
  QCOMPARE(int(m), int(CompanionMapping::kCannotStart));
  QCOMPARE(QString::fromStdString(command.problem), problem);
  QVERIFY(command.argv.empty());
}

void TestCompanion::otherFilesGoToTheShellHookBefore() {
  std::vector<std::string> handedOn;
  tarvik::SetShellOpenHook([&](const std::string& f, const std::string&, const std::string&) {
    handedOn.push_back(f);
    return 33;
  });
  std::vector<std::string> reported;
  SetCompanionProblemReport([&](const std::string& line) { reported.push_back(line); });
  InstallCompanionShell();
  QCOMPARE(tarvik::ShellOpen("/opt/tools/other-program", "x"), 33);
  QVERIFY(tarvik::ShellOpen("/opt/t/VARDEK.EXE") <= 32);
  QCOMPARE(handedOn, std::vector<std::string>{"/opt/tools/other-program"});
  QCOMPARE(reported, std::vector<std::string>{"VARDEK.EXE has no counterpart on this system."});
  tarvik::SetShellOpenHook(nullptr);
  SetCompanionProblemReport(nullptr);
}

QTEST_GUILESS_MAIN(TestCompanion)
#include "tst_companion.moc"
