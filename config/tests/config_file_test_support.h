// Shared set-up of the configuration-file tests: a private state root with
// the driver's keys, a recorder for message boxes, and store helpers.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config_file_types.h"
#include "tarvik/clock.h"
#include "temp_root.h"

namespace cfgtest {

using cfgfile::ConfigSet;
using cfgfile::Record;

struct ShownMessage {
  std::string text;
  std::string caption;
};

class ConfigFileTest : public testing::Test {
 public:
  // A set with its size stamp, on the heap (3.8 MB).
  static std::unique_ptr<ConfigSet> NewSet();
  // A record for a device of known name, its data ports laid out by the
  // device-name rules, nothing mapped.
  static Record& AddServer(ConfigSet* set, const char* name, uint32_t ip);

 protected:
  void SetUp() override;
  void TearDown() override;

  // The folder of the state root, for files of the test.
  std::string Folder() const { return root_->Path(); }
  std::string FixturePath(const std::string& name) const;

  // Writes set as the whole store (Tkc_RegWriteAll).
  static void WriteStore(ConfigSet* set);
  // Reads the whole store (Tkc_RegReadAll must succeed).
  static std::unique_ptr<ConfigSet> ReadStore();
  // Makes COM n one of the computer's own serial ports.
  static void AddSerialPort(int n);

  std::string ReadFile(const std::string& path) const;
  void WriteFile(const std::string& path, const std::string& bytes) const;

  std::vector<ShownMessage> messages_;

 private:
  std::unique_ptr<tarvik::TempStateRoot> root_;
  // Driver restarts poll for up to 15 s; here that is virtual time.
  tarvik::VirtualClock clock_;
};

}  // namespace cfgtest
