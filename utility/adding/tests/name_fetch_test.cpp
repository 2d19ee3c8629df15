#include "name_fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "address_range.h"
#include "command_server.h"
#include "czorn3.h"
#include "name_prefetch.h"

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
  EXPECT_EQ(r.statusTexts, statuses);
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

// The prefetching fetch, with a scripted fetch that answers for addresses
// whose last octet is even and keeps count of how many run at once.
class PrefetchTest : public ::testing::Test {
 protected:
  PrefetchingNameFetch::FetchFunction Scripted() {
    return [this](const std::string& address, uint32_t, uint32_t) {
      const int now = ++running;
      int seen = peak.load();
      while (now > seen && !peak.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      --running;
      ++calls;
      NameFetchResult r;
      const uint32_t a = RangeAddress(address);
      r.ok = (a & 1) == 0;
      if (r.ok) r.name = "dev-" + std::to_string(a & 0xFF);
      return r;
    };
  }
  std::atomic<int> running{0}, peak{0}, calls{0};
};

TEST_F(PrefetchTest, ResultsComeInAddressOrderWithAtMostTheLimitRunning) {
  PrefetchingNameFetch fetch(8, Scripted());
  const uint32_t first = RangeAddress("10.0.0.1"), last = RangeAddress("10.0.0.200");
  auto wanted = [](uint32_t a) { return (a & 0xFF) % 3 != 0; };
  fetch.Plan(first, last, wanted, 10000, 500);
  for (uint32_t a = first; a <= last; ++a) {
    if (!wanted(a)) continue;
    NameFetchResult r = fetch.Fetch(DottedHostOrder(a), 10000, 500);
    ASSERT_EQ(r.ok, (a & 1) == 0) << DottedHostOrder(a);
    if (r.ok) {
      EXPECT_EQ(r.name, "dev-" + std::to_string(a & 0xFF));
    }
  }
  EXPECT_LE(peak.load(), 8);
  EXPECT_GT(peak.load(), 1);
  EXPECT_EQ(calls.load(), 134);  // every wanted address exactly once
}

TEST_F(PrefetchTest, StoppingEarlyLeavesNoWorkerBehind) {
  {
    PrefetchingNameFetch fetch(4, Scripted());
    const uint32_t first = RangeAddress("10.0.0.1");
    fetch.Plan(first, first + 100, [](uint32_t) { return true; }, 10000, 500);
    EXPECT_FALSE(fetch.Fetch("10.0.0.1", 10000, 500).ok);
    EXPECT_TRUE(fetch.Fetch("10.0.0.2", 10000, 500).ok);
  }
  EXPECT_EQ(running.load(), 0);
  EXPECT_LE(calls.load(), 2 + 4);  // never more than the limit ahead of the walk
}

TEST_F(PrefetchTest, UnplannedAddressIsFetchedAtOnce) {
  PrefetchingNameFetch fetch(4, Scripted());
  EXPECT_TRUE(fetch.Fetch("10.0.0.8", 10000, 500).ok);
  EXPECT_EQ(calls.load(), 1);
}

}  // namespace
