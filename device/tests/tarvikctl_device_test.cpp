// tarvikctl device ... run as a program against a simulated device on
// loopback: what the user reads and what reaches the device.
#include <unistd.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <memory>
#include <string>
#include <vector>

#include "command_server.h"
#include "hostile.h"
#include "rfc2217_data_server.h"
#include "program_run.h"
#include "tkcenc2.h"
#if __has_include("tarvikcfg.h")
#include "cmip.h"
#include "tarvik/registry.h"
#include "tarvikcfg.h"
#define DEVICE_TEST_HAS_STORE 1
#endif

namespace {

using devsim::CommandFault;
using devsim::CommandPortSettings;

using Outcome = tarvik::ProgramRun;

class TarvikctlDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvikctl-device-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    server.reset();
    std::system(("rm -rf '" + root_ + "'").c_str());
  }

  void Start(CommandPortSettings settings = {}) {
    settings.ip = "127.0.0.1";
    server = std::make_unique<CommandServer>(std::move(settings));
  }
  std::string Port() { return std::to_string(server->Port()); }

  Outcome Tarvikctl(const std::vector<std::string>& args) {
    return tarvik::RunProgram(TARVIKCTL_PATH, args, {root_});
  }

  std::unique_ptr<CommandServer> server;

 protected:
  std::string root_;
};

TEST_F(TarvikctlDevice, InfoReadsEveryField) {
  CommandPortSettings settings;
  settings.name = "Q410X-4";
  settings.shareMode = "1";
  settings.gateway = "10.0.0.254";
  settings.mac = "00-60-E9-12-34-56";
  Start(settings);
  const Outcome run = Tarvikctl({"device", "info", "127.0.0.1", "--port", Port()});
  EXPECT_EQ(run.code, 0) << run.err;
  std::string expected =
      "Server Name : Q410X-4\n"
      "Firmware Ver : V2.14\n"
      "OS Ver : V1.3\n"
      "Max. Sockets : 8\n"
      "System Timeout (ms) : 3000\n"
      "Operation Mode : 1, Non-shared\n"
      "Gateway : 10.0.0.254\n"
      "Sub-net Mask : 255.255.255.0\n"
      "MAC Address: 00-60-E9-12-34-56\n";
  expected += "Password Setting: Unlocked\n";
  EXPECT_EQ(run.out, expected);
}

