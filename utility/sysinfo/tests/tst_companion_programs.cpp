// The commands the companion mapping makes, run for real: what the terminal
// window would run (everything after its "-e") runs on a pseudo-terminal of
// the test's own, against a simulated device's command port, a Modbus slave
// or a TCP peer on loopback, and a pty standing in for the COM port.
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "command_server.h"
#include "companion.h"

namespace {

constexpr int kWaitMs = 10000;  // for a program to do its next step

// Waits until fd is readable; false when the wait ran out.
bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, kWaitMs) == 1;
}

// A terminal: the window's command on a pty of its own.
class TerminalRun {
 public:
  explicit TerminalRun(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      ::execv(args[0], args.data());
      ::_exit(127);
    }
  }
  ~TerminalRun() {
    if (pid_ > 0 && !exited_) {
      ::kill(-pid_, SIGKILL);
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }
  bool Started() const { return pid_ > 0 && master_ >= 0; }
  void Type(const QByteArray& keys) {
    QVERIFY(::write(master_, keys.constData(), keys.size()) == keys.size());
  }
  // Reads what the window shows until text appears.
  bool WaitFor(const QByteArray& text) {
    while (!output_.contains(text)) {
      if (!Readable(master_)) return false;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) return false;  // the program is gone
      output_.append(buffer, static_cast<int>(n));
    }
    return true;
  }
  // The exit status once the program has ended.
  int Exit() {
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_) return -1;
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const QByteArray& Output() const { return output_; }

 private:
  pid_t pid_ = -1;
  int master_ = -1;
  bool exited_ = false;
  QByteArray output_;
};

// One TCP peer on 127.0.0.1 with a port of the system's choosing.
class LoopbackPeer {
 public:
  LoopbackPeer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::listen(listener_, 1) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~LoopbackPeer() {
    if (peer_ >= 0) ::close(peer_);
    if (listener_ >= 0) ::close(listener_);
  }
  uint16_t Port() const { return port_; }
  bool Accept() {
    if (!Readable(listener_)) return false;
    peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return peer_ >= 0;
  }
  // At least n bytes, or what came before the wait ran out.
  QByteArray Read(int n) {
    QByteArray got;
    while (got.size() < n && Readable(peer_)) {
      char buffer[512];
      const ssize_t r = ::recv(peer_, buffer, sizeof buffer, 0);
      if (r <= 0) break;
      got.append(buffer, static_cast<int>(r));
    }
    return got;
  }
  void Send(const QByteArray& bytes) {
    QVERIFY(::send(peer_, bytes.constData(), bytes.size(), MSG_NOSIGNAL) == bytes.size());
  }

 private:
  int listener_ = -1;
  int peer_ = -1;
  uint16_t port_ = 0;
};

