// The loop's dispatch: tokens instead of descriptor numbers, the watches
// that go first in a batch, and the hook before each handler.
#include "event_loop.h"

#include <gtest/gtest.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tarvik/unique_fd.h"

namespace vonderil {
namespace {

tarvik::UniqueFd Ready() { return tarvik::UniqueFd(eventfd(1, EFD_CLOEXEC | EFD_NONBLOCK)); }

// Regression: events were dispatched by descriptor number, and a reconnect
// that got the number of a socket closed in the same batch received the
// old socket's event.
TEST(EventLoopTest, ANewDescriptorWithAReusedNumberGetsNoEventOfTheOldOne) {
  EventLoop loop;
  tarvik::UniqueFd a = Ready(), b = Ready();
  int reused = -1;
  int replacementCalls = 0;
  // Whichever of the two runs first closes the other and watches a new,
  // idle descriptor, which takes the freed number.
  auto replaceOther = [&](tarvik::UniqueFd* other) {
    if (reused >= 0) return;
    const int number = other->Get();
    loop.Unwatch(number);
    other->Reset();
    other->Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    ASSERT_EQ(other->Get(), number);
    reused = number;
    ASSERT_TRUE(loop.Watch(number, EPOLLIN, [&](uint32_t) { ++replacementCalls; }));
  };
  ASSERT_TRUE(loop.Watch(a.Get(), EPOLLIN, [&](uint32_t) { replaceOther(&b); }));
  ASSERT_TRUE(loop.Watch(b.Get(), EPOLLIN, [&](uint32_t) { replaceOther(&a); }));
  loop.After(0, [&] { loop.Quit(); });
  ASSERT_EQ(loop.Run(), 0);
  EXPECT_GE(reused, 0);
  EXPECT_EQ(replacementCalls, 0);
}

TEST(EventLoopTest, WatchesMarkedFirstAreDispatchedBeforeTheRestOfTheBatch) {
  EventLoop loop;
  tarvik::UniqueFd data = Ready(), notices = Ready();
  std::vector<std::string> order;
  ASSERT_TRUE(loop.Watch(data.Get(), EPOLLIN, [&](uint32_t) { order.push_back("data"); }));
  ASSERT_TRUE(loop.Watch(notices.Get(), EPOLLIN, [&](uint32_t) { order.push_back("notices"); },
                         EventLoop::Order::kFirst));
  loop.After(0, [&] { loop.Quit(); });
  ASSERT_EQ(loop.Run(), 0);
  EXPECT_EQ(order, (std::vector<std::string>{"notices", "data"}));
}

TEST(EventLoopTest, TheHookRunsBeforeEachHandlerAndMayTakeAWaitingEventAway) {
  EventLoop loop;
  tarvik::UniqueFd a = Ready(), b = Ready();
  int hooks = 0, handled = 0;
  ASSERT_TRUE(loop.Watch(a.Get(), EPOLLIN, [&](uint32_t) { ++handled; }));
  ASSERT_TRUE(loop.Watch(b.Get(), EPOLLIN, [&](uint32_t) { ++handled; }));
  // The first hook unwatches both: neither handler runs.
  loop.SetBeforeDispatch([&] {
    ++hooks;
    loop.Unwatch(a.Get());
    loop.Unwatch(b.Get());
  });
  loop.After(0, [&] { loop.Quit(); });
  ASSERT_EQ(loop.Run(), 0);
  EXPECT_EQ(handled, 0);
  EXPECT_GE(hooks, 1);
}

TEST(EventLoopTest, TheHookRunsOnlyBeforeTheEventsAWatchAsksItFor) {
  EventLoop loop;
  tarvik::UniqueFd readable = Ready();
  int hooks = 0, handled = 0;
  ASSERT_TRUE(loop.Watch(readable.Get(), EPOLLIN, [&](uint32_t) { ++handled; },
                         EventLoop::Order::kNormal, EPOLLOUT));
  loop.SetBeforeDispatch([&] { ++hooks; });
  loop.After(0, [&] { loop.Quit(); });
  ASSERT_EQ(loop.Run(), 0);
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(hooks, 0);
}

}  // namespace
}  // namespace vonderil