TEST_F(TarvikctlDevice, InfoNamesTheStepWithoutAnswer) {
  CommandPortSettings settings;
  settings.faults = {{"22", CommandFault::kNoReply, ""}};
  Start(settings);
  const Outcome run = Tarvikctl({"device", "info", "127.0.0.1", "--port", Port(), "--timeout", "200"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "Server Name : Q410X-2\nFirmware Ver : V2.14\n");
  EXPECT_EQ(run.err, "tarvikctl: 127.0.0.1:" + Port() + ": no answer to \"Getting Vetra7 version...\"\n");
}

// A device's answers are its own texts: a name with a line feed printed a
// line of the device's choosing, and terminal sequences went to the
// terminal as they were.
TEST_F(TarvikctlDevice, InfoPrintsTheDevicesAnswersEscaped) {
  CommandPortSettings settings;
  settings.name = "Q410X2";
  settings.hostile = devsim::kHostileName | devsim::kHostileReplies;
  Start(settings);
  const Outcome run = Tarvikctl({"device", "info", "127.0.0.1", "--port", Port()});
  EXPECT_EQ(run.code, 0) << run.err;
  size_t lines = 0;
  for (char c : run.out) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') ++lines;
    else EXPECT_TRUE(byte >= 0x20 && byte < 0x7F) << "raw byte " << int(byte) << " in " << run.out;
  }
  EXPECT_EQ(lines, 10u) << run.out;
  EXPECT_EQ(run.out.rfind("Server Name : Q410X2\\nadded index=77 ip=6.6.6.6 name=\"FORGED\" ", 0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find("\nFirmware Ver : V2.14\\r\\nadded index=78\\x1b]0;owned\\x07<i>\n"),
            std::string::npos)
      << run.out;
}

TEST_F(TarvikctlDevice, BroadcastAddressIsNoDevice) {
  Start();
  const Outcome run = Tarvikctl({"device", "info", "255.255.255.255", "--port", Port()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: 255.255.255.255:" + Port() + ": Invalid IP address!\n");
  EXPECT_EQ(server->Received(), "");
}

TEST_F(TarvikctlDevice, InfoWithoutConnection) {
  Start();
  server->WithDevice([](devsim::CommandPortDevice& d) { d.Settings().refuseConnections = true; });
  const Outcome run = Tarvikctl({"device", "info", "127.0.0.1", "--port", Port(), "--timeout", "300"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: 127.0.0.1:" + Port() + ": Connecting...\n");
}

TEST_F(TarvikctlDevice, SetNetworkSendsThenRestarts) {
  Start();
  const Outcome run = Tarvikctl({"device", "set-network", "127.0.0.1", "--port", Port(), "--gateway",
                             "10.0.0.1", "--mask", "255.255.0.0"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Restarting Q410X/Q900X...\n");
  ASSERT_TRUE(server->WaitUntil([](devsim::CommandPortDevice& d) { return d.RestartCount() == 1; }));
  EXPECT_EQ(server->Received(), "26ISAVE=1,MASK=255.255.0.0,GATEWAY=10.0.0.1\r33RESET\r");
  server->WithDevice([](devsim::CommandPortDevice& d) {
    EXPECT_EQ(d.Settings().gateway, "10.0.0.1");
    EXPECT_EQ(d.Settings().mask, "255.255.0.0");
    EXPECT_EQ(d.RestartCount(), 1);
  });
}

TEST_F(TarvikctlDevice, SetNetworkRefusesBeforeConnecting) {
  Start();
  Outcome run = Tarvikctl({"device", "set-network", "127.0.0.1", "--port", Port()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: Nothing changed!\n");
  run = Tarvikctl({"device", "set-network", "127.0.0.1", "--port", Port(), "--ip", "10.0.0.010"});
  EXPECT_EQ(run.err, "tarvikctl: Invalid IP format!\n");
  EXPECT_EQ(server->Received(), "");
}

TEST_F(TarvikctlDevice, SetNetworkFailures) {
  Start();
  server->WithDevice([](devsim::CommandPortDevice& d) { d.Settings().refuseConnections = true; });
  Outcome run = Tarvikctl({"device", "set-network", "127.0.0.1", "--port", Port(), "--timeout", "300",
                       "--ip", "10.0.0.9"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: 127.0.0.1:" + Port() + ": Connecting failure!\n");
  server->WithDevice([](devsim::CommandPortDevice& d) {
    d.Settings().refuseConnections = false;
    d.Settings().faults = {{"26ISAVE", CommandFault::kErrorReply, ""}};
  });
  run = Tarvikctl({"device", "set-network", "127.0.0.1", "--port", Port(), "--ip", "10.0.0.9"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: 127.0.0.1:" + Port() + ": Setting Error!\n");
  EXPECT_EQ(server->Received(), "26ISAVE=1,IP=10.0.0.9\r");  // no restart after a refusal
}

TEST_F(TarvikctlDevice, PortReadsAndWrites) {
  CommandPortSettings settings;
  settings.name = "WYB-2000";  // its first data ports take two stop bits
  Start(settings);
  Outcome run = Tarvikctl({"device", "port", "127.0.0.1", "2", "--port", Port()});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Baud rate : 9600\nData Bits : 8\nParity Bit : None\nStop Bits : 1\n");
  server->ClearReceived();
  run = Tarvikctl({"device", "port", "127.0.0.1", "2", "--port", Port(), "--baud", "115200",
                   "--format", "7E2"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Baud rate : 115200\nData Bits : 7\nParity Bit : Even\nStop Bits : 2\n");
  // The name decides the port's rules; only what differs from the settings
  // read is sent, then read back.
  EXPECT_EQ(server->Received(), "10\r162\r062115200\r0727E2\r162\r");
  server->ClearReceived();
  run = Tarvikctl({"device", "port", "127.0.0.1", "2", "--port", Port(), "--baud", "115200"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(server->Received(), "10\r162\r");
}

// A limited port offers only 7 or 8 data bits and no mark or space parity,
// and the first data ports of most models one stop bit: the dialog's lists
// and its reply rules. Nothing is sent that the port cannot take.
TEST_F(TarvikctlDevice, PortRefusesAFormatTheLimitedPortDoesNotTake) {
  Start();  // a Q410X-2: its data ports 1 and 2 are limited
  for (const char* format : {"5N1", "8M1", "7E2"}) {
    server->ClearReceived();
    const Outcome run =
        Tarvikctl({"device", "port", "127.0.0.1", "2", "--port", Port(), "--format", format});
    EXPECT_EQ(run.code, 1) << format;
    EXPECT_EQ(run.err, std::string("tarvikctl: --format ") + format +
                           ": this port takes data bits 7, 8, parity None, Even, Odd and stop "
                           "bits 1\n");
    EXPECT_EQ(server->Received(), "10\r162\r") << format;
  }
  const Outcome run =
      Tarvikctl({"device", "port", "127.0.0.1", "2", "--port", Port(), "--format", "7O1"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Baud rate : 9600\nData Bits : 7\nParity Bit : Odd\nStop Bits : 1\n");
}

TEST_F(TarvikctlDevice, PortFailures) {
  Start();
  Outcome run = Tarvikctl({"device", "port", "127.0.0.1", "9", "--port", Port(), "--baud", "9600"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: 127.0.0.1:" + Port() + ": Error: Setting baud rate of a port!\n");
  run = Tarvikctl({"device", "port", "127.0.0.1", "9", "--port", Port()});
  EXPECT_EQ(run.err,
            "tarvikctl: 127.0.0.1:" + Port() + ": Err:Getting Baud rate/Data format of a port!\n");
  server->ClearReceived();
  run = Tarvikctl({"device", "port", "127.0.0.1", "1", "--port", Port(), "--format", "8N3"});
  EXPECT_EQ(run.code, 1);
  run = Tarvikctl({"device", "port", "127.0.0.1", "1", "--port", Port(), "--baud", "96k"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(server->Received(), "");
}

TEST_F(TarvikctlDevice, MalformedCommandLines) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"device"}, {"device", "info"}, {"device", "info", "10.0.0"},
        {"device", "info", "127.0.0.1", "--port"}, {"device", "info", "127.0.0.1", "--port", "70000"},
        {"device", "info", "127.0.0.1", "--baud", "9600"}, {"device", "reboot", "127.0.0.1"},
        {"device", "port", "127.0.0.1"}}) {
    const Outcome run = Tarvikctl(args);
    EXPECT_EQ(run.code, 1) << args.back();
    EXPECT_EQ(run.err.rfind("tarvikctl: ", 0), 0u) << run.err;
  }
}

TEST_F(TarvikctlDevice, UnlockWithRightAndWrongPassword) {
  CommandPortSettings settings;
  settings.password = "s3cret";
  Start(settings);
  Outcome run = Tarvikctl({"device", "unlock", "127.0.0.1", "--port", Port(), "--password", "s3cret"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "LockStatusCMD: Unlocked.\n");
  run = Tarvikctl({"device", "unlock", "127.0.0.1", "--port", Port(), "--password", "guess"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: 127.0.0.1:" + Port() + ": Unlock CMD: Wrong Password.\n");
  run = Tarvikctl({"device", "unlock", "127.0.0.1", "--port", Port()});
  EXPECT_EQ(run.code, 1);
}

TEST_F(TarvikctlDevice, UnlockOnDevicesWithoutLock) {
  Start();
  Outcome run = Tarvikctl({"device", "unlock", "127.0.0.1", "--port", Port(), "--password", "s3cret"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "LockStatusCMD: Unlocked.\n");
  server->WithDevice([](devsim::CommandPortDevice& d) { d.Settings().lockSupported = false; });
  run = Tarvikctl({"device", "unlock", "127.0.0.1", "--port", Port(), "--password", "s3cret"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: 127.0.0.1:" + Port() + ": LockStatusCMD: Not support!\n");
}

TEST_F(TarvikctlDevice, SetNetworkUnlocksFirst) {
  CommandPortSettings settings;
  settings.password = "s3cret";
  Start(settings);
  Outcome run = Tarvikctl({"device", "set-network", "127.0.0.1", "--port", Port(), "--password",
                       "s3cret", "--gateway", "10.0.0.1"});
  EXPECT_EQ(run.code, 0) << run.err;
  ASSERT_TRUE(server->WaitUntil([](devsim::CommandPortDevice& d) { return d.RestartCount() == 1; }));
  const std::string wire = server->Received();
  EXPECT_EQ(wire.rfind("25lock25pubkey26password=", 0), 0u) << wire;
  EXPECT_NE(wire.find(",LOCK=026ISAVE=1,GATEWAY=10.0.0.1\r33RESET\r"), std::string::npos) << wire;

  run = Tarvikctl({"device", "set-network", "127.0.0.1", "--port", Port(), "--password", "guess",
                   "--gateway", "10.0.0.2"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: warning: Unlock CMD: Wrong Password.\n"
                     "tarvikctl: 127.0.0.1:" + Port() + ": Setting Error!\n");
}

#if DEVICE_TEST_HAS_STORE
// A store holding one server at 127.0.0.1 with the simulator's command port
// and a saved password, in this test's own state root.
class TarvikctlConfiguredDevice : public TarvikctlDevice {
 protected:
  void Configure(const char* savedPassword) {
    ::setenv("TARVIK_ROOT", root_.c_str(), 1);
    tarvik::RegCloseStore();
    tarvik::RegKey parameter;
    ASSERT_EQ(parameter.Create("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter"), 0);
    parameter.Close();
    TkcServerRecord record{};
    CMIP ip;
    record.IPAddress = ip.SetTextGetValue("127.0.0.1");
    std::strcpy(record.ServerName, "Q410X-2");
    record.PortNo = 2;
    record.KeepAliveTime = 120000;
    record.ConnectionBroken = 180000;
    record.ConnectTimeout = 3000;
    record.TcpPortCmd = server->Port();
    record.TcpPort7000 = 9999;
    ASSERT_EQ(TkcEnc2_Encode(savedPassword, "MORVEL.Dastra.Pq", record.PW), 0);
    for (uint32_t port = 1; port <= 2; ++port)  // data port n on COM 4 + n
      record.PortMap[port + 1].Com = TkcComSetDevicePort(TkcComSetNumber(0, 4 + port), port);
    ASSERT_EQ(Tkc_RegWriteOneServer(0, &record, sizeof record), 0);
    ASSERT_EQ(Tkc_RegWriteServersAndPorts(1, 3), 0);
    if (rfc2217) {
      ASSERT_EQ(Tkc_RegSetDataProtocol(0, TKC_DATA_PROTOCOL_RFC2217), 0);
    }
    tarvik::RegCloseStore();
  }
  bool rfc2217 = false;
};

TEST_F(TarvikctlConfiguredDevice, SavedPasswordAndCommandPortComeFromTheStore) {
  CommandPortSettings settings;
  settings.password = "s3cret";
  Start(settings);
  Configure("s3cret");
  Outcome run = Tarvikctl({"device", "info", "127.0.0.1"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Password Setting: Unlocked\n"), std::string::npos) << run.out;
  EXPECT_NE(server->Received().find("25pubkey26password="), std::string::npos);

  run = Tarvikctl({"device", "unlock", "127.0.0.1"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "LockStatusCMD: Unlocked.\n");
  // A password on the command line wins over the saved one.
  run = Tarvikctl({"device", "unlock", "127.0.0.1", "--password", "guess"});
  EXPECT_EQ(run.code, 1);
}

TEST_F(TarvikctlConfiguredDevice, WrongSavedPasswordIsReportedAndInfoGoesOn) {
  CommandPortSettings settings;
  settings.password = "s3cret";
  Start(settings);
  Configure("old-password");
  const Outcome run = Tarvikctl({"device", "info", "127.0.0.1"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "tarvikctl: warning: Unlock CMD: Wrong Password.\n");
  EXPECT_NE(run.out.find("Password Setting: Locked\n"), std::string::npos) << run.out;
}

// Data port 2 of a server whose data ports speak RFC 2217 is the
// simulator's data port, at the command port + 2.
TEST_F(TarvikctlConfiguredDevice, PortOfAnRfc2217ServerGoesToItsDataPort) {
  // Another process may hold the port two above the command port the
  // system gave; then a new command port is taken.
  std::unique_ptr<Rfc2217DataServer> data;
  for (int attempt = 0; attempt < 10 && !data; ++attempt) {
    Start();
    try {
      data = std::make_unique<Rfc2217DataServer>("ack", server->Port() + 2);
    } catch (const std::runtime_error&) {
    }
  }
  ASSERT_TRUE(data) << "no free port two above a command port in 10 tries";
  rfc2217 = true;
  Configure("s3cret");
  const std::string where = "tarvikctl: 127.0.0.1:" + std::to_string(server->Port() + 2) +
                            " (RFC 2217): ";
  Outcome run = Tarvikctl({"device", "port", "127.0.0.1", "2"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Baud rate : 9600\nData Bits : 8\nParity Bit : None\nStop Bits : 1\n");
  run = Tarvikctl({"device", "port", "127.0.0.1", "2", "--baud", "57600", "--format", "7O1"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "Baud rate : 57600\nData Bits : 7\nParity Bit : Odd\nStop Bits : 1\n")
      << "what the server acknowledged";
  EXPECT_EQ(data->Notes(), (std::vector<std::string>{"baud=57600", "datasize=7", "parity=2",
                                                     "stopsize=1"}));
  EXPECT_EQ(server->Received(), "") << "the command port is not asked";

  // The driver's port table says an application holds COM 6.
  const int connections = data->Connections();
  ::mkdir((root_ + "/run").c_str(), 0755);
  std::ofstream(root_ + "/run/Vonderil.ports")
      << "Vonderil " << ::getpid() << " running\n"
      << "COM6 connected 127.0.0.1:" << server->Port() + 2 << " - primary held 0 0 1 - -\n";
  const std::string why =
      "COM6 is in use by an application; its line settings travel with its data and cannot be "
      "read or set from here now.\n";
  run = Tarvikctl({"device", "port", "127.0.0.1", "2"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, where + why);
  run = Tarvikctl({"device", "port", "127.0.0.1", "2", "--baud", "9600"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, where + "Error: " + why);
  EXPECT_EQ(data->Connections(), connections) << "none while the port is held";
}

TEST_F(TarvikctlConfiguredDevice, OtherAddressesAreNotConfigured) {
  Start();
  Configure("s3cret");
  // Not the configured address: the default command port 10000 is tried.
  const Outcome run = Tarvikctl({"device", "info", "127.0.0.2", "--timeout", "300"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvikctl: 127.0.0.2:10000: Connecting...\n");
}
#endif

}  // namespace