// A pseudo-terminal standing in for a COM port the driver serves: its
// slave is linked as <root>/dev/COM<n>, and the test reads the master as the
// driver would.
class ComPort {
 public:
  ComPort(const QString& root, int number) {
    char name[64];
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    QDir().mkpath(root + "/dev");
    link_ = root + "/dev/COM" + QString::number(number);
    ok_ = QFile::link(QString::fromLatin1(name), link_);
  }
  ~ComPort() {
    if (ok_) QFile::remove(link_);
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }
  bool Ok() const { return ok_; }
  QByteArray Read(int n) {
    QByteArray got;
    while (got.size() < n && Readable(master_)) {
      char buffer[256];
      const ssize_t r = ::read(master_, buffer, sizeof buffer);
      if (r <= 0) break;
      got.append(buffer, static_cast<int>(r));
    }
    return got;
  }
  speed_t Speed() const {
    termios t{};
    return ::tcgetattr(master_, &t) == 0 ? cfgetospeed(&t) : B0;
  }
  bool TwoStopBits() const {
    termios t{};
    return ::tcgetattr(master_, &t) == 0 && (t.c_cflag & CSTOPB) != 0;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  QString link_;
  bool ok_ = false;
};

uint16_t ModbusCrc(const QByteArray& frame) {
  uint16_t crc = 0xFFFF;
  for (char c : frame) {
    crc ^= static_cast<uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

// Read holding registers: slave, function 3, first address, count.
QByteArray ReadRequestPdu(int slave, int address, int count) {
  QByteArray pdu;
  pdu.append(char(slave)).append(char(3));
  pdu.append(char(address >> 8)).append(char(address & 0xFF));
  pdu.append(char(count >> 8)).append(char(count & 0xFF));
  return pdu;
}

// What the terminal window runs: the argument vector after "-e".
std::vector<std::string> WindowCommand(const CompanionCommand& command) {
  for (size_t i = 0; i + 1 < command.argv.size(); ++i)
    if (command.argv[i] == "-e") return {command.argv.begin() + i + 1, command.argv.end()};
  return {};
}

bool Installed(const char* program) {
  return !FindProgramOnPath(program, std::getenv("PATH")).empty();
}

}  // namespace

class TestCompanionPrograms : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void modbusRtuMasterPollsTheSelectedPortAtItsDevicesRate_data();
  void modbusRtuMasterPollsTheSelectedPortAtItsDevicesRate();
  void modbusRtuMasterWithADeviceThatDoesNotAnswerStartsNothing();
  void modbusTcpMasterReadsTheCurrentDevice();
  void tcpTerminalCarriesBytesBothWaysUntilCtrlBracket();

 private:
  std::unique_ptr<QTemporaryDir> m_root;
};

void TestCompanionPrograms::initTestCase() {
  // tools/setup/packages.txt installs them: a missing one is the machine's
  // fault, and a skip would hide the launches from CI.
  for (const char* program : {"x-terminal-emulator", "mbpoll", "socat"})
    if (!Installed(program))
      QFAIL(qPrintable(QStringLiteral("%1 is not installed (tools/setup/packages.txt)")
                           .arg(QString::fromLatin1(program))));
  m_root = std::make_unique<QTemporaryDir>();
  QVERIFY(m_root->isValid());
}

void TestCompanionPrograms::modbusRtuMasterPollsTheSelectedPortAtItsDevicesRate_data() {
  QTest::addColumn<QString>("line");  // the device's setting of data port 2
  QTest::addColumn<QByteArray>("answers");
  QTest::addColumn<QByteArray>("pdu");
  QTest::addColumn<int>("speed");
  QTest::addColumn<bool>("twoStopBits");
  QTest::newRow("Enter keeps the master's defaults")
      << "9600 8N1" << QByteArray("\n\n\n") << ReadRequestPdu(1, 0, 1) << int(B9600) << false;
  QTest::newRow("slave 17, registers 100 to 103")
      << "19200 8E2" << QByteArray("17\n100\n4\n") << ReadRequestPdu(17, 99, 4) << int(B19200)
      << true;
  QTest::newRow("answers out of range or like options are asked again")
      << "115200 8N1" << QByteArray("-5\n010\n248\n17\n0\n100\n126\n4\n")
      << ReadRequestPdu(17, 99, 4) << int(B115200) << false;
}

void TestCompanionPrograms::modbusRtuMasterPollsTheSelectedPortAtItsDevicesRate() {
  QFETCH(QString, line);
  QFETCH(QByteArray, answers);
  QFETCH(QByteArray, pdu);
  QFETCH(int, speed);
  QFETCH(bool, twoStopBits);
  devsim::CommandPortSettings settings;
  const QStringList parts = line.split(' ');
  settings.ports[1].baud = parts[0].toStdString();
  settings.ports[1].format = parts[1].toStdString();
  CommandServer device(settings);
  ComPort com(m_root->path(), 3);
  QVERIFY(com.Ok());

  CompanionEnvironment env = CompanionEnvironment::Live();
  env.stateRoot = QFile::encodeName(m_root->path()).toStdString();
  env.target.comNumber = 3;
  env.target.devicePort = 2;
  env.target.serverAddress = 0x0100007f;  // 127.0.0.1
  env.target.commandPort = device.Port();
  env.target.timeoutMs = 3000;
  CompanionCommand command;
  QCOMPARE(int(MapCompanion("/opt/t/HOLLIN.EXE", "", env, &command)),
           int(CompanionMapping::kCommand));

  TerminalRun window(WindowCommand(command));
  QVERIFY(window.Started());
  QVERIFY2(window.WaitFor("Slave address (1-247) [1]: "), window.Output().constData());
  window.Type(answers);
  const QByteArray request = com.Read(8);
  QVERIFY2(window.WaitFor("Polling slave"), window.Output().constData());
  QVERIFY(request.size() >= 8);
  QCOMPARE(request.left(6).toHex(' '), pdu.toHex(' '));
  const uint16_t crc = ModbusCrc(pdu);
  QCOMPARE(uint8_t(request[6]) | uint8_t(request[7]) << 8, int(crc));
  QCOMPARE(int(com.Speed()), speed);
  QCOMPARE(com.TwoStopBits(), twoStopBits);
  if (answers.contains("-5")) QVERIFY(window.Output().contains("Give a number from 1 to 247."));
}

void TestCompanionPrograms::modbusRtuMasterWithADeviceThatDoesNotAnswerStartsNothing() {
  ComPort com(m_root->path(), 4);
  QVERIFY(com.Ok());
  LoopbackPeer silent;  // accepts the connection, never answers
  CompanionEnvironment env = CompanionEnvironment::Live();
  env.stateRoot = QFile::encodeName(m_root->path()).toStdString();
  env.target.comNumber = 4;
  env.target.devicePort = 1;
  env.target.serverAddress = 0x0100007f;
  env.target.commandPort = silent.Port();
  env.target.timeoutMs = 300;
  CompanionCommand command;
  QCOMPARE(int(MapCompanion("HOLLIN.EXE", "", env, &command)), int(CompanionMapping::kCannotStart));
  QVERIFY2(QString::fromStdString(command.problem)
               .startsWith("Modbus RTU Master: the line settings of COM4 could not be read from "
                           "its device (Err:"),
           command.problem.c_str());
  QVERIFY(command.argv.empty());
}

void TestCompanionPrograms::modbusTcpMasterReadsTheCurrentDevice() {
  LoopbackPeer slave;
  QVERIFY(slave.Port() != 0);
  CompanionEnvironment env = CompanionEnvironment::Live();
  env.target.deviceAddress = "127.0.0.1";
  CompanionCommand command;
  QCOMPARE(int(MapCompanion("VARDEK.EXE", "", env, &command)), int(CompanionMapping::kCommand));
  // Port 502 is the master's; the slave here has a port of its own.
  std::vector<std::string> run = WindowCommand(command);
  for (std::string& a : run)
    if (a == "502") a = std::to_string(slave.Port());

  TerminalRun window(run);
  QVERIFY(window.WaitFor("Slave address (0-255) [1]: "));
  window.Type("0\n7\n\n");
  QVERIFY(slave.Accept());
  const QByteArray request = slave.Read(12);
  QVERIFY(request.size() >= 12);
  // Transaction id, protocol 0, 6 bytes follow: unit 0, read register 7.
  QCOMPARE(request.mid(2).toHex(' '),
           (QByteArray::fromHex("0000 0006") + ReadRequestPdu(0, 6, 1)).toHex(' '));
  slave.Send(request.left(2) + QByteArray::fromHex("0000 0005 00 03 02 1e61"));
  QVERIFY2(window.WaitFor("[7]: \t7777"), window.Output().constData());
}

void TestCompanionPrograms::tcpTerminalCarriesBytesBothWaysUntilCtrlBracket() {
  LoopbackPeer device;
  QVERIFY(device.Port() != 0);
  CompanionCommand command;
  const std::string parameters = "Tcp=127.0.0.1," + std::to_string(device.Port());
  QCOMPARE(int(MapCompanion(kTerminalProgram, parameters, CompanionEnvironment::Live(), &command)),
           int(CompanionMapping::kCommand));

  TerminalRun window(WindowCommand(command));
  QVERIFY(window.WaitFor("Ctrl+] closes the connection."));
  QVERIFY(device.Accept());
  // Raw: Ctrl+C and Enter are bytes for the device, nothing is echoed.
  window.Type("AT\x03\r");
  QCOMPARE(device.Read(4), QByteArray("AT\x03\r"));
  device.Send("OK from the device\r\n");
  QVERIFY(window.WaitFor("OK from the device"));
  window.Type("\x1d");
  QVERIFY(window.WaitFor("Press Enter to close this window."));
  window.Type("\n");
  QCOMPARE(window.Exit(), 0);
}

QTEST_GUILESS_MAIN(TestCompanionPrograms)
#include "tst_companion_programs.moc"
