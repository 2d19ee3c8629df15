#include "driver_service.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tarvik/service_manager.h"
#include "tarvik/unique_fd.h"

namespace vonderil {
namespace {

// A port that an application holds open until the test lets it go.
class HeldPort : public VirtualPort {
 public:
  explicit HeldPort(uint32_t com) : com_(com) {}
  uint32_t ComNumber() const override { return com_; }
  bool HeldOpen() const override { return held_; }
  bool Quiet() const override { return !held_ && !sending_; }
  void Stopping() override { stopping_ = true; }
  void Close() override { closed_ = true; }
  bool held_ = true;
  bool sending_ = false;  // nobody holds it; its last bytes still go out
  bool stopping_ = false;
  bool closed_ = false;

 private:
  uint32_t com_;
};

class DriverServiceTest : public ::testing::Test {
 protected:
  DriverServiceTest()
      : service_(loop_,
                 [this](uint32_t s) {
                   states_.push_back(s);
                   if (onState_) onState_(s);
                 },
                 [this](const char* line) { log_ += std::string(line) + "\n"; }) {}

  // Runs fn from inside the loop once it is up (the eventfd is ready at once).
  void OnceRunning(std::function<void()> fn) {
    kick_.Reset(eventfd(1, EFD_CLOEXEC));
    ASSERT_TRUE(kick_.Valid());
    ASSERT_TRUE(loop_.Watch(kick_.Get(), EPOLLIN, [this, fn](uint32_t) {
      loop_.Unwatch(kick_.Get());
      fn();
    }));
  }

  EventLoop loop_;
  std::vector<uint32_t> states_;
  std::function<void(uint32_t)> onState_;
  std::string log_;
  DriverService service_;
  tarvik::UniqueFd kick_;
};

TEST_F(DriverServiceTest, RunsUntilTerminatedThenReportsStopPendingAndStopped) {
  OnceRunning([] { ::kill(::getpid(), SIGTERM); });
  EXPECT_EQ(service_.Run(), 0);
  EXPECT_EQ(states_, (std::vector<uint32_t>{tarvik::kServiceRunning, tarvik::kServiceStopPending,
                                            tarvik::kServiceStopped}));
  EXPECT_NE(log_.find("stop requested"), std::string::npos);
}

TEST_F(DriverServiceTest, AStopWaitsWhileAnApplicationHoldsAPort) {
  auto port = std::make_unique<HeldPort>(5);
  HeldPort* held = port.get();
  service_.AddPort(std::move(port));
  auto idle = std::make_unique<HeldPort>(6);
  idle->held_ = false;
  HeldPort* free = idle.get();
  service_.AddPort(std::move(idle));

  // The application closes its port only once the stop is pending.
  tarvik::UniqueFd release(eventfd(0, EFD_CLOEXEC));
  onState_ = [&](uint32_t state) {
    if (state == tarvik::kServiceStopPending) {
      uint64_t one = 1;
      ASSERT_EQ(::write(release.Get(), &one, sizeof one), 8);
    }
  };
  std::vector<uint32_t> statesAtRelease;
  ASSERT_TRUE(loop_.Watch(release.Get(), EPOLLIN, [&](uint32_t) {
    loop_.Unwatch(release.Get());
    statesAtRelease = states_;
    held->held_ = false;
    service_.PortReleased();
  }));
  OnceRunning([] {
    ::kill(::getpid(), SIGTERM);
    ::kill(::getpid(), SIGINT);  // a second request changes nothing
  });

  EXPECT_EQ(service_.Run(), 0);
  EXPECT_EQ(statesAtRelease,
            (std::vector<uint32_t>{tarvik::kServiceRunning, tarvik::kServiceStopPending}));
  EXPECT_EQ(states_.back(), tarvik::kServiceStopped);
  EXPECT_NE(log_.find("stop waits: 1 port(s) held open"), std::string::npos) << log_;
  EXPECT_TRUE(held->closed_);
  EXPECT_TRUE(free->closed_);
}

// Regression: a stop dropped the bytes an application had written and the
// driver had not sent yet.
TEST_F(DriverServiceTest, AStopWaitsForAPortThatStillSendsItsLastBytes) {
  auto port = std::make_unique<HeldPort>(7);
  port->held_ = false;
  port->sending_ = true;
  HeldPort* sending = port.get();
  service_.AddPort(std::move(port));
  tarvik::UniqueFd sent(eventfd(0, EFD_CLOEXEC));
  bool stoppingAtSent = false;
  onState_ = [&](uint32_t state) {
    if (state == tarvik::kServiceStopPending) {
      uint64_t one = 1;
      ASSERT_EQ(::write(sent.Get(), &one, sizeof one), 8);
    }
  };
  ASSERT_TRUE(loop_.Watch(sent.Get(), EPOLLIN, [&](uint32_t) {
    loop_.Unwatch(sent.Get());
    stoppingAtSent = sending->stopping_;
    sending->sending_ = false;
    service_.PortReleased();
  }));
  OnceRunning([] { ::kill(::getpid(), SIGTERM); });
  EXPECT_EQ(service_.Run(), 0);
  EXPECT_TRUE(stoppingAtSent);
  EXPECT_NE(log_.find("stop waits: the last bytes applications wrote still go out on COM7"),
            std::string::npos)
      << log_;
  EXPECT_EQ(states_.back(), tarvik::kServiceStopped);
}

TEST_F(DriverServiceTest, AReleaseWithoutAStopKeepsTheDriverRunning) {
  auto port = std::make_unique<HeldPort>(5);
  port->held_ = false;
  service_.AddPort(std::move(port));
  OnceRunning([this] {
    service_.PortReleased();
    EXPECT_FALSE(service_.StopRequested());
    ::kill(::getpid(), SIGTERM);
  });
  EXPECT_EQ(service_.Run(), 0);
  EXPECT_EQ(states_.size(), 3u);
}

}  // namespace
}  // namespace vonderil
