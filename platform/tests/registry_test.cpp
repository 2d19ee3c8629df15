#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "tarvik/registry.h"
#include "tarvik/state_root.h"
#include "temp_root.h"

using namespace tarvik;

namespace {

const char* const kParam = "SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter";

class Registry : public testing::Test {
 protected:
  TempStateRoot root_;
};

TEST_F(Registry, NamesAreCaseInsensitiveAndCasePreserving) {
  RegKey key;
  ASSERT_EQ(key.Create(kParam), 0);
  ASSERT_EQ(key.SetDword("KeepAliveTime", 120000), 0);
  ASSERT_EQ(key.SetDword("KEEPALIVETIME", 5), 0);  // same value, new data

  RegKey again;
  ASSERT_EQ(again.Open("system\\currentcontrolset\\SERVICES\\vonderil\\parameter", RegAccess::kRead), 0);
  uint32_t v = 0;
  EXPECT_EQ(again.QueryDword("keepalivetime", &v), 0);
  EXPECT_EQ(v, 5u);

  char name[64];
  uint32_t nameSize = sizeof name;
  ASSERT_EQ(again.EnumValue(0, name, &nameSize, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "KeepAliveTime");
  EXPECT_EQ(nameSize, 13u);
  EXPECT_EQ(again.EnumValue(1, name, &nameSize, nullptr, nullptr, nullptr), kErrorNoMoreItems);

  RegKey services;
  ASSERT_EQ(services.Open("SYSTEM\\CurrentControlSet\\Services", RegAccess::kRead), 0);
  nameSize = sizeof name;
  ASSERT_EQ(services.EnumKey(0, name, &nameSize), 0);
  EXPECT_STREQ(name, "Vonderil");
}

TEST_F(Registry, PrefetchedHandleAnswersLikeTheStore) {
  RegKey key;
  ASSERT_EQ(key.Create(kParam), 0);
  ASSERT_EQ(key.SetDword("PortNo", 4), 0);
  ASSERT_EQ(key.SetString("ServerName", "Q410X4"), 0);
  ASSERT_EQ(key.Prefetch(), 0);
  uint32_t v = 0;
  EXPECT_EQ(key.QueryDword("PORTNO", &v), 0);
  EXPECT_EQ(v, 4u);
  EXPECT_EQ(key.QueryDword("IPAddress", &v), kErrorFileNotFound);
  char small[4];
  EXPECT_EQ(key.QueryString("servername", small, sizeof small), kErrorMoreData);
  char name[50];
  EXPECT_EQ(key.QueryString("servername", name, sizeof name), 0);
  EXPECT_STREQ(name, "Q410X4");
  // A write through the handle is seen at once...
  ASSERT_EQ(key.SetDword("PortNo", 8), 0);
  EXPECT_EQ(key.QueryDword("PortNo", &v), 0);
  EXPECT_EQ(v, 8u);
  ASSERT_EQ(key.Prefetch(), 0);
  ASSERT_EQ(key.DeleteValue("PortNo"), 0);
  EXPECT_EQ(key.QueryDword("PortNo", &v), kErrorFileNotFound);
  // ...and so is a write through another handle once the copy is dropped.
  ASSERT_EQ(key.Prefetch(), 0);
  RegKey other;
  ASSERT_EQ(other.Open(kParam, RegAccess::kFullAccess), 0);
  ASSERT_EQ(other.SetDword("PortNo", 2), 0);
  ASSERT_EQ(key.Open(kParam, RegAccess::kRead), 0);
  EXPECT_EQ(key.QueryDword("PortNo", &v), 0);
  EXPECT_EQ(v, 2u);
}

TEST_F(Registry, MissingKeysAndValues) {
  RegKey key;
  EXPECT_EQ(key.Open(kParam, RegAccess::kRead), kErrorFileNotFound);
  EXPECT_FALSE(key.IsOpen());
  ASSERT_EQ(key.Create(kParam), 0);
  uint32_t v = 7;
  EXPECT_EQ(key.QueryDword("Servers", &v), kErrorFileNotFound);
  EXPECT_EQ(v, 7u);
  EXPECT_EQ(key.DeleteValue("Servers"), kErrorFileNotFound);
}

TEST_F(Registry, StringsKeepTheirNulAndShortBuffersGiveMoreData) {
  RegKey key;
  ASSERT_EQ(key.Create(kParam), 0);
  ASSERT_EQ(key.SetString("ServerName", "R-8615-M"), 0);
  uint32_t type = 0, len = 0;
  ASSERT_EQ(key.QueryValue("ServerName", &type, nullptr, &len), 0);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(len, 9u);  // NUL counted

  char small[4] = {'x', 'x', 'x', 'x'};
  len = sizeof small;
  EXPECT_EQ(key.QueryValue("ServerName", &type, small, &len), kErrorMoreData);
  EXPECT_EQ(len, 9u);
  char exact[9];
  EXPECT_EQ(key.QueryString("ServerName", exact, sizeof exact), 0);
  EXPECT_STREQ(exact, "R-8615-M");
  char tooShort[8];
  EXPECT_EQ(key.QueryString("ServerName", tooShort, sizeof tooShort), kErrorMoreData);

  // A DWORD query takes whatever 4 bytes there are: a REG_SZ "1" reads non-zero.
  ASSERT_EQ(key.SetString("UIChkDup", "1"), 0);
  uint32_t dup = 0;
  EXPECT_EQ(key.QueryDword("UIChkDup", &dup), 0);
  EXPECT_EQ(dup, uint32_t('1'));
}

TEST_F(Registry, EightBitStringsAndBinaryRoundTripByteForByte) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += char(c);
  unsigned char blob[256];
  for (int i = 0; i < 256; ++i) blob[i] = (unsigned char)i;
  {
    RegKey key;
    ASSERT_EQ(key.Create("SOFTWARE\\Test\\\xE9t\xE9"), 0);
    ASSERT_EQ(key.SetString("Alias\xFF", all.c_str()), 0);
    ASSERT_EQ(key.SetBinary("Blob", blob, sizeof blob), 0);
    ASSERT_EQ(key.SetBinary("Empty", nullptr, 0), 0);
  }
  RegCloseStore();
  RegKey key;
  ASSERT_EQ(key.Open("SOFTWARE\\TEST\\\xE9T\xE9", RegAccess::kRead), 0);
  char text[300];
  ASSERT_EQ(key.QueryString("alias\xFF", text, sizeof text), 0);
  EXPECT_EQ(std::string(text), all);
  unsigned char back[256];
  uint32_t len = sizeof back, type = 0;
  ASSERT_EQ(key.QueryValue("Blob", &type, back, &len), 0);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(len, 256u);
  EXPECT_EQ(std::memcmp(back, blob, 256), 0);
  len = 10;
  ASSERT_EQ(key.QueryValue("Empty", &type, back, &len), 0);
  EXPECT_EQ(len, 0u);
}

TEST_F(Registry, EnumerationIsInSetOrderAndStopsWithNoMoreItems) {
  RegKey key;
  ASSERT_EQ(key.Create("HARDWARE\\DEVICEMAP\\SERIALCOMM"), 0);
  ASSERT_EQ(key.SetString("\\Device\\Serial1", "COM3"), 0);
  ASSERT_EQ(key.SetString("\\Device\\Serial0", "COM1"), 0);
  ASSERT_EQ(key.SetString("\\Device\\Serial1", "COM4"), 0);  // keeps its place
  char name[256], data[20];
  uint32_t type = 0;
  std::string seen;
  uint32_t i = 0;
  for (;; ++i) {
    uint32_t nameSize = sizeof name, dataLen = sizeof data;
    const LSTATUS st = key.EnumValue(i, name, &nameSize, &type, data, &dataLen);
    if (st == kErrorNoMoreItems) break;
    ASSERT_EQ(st, 0);
    seen += std::string(name) + "=" + data + ";";
  }
  EXPECT_EQ(i, 2u);
  EXPECT_EQ(seen, "\\Device\\Serial1=COM4;\\Device\\Serial0=COM1;");
  uint32_t nameSize = 3, dataLen = sizeof data;
  EXPECT_EQ(key.EnumValue(0, name, &nameSize, &type, data, &dataLen), kErrorMoreData);
  nameSize = sizeof name;
  dataLen = 2;
  EXPECT_EQ(key.EnumValue(0, name, &nameSize, &type, data, &dataLen), kErrorMoreData);
  EXPECT_EQ(dataLen, 5u);
}

TEST_F(Registry, EnumKeyWalksSubkeysInCreationOrderFromASnapshot) {
  RegKey param;
  ASSERT_EQ(param.Create(kParam), 0);
  RegKey sub;
  for (int i = 1; i <= 300; ++i) ASSERT_EQ(sub.Create(param, "Server" + std::to_string(i)), 0);
  char name[32];
  uint32_t i = 0;
  for (;; ++i) {
    uint32_t size = sizeof name;
    const LSTATUS st = param.EnumKey(i, name, &size);
    if (st == kErrorNoMoreItems) break;
    ASSERT_EQ(st, 0);
    ASSERT_EQ(std::string(name), "Server" + std::to_string(i + 1));
    if (i == 10) {
      ASSERT_EQ(param.DeleteSubKey("Server300"), 0);  // the walk goes on undisturbed
    }
  }
  EXPECT_EQ(i, 300u);
  uint32_t size = sizeof name;
  ASSERT_EQ(param.EnumKey(0, name, &size), 0);  // a new walk sees the change
  size = sizeof name;
  EXPECT_EQ(param.EnumKey(299, name, &size), kErrorNoMoreItems);
  size = 3;
  EXPECT_EQ(param.EnumKey(0, name, &size), kErrorMoreData);
  EXPECT_EQ(size, 8u);
}

TEST_F(Registry, DeleteSubKeyRefusesKeysWithSubkeysDeleteTreeDoesNot) {
  RegKey param;
  ASSERT_EQ(param.Create(kParam), 0);
  RegKey server;
  ASSERT_EQ(server.Create(param, "Server1\\Deeper"), 0);
  ASSERT_EQ(server.SetDword("PortNo", 4), 0);
  EXPECT_EQ(param.DeleteSubKey("Server1"), kErrorKeyHasChildren);
  EXPECT_EQ(param.DeleteSubKey("Server9"), kErrorFileNotFound);
  EXPECT_EQ(param.DeleteSubKey("server1\\deeper"), 0);
  ASSERT_EQ(server.Create(param, "Server1\\Deeper"), 0);
  uint32_t v = 0;
  EXPECT_EQ(server.QueryDword("PortNo", &v), kErrorFileNotFound);  // values went with the key
  EXPECT_EQ(param.DeleteTree("Server1"), 0);
  RegKey gone;
  EXPECT_EQ(gone.Open(param, "Server1", RegAccess::kRead), kErrorFileNotFound);
  EXPECT_EQ(server.SetDword("PortNo", 1), 0);  // a handle to a deleted key...
  EXPECT_EQ(gone.Open(server, "", RegAccess::kRead), kErrorKeyDeleted);  // ...is known to be gone
}

TEST_F(Registry, RolledBackTransactionLeavesNothing) {
  {
    RegTransaction tx;
    ASSERT_EQ(tx.Status(), 0);
    RegKey key;
    ASSERT_EQ(key.Create(kParam), 0);
    ASSERT_EQ(key.SetDword("Servers", 3), 0);
    {
      RegTransaction inner;
      ASSERT_EQ(key.SetDword("Ports", 9), 0);
      EXPECT_EQ(inner.Commit(), 0);
    }
  }  // no Commit: rolled back
  RegKey key;
  EXPECT_EQ(key.Open(kParam, RegAccess::kRead), kErrorFileNotFound);

  {
    RegTransaction tx;
    ASSERT_EQ(key.Create(kParam), 0);
    ASSERT_EQ(key.SetDword("Servers", 3), 0);
    {
      RegTransaction inner;
      ASSERT_EQ(key.SetDword("Ports", 9), 0);
    }  // inner rolled back: the whole transaction must fail
    EXPECT_NE(tx.Commit(), 0);
  }
  EXPECT_EQ(key.Open(kParam, RegAccess::kRead), kErrorFileNotFound);

  {
    RegTransaction tx;
    ASSERT_EQ(key.Create(kParam), 0);
    ASSERT_EQ(key.SetDword("Servers", 3), 0);
    {
      RegTransaction readOnly(RegTransaction::Mode::kRead);
      uint32_t v = 0;
      EXPECT_EQ(key.QueryDword("Servers", &v), 0);
    }  // ended without Commit, but changed nothing: no harm
    EXPECT_EQ(tx.Commit(), 0);
  }
  uint32_t v = 0;
  ASSERT_EQ(key.Open(kParam, RegAccess::kRead), 0);
  EXPECT_EQ(key.QueryDword("Servers", &v), 0);
  EXPECT_EQ(v, 3u);
}

TEST_F(Registry, ReadOnlyStoreRefusesWriteAccess) {
  {
    RegKey key;
    ASSERT_EQ(key.Create(kParam), 0);
    ASSERT_EQ(key.SetDword("Servers", 1), 0);
  }
  RegCloseStore();
  ASSERT_EQ(::chmod(RegistryPath().c_str(), 0444), 0);
  RegKey key;
  EXPECT_EQ(key.Open(kParam, RegAccess::kFullAccess), kErrorAccessDenied);
  EXPECT_EQ(key.Create("SOFTWARE\\New"), kErrorAccessDenied);
  ASSERT_EQ(key.Open(kParam, RegAccess::kRead), 0);
  uint32_t v = 0;
  EXPECT_EQ(key.QueryDword("Servers", &v), 0);
  EXPECT_EQ(v, 1u);
  EXPECT_EQ(key.SetDword("Servers", 2), kErrorAccessDenied);
  RegTransaction tx;
  EXPECT_EQ(tx.Status(), kErrorAccessDenied);
}

TEST_F(Registry, FreshStoreHasTheKeysEveryMachineHas) {
  RegKey key;
  EXPECT_EQ(key.Open("SYSTEM\\CurrentControlSet\\Services", RegAccess::kFullAccess), 0);
  EXPECT_EQ(key.Open("HARDWARE\\DEVICEMAP\\SERIALCOMM", RegAccess::kRead), 0);
  // Deleted keys are not brought back when the store is opened again.
  ASSERT_EQ(key.Open("HARDWARE\\DEVICEMAP", RegAccess::kFullAccess), 0);
  ASSERT_EQ(key.DeleteTree("SERIALCOMM"), 0);
  RegCloseStore();
  EXPECT_EQ(key.Open("HARDWARE\\DEVICEMAP\\SERIALCOMM", RegAccess::kRead), kErrorFileNotFound);
}

// A transaction that runs out of disk must fail as a whole: nothing of it
// may be committed, not even the writes made after SQLite gave it up.
TEST_F(Registry, TransactionThatRunsOutOfSpaceLeavesNothing) {
  {
    RegKey key;
    ASSERT_EQ(key.Create(kParam), 0);
    ASSERT_EQ(key.SetDword("Servers", 1), 0);
  }
  RegCloseStore();
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{256 * 1024, 256 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    RegTransaction tx;
    RegKey key;
    if (tx.Status() != 0 || key.Open(kParam, RegAccess::kFullAccess) != 0) ::_exit(2);
    const std::string big(4000, 'x');
    bool failed = false;
    for (int i = 0; i < 2000; ++i) {
      const LSTATUS st = key.SetString("V" + std::to_string(i), big.c_str());
      if (st != 0) failed = true;
      if (failed && st == 0) ::_exit(3);  // a write after the loss went through
    }
    if (!failed) ::_exit(4);
    ::_exit(tx.Commit() != 0 ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  RegKey key;
  ASSERT_EQ(key.Open(kParam, RegAccess::kRead), 0);
  uint32_t type = 0, length = 0;
  EXPECT_EQ(key.QueryValue("V0", &type, nullptr, &length), kErrorFileNotFound);
  uint32_t servers = 0;
  EXPECT_EQ(key.QueryDword("Servers", &servers), 0);
  EXPECT_EQ(servers, 1u);
}

TEST_F(Registry, SwitchingStateRootSwitchesStore) {
  RegKey key;
  ASSERT_EQ(key.Create(kParam), 0);
  TempStateRoot other;
  EXPECT_EQ(key.Open(kParam, RegAccess::kRead), kErrorFileNotFound);
}

TEST_F(Registry, NormalizesToolPaths) {
  std::string out;
  EXPECT_TRUE(RegNormalizePath("HKEY_LOCAL_MACHINE\\SYSTEM\\X\\", &out));
  EXPECT_EQ(out, "SYSTEM\\X");
  EXPECT_TRUE(RegNormalizePath("hklm\\SYSTEM", &out));
  EXPECT_EQ(out, "SYSTEM");
  EXPECT_TRUE(RegNormalizePath("HKEY_LOCAL_MACHINE", &out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(RegNormalizePath("HKEY_CURRENT_USER\\Software", &out));
}

// Two processes each add their own values under one key, many small
// transactions each, at the same time: the busy wait must lose none.
TEST_F(Registry, TwoProcessesWritingAtOnceLoseNothing) {
  {
    RegKey key;
    ASSERT_EQ(key.Create(kParam), 0);
  }
  RegCloseStore();
  constexpr int kEach = 300;
  pid_t pids[2];
  for (int w = 0; w < 2; ++w) {
    pids[w] = ::fork();
    ASSERT_GE(pids[w], 0);
    if (pids[w] == 0) {
      int failures = 0;
      for (int i = 0; i < kEach; ++i) {
        RegTransaction tx;
        RegKey key;
        if (tx.Status() != 0 || key.Open(kParam, RegAccess::kFullAccess) != 0) {
          ++failures;
          continue;
        }
        const std::string name = "W" + std::to_string(w) + "_" + std::to_string(i);
        if (key.SetDword(name, uint32_t(i)) != 0) ++failures;
        uint32_t total = 0;
        key.QueryDword("Total", &total);
        if (key.SetDword("Total", total + 1) != 0) ++failures;
        if (tx.Commit() != 0) ++failures;
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
  }
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  RegKey key;
  ASSERT_EQ(key.Open(kParam, RegAccess::kRead), 0);
  uint32_t total = 0;
  ASSERT_EQ(key.QueryDword("Total", &total), 0);
  EXPECT_EQ(total, uint32_t(2 * kEach));  // read-modify-write under the write lock
  for (int w = 0; w < 2; ++w) {
    for (int i = 0; i < kEach; ++i) {
      uint32_t v = 0;
      ASSERT_EQ(key.QueryDword("w" + std::to_string(w) + "_" + std::to_string(i), &v), 0);
      EXPECT_EQ(v, uint32_t(i));
    }
  }
}

}  // namespace
