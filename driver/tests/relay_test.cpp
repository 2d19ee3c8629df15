// The relay end to end: an application opens $TARVIK_ROOT/dev/COM<n>, the
// driver carries its bytes to a device listening on loopback and back.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "command_port_thread.h"
#include "loopback_device.h"
#include "relay_fixture.h"
#include "tarvik/state_root.h"

namespace vonderil {
namespace {

class RelayTest : public RelayFixture {
 protected:
  // One server with COM5 on data port 1, served by device_ (echo).
  void StartWithOnePort(TestServer server = {}, uint32_t flags = 1) {
    const uint16_t cmd = FreePortPair();
    ASSERT_NE(cmd, 0);
    device_ = std::make_unique<LoopbackDevice>(cmd + 1);
    ASSERT_TRUE(device_->Ok());
    Reserve(cmd);  // no command port: the driver's questions are refused
    server.tcpPortCmd = cmd;
    Configure({server}, flags);
    StartDriver();
  }
  std::unique_ptr<LoopbackDevice> device_;
};

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(RelayTest, BytesGoBothWaysThroughAnOpenedPort) {
  StartWithOnePort();
  struct stat st {};
  ASSERT_EQ(::lstat(LinkOf(5).c_str(), &st), 0) << DriverLog();
  ASSERT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(LinkOf(5).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);
  // Nothing connects before an application opens the port.
  EXPECT_EQ(device_->Connections(), 0);

  tarvik::UniqueFd app = OpenPort(5);
  ASSERT_TRUE(app.Valid());
  WriteAll(app.Get(), "hello, device");
  EXPECT_EQ(ReadFor(app.Get(), 13), "hello, device") << DriverLog();
  PortStatusLine line;
  EXPECT_TRUE(WaitForPort(5, [](const PortStatusLine& p) {
    return p.state == "connected" && p.held && p.toDevice == 13 && p.fromDevice == 13;
  }, &line)) << FormatPortStatusLine(line);
  EXPECT_EQ(line.inUse, "primary");
  EXPECT_EQ(device_->Received(), "hello, device");
}

TEST_F(RelayTest, ReconnectsAfterTheDeviceDropsTheLinkWithoutAReopen) {
  StartWithOnePort();
  tarvik::UniqueFd app = OpenPort(5);
  WriteAll(app.Get(), "one");
  ASSERT_EQ(ReadFor(app.Get(), 3), "one") << DriverLog();
  device_->DropConnections();
  ASSERT_TRUE(WaitFor([&] { return device_->Connections() == 2; })) << DriverLog();
  WriteAll(app.Get(), "two");
  EXPECT_EQ(ReadFor(app.Get(), 3), "two") << DriverLog();
  EXPECT_NE(DriverLog().find("COM5: link to 127.0.0.1"), std::string::npos);
}

TEST_F(RelayTest, FailsOverToTheRedundantAddressWhenThePrimaryRefuses) {
  TestServer server;
  server.address = kLoopback2;  // nothing listens there
  server.address2 = kLoopback;
  StartWithOnePort(server);
  tarvik::UniqueFd app = OpenPort(5);
  WriteAll(app.Get(), "via two");
  EXPECT_EQ(ReadFor(app.Get(), 7), "via two") << DriverLog();
  PortStatusLine line;
  EXPECT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.state == "connected"; }, &line));
  EXPECT_EQ(line.inUse, "redundant");
}

TEST_F(RelayTest, AnUnreachableDeviceEndsBrokenAndTheApplicationKeepsItsPort) {
  TestServer server;
  server.connectionBrokenMs = 300;
  StartWithOnePort(server);
  device_->StopListening();  // nothing answers any more
  tarvik::UniqueFd app = OpenPort(5);
  EXPECT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.state == "broken" && p.held; }))
      << DriverLog();
  // The application's next write tries again.
  device_->ListenAgain();
  WriteAll(app.Get(), "again");
  EXPECT_EQ(ReadFor(app.Get(), 5), "again") << DriverLog();
}

