#include <QtTest>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app_state.h"
#include "companion.h"
#include "pane_launch.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace {

// The selected port in these tests: COM3, data port 2 of 10.0.0.5.
CompanionTarget SelectedCom3() {
  CompanionTarget t;
  t.comNumber = 3;
  t.devicePort = 2;
  t.serverAddress = 0x0500000a;
  t.commandPort = 10000;
  t.timeoutMs = 5000;
  t.deviceAddress = "10.0.0.5";
  return t;
}

// A machine with the programs named in installed (found in /usr/bin, or at
// the path itself for names with a slash), the files in present, COM3
// selected and its device at 19200 baud, 8 data bits, even parity.
CompanionEnvironment Machine(QStringList installed, QStringList present = {"/state/dev/COM3"}) {
  CompanionEnvironment env;
  env.stateRoot = "/state";
  env.findProgram = [installed](const std::string& name) -> std::string {
    if (!installed.contains(QString::fromStdString(name))) return std::string();
    return name.find('/') == std::string::npos ? "/usr/bin/" + name : name;
  };
  env.exists = [present](const std::string& path) {
    return present.contains(QString::fromStdString(path));
  };
  env.target = SelectedCom3();
  env.readLineSettings = [](const CompanionTarget&, tarvik::device::PortSettings* s, std::string*) {
    s->baud = "19200";
    s->dataBits = '8';
    s->parity = 'E';
    s->stopBits = '1';
    return true;
  };
  return env;
}

const QStringList kAll = {"x-terminal-emulator", "ping",   "picocom",  "xdg-open",
                          "tarvikctl",           "mbpoll", "socat"};

// The terminal's argument vector; the script (argument 6) is compared as
// "SCRIPT": what it does is tried by running it (tst_companion_programs).
QStringList InTerminal(const QString& title, QStringList command) {
  return QStringList{"/usr/bin/x-terminal-emulator", "-T", title, "-e", "/bin/sh", "-c",
                     "SCRIPT", "sh"} +
         command;
}

QStringList Argv(const CompanionCommand& command) {
  QStringList got;
  for (const std::string& a : command.argv) got << QString::fromStdString(a);
  if (got.size() > 6 && got[4] == "/bin/sh" && !got[6].isEmpty()) got[6] = "SCRIPT";
  return got;
}

// A folder of its own, made the current one while it lives.
class ScratchFolder {
 public:
  ScratchFolder() : m_old(QDir::currentPath()) {
    QVERIFY(m_dir.isValid());
    QDir::setCurrent(m_dir.path());
  }
  ~ScratchFolder() { QDir::setCurrent(m_old); }
  QString Path() const { return m_dir.path(); }
  void AddProgram(const QString& relative) {
    const QString file = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexit 0\n");
    f.close();
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0755) == 0);
  }

 private:
  QTemporaryDir m_dir;
  QString m_old;
};

}  // namespace

class TestCompanion : public QObject {
  Q_OBJECT
 private slots:
  void cleanup();
  void besideTheProgram_data();
  void besideTheProgram();
  void aPathThatDoesNotFitIsNotCut();
  void mapsToCommands_data();
  void mapsToCommands();
  void cannotStart_data();
  void cannotStart();
  void aMissingMbpollIsReportedBeforeTheDeviceIsAsked();
  void lookupSkipsEmptyAndRelativePathEntries_data();
  void lookupSkipsEmptyAndRelativePathEntries();
  void targetOfTheServersPaneSelection_data();
  void targetOfTheServersPaneSelection();
  void searchReplyAddressesThatAreNotIpv4StartNothing_data();
  void searchReplyAddressesThatAreNotIpv4StartNothing();
  void otherFilesGoToTheShellHookBefore();

 private:
  QByteArray m_path = qgetenv("PATH");
};

void TestCompanion::cleanup() {
  qputenv("PATH", m_path);
  tarvik::SetShellOpenHook(nullptr);
  SetCompanionProblemReport(nullptr);
  SetCompanionTargetSource(nullptr);
}

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
  QTest::newRow("ping, blanks around the target")
      << "Ping.exe" << "-a -t  plc-7 " << kAll << InTerminal("Ping", {"/usr/bin/ping", "plc-7"});
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
  QTest::newRow("terminal on a TCP port, Ctrl+] for an end")
      << "/opt/t/Terminal.exe" << "Tcp=10.0.0.5,10001" << kAll
      << InTerminal("Terminal",
                    {"/usr/bin/socat", "-,rawer,escape=0x1d", "TCP:10.0.0.5:10001"});
  QTest::newRow("modbus rtu at the line settings of the selected port's device")
      << "/opt/t/HOLLIN.EXE" << "" << kAll
      << InTerminal("Modbus RTU Master",
                    {"/usr/bin/mbpoll", "-m", "rtu", "-b", "19200", "-d", "8", "-s", "1", "-P",
                     "even", "/state/dev/COM3"});
  QTest::newRow("modbus tcp on the current device")
      << "/opt/t/vardek.exe" << "" << kAll
      << InTerminal("Modbus TCP Master",
                    {"/usr/bin/mbpoll", "-m", "tcp", "-p", "502", "10.0.0.5"});
  QTest::newRow("web") << "http://10.0.0.5/" << "" << kAll
                       << QStringList{"/usr/bin/xdg-open", "http://10.0.0.5/"};
}

