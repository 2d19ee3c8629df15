// The whole set: reading, writing and deleting it, a randomised round trip
// and a write that the store cannot take.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>

#include "store_fixture.h"
#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace {

using tkctest::SetBox;
using tkctest::StoreTest;

uint32_t StoredDword(const std::string& key, const char* name, bool* present = nullptr) {
  tarvik::RegKey k;
  uint32_t v = 0;
  const bool ok = k.Open(key, tarvik::RegAccess::kRead) == 0 && k.QueryDword(name, &v) == 0;
  if (present) *present = ok;
  return v;
}

bool ServerKeyExists(int n) {
  tarvik::RegKey k;
  return k.Open(std::string(TKC_PARAMETER_KEY) + "\\Server" + std::to_string(n),
                tarvik::RegAccess::kRead) == 0;
}

class ReadAllTest : public StoreTest {};

TEST_F(ReadAllTest, LeavesOutABadServerAndCountsTheRest) {
  Load("three_servers_second_bad.reg");
  SetBox box;
  EXPECT_EQ(Tkc_RegReadAll(box.set), 9);
  ASSERT_EQ(box->Servers, 2u);
  EXPECT_EQ(box->Ports, (3u + 1) + (2u + 1));
  EXPECT_EQ(box->Flags, 1u);
  EXPECT_STREQ(box->Records[0].AliasName, "front desk");
  EXPECT_STREQ(box->Records[0].HostName, "desk.example");
  EXPECT_STREQ(box->Records[0].PW, "A1B2");
  EXPECT_EQ(box->Records[0].IPAddress, 0x0A00A8C0u);
  EXPECT_EQ(box->Records[0].PortMap[2].Options, 0x15u);
  EXPECT_STREQ(box->Records[1].AliasName, "lab");
  EXPECT_EQ(box->Records[1].PortNo, 2u);
  EXPECT_EQ(box->Records[1].PortMap[3].Com, 0x4208u);
  EXPECT_EQ(box->Records[1].KeepAliveTime, 60000u);
  EXPECT_EQ(box->Records[1].TcpPortCmd, 10001u);
}

TEST_F(ReadAllTest, ReadsACountAbove4095AsNoServers) {
  Load("servers_5000.reg");
  SetBox box;
  box->Servers = 77;
  EXPECT_EQ(Tkc_RegReadAll(box.set), 0);
  EXPECT_EQ(box->Servers, 0u);
  EXPECT_EQ(box->Ports, 0u);
  EXPECT_EQ(box->Flags, 3u);
}

TEST_F(ReadAllTest, ClearsDisablePurgeUntilTheFormatMarkerIsSet) {
  Load("edge_values.reg");
  SetBox box;
  ASSERT_EQ(Tkc_RegReadAll(box.set), 0);
  ASSERT_EQ(box->Servers, 3u);
  EXPECT_TRUE(TkcComDisablePurge(box->Records[2].PortMap[69].Com)) << "marker set: the bit stays";

  LoadText("[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "]\n\"Flags\"=dword:00000006\n");
  ASSERT_EQ(Tkc_RegReadAll(box.set), 0);
  EXPECT_EQ(box->Flags, 6u) << "the marker stays clear in the set";
  for (uint32_t s = 0; s < box->Servers; ++s) {
    const TkcServerRecord& r = box->Records[s];
    for (uint32_t e = 0; e <= r.PortNo + 1; ++e) {
      EXPECT_FALSE(TkcComDisablePurge(r.PortMap[e].Com)) << "server " << s << " entry " << e;
    }
  }
}

TEST_F(ReadAllTest, CreatesMissingPasswordsAndKeepsTheServers) {
  Load("edge_values.reg");
  SetBox box;
  ASSERT_EQ(Tkc_RegReadAll(box.set), 0);
  ASSERT_EQ(box->Servers, 3u);
  bool present = false;
  tarvik::RegKey k;
  char pw[8] = {};
  ASSERT_EQ(k.Open(std::string(TKC_PARAMETER_KEY) + "\\Server2", tarvik::RegAccess::kRead), 0);
  EXPECT_EQ(k.QueryString("PW", pw, sizeof(pw)), 0);
  EXPECT_STREQ(pw, "");
  (void)present;
}