// The connection stays up for the close delay after the last close, so an
// application that reopens at once finds it; then it closes.
TEST_F(RelayTest, TheConnectionClosesOnlyAfterTheCloseDelay) {
  const uint32_t closeDelay = 127u << 3;  // 1270 ms
  StartWithOnePort({}, 1 | closeDelay);
  {
    tarvik::UniqueFd app = OpenPort(5);
    WriteAll(app.Get(), "a");
    ASSERT_EQ(ReadFor(app.Get(), 1), "a");
  }
  {
    tarvik::UniqueFd app = OpenPort(5);
    WriteAll(app.Get(), "b");
    ASSERT_EQ(ReadFor(app.Get(), 1), "b");
  }
  EXPECT_EQ(device_->Connections(), 1);
  EXPECT_TRUE(WaitFor([&] { return device_->OpenConnections() == 0; })) << DriverLog();
  EXPECT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.state == "idle" && !p.held; }));
}

TEST_F(RelayTest, WithoutACloseDelayTheLastCloseEndsTheConnection) {
  StartWithOnePort();
  {
    tarvik::UniqueFd app = OpenPort(5);
    WriteAll(app.Get(), "x");
    ASSERT_EQ(ReadFor(app.Get(), 1), "x");
  }
  EXPECT_TRUE(WaitFor([&] { return device_->OpenConnections() == 0; })) << DriverLog();
}

// Regression: bytes the device sent that the first application never read
// were handed to the next one.
TEST_F(RelayTest, UnreadBytesOfAClosedApplicationNeverReachTheNext) {
  const uint32_t fastOpen = 1u << 1;
  StartWithOnePort({}, 1 | fastOpen);
  ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.state == "connected"; }))
      << DriverLog();
  device_->Send("while nobody listens");
  ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.fromDevice == 20; }));
  {
    tarvik::UniqueFd app = OpenPort(5);
    ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.held; }));
    device_->Send("left unread");
    ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.fromDevice == 31; }));
  }
  ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return !p.held; }));
  tarvik::UniqueFd app = OpenPort(5);
  ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.held; }));
  device_->Send("fresh");
  EXPECT_EQ(ReadFor(app.Get(), 5), "fresh");
  // FastOpen kept the one connection throughout.
  EXPECT_EQ(device_->Connections(), 1);
}

TEST_F(RelayTest, AWriteBufferSendsSmallWritesTogether) {
  TestServer server;
  server.ports[0].optionsWord = 1 | 20u << 1;  // WriteBuffer, AutoFlush 200 ms
  StartWithOnePort(server);
  tarvik::UniqueFd app = OpenPort(5);
  for (int i = 0; i < 20; ++i) WriteAll(app.Get(), std::string(1, static_cast<char>('a' + i)));
  EXPECT_EQ(ReadFor(app.Get(), 20), "abcdefghijklmnopqrst") << DriverLog();
  EXPECT_LE(device_->Reads(), 2);
}

TEST_F(RelayTest, WithoutAWriteBufferEachWriteGoesOutAtOnce) {
  StartWithOnePort();
  tarvik::UniqueFd app = OpenPort(5);
  for (int i = 0; i < 5; ++i) {
    WriteAll(app.Get(), "z");
    ASSERT_EQ(ReadFor(app.Get(), 1), "z");
  }
  EXPECT_EQ(device_->Reads(), 5);
}

// A pty shows no output queue (TIOCOUTQ is always 0), so nothing tells
// the application when the driver has read its bytes; the driver reads
// within microseconds, and the write buffer holds them for seconds.
void LetTheDriverRead() {
  timespec ts{0, 300 * 1000000L};
  nanosleep(&ts, nullptr);
}

struct PurgeCase {
  const char* name;
  bool disablePurge;
  const char* arrives;
};

class PurgeTest : public RelayTest, public ::testing::WithParamInterface<PurgeCase> {};

