#include "name_fetch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "address_range.h"
#include "command_server.h"
#include "concurrent_name_fetch.h"
#include "czorn3.h"

namespace {

class NameFetchTest : public ::testing::Test {
 protected:
  void Start(devsim::CommandPortSettings settings) {
    settings.ip = "127.0.0.1";
    server = std::make_unique<CommandServer>(std::move(settings));
  }
  NameFetchResult Fetch() {
    statuses.clear();
    return FetchDeviceName(session, "127.0.0.1", server->Port(), 1000,
                           [this](const std::string& text) { statuses.push_back(text); });
  }
  std::unique_ptr<CommandServer> server;
  CZorn3 session;
  std::vector<std::string> statuses;
};

TEST_F(NameFetchTest, NameAndVersionMakeAFetch) {
  devsim::CommandPortSettings s;
  s.name = "Q410X4";
  s.firmware = "V2.14";
  Start(s);
  NameFetchResult r = Fetch();
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.name, "Q410X4");
  const std::string port = std::to_string(server->Port());
  EXPECT_EQ(statuses, (std::vector<std::string>{"Connecting to 127.0.0.1", "Q410X4 found!",
                                                "Q410X4:" + port + ", V2.14, found!!"}));
  // Asked with codes 10 and 01, and the session is closed afterwards.
  const std::string wire = server->Received();
  EXPECT_NE(wire.find("10"), std::string::npos);
  EXPECT_NE(wire.find("01"), std::string::npos);
  EXPECT_EQ(session.StatusText(), "Connection closed.");
}

TEST_F(NameFetchTest, NameWithoutVersionIsAFailure) {
  devsim::CommandPortSettings s;
  s.name = "Q410X4";
  s.faults = {{"01", devsim::CommandFault::kNoReply, ""}};
  Start(s);
  NameFetchResult r = Fetch();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.name, "");
  EXPECT_EQ(statuses.back(), "Q410X4 found!");
}

TEST_F(NameFetchTest, RefusedConnectionShowsTheSessionsError) {
  devsim::CommandPortSettings s;
  s.refuseConnections = true;
  Start(s);
  NameFetchResult r = Fetch();
  EXPECT_FALSE(r.ok);
  ASSERT_EQ(statuses.size(), 2u);
  EXPECT_EQ(statuses[1].rfind("Error: ", 0), 0u) << statuses[1];
}

// The concurrent fetch against simulated devices on 127.0.0.<octet>, all
// on one command port; an octet without a device refuses at once.
struct Device {
  int octet;
  const char* name;
  std::vector<devsim::FaultRule> faults;
};

class ConcurrentFetchTest : public ::testing::Test {
 protected:
  void Devices(const std::vector<Device>& devices) {
    for (const Device& d : devices) {
      devsim::CommandPortSettings s;
      s.ip = Address(d.octet);
      s.name = d.name;
      s.faults = d.faults;
      servers[d.octet] = std::make_unique<CommandServer>(std::move(s), port);
      if (port == 0) port = servers[d.octet]->Port();
    }
  }
  static std::string Address(int octet) { return "127.0.0." + std::to_string(octet); }
  static uint32_t Host(int octet) { return RangeAddress(Address(octet)); }
  // How many of the devices have been asked for their name so far.
  int AskedForName() {
    int asked = 0;
    for (auto& server : servers)
      if (server && server->Received().find("10\r") != std::string::npos) ++asked;
    return asked;
  }
  bool AskedForVersion(int octet) { return servers[octet]->Received().find("01\r") != std::string::npos; }
  FetchPlan Plan(int first, int last, uint32_t timeoutMs) {
    FetchPlan plan;
    plan.first = Host(first);
    plan.last = Host(last);
    plan.wanted = [](uint32_t) { return true; };
    plan.port = port;
    plan.timeoutMs = timeoutMs;
    return plan;
  }

  uint16_t port = 0;
  std::unique_ptr<CommandServer> servers[256];
  static constexpr uint32_t kLongTimeoutMs = 60000;
};

const std::vector<devsim::FaultRule> kSilentOnName = {{"10", devsim::CommandFault::kNoReply, ""}};
const std::vector<devsim::FaultRule> kSilentOnVersion = {{"01", devsim::CommandFault::kNoReply, ""}};
const std::vector<devsim::FaultRule> kErrorOnName = {{"10", devsim::CommandFault::kErrorReply, ""}};

