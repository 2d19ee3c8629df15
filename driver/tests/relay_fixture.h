// The driver stand-in run as a service in a private state root, with port
// mappings written into its Parameter key, and the application's side of a
// port: open the COM link, write, read with a deadline.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service_test_support.h"
#include "tarvik/registry.h"
#include "tarvik/service_manager.h"
#include "tarvik/unique_fd.h"
#include "temp_root.h"
#include "tarvik/port_status.h"

namespace vonderil {

constexpr uint32_t kLoopback = 127 | 1u << 24;   // 127.0.0.1
constexpr uint32_t kLoopback2 = 127 | 2u << 24;  // 127.0.0.2

struct TestMapping {
  uint32_t com = 5;
  uint32_t devicePort = 1;
  uint32_t optionsWord = 5u << 1;  // ComOA: WriteBuffer off, AutoFlush 50 ms
  bool disablePurge = false;
  bool fixedConfig = false;
};

struct TestServer {
  uint32_t address = kLoopback;
  uint32_t address2 = 0;
  uint32_t tcpPortCmd = 10000;
  uint32_t connectionBrokenMs = 180000;
  uint32_t connectTimeoutMs = 2000;
  uint32_t dataProtocol = 0;  // "DataProtocol": 0 raw (written only when not 0), 1 RFC 2217
  std::vector<TestMapping> ports{TestMapping{}};
};

class RelayFixture : public ::testing::Test {
 public:
  static bool WaitFor(const std::function<bool()>& check);  // up to 10 s

 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the Parameter key: the servers and the driver options word.
  void Configure(const std::vector<TestServer>& servers, uint32_t flags = 1);
  void StartDriver();
  // Sends the stop request; returns the state seen after it settled.
  uint32_t StopDriver();

  std::string LinkOf(uint32_t com) const;
  // Opens the port like an application (read-write, no controlling tty).
  tarvik::UniqueFd OpenPort(uint32_t com);
  // Reads until want bytes arrived or 10 s passed.
  static std::string ReadFor(int fd, size_t want);
  static void WriteAll(int fd, const std::string& bytes);

  // Waits (up to 10 s) until the port's status line satisfies check.
  bool WaitForPort(uint32_t com, const std::function<bool(const PortStatusLine&)>& check,
                   PortStatusLine* last = nullptr);
  std::string DriverLog() const;

  // A data port's listener must sit at TcpPortCmd + 1: picks a command
  // port whose next port is free and returns it (0 when none was found).
  static uint16_t FreePortPair();
  // Keeps port bound (not listening) until the test ends: the driver's
  // connections to it are refused, and no other test running at the same
  // time can put a listener there for this test's driver to reach.
  void Reserve(uint16_t port);

  tarvik::TempStateRoot root_;
  tarvik::ServiceReaper* reaper_ = nullptr;
  std::vector<tarvik::UniqueFd> reserved_;
};

}  // namespace vonderil