TEST_P(PurgeTest, AnApplicationsFlushDropsTheDriversBytesUnlessPurgeIsDisabled) {
  TestServer server;
  server.ports[0].optionsWord = 1 | 200u << 1;  // WriteBuffer, AutoFlush 2 s
  server.ports[0].disablePurge = GetParam().disablePurge;
  StartWithOnePort(server);
  tarvik::UniqueFd app = OpenPort(5);
  WriteAll(app.Get(), "old ");
  LetTheDriverRead();
  ASSERT_EQ(tcflush(app.Get(), TCOFLUSH), 0);
  WriteAll(app.Get(), "new");
  ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.toDevice >= 3; }))
      << DriverLog();
  EXPECT_TRUE(WaitFor([&] { return device_->Received() == GetParam().arrives; }))
      << device_->Received();
}

INSTANTIATE_TEST_SUITE_P(Options, PurgeTest,
                         ::testing::Values(PurgeCase{"Purged", false, "new"},
                                           PurgeCase{"PurgeDisabled", true, "old new"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RelayTest, IgnoreWriteErrorDropsWritesWhileTheDeviceIsUnreachable) {
  const uint32_t ignoreWriteError = 1u << 2;
  StartWithOnePort({}, 1 | ignoreWriteError);
  device_.reset();
  tarvik::UniqueFd app = OpenPort(5);
  ASSERT_EQ(::fcntl(app.Get(), F_SETFL, O_NONBLOCK), 0);
  // Far more than the pty and the driver's buffer hold together.
  const std::string chunk(4096, 'x');
  size_t written = 0;
  ASSERT_TRUE(WaitFor([&] {
    while (written < (1u << 20)) {
      ssize_t n = ::write(app.Get(), chunk.data(), chunk.size());
      if (n <= 0) return false;
      written += static_cast<size_t>(n);
    }
    return true;
  })) << written << " bytes written\n" << DriverLog();
}

TEST_F(RelayTest, AStopWaitsWhileAPortIsHeldAndNamesIt) {
  StartWithOnePort();
  tarvik::UniqueFd app = OpenPort(5);
  ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.held; }));
  ASSERT_EQ(StopDriver(), tarvik::kServiceStopPending);
  PortStatusFile file;
  ASSERT_TRUE(WaitFor([&] {
    return ReadPortStatusFile(tarvik::RunDirectory(), &file) && file.stopping;
  }));
  EXPECT_EQ(HeldComNumbers(file), std::vector<uint32_t>{5});
  EXPECT_TRUE(WaitFor([&] {
    return DriverLog().find("held open by applications: COM5") != std::string::npos;
  })) << DriverLog();
  // The port still works while the stop waits.
  WriteAll(app.Get(), "still");
  EXPECT_EQ(ReadFor(app.Get(), 5), "still");
  app.Reset();
  EXPECT_EQ(tarvik::WaitForState("Vonderil", tarvik::kServiceStopped), tarvik::kServiceStopped);
  struct stat st {};
  EXPECT_NE(::lstat(LinkOf(5).c_str(), &st), 0);
  EXPECT_FALSE(ReadPortStatusFile(tarvik::RunDirectory(), &file));
}

TEST_F(RelayTest, StaleLinksOfACrashedDriverAreReplaced) {
  ASSERT_EQ(::symlink("/nonexistent/pts/1", LinkOf(5).c_str()), 0);
  ASSERT_EQ(::symlink("/nonexistent/pts/2", LinkOf(9).c_str()), 0);
  StartWithOnePort();
  char target[256] = "";
  ASSERT_GT(::readlink(LinkOf(5).c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target).rfind("/dev/pts/", 0), 0u) << target;
  struct stat st {};
  EXPECT_NE(::lstat(LinkOf(9).c_str(), &st), 0) << "COM9 is not mapped";
  tarvik::UniqueFd app = OpenPort(5);
  WriteAll(app.Get(), "ok");
  EXPECT_EQ(ReadFor(app.Get(), 2), "ok");
}

