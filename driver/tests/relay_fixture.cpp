#include "relay_fixture.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tarvik/state_root.h"

namespace vonderil {

namespace {

uint64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

bool PortFree(uint16_t port) {
  tarvik::UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return ::bind(s.Get(), reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
}

}  // namespace

void RelayFixture::SetUp() {
  ASSERT_TRUE(tarvik::EnsureStateRoot());
  const std::string installed = tarvik::SystemDirectory() + "/Drivers/Vonderil.sys";
  std::filesystem::copy_file(DRIVER_PROGRAM, installed);
  ASSERT_EQ(tarvik::CreateTestService("Vonderil",
                                      tarvik::SystemDirectory() + "\\Drivers\\Vonderil.sys",
                                      tarvik::kServiceAutoStart),
            tarvik::kErrorSuccess);
  reaper_ = new tarvik::ServiceReaper("Vonderil");
}

void RelayFixture::TearDown() {
  delete reaper_;
  reaper_ = nullptr;
}

void RelayFixture::Configure(const std::vector<TestServer>& servers, uint32_t flags) {
  tarvik::RegKey parameter;
  ASSERT_EQ(parameter.Create("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter"), 0);
  parameter.SetDword("Servers", static_cast<uint32_t>(servers.size()));
  parameter.SetDword("Flags", flags);
  for (size_t i = 0; i < servers.size(); ++i) {
    const TestServer& s = servers[i];
    tarvik::RegKey server;
    ASSERT_EQ(server.Create(parameter, "Server" + std::to_string(i + 1)), 0);
    server.SetString("ServerName", "Q410X-4");
    server.SetDword("IPAddress", s.address);
    server.SetDword("IPAddress2", s.address2);
    server.SetDword("TcpPortCmd", s.tcpPortCmd);
    server.SetDword("ConnectionBroken", s.connectionBrokenMs);
    server.SetDword("ConnectTimeout", s.connectTimeoutMs);
    if (s.dataProtocol != 0) server.SetDword("DataProtocol", s.dataProtocol);
    uint32_t portCount = 0;
    for (const TestMapping& p : s.ports) portCount = std::max(portCount, p.devicePort);
    server.SetDword("PortNo", portCount);
    for (const TestMapping& p : s.ports) {
      const uint32_t word = p.com | (p.disablePurge ? 1u << 12 : 0) | p.devicePort << 13 |
                            (p.fixedConfig ? 1u << 20 : 0) | p.devicePort << 21;
      if (p.devicePort == 0) {
        server.SetDword("ComNoIO", word);
      } else {
        server.SetDword("ComNo" + std::to_string(p.devicePort), word);
        server.SetDword("ComOA" + std::to_string(p.devicePort), p.optionsWord);
      }
    }
  }
}

void RelayFixture::StartDriver() {
  tarvik::ScManager manager;
  tarvik::ServiceHandle service;
  ASSERT_EQ(manager.Open(tarvik::kScManagerAllAccess), tarvik::kErrorSuccess);
  ASSERT_EQ(service.Open(manager, "Vonderil", tarvik::kServiceAllAccess), tarvik::kErrorSuccess);
  ASSERT_EQ(service.Start(), tarvik::kErrorSuccess);
  ASSERT_EQ(tarvik::WaitForState("Vonderil", tarvik::kServiceRunning), tarvik::kServiceRunning)
      << DriverLog();
}

uint32_t RelayFixture::StopDriver() {
  tarvik::ScManager manager;
  tarvik::ServiceHandle service;
  EXPECT_EQ(manager.Open(tarvik::kScManagerAllAccess), tarvik::kErrorSuccess);
  EXPECT_EQ(service.Open(manager, "Vonderil", tarvik::kServiceAllAccess), tarvik::kErrorSuccess);
  tarvik::ServiceStatus status;
  service.Stop(&status);
  uint32_t state = 0;
  WaitFor([&] {
    state = tarvik::StatusOf("Vonderil").currentState;
    return state == tarvik::kServiceStopped || state == tarvik::kServiceStopPending;
  });
  return state;
}

std::string RelayFixture::LinkOf(uint32_t com) const {
  return tarvik::StateRoot() + "/dev/COM" + std::to_string(com);
}

tarvik::UniqueFd RelayFixture::OpenPort(uint32_t com) {
  return tarvik::UniqueFd(::open(LinkOf(com).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
}

std::string RelayFixture::ReadFor(int fd, size_t want) {
  std::string got;
  const uint64_t end = NowMs() + 10000;
  while (got.size() < want && NowMs() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

void RelayFixture::WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    ASSERT_GT(n, 0);
    done += static_cast<size_t>(n);
  }
}

bool RelayFixture::WaitFor(const std::function<bool()>& check) {
  const uint64_t end = NowMs() + 10000;
  for (;;) {
    if (check()) return true;
    if (NowMs() > end) return false;
    timespec ts{0, 10 * 1000000L};
    nanosleep(&ts, nullptr);
  }
}

bool RelayFixture::WaitForPort(uint32_t com,
                               const std::function<bool(const PortStatusLine&)>& check,
                               PortStatusLine* last) {
  return WaitFor([&] {
    PortStatusFile file;
    if (!ReadPortStatusFile(tarvik::RunDirectory(), &file)) return false;
    for (const PortStatusLine& p : file.ports) {
      if (p.comNumber != com) continue;
      if (last) *last = p;
      return check(p);
    }
    return false;
  });
}

std::string RelayFixture::DriverLog() const {
  std::ifstream in(tarvik::RunDirectory() + "/vonderil.log");
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void RelayFixture::Reserve(uint16_t port) {
  tarvik::UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(s.Get(), reinterpret_cast<sockaddr*>(&at), sizeof at), 0) << port;
  reserved_.push_back(std::move(s));
}

uint16_t RelayFixture::FreePortPair() {
  for (uint16_t port = 20000 + static_cast<uint16_t>(getpid() % 20000); port < 60000; port += 7) {
    if (PortFree(port) && PortFree(static_cast<uint16_t>(port + 1))) return port;
  }
  return 0;
}

}  // namespace vonderil