TEST_F(ReadAllTest, RefusesAWrongSizeStamp) {
  SetBox box;
  box->SizeStamp = TKC_SET_SIZE - 4;
  EXPECT_EQ(Tkc_RegReadAll(box.set), 24);
  EXPECT_EQ(Tkc_RegWriteAll(box.set), 24);
  EXPECT_EQ(Tkc_RegReadAll(nullptr), 24);
}

class WriteAllTest : public StoreTest {};

TEST_F(WriteAllTest, SkipsARecordThatCannotBeWrittenWithoutLeavingAGap) {
  SetBox box;
  box->Servers = 3;
  box->Flags = 5;
  for (int i = 0; i < 3; ++i) {
    TkcServerRecord& r = box->Records[i];
    std::snprintf(r.ServerName, sizeof(r.ServerName), "NJ-674");
    std::snprintf(r.AliasName, sizeof(r.AliasName), "server %d", i);
    r.PortNo = i == 1 ? 69 : 2;
    r.IPAddress = 0x0100000A + i;
  }
  ASSERT_EQ(Tkc_RegWriteAll(box.set), 0);
  EXPECT_EQ(box->Servers, 2u);
  EXPECT_EQ(box->Ports, 6u);
  EXPECT_EQ(StoredDword(TKC_PARAMETER_KEY, "Servers"), 2u);
  EXPECT_EQ(StoredDword(TKC_PARAMETER_KEY, "Ports"), 6u);
  EXPECT_EQ(StoredDword(TKC_PARAMETER_KEY, "Flags"), 5u);
  EXPECT_EQ(StoredDword(std::string(TKC_PARAMETER_KEY) + "\\Server2", "IPAddress"), 0x0100000Cu);
  EXPECT_FALSE(ServerKeyExists(3));
  EXPECT_EQ(box->Records[1].PortNo, 69u) << "the records are not moved";
}

// A record that reads back as written: COM words of 257 and up, options and
// TCP ports in range, texts that fit.
void RandomRecord(std::mt19937& rng, TkcServerRecord* r) {
  static const char* const kNames[] = {"4629", "H7XZ3:4-412", "R-8615", "FWR-4", "XYZ-8072",
                                       "N4904X-40", "vWQV1L:4-12", "Z-unknown", "XYZ1558-68"};
  auto pick = [&](uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(rng); };
  auto text = [&](char* field, size_t size) {
    const size_t n = pick(0, uint32_t(size - 1));
    for (size_t i = 0; i < n; ++i) field[i] = char(pick(0x20, 0x7E));
    field[n] = '\0';
  };
  std::memset(r, 0, sizeof(*r));
  std::strcpy(r->ServerName, kNames[pick(0, 8)]);
  text(r->AliasName, sizeof(r->AliasName));
  text(r->PW, sizeof(r->PW));
  text(r->HostName, sizeof(r->HostName));
  r->PortNo = pick(0, 68);
  r->IPAddress = pick(0, UINT32_MAX);
  r->IPAddress2 = pick(0, UINT32_MAX);
  for (uint32_t e = 0; e < TKC_PORTMAP_ENTRIES; ++e) {
    r->PortMap[e].Com = pick(257, UINT32_MAX);
    r->PortMap[e].Options = TkcOptSetAutoFlush(pick(0, 1), pick(1, 500));
  }
  r->KeepAliveTime = pick(0, UINT32_MAX);
  r->ConnectionBroken = pick(0, UINT32_MAX);
  r->ConnectTimeout = pick(0, UINT32_MAX);
  r->TcpPortCmd = pick(10, 65500);
  r->TcpPort7000 = pick(10, 65500);
}