TEST_F(RelayTest, PortsBeyondTheDescriptorLimitAreNamedInOneLine) {
  TestServer server;
  server.ports.clear();
  for (uint32_t n = 1; n <= 60; ++n) server.ports.push_back(TestMapping{100 + n, n});
  Configure({server});
  // The driver inherits a hard limit too low for 60 ptys; the limit is set
  // in a child so that this test keeps its own.
  tarvik::RegCloseStore();
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit low{40, 40};
    ::setrlimit(RLIMIT_NOFILE, &low);
    tarvik::ScManager manager;
    tarvik::ServiceHandle service;
    const bool started = manager.Open(tarvik::kScManagerAllAccess) == tarvik::kErrorSuccess &&
                         service.Open(manager, "Vonderil", tarvik::kServiceAllAccess) ==
                             tarvik::kErrorSuccess &&
                         service.Start() == tarvik::kErrorSuccess;
    ::_exit(started ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_EQ(tarvik::WaitForState("Vonderil", tarvik::kServiceRunning), tarvik::kServiceRunning);
  const std::string log = DriverLog();
  const size_t at = log.find("no pty left for ");
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_NE(log.find("-COM160 not made", at), std::string::npos) << log;
  // The ports that were made work.
  struct stat st {};
  EXPECT_EQ(::lstat(LinkOf(101).c_str(), &st), 0);
  EXPECT_NE(::lstat(LinkOf(160).c_str(), &st), 0);
  PortStatusFile file;
  ASSERT_TRUE(WaitFor([&] { return ReadPortStatusFile(tarvik::RunDirectory(), &file); }));
  EXPECT_GT(file.ports.size(), 0u);
  EXPECT_LT(file.ports.size(), 60u);
}

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
  ::pclose(pipe);
  return out;
}

TEST_F(RelayTest, TarvikctlPortsListsEachPortWithItsStateAndHolder) {
  TestServer server;
  server.address2 = kLoopback2;
  server.ports = {TestMapping{5, 1}, TestMapping{7, 2}};
  StartWithOnePort(server);
  tarvik::UniqueFd app = OpenPort(5);
  WriteAll(app.Get(), "abc");
  ASSERT_EQ(ReadFor(app.Get(), 3), "abc");
  ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.fromDevice == 3; }));
  const std::string port = std::to_string(device_->Port());
  const std::string out = RunCommand(std::string(TARVIKCTL) + " ports");
  EXPECT_NE(out.find("COM5     127.0.0.1:" + port + "       127.0.0.2:" + port +
                     "       connected    primary   open                   3            3"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("COM7     127.0.0.1:"), std::string::npos) << out;
  EXPECT_NE(out.find(" idle         -         -                      0            0"),
            std::string::npos)
      << out;
  app.Reset();
  ASSERT_EQ(StopDriver(), tarvik::kServiceStopped);
  EXPECT_EQ(RunCommand(std::string(TARVIKCTL) + " ports"), "Driver is not running.\n");
}

void SetLine(int fd, speed_t speed, bool twoStopBits) {
  termios t{};
  ASSERT_EQ(tcgetattr(fd, &t), 0);
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  if (twoStopBits) {
    t.c_cflag |= CSTOPB;
  } else {
    t.c_cflag &= ~CSTOPB;
  }
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
}

TEST_F(RelayTest, LineSettingsReachTheDeviceUnlessItsConfigIsFixed) {
  const uint16_t cmd = FreePortPair();
  ASSERT_NE(cmd, 0);
  CommandPortThread commandPort(cmd);
  ASSERT_TRUE(commandPort.Ok());
  LoopbackDevice data1(cmd + 1), data2(cmd + 2);
  TestServer server;
  server.tcpPortCmd = cmd;
  server.ports = {TestMapping{5, 1}, TestMapping{6, 2}};
  server.ports[1].fixedConfig = true;
  Configure({server});
  StartDriver();

  tarvik::UniqueFd fixed = OpenPort(6);
  tarvik::UniqueFd free = OpenPort(5);
  // The fixed port first: had it sent anything, it would come first.
  SetLine(fixed.Get(), B57600, true);
  WriteAll(fixed.Get(), "f");
  SetLine(free.Get(), B115200, false);
  WriteAll(free.Get(), "g");
  EXPECT_TRUE(WaitFor([&] { return commandPort.Received().find("061115200\r") != std::string::npos; }))
      << commandPort.Received() << DriverLog();
  EXPECT_EQ(commandPort.Received().find("062"), std::string::npos) << commandPort.Received();
  EXPECT_EQ(commandPort.Received().find("57600"), std::string::npos) << commandPort.Received();

  // Stop bits keep the device's data bits and parity (7E here).
  SetLine(free.Get(), B115200, true);
  EXPECT_TRUE(WaitFor([&] { return commandPort.Received().find("0717E2\r") != std::string::npos; }))
      << commandPort.Received() << DriverLog();
  EXPECT_NE(commandPort.Received().find("161\r"), std::string::npos);
}