void TestCompanion::mapsToCommands() {
  QFETCH(QString, file);
  QFETCH(QString, parameters);
  QFETCH(QStringList, installed);
  QFETCH(QStringList, argv);
  CompanionCommand command;
  const CompanionMapping m =
      MapCompanion(file.toStdString(), parameters.toStdString(), Machine(installed), &command);
  QCOMPARE(QString::fromStdString(command.problem), QString());
  QCOMPARE(int(m), int(CompanionMapping::kCommand));
  QCOMPARE(Argv(command), argv);
}

void TestCompanion::cannotStart_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("parameters");
  QTest::addColumn<QStringList>("installed");
  QTest::addColumn<int>("selection");  // 0 COM3; 1 the I/O port; 2 nothing; 3 unreadable
  QTest::addColumn<QString>("deviceAddress");
  QTest::addColumn<QString>("problem");
  const QStringList noPicocom = {"x-terminal-emulator", "ping", "xdg-open", "tarvikctl"};
  const QStringList noTerminal = {"ping", "picocom", "xdg-open", "tarvikctl", "mbpoll"};
  const QString ip = "10.0.0.5";
  QTest::newRow("ping of two targets pings neither")
      << "Ping.exe" << "-a -t 10.0.0.1 10.0.0.2" << kAll << 0 << ip
      << "Ping: \"10.0.0.1 10.0.0.2\" is more than one target; ping one address or host name.";
  QTest::newRow("ping target that is an option")
      << "Ping.exe" << "-a -t -f" << kAll << 0 << ip
      << "Ping: \"-f\" is not an address or host name.";
  QTest::newRow("ping target with a control byte")
      << "Ping.exe" << "-a -t a\x1b]0;x" << kAll << 0 << ip
      << "Ping: \"a?]0;x\" is not an address or host name.";
  QTest::newRow("ping without target") << "Ping.exe" << "-a -t " << kAll << 0 << ip
                                       << "Ping: no address or host name to ping.";
  QTest::newRow("ping of blanks") << "Ping.exe" << "-a -t  \t " << kAll << 0 << ip
                                  << "Ping: no address or host name to ping.";
  QTest::newRow("diagnostic port out of range")
      << "Diag.exe" << "TCP=10.0.0.5,70000" << kAll << 0 << ip
      << "Diagnostic: \"TCP=10.0.0.5,70000\" names no server and port.";
  QTest::newRow("COM port the driver does not serve")
      << "Terminal.exe" << "Serial=COM4" << kAll << 0 << ip
      << "Terminal: COM4 is not open; the driver does not serve it now.";
  QTest::newRow("COM number past 4095") << "Terminal.exe" << "Serial=COM4096" << kAll << 0 << ip
                                        << "Terminal: \"Serial=COM4096\" names no COM port.";
  QTest::newRow("tcp terminal on a host name, which socat would read as options")
      << "Terminal.exe" << "Tcp=a:1,fork,10001" << kAll << 0 << ip
      << "Terminal: \"a:1,fork\" is not an IPv4 address.";
  QTest::newRow("socat missing") << "Terminal.exe" << "Tcp=10.0.0.5,10001" << noPicocom << 0
                                 << ip << "Terminal: socat is not installed.";
  QTest::newRow("picocom missing") << "Terminal.exe" << "Serial=COM3" << noPicocom << 0 << ip
                                   << "Terminal: picocom is not installed.";
  QTest::newRow("no terminal window program")
      << "Ping.exe" << "-a -t 10.0.0.5" << noTerminal << 0 << ip
      << "Ping: no terminal window program (x-terminal-emulator) is installed.";
  QTest::newRow("modbus rtu without a selected port")
      << "HOLLIN.EXE" << "" << kAll << 2 << ip
      << "Modbus RTU Master: select a port that has a COM number in the Servers list first.";
  QTest::newRow("modbus rtu on the I/O port")
      << "HOLLIN.EXE" << "" << kAll << 1 << ip
      << "Modbus RTU Master: COM3 is the I/O port; it has no serial line.";
  QTest::newRow("modbus rtu on a port the driver does not serve")
      << "HOLLIN.EXE" << "" << kAll << 4 << ip
      << "Modbus RTU Master: COM9 is not open; the driver does not serve it now.";
  QTest::newRow("modbus rtu when the device does not answer")
      << "HOLLIN.EXE" << "" << kAll << 3 << ip
      << "Modbus RTU Master: the line settings of COM3 could not be read from its device "
         "(Err:Connecting...).";
  QTest::newRow("modbus tcp on a search reply's host name")
      << "VARDEK.EXE" << "" << kAll << 0 << "evil.example"
      << "Modbus TCP Master: the current device address is not an IPv4 address.";
  QTest::newRow("modbus tcp on an address that looks like an option")
      << "VARDEK.EXE" << "" << kAll << 0 << "-h"
      << "Modbus TCP Master: the current device address is not an IPv4 address.";
  QTest::newRow("modbus tcp without mbpoll")
      << "VARDEK.EXE" << "" << noPicocom << 0 << ip << "Modbus TCP Master: mbpoll is not installed.";
  QTest::newRow("no browser opener") << "http://10.0.0.5/" << "" << noTerminal.mid(0, 2) << 0
                                     << ip
                                     << "Web: xdg-open is not installed; open http://10.0.0.5/ "
                                        "in a browser.";
}