TEST_F(WriteAllTest, RandomRecordsReadBackAsWritten) {
  std::mt19937 rng(20261209);
  SetBox written;
  written->Servers = 150;
  written->Flags = TKC_FLAGS_FORMAT_MARKER | TKC_FLAGS_FAST_OPEN;
  for (uint32_t s = 0; s < written->Servers; ++s) RandomRecord(rng, &written->Records[s]);
  ASSERT_EQ(Tkc_RegWriteAll(written.set), 0);

  SetBox back;
  ASSERT_EQ(Tkc_RegReadAll(back.set), 0);
  ASSERT_EQ(back->Servers, written->Servers);
  EXPECT_EQ(back->Ports, written->Ports);
  EXPECT_EQ(back->Flags, written->Flags);
  for (uint32_t s = 0; s < written->Servers; ++s) {
    // What the reader derives: the name's layout fields, and entry 1 (the
    // command port) which is never stored and reads as fixed.
    TkcServerRecord want = written->Records[s];
    TkcServerRecord parsed = want;
    Tkc_ParseServerInfo(&parsed, sizeof(parsed));
    want.Slotted = parsed.Slotted;
    want.SecondPort = parsed.SecondPort;
    want.SlotCount = parsed.SlotCount;
    std::memcpy(want.SlotPorts, parsed.SlotPorts, sizeof(want.SlotPorts));
    want.PortMap[0].Options = 0;
    want.PortMap[1] = TkcPortMap{TKC_COM_FIXED_CONFIG, 0};
    const TkcServerRecord& got = back->Records[s];
    SCOPED_TRACE("server " + std::to_string(s) + " " + want.ServerName);
    EXPECT_EQ(got.PortNo, want.PortNo);
    EXPECT_EQ(got.IPAddress, want.IPAddress);
    EXPECT_EQ(got.IPAddress2, want.IPAddress2);
    EXPECT_STREQ(got.ServerName, want.ServerName);
    EXPECT_STREQ(got.AliasName, want.AliasName);
    EXPECT_STREQ(got.PW, want.PW);
    EXPECT_STREQ(got.HostName, want.HostName);
    for (uint32_t e = 0; e <= want.PortNo + 1; ++e) {
      EXPECT_EQ(got.PortMap[e].Com, want.PortMap[e].Com) << "entry " << e;
      EXPECT_EQ(got.PortMap[e].Options, want.PortMap[e].Options) << "entry " << e;
    }
    EXPECT_EQ(got.KeepAliveTime, want.KeepAliveTime);
    EXPECT_EQ(got.ConnectionBroken, want.ConnectionBroken);
    EXPECT_EQ(got.ConnectTimeout, want.ConnectTimeout);
    EXPECT_EQ(got.TcpPortCmd, want.TcpPortCmd);
    EXPECT_EQ(got.TcpPort7000, want.TcpPort7000);
    EXPECT_EQ(got.Slotted, want.Slotted);
    EXPECT_EQ(got.SecondPort, want.SecondPort);
    EXPECT_EQ(got.SlotCount, want.SlotCount);
    EXPECT_EQ(std::memcmp(got.SlotPorts, want.SlotPorts, sizeof(got.SlotPorts)), 0);
  }
}