// Regression: a close and a reopen that fell between two looks at the
// master were no session boundary, so the second application read the
// reply the first one had left unread.
TEST_F(RelayTest, AReplyTheLastApplicationLeftUnreadNeverReachesTheNext) {
  const uint32_t closeDelay = 100u << 3;  // 1 s: the connection stays
  StartWithOnePort({}, 1 | closeDelay);
  for (int round = 0; round < 20; ++round) {
    const std::string mine = "mine" + std::to_string(round);
    {
      tarvik::UniqueFd first = OpenPort(5);
      WriteAll(first.Get(), "stale" + std::to_string(round));
      // The reply is waiting in the port when the application closes.
      pollfd p{first.Get(), POLLIN, 0};
      ASSERT_EQ(::poll(&p, 1, 10000), 1) << DriverLog();
    }
    tarvik::UniqueFd second = OpenPort(5);
    // The driver has taken the close and the open (a new session).
    PortStatusLine last;
    ASSERT_TRUE(WaitForPort(5, [&](const PortStatusLine& s) {
      return s.sessions == static_cast<uint64_t>(2 * round + 2);
    }, &last)) << "round " << round << ": " << FormatPortStatusLine(last);
    WriteAll(second.Get(), mine);
    EXPECT_EQ(ReadFor(second.Get(), mine.size()), mine) << "round " << round << "\n" << DriverLog();
  }
}

// Regression: bytes that came together with the device's FIN waited for
// a reconnect, which never comes when the device has gone.
TEST_F(RelayTest, BytesThatCameWithTheDevicesCloseReachTheApplication) {
  TestServer server;
  server.connectTimeoutMs = 60000;  // the reconnect hangs for a long time
  StartWithOnePort(server);
  tarvik::UniqueFd app = OpenPort(5);
  WriteAll(app.Get(), "hi");
  ASSERT_EQ(ReadFor(app.Get(), 2), "hi") << DriverLog();
  device_->SendAndVanish("bye");
  EXPECT_EQ(ReadFor(app.Get(), 3), "bye") << DriverLog();
}

// Regression: a device that accepts every connection and closes it at once
// (its port is held by another host) got thousands of connections a
// second, two log lines each, and the port never became broken.
TEST_F(RelayTest, ADeviceThatAcceptsAndClosesIsRetriedCalmlyUntilBroken) {
  TestServer server;
  server.connectionBrokenMs = 2000;
  server.ports[0].fixedConfig = true;  // no line-settings lines in the log
  StartWithOnePort(server);
  device_->CloseOnAccept();
  tarvik::UniqueFd app = OpenPort(5);
  EXPECT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.state == "broken" && p.held; }))
      << DriverLog();
  // The pauses between attempts grow from a quarter second on.
  EXPECT_LE(device_->Connections(), 10);
  const std::string log = DriverLog();
  const size_t lines = Occurrences(log, "COM5: ");
  EXPECT_LE(lines, 6u) << log;
}

// Regression: a FastOpen port nobody holds logged every attempt while its
// device was away.
TEST_F(RelayTest, AFastOpenPortWhoseDeviceRefusesServiceLogsOnlyTheChange) {
  const uint32_t fastOpen = 1u << 1;
  const uint16_t cmd = FreePortPair();
  ASSERT_NE(cmd, 0);
  device_ = std::make_unique<LoopbackDevice>(cmd + 1);
  device_->CloseOnAccept();
  Reserve(cmd);
  TestServer server;
  server.tcpPortCmd = cmd;
  Configure({server}, 1 | fastOpen);
  StartDriver();
  ASSERT_TRUE(WaitFor([&] { return device_->Connections() >= 5; })) << DriverLog();
  const std::string log = DriverLog();
  const size_t lines = Occurrences(log, "COM5: ");
  EXPECT_LE(lines, 3u) << log;
}

