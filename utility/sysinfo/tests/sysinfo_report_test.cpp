// The System Information report against a private state root: the driver
// file's facts, the service's text, and the texts built from the version
// and processor keys (given here by a double with the registry's rules).
#include "sysinfo_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "service_test_support.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"
#include "tarvik/system_info.h"
#include "temp_root.h"

namespace {

using tarvik::TempStateRoot;

// Values of the live keys as a registry would give them.
struct KeyValues {
  std::map<std::string, std::string> texts;
  std::map<std::string, uint32_t> numbers;

  tarvik::LSTATUS Query(const std::string& key, const std::string& name, uint32_t* type, void* data,
                uint32_t* length) const {
    const std::string id = key + "|" + name;
    if (auto t = texts.find(id); t != texts.end()) {
      const uint32_t needed = static_cast<uint32_t>(t->second.size() + 1);
      *type = tarvik::kRegSz;
      if (*length < needed) {
        *length = needed;
        return tarvik::kErrorMoreData;
      }
      std::memcpy(data, t->second.c_str(), needed);
      *length = needed;
      return 0;
    }
    if (auto n = numbers.find(id); n != numbers.end()) {
      *type = tarvik::kRegDword;
      std::memcpy(data, &n->second, 4);
      *length = 4;
      return 0;
    }
    return tarvik::kErrorFileNotFound;
  }
};

std::string Id(const char* key, const char* name) { return std::string(key) + "|" + name; }

SysInfoSources Sources(const KeyValues& values) {
  SysInfoSources s = SysInfoSources::Live();
  s.queryValue = [values](const std::string& k, const std::string& n, uint32_t* t, void* d,
                          uint32_t* l) { return values.Query(k, n, t, d, l); };
  s.emulated32Bit = [] { return false; };
  return s;
}

KeyValues Windowsish() {
  KeyValues v;
  v.texts[Id(tarvik::kCurrentVersionKey, "ProductName")] = "Debian GNU/Linux 12 (bookworm)";
  v.texts[Id(tarvik::kCurrentVersionKey, "CurrentVersion")] = "6.1.0-18-amd64";
  v.numbers[Id(tarvik::kCurrentVersionKey, "CurrentMajorVersionNumber")] = 6;
  v.numbers[Id(tarvik::kCurrentVersionKey, "CurrentMinorVersionNumber")] = 1;
  v.texts[Id(tarvik::kProcessorKey, "ProcessorNameString")] = "Test CPU @ 1.00GHz";
  return v;
}

std::string DriverFile() { return tarvik::SystemDirectory() + "/Drivers/Vonderil.sys"; }

TEST(SysInfoReport, MissingDriverFileShowsZeroInRedAndNotAvailable) {
  TempStateRoot root;
  SysInfoReport r;
  BuildSysInfoReport(Sources(Windowsish()), &r);
  EXPECT_STREQ(r.fileSize, "0 Byte(s).");
  EXPECT_TRUE(r.fileSizeIsZero);
  EXPECT_STREQ(r.fileTime, "N/A");
  EXPECT_STREQ(r.fileVersion, "N/A");
  // No service entry either: the status text says so, not in blue.
  EXPECT_STREQ(r.status, "Service does not exist!");
  EXPECT_FALSE(r.serviceRunning);
  EXPECT_STREQ(r.os, "Debian GNU/Linux 12 (bookworm) ver 6.1 ");
  EXPECT_STREQ(r.processorName, "Test CPU @ 1.00GHz");
  EXPECT_EQ(r.systemDirectory, tarvik::SystemDirectory());
}

TEST(SysInfoReport, DriverStandInGivesItsSizeTimeAndProductVersion) {
  TempStateRoot root;
  ASSERT_TRUE(tarvik::EnsureStateRoot());
  {
    std::ifstream in(DRIVER_PROGRAM, std::ios::binary);
    std::ofstream out(DriverFile(), std::ios::binary);
    out << in.rdbuf();
  }
  struct stat st {};
  ASSERT_EQ(::stat(DriverFile().c_str(), &st), 0);
  SysInfoReport r;
  BuildSysInfoReport(Sources(Windowsish()), &r);
  EXPECT_EQ(std::string(r.fileSize), std::to_string(st.st_size) + " Byte(s).");
  EXPECT_FALSE(r.fileSizeIsZero);
  EXPECT_STREQ(r.fileVersion, "2.14.03");
  struct tm local {};
  ASSERT_TRUE(localtime_r(&st.st_mtime, &local));
  char expected[40];
  FormatFileTime(local, expected, sizeof expected);
  EXPECT_STREQ(r.fileTime, expected);
}

TEST(SysInfoReport, EmptyDriverFileIsRedAndHasNoVersion) {
  TempStateRoot root;
  ASSERT_TRUE(tarvik::EnsureStateRoot());
  std::ofstream(DriverFile()).close();
  SysInfoReport r;
  BuildSysInfoReport(Sources(Windowsish()), &r);
  EXPECT_STREQ(r.fileSize, "0 Byte(s).");
  EXPECT_TRUE(r.fileSizeIsZero);
  EXPECT_NE(std::string(r.fileTime), "N/A");
  EXPECT_STREQ(r.fileVersion, "N/A");
}

TEST(SysInfoReport, ADriverPathThatIsAFolderHasNoFacts) {
  TempStateRoot root;
  ASSERT_TRUE(tarvik::EnsureStateRoot());
  ASSERT_EQ(::mkdir(DriverFile().c_str(), 0755), 0);
  SysInfoReport r;
  BuildSysInfoReport(Sources(Windowsish()), &r);
  EXPECT_STREQ(r.fileSize, "0 Byte(s).");
  EXPECT_STREQ(r.fileTime, "N/A");
  EXPECT_STREQ(r.fileVersion, "N/A");
}

TEST(SysInfoReport, StoppedServiceShowsNotRunningAndARunningOneIsBlue) {
  TempStateRoot root;
  ASSERT_EQ(tarvik::CreateTestService("Vonderil", TEST_SERVICE_PROGRAM), tarvik::kErrorSuccess);
  tarvik::ServiceReaper reaper("Vonderil");
  SysInfoReport r;
  BuildSysInfoReport(Sources(Windowsish()), &r);
  EXPECT_STREQ(r.status, "Driver is not running.");
  EXPECT_FALSE(r.serviceRunning);

  tarvik::SetTestServiceMode("steady");
  {
    tarvik::ScManager manager;
    tarvik::ServiceHandle service;
    ASSERT_EQ(manager.Open(tarvik::kScManagerAllAccess), tarvik::kErrorSuccess);
    ASSERT_EQ(service.Open(manager, "Vonderil", tarvik::kServiceAllAccess), tarvik::kErrorSuccess);
    ASSERT_EQ(service.Start(), tarvik::kErrorSuccess);
  }
  ASSERT_EQ(tarvik::WaitForState("Vonderil", tarvik::kServiceRunning), tarvik::kServiceRunning);
  BuildSysInfoReport(Sources(Windowsish()), &r);
  EXPECT_STREQ(r.status, "Driver is running.");
  EXPECT_TRUE(r.serviceRunning);
}

TEST(SysInfoReport, WithoutAMajorNumberTheVersionTextIsShown) {
  TempStateRoot root;
  KeyValues v = Windowsish();
  v.numbers.clear();
  v.texts[Id(tarvik::kCurrentVersionKey, "CurrentVersion")] = "6.3";
  SysInfoReport r;
  BuildSysInfoReport(Sources(v), &r);
  EXPECT_STREQ(r.os, "Debian GNU/Linux 12 (bookworm) ver 6.3 ");
}

TEST(SysInfoReport, SourcesThatFailLeaveTheirDefaults) {
  TempStateRoot root;
  KeyValues v;
  // A product name that does not fit the 80-byte buffer is not read at all.
  v.texts[Id(tarvik::kCurrentVersionKey, "ProductName")] = std::string(80, 'P');
  SysInfoSources s = Sources(v);
  s.systemDirectory = nullptr;
  s.processorCount = nullptr;
  s.serviceStatus = nullptr;
  SysInfoReport r;
  BuildSysInfoReport(s, &r);
  EXPECT_STREQ(r.os, " ver  ");
  EXPECT_STREQ(r.processorName, "");
  EXPECT_STREQ(r.processorCount, "0");
  EXPECT_STREQ(r.status, "N/A");
  EXPECT_STREQ(r.fileSize, "0 Byte(s).");
  EXPECT_NE(r.reportTime[0], '\0');
}

TEST(SysInfoReport, ProductNameOf79CharactersFits) {
  TempStateRoot root;
  KeyValues v = Windowsish();
  v.texts[Id(tarvik::kCurrentVersionKey, "ProductName")] = std::string(79, 'P');
  SysInfoReport r;
  BuildSysInfoReport(Sources(v), &r);
  EXPECT_EQ(std::string(r.os), std::string(79, 'P') + " ver 6.1 ");
}

// A name past the 80-byte buffer was not read at all and showed empty.
TEST(SysInfoReport, LongProcessorNameIsCutTo79Characters) {
  TempStateRoot root;
  for (size_t length : {79u, 80u, 200u}) {
    KeyValues v = Windowsish();
    std::string name;
    for (size_t i = 0; i < length; ++i) name += static_cast<char>('A' + i % 26);
    v.texts[Id(tarvik::kProcessorKey, "ProcessorNameString")] = name;
    SysInfoReport r;
    BuildSysInfoReport(Sources(v), &r);
    EXPECT_EQ(std::string(r.processorName), name.substr(0, 79)) << length;
  }
}

TEST(FormatOsText, Forms) {
  struct {
    bool emulated;
    const char* product;
    uint32_t major, minor;
    const char* version;
    const char* expected;
  } cases[] = {
      {false, "Debian", 6, 1, "6.1.0", "Debian ver 6.1 "},
      {false, "Debian", 0, 7, "6.3", "Debian ver 6.3 "},
      {true, "Debian", 6, 12, "", "64-bit Debian ver 6.12 "},
      {true, "", 0, 0, "", "64-bit  ver  "},
  };
  for (const auto& c : cases) {
    char text[200];
    FormatOsText(c.emulated, c.product, c.major, c.minor, c.version, text, sizeof text);
    EXPECT_STREQ(text, c.expected);
  }
  char text[200];
  FormatOsText(true, std::string(150, 'p').c_str(), 0, 0, std::string(79, 'v').c_str(), text,
               sizeof text);
  EXPECT_EQ(std::strlen(text), 199u) << "cut to 199 characters";
}

TEST(FormatTimes, KeepTheirBlanks) {
  struct tm t {};
  t.tm_year = 2021 - 1900;
  t.tm_mon = 8;
  t.tm_mday = 8;
  t.tm_hour = 7;
  t.tm_min = 5;
  t.tm_sec = 3;
  char text[40];
  FormatFileTime(t, text, sizeof text);
  EXPECT_STREQ(text, "9/8/2021 07:05:03 ");
  FormatReportTime(t, text, sizeof text);
  EXPECT_STREQ(text, "9/8/2021,  07:05:03");
}

int g_disabled = 0, g_reverted = 0;
bool Disable(void** previous) {
  ++g_disabled;
  *previous = &g_disabled;
  return true;
}
bool Revert(void* previous) {
  EXPECT_EQ(previous, &g_disabled) << "the kept state comes back";
  ++g_reverted;
  return true;
}

TEST(FsRedirectionOff, SwitchesOnlyUnderEmulationWithBothFunctions) {
  struct {
    bool emulated;
    bool disable, revert;
    int switched;
  } cases[] = {
      {true, true, true, 1}, {false, true, true, 0}, {true, false, true, 0}, {true, true, false, 0},
  };
  for (const auto& c : cases) {
    g_disabled = g_reverted = 0;
    FsRedirectionCalls calls;
    if (c.disable) calls.disable = &Disable;
    if (c.revert) calls.revert = &Revert;
    {
      FsRedirectionOff off(c.emulated, calls);
      EXPECT_EQ(off.Switched(), c.switched == 1);
      EXPECT_EQ(g_reverted, 0);
    }
    EXPECT_EQ(g_disabled, c.switched);
    EXPECT_EQ(g_reverted, c.switched);
  }
  const FsRedirectionCalls here = LookUpFsRedirection();
  EXPECT_EQ(here.disable, nullptr);
}

}  // namespace
