#include "config_file_test_support.h"

#include <cstdio>
#include <cstring>

#include "config_file_io.h"
#include "tarvik/registry.h"
#include "tarvik/ui_hooks.h"

namespace cfgtest {

void ConfigFileTest::SetUp() {
  tarvik::SetClock(&clock_);
  root_.reset(new tarvik::TempStateRoot());
  ASSERT_FALSE(root_->Path().empty());
  // The system's services key and serial-port list exist on every machine;
  // the driver's keys are the library's to make.
  for (const char* path : {"SYSTEM\\CurrentControlSet\\Services", "HARDWARE\\DEVICEMAP\\SERIALCOMM"}) {
    tarvik::RegKey key;
    ASSERT_EQ(key.Create(path), 0) << path;
  }
  ASSERT_EQ(Tkc_RegCheckCreateServiceKey(), 0);
  tarvik::SetMessageBoxHook([this](const std::string& text, const std::string& caption, unsigned) {
    messages_.push_back({text, caption});
    return tarvik::kIdOk;
  });
}

void ConfigFileTest::TearDown() {
  tarvik::SetMessageBoxHook(nullptr);
  root_.reset();
  tarvik::SetClock(nullptr);
}

std::string ConfigFileTest::FixturePath(const std::string& name) const {
  return std::string(FIXTURE_DIR) + "/" + name;
}

std::unique_ptr<ConfigSet> ConfigFileTest::NewSet() {
  std::unique_ptr<ConfigSet> set(new ConfigSet());
  std::memset(set.get(), 0, sizeof *set);
  set->SizeStamp = cfgfile::kSetSize;
  return set;
}

void ConfigFileTest::WriteStore(ConfigSet* set) { ASSERT_EQ(Tkc_RegWriteAll(set), 0); }

std::unique_ptr<ConfigSet> ConfigFileTest::ReadStore() {
  auto set = NewSet();
  EXPECT_EQ(Tkc_RegReadAll(set.get()), 0);
  return set;
}

void ConfigFileTest::AddSerialPort(int n) {
  tarvik::RegKey key;
  ASSERT_EQ(key.Create("HARDWARE\\DEVICEMAP\\SERIALCOMM"), 0);
  const std::string com = "COM" + std::to_string(n);
  ASSERT_EQ(key.SetString("\\Device\\Serial" + std::to_string(n), com.c_str()), 0);
}

Record& ConfigFileTest::AddServer(ConfigSet* set, const char* name, uint32_t ip) {
  Record& r = set->Records[set->Servers++];
  cfgfile::InitRecord(&r);
  std::snprintf(r.ServerName, sizeof r.ServerName, "%s", name);
  EXPECT_EQ(Tkc_ParseServerInfo(&r, cfgfile::kRecordSize), 0) << name;
  r.IPAddress = ip;
  for (uint32_t k = 0; k < r.PortNo; ++k)
    cfgfile::OptionsWord(r, static_cast<int>(k) + 2) = cfgfile::kDefaultAutoFlush << cfgfile::kAutoFlushShift;
  set->Ports += r.PortNo + 1;
  return r;
}

std::string ConfigFileTest::ReadFile(const std::string& path) const {
  std::string bytes;
  EXPECT_EQ(cfgfile::ReadWholeFile(path, &bytes), cfgfile::FileResult::kOk) << path;
  return bytes;
}

void ConfigFileTest::WriteFile(const std::string& path, const std::string& bytes) const {
  ASSERT_TRUE(cfgfile::ReplaceFile(path, bytes)) << path;
}

}  // namespace cfgtest
