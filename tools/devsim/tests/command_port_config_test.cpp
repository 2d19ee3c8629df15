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

TEST(CommandPortConfig, HostileDeviceForgesItsTextsButKeepsWhereItListens) {
  const Section section = {{"name", "Q410X2"}, {"ip", "127.0.0.7"},   {"gateway", "127.0.0.254"},
                           {"mac", "02:4E:A7:00:00:09"}, {"hostile", "name,replies"}};
  CommandPortSettings s;
  std::string error;
  ASSERT_TRUE(ConfigureCommandPort(section, &s, &error)) << error;
  EXPECT_EQ(s.name.rfind("Q410X2\nadded index=77 ", 0), 0u) << s.name;
  EXPECT_GT(s.name.size(), 99u);  // past what a command-port reply keeps
  for (const std::string* text : {&s.firmware, &s.osVersion, &s.shareMode, &s.gateway, &s.mask,
                                  &s.mac})
    EXPECT_NE(text->find('\x1b'), std::string::npos) << *text;
  EXPECT_EQ(s.gateway.rfind("127.0.0.254\r\n", 0), 0u);
  EXPECT_EQ(s.ip, "127.0.0.7");
  EXPECT_EQ(s.tcpPortCmd, 10000);

  CommandPortSettings named;
  ASSERT_TRUE(ConfigureCommandPort({{"name", "Q410X2"}, {"hostile", "alias,address"}}, &named,
                                   &error));
  EXPECT_EQ(named.name, "Q410X2");  // only the discovery side forges those
  EXPECT_FALSE(ConfigureCommandPort({{"hostile", "name,loud"}}, &named, &error));
  EXPECT_NE(error.find("loud"), std::string::npos) << error;
}

}  // namespace
}  // namespace devsim