// Regression: a stop dropped what the application had written and the
// driver had not yet sent.
TEST_F(RelayTest, AStopWaitsUntilTheLastWrittenBytesReachTheDevice) {
  StartWithOnePort();
  device_->StopListening();  // the device is away for now
  {
    tarvik::UniqueFd app = OpenPort(5);
    WriteAll(app.Get(), "last words");
    ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.held; }));
  }
  ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return !p.held; })) << DriverLog();
  EXPECT_EQ(StopDriver(), tarvik::kServiceStopPending) << DriverLog();
  device_->ListenAgain();
  EXPECT_TRUE(WaitFor([&] { return device_->Received() == "last words"; })) << DriverLog();
  EXPECT_EQ(tarvik::WaitForState("Vonderil", tarvik::kServiceStopped), tarvik::kServiceStopped)
      << DriverLog();
}

// Regression: the bytes written after a baud-rate change reached the
// device before the change did.
TEST_F(RelayTest, BytesWrittenAfterABaudChangeReachTheDeviceAfterTheChange) {
  const uint16_t cmd = FreePortPair();
  ASSERT_NE(cmd, 0);
  CommandPortThread commandPort(cmd);
  ASSERT_TRUE(commandPort.Ok());
  LoopbackDevice data(cmd + 1);
  std::mutex mutex;
  std::string commandsBeforeData;
  data.OnData([&](const std::string& received) {
    std::lock_guard<std::mutex> lock(mutex);
    if (received.find("data") != std::string::npos && commandsBeforeData.empty()) {
      commandsBeforeData = commandPort.Received() + "(data)";
    }
  });
  TestServer server;
  server.tcpPortCmd = cmd;
  Configure({server});
  StartDriver();
  tarvik::UniqueFd app = OpenPort(5);
  // The connection stands and carries bytes, and the device has told its
  // settings, before the change.
  WriteAll(app.Get(), "warm");
  ASSERT_EQ(ReadFor(app.Get(), 4), "warm") << DriverLog();
  ASSERT_TRUE(WaitForPort(5, [](const PortStatusLine& p) { return p.lineState == "ok"; }));
  SetLine(app.Get(), B57600, false);
  WriteAll(app.Get(), "data");
  ASSERT_EQ(ReadFor(app.Get(), 4), "data") << DriverLog();
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_NE(commandsBeforeData.find("06157600\r"), std::string::npos) << commandsBeforeData;
}

// Regression: the driver took every device to start at 9600 baud, so an
// application that asked for 9600 left a device at 19200 where it was.
TEST_F(RelayTest, ADeviceAtOtherSettingsIsToldTheApplicationsBeforeItsBytes) {
  const uint16_t cmd = FreePortPair();
  ASSERT_NE(cmd, 0);
  CommandPortThread commandPort(cmd, [](devsim::CommandPortSettings* s) {
    s->ports[0] = {"19200", "7E2"};
  });
  ASSERT_TRUE(commandPort.Ok());
  LoopbackDevice data(cmd + 1);
  std::mutex mutex;
  std::string commandsBeforeData;
  data.OnData([&](const std::string&) {
    std::lock_guard<std::mutex> lock(mutex);
    if (commandsBeforeData.empty()) commandsBeforeData = commandPort.Received() + "(data)";
  });
  TestServer server;
  server.tcpPortCmd = cmd;
  Configure({server});
  StartDriver();
  tarvik::UniqueFd app = OpenPort(5);
  SetLine(app.Get(), B9600, false);
  WriteAll(app.Get(), "x");
  ASSERT_EQ(ReadFor(app.Get(), 1), "x") << DriverLog();
  std::lock_guard<std::mutex> lock(mutex);
  // Asked first (code 16), then told; data bits and parity stay 7E.
  EXPECT_EQ(commandsBeforeData, "161\r0619600\r0717E1\r(data)") << DriverLog();
}

