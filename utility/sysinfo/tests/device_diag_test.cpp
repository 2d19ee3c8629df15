// tarvikctl device diag run as a program against a simulated device's
// command port on loopback, with its data ports as plain listeners (or a
// bound socket that does not listen, which refuses every connect).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "command_server.h"
#include "program_run.h"

namespace {

using devsim::CommandFault;
using devsim::CommandPortSettings;

using Outcome = tarvik::ProgramRun;

// A socket bound to 127.0.0.1:port; listening or not.
class PortSocket {
 public:
  PortSocket(uint16_t port, bool listening) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
          (!listening || ::listen(fd_, 8) == 0);
  }
  ~PortSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Ok() const { return ok_; }

 private:
  int fd_ = -1;
  bool ok_ = false;
};

class DeviceDiag : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvikctl-diag-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    sockets_.clear();
    server_.reset();
    std::system(("rm -rf '" + root_ + "'").c_str());
  }

  // Starts the device, then holds its data ports 1..open.size(): a
  // listener where open[i] is true, a refusing socket otherwise. Tries
  // again when a neighbouring port is taken.
  void Start(CommandPortSettings settings, std::vector<bool> open) {
    settings.ip = "127.0.0.1";
    for (int attempt = 0; attempt < 20; ++attempt) {
      sockets_.clear();
      server_ = std::make_unique<CommandServer>(settings);
      bool all = true;
      for (size_t i = 0; i < open.size() && all; ++i) {
        sockets_.push_back(std::make_unique<PortSocket>(server_->Port() + 1 + i, open[i]));
        all = sockets_.back()->Ok();
      }
      if (all) return;
    }
    FAIL() << "no free run of ports beside the command port";
  }
  std::string Port(int offset = 0) { return std::to_string(server_->Port() + offset); }

  Outcome Tarvikctl(const std::vector<std::string>& args) {
    return tarvik::RunProgram(TARVIKCTL_PATH, args, {root_});
  }

  // The report with each step's time taken out (times are not compared).
  static std::string WithoutTimes(const std::string& out) {
    static const std::regex kTime(" +[0-9]+ ms");
    static const std::regex kTrailing(" +\n");
    return std::regex_replace(std::regex_replace(out, kTime, ""), kTrailing, "\n");
  }

  std::unique_ptr<CommandServer> server_;
  std::vector<std::unique_ptr<PortSocket>> sockets_;
  std::string root_;
};

std::string Step(const std::string& label, const std::string& result, bool failed = false) {
  char line[200];
  std::snprintf(line, sizeof line, "%-30s %-24s", label.c_str(), result.c_str());
  std::string text = line;
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text + (failed ? "  FAILED" : "") + "\n";
}

std::string DeviceSteps(const std::string& port, const std::string& name, int dataPorts) {
  return "Diagnostic of 127.0.0.1, command port " + port + "\n" +
         Step("Connect to command port " + port, "connected") + Step("Server name", name) +
         Step("Firmware version", "V2.14") + Step("OS version", "V1.3") +
         Step("Subnet mask", "255.255.255.0") + Step("Gateway", "0.0.0.0") +
         Step("MAC address", "00-60-E9-00-00-01") + Step("Lock state", "Unlocked") +
         Step("Data port layout", std::to_string(dataPorts) + " data port(s)");
}

TEST_F(DeviceDiag, EveryStepPassesOnAHealthyDevice) {
  CommandPortSettings settings;
  settings.name = "Q410X2";
  settings.ports = {{"9600", "8N1"}, {"115200", "7E2"}};
  Start(settings, {true, true});
  const Outcome run = Tarvikctl({"device", "diag", "127.0.0.1", Port()});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(WithoutTimes(run.out),
            DeviceSteps(Port(), "Q410X2", 2) +
                Step("Data port 1: connect " + Port(1), "connected") +
                Step("Data port 1: serial settings", "9600 8N1") +
                Step("Data port 2: connect " + Port(2), "connected") +
                Step("Data port 2: serial settings", "115200 7E2") +
                "Verdict: OK, all 13 steps passed.\n");
}