void TestCompanion::cannotStart() {
  QFETCH(QString, file);
  QFETCH(QString, parameters);
  QFETCH(QStringList, installed);
  QFETCH(int, selection);
  QFETCH(QString, deviceAddress);
  QFETCH(QString, problem);
  CompanionEnvironment env = Machine(installed);
  env.target.deviceAddress = deviceAddress.toStdString();
  if (selection == 1) env.target.devicePort = 0;
  if (selection == 2) env.target = CompanionTarget();
  if (selection == 3)
    env.readLineSettings = [](const CompanionTarget&, tarvik::device::PortSettings*,
                              std::string* failure) {
      *failure = "Err:Connecting...";
      return false;
    };
  if (selection == 4) env.target.comNumber = 9;
  CompanionCommand command;
  const CompanionMapping m =
      MapCompanion(file.toStdString(), parameters.toStdString(), env, &command);
  QCOMPARE(int(m), int(CompanionMapping::kCannotStart));
  QCOMPARE(QString::fromStdString(command.problem), problem);
  QVERIFY(command.argv.empty());
}

void TestCompanion::aMissingMbpollIsReportedBeforeTheDeviceIsAsked() {
  CompanionEnvironment env = Machine({"x-terminal-emulator"});
  int asked = 0;
  env.readLineSettings = [&asked](const CompanionTarget&, tarvik::device::PortSettings*,
                                  std::string*) {
    ++asked;
    return false;
  };
  CompanionCommand command;
  QCOMPARE(int(MapCompanion("HOLLIN.EXE", "", env, &command)),
           int(CompanionMapping::kCannotStart));
  QCOMPARE(command.problem, std::string("Modbus RTU Master: mbpoll is not installed."));
  QCOMPARE(asked, 0);
}

// A utility started as root from a folder that holds a program of the same
// name must not start that one.
void TestCompanion::lookupSkipsEmptyAndRelativePathEntries_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<bool>("found");  // in the absolute folder "abs"
  QTest::newRow("empty PATH") << "" << false;
  QTest::newRow("empty entry first") << ":/nonexistent" << false;
  QTest::newRow("empty entry last") << "/nonexistent:" << false;
  QTest::newRow("empty entry between") << "/nonexistent::/nonexistent2" << false;
  QTest::newRow("dot") << "." << false;
  QTest::newRow("relative folder") << "bin" << false;
  QTest::newRow("relative, then the absolute one") << "bin::ABS" << true;
  QTest::newRow("absolute folder") << "/nonexistent:ABS" << true;
}

void TestCompanion::lookupSkipsEmptyAndRelativePathEntries() {
  QFETCH(QString, path);
  QFETCH(bool, found);
  ScratchFolder here;
  const QString name = "tarvik-lookup-probe";
  here.AddProgram(name);
  here.AddProgram("bin/" + name);
  here.AddProgram("abs/" + name);
  const QString abs = here.Path() + "/abs";
  qputenv("PATH", QString(path).replace("ABS", abs).toLocal8Bit());
  const std::string got = CompanionEnvironment::Live().findProgram(name.toStdString());
  QCOMPARE(QString::fromStdString(got), found ? abs + "/" + name : QString());
}