// Regression: the driver took every device to start at 9600 baud; an
// application that sets nothing now sees what the device has, and the
// device keeps it.
TEST_F(RelayTest, AnApplicationThatSetsNothingSeesTheDevicesSettingsAndLeavesThemAlone) {
  const uint16_t cmd = FreePortPair();
  ASSERT_NE(cmd, 0);
  CommandPortThread commandPort(cmd, [](devsim::CommandPortSettings* s) {
    s->ports[0] = {"19200", "8N2"};
  });
  ASSERT_TRUE(commandPort.Ok());
  LoopbackDevice data(cmd + 1);
  TestServer server;
  server.tcpPortCmd = cmd;
  Configure({server});
  StartDriver();
  tarvik::UniqueFd app = OpenPort(5);
  EXPECT_TRUE(WaitFor([&] {
    termios t{};
    return tcgetattr(app.Get(), &t) == 0 && cfgetospeed(&t) == B19200 && (t.c_cflag & CSTOPB);
  })) << commandPort.Received() << DriverLog();
  WriteAll(app.Get(), "x");
  EXPECT_EQ(ReadFor(app.Get(), 1), "x");
  EXPECT_EQ(commandPort.Received(), "161\r");
}

// Regression: one worker served every command port, so a device whose
// command port accepts but never answers held back every other device.
TEST_F(RelayTest, ADeadCommandPortDoesNotHoldBackAnotherDevicesSettings) {
  const uint16_t deadCmd = FreePortPair();
  ASSERT_NE(deadCmd, 0);
  CommandPortThread dead(deadCmd, [](devsim::CommandPortSettings* s) {
    s->faults.push_back({"", devsim::CommandFault::kNoReply, ""});
  });
  ASSERT_TRUE(dead.Ok());
  LoopbackDevice deadData(deadCmd + 1);
  uint16_t liveCmd = 0;
  for (int i = 0; i < 20 && (liveCmd == 0 || liveCmd == deadCmd || liveCmd == deadCmd + 1); ++i) {
    liveCmd = FreePortPair();
  }
  CommandPortThread live(liveCmd);
  ASSERT_TRUE(live.Ok());
  LoopbackDevice liveData(liveCmd + 1);
  TestServer slow;
  slow.tcpPortCmd = deadCmd;
  slow.connectTimeoutMs = 30000;
  slow.ports = {TestMapping{5, 1}};
  TestServer quick;
  quick.tcpPortCmd = liveCmd;
  quick.ports = {TestMapping{6, 1}};
  Configure({slow, quick});
  StartDriver();
  tarvik::UniqueFd first = OpenPort(5);
  SetLine(first.Get(), B57600, false);
  WriteAll(first.Get(), "a");
  ASSERT_TRUE(WaitFor([&] { return !dead.Received().empty(); })) << DriverLog();
  tarvik::UniqueFd second = OpenPort(6);
  SetLine(second.Get(), B38400, false);
  WriteAll(second.Get(), "b");
  EXPECT_TRUE(WaitFor([&] { return live.Received().find("06138400\r") != std::string::npos; }))
      << live.Received() << DriverLog();
  EXPECT_EQ(ReadFor(second.Get(), 1), "b");
}

// A command port that refuses: the bytes still go, and tarvikctl ports
// says that the device did not take the settings.
TEST_F(RelayTest, LineSettingsADeviceDidNotTakeAreShownAndTheDataStillGoes) {
  StartWithOnePort();  // nothing listens on the command port
  tarvik::UniqueFd app = OpenPort(5);
  SetLine(app.Get(), B57600, false);
  WriteAll(app.Get(), "x");
  EXPECT_EQ(ReadFor(app.Get(), 1), "x") << DriverLog();
  std::string out;
  EXPECT_TRUE(WaitFor([&] {
    out = RunCommand(std::string(TARVIKCTL) + " ports");
    return out.find("COM5: the device did not confirm 57600 baud, 1 stop bit") != std::string::npos;
  })) << out << DriverLog();
}

}  // namespace
}  // namespace vonderil