TEST_F(DeviceDiag, ARefusingDataPortFailsTheVerdictAndTheRestGoesOn) {
  CommandPortSettings settings;
  settings.name = "Q410X2";
  Start(settings, {false, true});
  const Outcome run = Tarvikctl({"device", "diag", "127.0.0.1", Port(), "--timeout", "2000"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(WithoutTimes(run.out),
            DeviceSteps(Port(), "Q410X2", 2) +
                Step("Data port 1: connect " + Port(1), "refused", true) +
                Step("Data port 1: serial settings", "9600 8N1") +
                Step("Data port 2: connect " + Port(2), "connected") +
                Step("Data port 2: serial settings", "9600 8N1") +
                "Verdict: FAILED, 1 of 13 steps failed (first: Data port 1: connect " + Port(1) +
                ").\n");
}

TEST_F(DeviceDiag, ASilentSettingAndALockedDeviceAreShown) {
  CommandPortSettings settings;
  settings.name = "Q410X2";
  settings.password = "s3cret";
  settings.faults = {{"16", CommandFault::kNoReply, ""}};
  Start(settings, {true, true});
  const Outcome run = Tarvikctl({"device", "diag", "127.0.0.1", Port(), "--timeout", "300"});
  EXPECT_EQ(run.code, 1);
  const std::string out = WithoutTimes(run.out);
  EXPECT_NE(out.find(Step("Lock state", "Locked")), std::string::npos) << out;
  EXPECT_NE(out.find(Step("Data port 1: serial settings", "no answer", true)), std::string::npos)
      << out;
  EXPECT_NE(out.find("Verdict: FAILED, 2 of 13 steps failed (first: Data port 1: serial settings)."),
            std::string::npos)
      << out;
}

TEST_F(DeviceDiag, UnreachableCommandPortEndsAtOnce) {
  CommandPortSettings settings;
  Start(settings, {});
  server_->WithDevice([](devsim::CommandPortDevice& d) { d.Settings().refuseConnections = true; });
  const Outcome run = Tarvikctl({"device", "diag", "127.0.0.1", Port(), "--timeout", "300"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(WithoutTimes(run.out),
            "Diagnostic of 127.0.0.1, command port " + Port() + "\n" +
                Step("Connect to command port " + Port(), "not reached", true) +
                "Verdict: FAILED, 1 of 1 steps failed (first: Connect to command port " + Port() +
                ").\n");
}

TEST_F(DeviceDiag, UnknownModelStopsBeforeTheDataPorts) {
  CommandPortSettings settings;
  settings.name = "ZZ-UNKNOWN";
  Start(settings, {});
  const Outcome run = Tarvikctl({"device", "diag", "127.0.0.1", Port()});
  EXPECT_EQ(run.code, 1);
  const std::string out = WithoutTimes(run.out);
  EXPECT_NE(out.find(Step("Data port layout", "unknown for \"ZZ-UNKNOWN\"", true)),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Data port 1"), std::string::npos);
}

TEST_F(DeviceDiag, RefusesMalformedLines) {
  struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"device", "diag", "127.0.0.1"}, "tarvikctl: usage: device diag HOST PORT [--timeout MS]\n"},
      {{"device", "diag", "plc-7", "10000"}, "tarvikctl: not an IPv4 address: plc-7\n"},
      {{"device", "diag", "127.0.0.1", "65536"}, "tarvikctl: PORT is the command port, 1 to 65535\n"},
      {{"device", "diag", "127.0.0.1", "10000", "--timeout", "x"},
       "tarvikctl: --timeout takes milliseconds, 1 to 600000\n"},
  };
  for (auto& c : cases) {
    const Outcome run = Tarvikctl(c.args);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, c.error);
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