void TestCompanion::targetOfTheServersPaneSelection_data() {
  QTest::addColumn<int>("server");
  QTest::addColumn<int>("entry");
  QTest::addColumn<uint>("com");
  QTest::addColumn<uint>("devicePort");
  QTest::addColumn<uint>("address");
  QTest::newRow("data port 2 of the second server") << 1 << 3 << 7u << 2u << 0x0600000au;
  QTest::newRow("the I/O port") << 1 << 0 << 5u << 0u << 0x0600000au;
  QTest::newRow("a server without a port row") << 1 << -1 << 0u << 0u << 0u;
  QTest::newRow("no server") << -1 << 3 << 0u << 0u << 0u;
  QTest::newRow("past the configured servers") << 2 << 3 << 0u << 0u << 0u;
  QTest::newRow("an entry past the server's ports") << 1 << 5 << 0u << 0u << 0u;
  QTest::newRow("past the port entries") << 1 << 70 << 0u << 0u << 0u;
}

void TestCompanion::targetOfTheServersPaneSelection() {
  QFETCH(int, server);
  QFETCH(int, entry);
  QFETCH(uint, com);
  QFETCH(uint, devicePort);
  QFETCH(uint, address);
  auto set = std::make_unique<TkcConfigSet>();
  set->Servers = 2;
  TkcServerRecord& r = set->Records[1];
  r.IPAddress = 0x0600000a;
  r.TcpPortCmd = 10100;
  r.ConnectTimeout = 3000;
  r.PortNo = 2;
  r.PortMap[0].Com = 5;                                // I/O port on COM5
  r.PortMap[3].Com = 7 | (2u << 13) | (1u << 21);      // data port 2 on COM7
  r.PortMap[5].Com = 9 | (4u << 13);                   // past PortNo + 1
  set->Records[2].PortMap[3].Com = 8 | (2u << 13);     // not configured
  const CompanionTarget t = TargetFromSelection(*set, server, entry, "10.0.0.6");
  QCOMPARE(t.comNumber, com);
  QCOMPARE(t.devicePort, devicePort);
  QCOMPARE(t.serverAddress, address);
  QCOMPARE(t.commandPort, address ? 10100u : 0u);
  QCOMPARE(t.timeoutMs, address ? 3000u : 0u);
  QCOMPARE(t.deviceAddress, std::string("10.0.0.6"));
}

// A search row's address is a discovery reply's "IP=" text: up to 15 bytes
// anyone on the network can send.
void TestCompanion::searchReplyAddressesThatAreNotIpv4StartNothing_data() {
  QTest::addColumn<QByteArray>("address");
  QTest::newRow("host name") << QByteArray("evil.example");
  QTest::newRow("terminal title sequence") << QByteArray("\x1b]2;owned\x07");
  QTest::newRow("option") << QByteArray("-f");
  QTest::newRow("address and an option") << QByteArray("10.0.0.1 -f");
  QTest::newRow("leading zero") << QByteArray("010.77.0.21");
  QTest::newRow("no address") << QByteArray("0.0.0.0");
  QTest::newRow("empty") << QByteArray("");
}

void TestCompanion::searchReplyAddressesThatAreNotIpv4StartNothing() {
  QFETCH(QByteArray, address);
  std::vector<std::string> started, reported;
  tarvik::SetShellOpenHook([&](const std::string& f, const std::string& p, const std::string&) {
    started.push_back(f + " " + p);
    return 33;
  });
  SetCompanionProblemReport([&](const std::string& line) { reported.push_back(line); });
  tarvik::CopyText(App().diagPath, "/opt/t/Diag.exe");
  PingFromSearchPane(address.constData());
  DiagnosticFromSearchPane(address.constData());
  QCOMPARE(started, std::vector<std::string>());
  QCOMPARE(reported,
           (std::vector<std::string>{
               "Ping: the device's search reply gives no IPv4 address; nothing started.",
               "Diagnostic: the device's search reply gives no IPv4 address; nothing started."}));

  // A dotted address goes on, and so does the diagnostic's fallback.
  reported.clear();
  PingFromSearchPane("10.77.0.21");
  DiagnosticFromSearchPane("10.77.0.21");
  DiagnosticFromSearchPane(nullptr);
  QCOMPARE(started, (std::vector<std::string>{"Ping.exe -a -t 10.77.0.21",
                                              "/opt/t/Diag.exe TCP=10.77.0.21,10000",
                                              "/opt/t/Diag.exe TCP=192.168.0.1,10000"}));
  QVERIFY(reported.empty());
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
  // No target source: the master has no port to work on.
  QVERIFY(tarvik::ShellOpen("/opt/t/HOLLIN.EXE") <= 32);
  QCOMPARE(handedOn, std::vector<std::string>{"/opt/tools/other-program"});
  QCOMPARE(reported,
           std::vector<std::string>{
               "Modbus RTU Master: select a port that has a COM number in the Servers list first."});
}

QTEST_GUILESS_MAIN(TestCompanion)
#include "tst_companion.moc"