TEST_F(ConcurrentFetchTest, LaterAddressesAreFetchedWhileTheWalkWaitsForAnEarlierOne) {
  Devices({{2, "Q410X2", kSilentOnName}, {4, "Q410X4", {}}, {5, "RF-030", {}}});
  ConcurrentNameFetch fetch(16);
  FetchPlan plan = Plan(2, 5, kLongTimeoutMs);
  // The first device never names itself; the wait for it ends once the
  // later ones have been asked both questions, which only a fetch running
  // ahead can have done.
  plan.stop = [this] { return AskedForVersion(4) && AskedForVersion(5); };
  fetch.Plan(plan);
  const NameFetchResult first = fetch.Fetch(Address(2), port, kLongTimeoutMs);
  EXPECT_TRUE(first.interrupted);
  EXPECT_FALSE(first.ok);
}

TEST_F(ConcurrentFetchTest, ResultsComeInAddressOrderWithTheirNames) {
  Devices({{2, "Q410X2", {}},
           {4, "Q410X4", kSilentOnVersion},
           {5, "R-8615", kErrorOnName},
           {6, "FWR-4", {}},
           {7, "Q410X8", kSilentOnName}});
  ConcurrentNameFetch fetch(16);
  FetchPlan plan = Plan(2, 8, 1500);
  std::vector<std::pair<uint64_t, uint64_t>> progress;
  plan.progress = [&](uint64_t settled, uint64_t found) { progress.push_back({settled, found}); };
  plan.wanted = [](uint32_t a) { return (a & 0xFF) != 3; };  // 127.0.0.3 passed over
  fetch.Plan(plan);
  struct Expected {
    int octet;
    bool ok;
    const char* name;
  };
  const Expected expected[] = {{2, true, "Q410X2"}, {4, false, ""},  {5, false, ""},
                               {6, true, "FWR-4"},  {7, false, ""},  {8, false, ""}};
  for (const Expected& e : expected) {
    const NameFetchResult r = fetch.Fetch(Address(e.octet), port, 1500);
    EXPECT_EQ(r.ok, e.ok) << e.octet;
    EXPECT_EQ(r.name, e.name) << e.octet;
    EXPECT_FALSE(r.interrupted);
  }
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), (std::pair<uint64_t, uint64_t>{7, 2}));
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_LE(progress[i - 1].first, progress[i].first);
}

TEST_F(ConcurrentFetchTest, NoMoreConversationsRunThanTheBound) {
  Devices({{2, "Q410X2", kSilentOnName},
           {3, "Q410X2", kSilentOnName},
           {4, "Q410X2", kSilentOnName},
           {5, "Q410X2", kSilentOnName}});
  ConcurrentNameFetch fetch(2);
  FetchPlan plan = Plan(2, 5, kLongTimeoutMs);
  int looks = 0;
  plan.stop = [&] { return AskedForName() >= 2 && ++looks > 10; };
  fetch.Plan(plan);
  EXPECT_TRUE(fetch.Fetch(Address(2), port, kLongTimeoutMs).interrupted);
  EXPECT_EQ(AskedForName(), 2);
}

TEST_F(ConcurrentFetchTest, AnAddressOutsideThePlanIsFetchedOnItsOwn) {
  Devices({{9, "Q410X4", {}}});
  ConcurrentNameFetch fetch(4);
  const NameFetchResult r = fetch.Fetch(Address(9), port, 1000);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.name, "Q410X4");
}

// A descriptor limit below the bound: fetches wait for a descriptor rather
// than fail for the want of one. The devices run in a child process, so
// that their side of each connection does not need one of ours.
TEST_F(ConcurrentFetchTest, FetchesWithoutADescriptorWaitForOne) {
  int ready[2], quit[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(quit), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    close(quit[1]);
    Devices({{2, "Q410X2", {}}, {3, "Q410X2", {}}, {4, "Q410X2", {}}, {5, "Q410X2", {}},
             {6, "Q410X2", {}}, {7, "Q410X2", {}}});
    if (write(ready[1], &port, sizeof port) != sizeof port) _exit(1);
    char byte;
    (void)!read(quit[0], &byte, 1);  // until the parent is done
    for (auto& server : servers) server.reset();
    _exit(0);
  }
  close(ready[1]);
  close(quit[0]);
  ASSERT_EQ(read(ready[0], &port, sizeof port), static_cast<ssize_t>(sizeof port));

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  int highest = 0;
  for (int fd = 0; fd < 4096; ++fd)
    if (fcntl(fd, F_GETFD) != -1) highest = fd;
  ConcurrentNameFetch fetch(64);
  rlimit low = saved;
  low.rlim_cur = static_cast<rlim_t>(highest + 3);  // room for two sockets
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  fetch.Plan(Plan(2, 7, 5000));
  std::vector<bool> ok;
  for (int octet = 2; octet <= 7; ++octet) ok.push_back(fetch.Fetch(Address(octet), port, 5000).ok);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_EQ(ok, std::vector<bool>(6, true));

  close(quit[1]);
  close(ready[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