// Runs fn in a child whose files may not grow past `limit` bytes, so that
// the store runs out of room in the middle of a write. Returns its status.
// The parent's connection is closed first, which folds the write-ahead log
// into the database: the child's log starts empty and cannot grow past the
// limit.
constexpr rlim_t kLogLimit = 64 * 1024;
template <typename Fn>
int RunWithFileLimit(rlim_t limit, Fn fn) {
  tarvik::RegCloseStore();
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit rl{limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    _exit(fn());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(WriteAllTest, AFailedCommitReturns8AndLeavesTheStoreAsItWas) {
  Load("three_servers_second_bad.reg");
  SetBox before;
  ASSERT_EQ(Tkc_RegReadAll(before.set), 9);

  static SetBox big;
  big->Servers = 400;
  big->Flags = 1;
  for (uint32_t s = 0; s < big->Servers; ++s) {
    std::strcpy(big->Records[s].ServerName, "XYZ1558-68");
    big->Records[s].PortNo = 68;
  }
  EXPECT_EQ(RunWithFileLimit(kLogLimit, [] { return int(Tkc_RegWriteAll(big.set)); }), 8);
  EXPECT_EQ(big->Servers, 400u) << "the counts stay as they were";

  SetBox after;
  ASSERT_EQ(Tkc_RegReadAll(after.set), 9);
  ASSERT_EQ(after->Servers, before->Servers);
  EXPECT_EQ(after->Ports, before->Ports);
  EXPECT_EQ(std::memcmp(after->Records, before->Records, sizeof(TkcServerRecord) * 2), 0);
  EXPECT_FALSE(ServerKeyExists(4));
}

class DeleteAllTest : public StoreTest {};

TEST_F(DeleteAllTest, DeletesTheCountedServersAndKeepsFlags) {
  Load("three_servers_second_bad.reg");
  LoadText("[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "\\Server4]\n"
           "[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "\\Server0]\n"
           "[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "\\Server02]\n");
  EXPECT_EQ(Tkc_RegDeleteAll(), 0);
  for (int n = 1; n <= 3; ++n) EXPECT_FALSE(ServerKeyExists(n)) << n;
  EXPECT_TRUE(ServerKeyExists(4)) << "beyond the count: stays";
  EXPECT_TRUE(ServerKeyExists(0));
  tarvik::RegKey k;
  EXPECT_EQ(k.Open(std::string(TKC_PARAMETER_KEY) + "\\Server02", tarvik::RegAccess::kRead), 0);
  EXPECT_EQ(StoredDword(TKC_PARAMETER_KEY, "Servers"), 0u);
  EXPECT_EQ(StoredDword(TKC_PARAMETER_KEY, "Ports"), 0u);
  EXPECT_EQ(StoredDword(TKC_PARAMETER_KEY, "Flags"), 1u);
}

TEST_F(DeleteAllTest, ChangesNothingWhenServersIsMissing) {
  Load("three_servers_second_bad.reg");
  LoadText("[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "]\n\"Servers\"=-\n");
  EXPECT_EQ(Tkc_RegDeleteAll(), 0);
  EXPECT_TRUE(ServerKeyExists(1));
  EXPECT_EQ(StoredDword(TKC_PARAMETER_KEY, "Ports"), 10u);
}

TEST_F(DeleteAllTest, AHugeCountCostsOnlyTheKeysThatExist) {
  Load("three_servers_second_bad.reg");
  LoadText("[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "]\n\"Servers\"=dword:ffffffff\n");
  EXPECT_EQ(Tkc_RegDeleteAll(), 0);
  for (int n = 1; n <= 3; ++n) EXPECT_FALSE(ServerKeyExists(n)) << n;
  EXPECT_EQ(StoredDword(TKC_PARAMETER_KEY, "Servers"), 0u);
}

TEST_F(DeleteAllTest, AFailedCommitReturns8AndKeepsTheServers) {
  // Many servers with many values, so that deleting them needs room.
  static SetBox big;
  big->Servers = 300;
  big->Flags = 1;
  for (uint32_t s = 0; s < big->Servers; ++s) {
    std::strcpy(big->Records[s].ServerName, "XYZ1558-68");
    big->Records[s].PortNo = 68;
  }
  ASSERT_EQ(Tkc_RegWriteAll(big.set), 0);
  EXPECT_EQ(RunWithFileLimit(kLogLimit, [] { return int(Tkc_RegDeleteAll()); }), 8);
  EXPECT_EQ(StoredDword(TKC_PARAMETER_KEY, "Servers"), 300u);
  EXPECT_TRUE(ServerKeyExists(1));
  EXPECT_TRUE(ServerKeyExists(300));
}

}  // namespace
