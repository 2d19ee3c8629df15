// tarvikctl servers and parse, run as a script would run them.
#include <gtest/gtest.h>

#include <string>

#include "program_run.h"
#include "store_fixture.h"

#ifndef TARVIKCTL_PATH
#error "TARVIKCTL_PATH must name the tarvikctl program"
#endif

namespace {

struct CtlRun {
  int exitCode;
  std::string out;  // stdout and stderr together
};

CtlRun Tarvikctl(const std::string& args) {
  const tarvik::ProgramRun run =
      tarvik::RunProgram(TARVIKCTL_PATH, tarvik::SplitWords(args), {"", true});
  return {run.code, run.out};
}

class TarvikctlConfigTest : public tkctest::StoreTest {};

TEST_F(TarvikctlConfigTest, ServersListsEveryServerAndPort) {
  Load("demo.reg");
  const CtlRun run = Tarvikctl("servers");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out,
            "store servers=2 ports=8 flags=0x00000001\n"
            "server index=1 name=\"4629\" alias=\"front desk\" host=\"\" ip=192.168.0.10 "
            "ip2=0.0.0.0 ports=3 protocol=raw tcpcmd=10000 tcpio=9999\n"
            "port server=1 port=io com=9 devport=0 slot=0 index=0 fixed=1 purge=0\n"
            "port server=1 port=1 com=3 devport=1 slot=0 index=1 fixed=0 purge=0 writebuffer=1 autoflush=5\n"
            "port server=1 port=2 com=4 devport=2 slot=0 index=2 fixed=0 purge=0 writebuffer=0 autoflush=5\n"
            "port server=1 port=3 com=0 devport=3 slot=0 index=3 fixed=0 purge=0 writebuffer=0 autoflush=5\n"
            "server index=2 name=\"H7XZ1:2-1\" alias=\"\" host=\"\" ip=192.168.0.11 "
            "ip2=192.168.1.11 ports=3 protocol=raw tcpcmd=10000 tcpio=9999\n"
            "port server=2 port=io com=0 devport=0 slot=0 index=0 fixed=1 purge=0\n"
            "port server=2 port=1 com=10 devport=1 slot=0 index=1 fixed=0 purge=0 writebuffer=0 autoflush=5\n"
            "port server=2 port=2 com=11 devport=2 slot=0 index=2 fixed=0 purge=0 writebuffer=0 autoflush=5\n"
            "port server=2 port=3 com=12 devport=10 slot=1 index=1 fixed=0 purge=0 writebuffer=0 autoflush=5\n");
}

