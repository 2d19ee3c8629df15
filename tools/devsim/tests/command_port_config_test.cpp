#include "command_port_config.h"

#include <gtest/gtest.h>

namespace devsim {
namespace {

using Section = std::map<std::string, std::string>;

TEST(CommandPortConfig, ReadsEveryKey) {
  const Section section = {
      {"name", "Q410X-4"},       {"ip", "127.0.0.5"},        {"mask", "255.255.0.0"},
      {"gateway", "127.0.0.254"}, {"mac", "02:4E:A7:00:00:01"}, {"cmd_port", "10001"},
      {"firmware", "V3.0"},      {"os_version", "V9"},       {"max_sockets", "4"},
      {"system_timeout", "2500"}, {"share_mode", "1"},        {"password", "s3cret"},
      {"lock", "yes"},           {"key_text", "K1"},         {"echo", "no"},
      {"ports", "4"},            {"port.3", "115200 7E2"},   {"cmd_fault", "noreply:22,split,slowaccept"},
      {"accept_delay", "200"},   {"alias", "kept for others"}};
  CommandPortSettings s;
  std::string error;
  ASSERT_TRUE(ConfigureCommandPort(section, &s, &error)) << error;
  EXPECT_EQ(s.name, "Q410X-4");
  EXPECT_EQ(s.ip, "127.0.0.5");
  EXPECT_EQ(s.mask, "255.255.0.0");
  EXPECT_EQ(s.gateway, "127.0.0.254");
  EXPECT_EQ(s.mac, "02:4E:A7:00:00:01");
  EXPECT_EQ(s.tcpPortCmd, 10001);
  EXPECT_EQ(s.firmware, "V3.0");
  EXPECT_EQ(s.osVersion, "V9");
  EXPECT_EQ(s.maxSockets, 4);
  EXPECT_EQ(s.systemTimeoutMs, 2500);
  EXPECT_EQ(s.shareMode, "1");
  EXPECT_EQ(s.password, "s3cret");
  EXPECT_TRUE(s.lockSupported);
  EXPECT_EQ(s.keyText, "K1");
  EXPECT_FALSE(s.echo);
  ASSERT_EQ(s.ports.size(), 4u);
  EXPECT_EQ(s.ports[2].baud, "115200");
  EXPECT_EQ(s.ports[2].format, "7E2");
  EXPECT_EQ(s.ports[0].baud, "9600");
  ASSERT_EQ(s.faults.size(), 2u);
  EXPECT_EQ(s.faults[0].prefix, "22");
  EXPECT_EQ(s.faults[0].fault, CommandFault::kNoReply);
  EXPECT_EQ(s.faults[1].prefix, "");
  EXPECT_EQ(s.faults[1].fault, CommandFault::kSplitReply);
  EXPECT_EQ(s.slowAcceptMs, 200u);
  EXPECT_FALSE(s.refuseConnections);
}

TEST(CommandPortConfig, DefaultsStayWhenKeysAreMissing) {
  CommandPortSettings s;
  std::string error;
  ASSERT_TRUE(ConfigureCommandPort({{"cmd_fault", "refuse"}}, &s, &error)) << error;
  EXPECT_EQ(s.tcpPortCmd, 10000);
  EXPECT_EQ(s.ports.size(), 2u);
  EXPECT_TRUE(s.echo);
  EXPECT_TRUE(s.refuseConnections);
  EXPECT_EQ(s.slowAcceptMs, 0u);
}

TEST(CommandPortConfig, BadValuesAreRefusedWithTheKey) {
  const Section bad[] = {
      {{"cmd_port", "70000"}},
      {{"ip", "10.0.0"}},
      {{"max_sockets", "many"}},
      {{"password", std::string(31, 'p')}},
      {{"lock", "maybe"}},
      {{"ports", "0"}},
      {{"port.3", "9600 8N1"}},  // beyond the default two ports
      {{"port.1", "9600"}},
      {{"port.1", "9600 8N1 extra"}},
      {{"port.1", "fast 8N1"}},
      {{"port.x", "9600 8N1"}},
      {{"cmd_fault", "explode"}},
      {{"cmd_fault", "refuse:10"}},
      {{"accept_delay", "-1"}},
  };
  for (const Section& section : bad) {
    CommandPortSettings s;
    std::string error;
    EXPECT_FALSE(ConfigureCommandPort(section, &s, &error)) << section.begin()->first;
    EXPECT_NE(error.find(section.begin()->first.substr(0, 4)), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace devsim

namespace devsim {
namespace {

TEST(CommandPortConfig, HostileDeviceForgesItsAnswersButKeepsItsRealSettings) {
  const Section section = {{"name", "Q410X2"}, {"ip", "127.0.0.7"},   {"gateway", "127.0.0.254"},
                           {"mac", "02:4E:A7:00:00:09"}, {"hostile", "name,replies"}};
  CommandPortSettings s;
  std::string error;
  ASSERT_TRUE(ConfigureCommandPort(section, &s, &error)) << error;
  EXPECT_EQ(s.name, "Q410X2");
  EXPECT_EQ(s.gateway, "127.0.0.254");
  EXPECT_EQ(s.ip, "127.0.0.7");
  CommandPortDevice device(s);
  CommandConnection connection;
  auto answer = [&](const char* command) {
    bool reset = false;
    const auto replies = device.HandleReceived(connection, command, &reset);
    return replies.empty() ? std::string() : replies.front().bytes;
  };
  const std::string name = answer("10\r");
  EXPECT_EQ(name.rfind("10Q410X2\nadded index=77 ", 0), 0u) << name;
  EXPECT_GT(name.size(), 99u);  // past what a command-port reply keeps
  for (const char* command : {"01\r", "22\r", "25M\r", "13\r", "15\r", "21\r"})
    EXPECT_NE(answer(command).find('\x1b'), std::string::npos) << command;
  EXPECT_EQ(answer("13\r").rfind("13127.0.0.254\r\n", 0), 0u);
  EXPECT_EQ(answer("25N\r"), "25N=8\r");

  CommandPortSettings named;
  ASSERT_TRUE(ConfigureCommandPort({{"name", "Q410X2"}, {"hostile", "alias,address"}}, &named,
                                   &error));
  CommandPortDevice discoveryOnly(named);
  bool reset = false;
  // Only the discovery side forges those.
  EXPECT_EQ(discoveryOnly.HandleReceived(connection, "10\r", &reset).front().bytes, "10Q410X2\r");
  EXPECT_FALSE(ConfigureCommandPort({{"hostile", "name,loud"}}, &named, &error));
  EXPECT_NE(error.find("loud"), std::string::npos) << error;
}

}  // namespace
}  // namespace devsim