// The server lines of a listing, without the port lines.
std::string ServerLines(const std::string& listing) {
  std::string lines;
  size_t at = 0;
  while (at < listing.size()) {
    const size_t end = listing.find('\n', at);
    const std::string line = listing.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
    if (line.rfind("server ", 0) == 0) lines += line;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return lines;
}

TEST_F(TarvikctlConfigTest, ServersSetChangesOneServersDataProtocolAndTheListShowsIt) {
  Load("demo.reg");
  CtlRun run = Tarvikctl("servers set 2 --data-protocol rfc2217");
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(run.out, "server index=2 protocol=rfc2217\n");
  run = Tarvikctl("servers");
  EXPECT_EQ(run.exitCode, 0);
  const std::string servers = ServerLines(run.out);
  EXPECT_NE(servers.find("192.168.0.10 ip2=0.0.0.0 ports=3 protocol=raw tcpcmd="), std::string::npos)
      << servers;
  EXPECT_NE(servers.find("192.168.1.11 ports=3 protocol=rfc2217 tcpcmd=10000"), std::string::npos)
      << servers;
  EXPECT_EQ(Tarvikctl("servers set 2 --data-protocol raw").exitCode, 0);
  EXPECT_EQ(ServerLines(Tarvikctl("servers").out).find("rfc2217"), std::string::npos);
}

struct SetRefusal {
  const char* name;
  const char* args;
  const char* message;
};

class TarvikctlSetRefusal : public tkctest::StoreTest,
                            public ::testing::WithParamInterface<SetRefusal> {};

TEST_P(TarvikctlSetRefusal, SaysWhyInOneLineAndChangesNothing) {
  Load("demo.reg");
  const CtlRun run = Tarvikctl(GetParam().args);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, std::string("tarvikctl: ") + GetParam().message + "\n");
  EXPECT_EQ(ServerLines(Tarvikctl("servers").out).find("rfc2217"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Words, TarvikctlSetRefusal,
    ::testing::Values(
        SetRefusal{"NoSuchServer", "servers set 3 --data-protocol rfc2217",
                   "no server 3 (the store holds 2)"},
        SetRefusal{"IndexZero", "servers set 0 --data-protocol rfc2217",
                   "INDEX is a server number from 1"},
        SetRefusal{"UnknownProtocol", "servers set 1 --data-protocol telnet",
                   "--data-protocol takes raw or rfc2217"},
        SetRefusal{"NoProtocol", "servers set 1",
                   "usage: tarvikctl servers set INDEX --data-protocol raw|rfc2217"},
        SetRefusal{"OtherOption", "servers set 1 --protocol rfc2217",
                   "usage: tarvikctl servers set INDEX --data-protocol raw|rfc2217"}),
    [](const ::testing::TestParamInfo<SetRefusal>& info) { return std::string(info.param.name); });

TEST_F(TarvikctlConfigTest, ServersAddWithRfc2217GivesTheNewServerIt) {
  Load("demo.reg");
  CtlRun run = Tarvikctl("servers add 10.0.0.7 --name Q410X2 --rfc2217");
  ASSERT_EQ(run.exitCode, 0) << run.out;
  run = Tarvikctl("servers add 10.0.0.8 --name Q410X2");
  ASSERT_EQ(run.exitCode, 0) << run.out;
  const std::string servers = ServerLines(Tarvikctl("servers").out);
  EXPECT_NE(servers.find("ip=10.0.0.7 ip2=0.0.0.0 ports=2 protocol=rfc2217 "), std::string::npos)
      << servers;
  EXPECT_NE(servers.find("ip=10.0.0.8 ip2=0.0.0.0 ports=2 protocol=raw "), std::string::npos)
      << servers;
}

TEST_F(TarvikctlConfigTest, ServersFailsWithOneLineAfterListingWhatItRead) {
  Load("three_servers_second_bad.reg");
  const CtlRun run = Tarvikctl("servers");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("store servers=2 "), std::string::npos);
  EXPECT_NE(run.out.find("\ntarvikctl: a server lacks a mandatory value and was left out (status 9)\n"),
            std::string::npos);
}

TEST(TarvikctlConfig, ServersWithoutParameterKeyFails) {
  tkctest::TempRoot root;
  const CtlRun run = Tarvikctl("servers");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "tarvikctl: cannot open the driver's parameter key "
                     "SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter (status 8)\n");
}

TEST(TarvikctlConfig, ParsePrintsTheLayout) {
  const CtlRun run = Tarvikctl("parse XYZ-812:1+2");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out,
            "name=\"XYZ-812:1+2\" portno=3 slotted=1 secondport=0 slotcount=1\n"
            "slot number=0 ports=1\n"
            "slot number=1 ports=2\n"
            "port number=1 devport=1 slot=0 index=1\n"
            "port number=2 devport=10 slot=1 index=1\n"
            "port number=3 devport=11 slot=1 index=2\n");
}

TEST(TarvikctlConfig, ParseRefusesUnknownAndOverlongNames) {
  CtlRun run = Tarvikctl("parse Q410X9");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "tarvikctl: unknown device name \"Q410X9\" (status 25)\n");
  run = Tarvikctl("parse " + std::string(50, '4'));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "tarvikctl: device name longer than 49 characters\n");
  run = Tarvikctl("parse");
  EXPECT_EQ(run.exitCode, 1);
}

}  // namespace
