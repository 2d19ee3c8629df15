// Name fetches that run ahead of the walk.
//
// A silent address costs a whole connect time-out, so a walk that asks one
// address after the other spends most of its time waiting. Here up to
// kMaxAhead fetches run at once on worker threads, each with a session of
// its own, while the walk still takes the results strictly in address
// order; COM numbers, messages and store writes therefore happen exactly
// as in a walk without it. Only the walk's thread calls Plan and Fetch.
//
// The workers never touch the UI: the wait cursor and the UI pump are the
// user-interface thread's, so this is for front ends without one (the
// command line); the main window keeps the one-at-a-time fetch on its own
// session.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "name_fetch.h"

class PrefetchingNameFetch : public NameFetch {
 public:
  static constexpr size_t kMaxAhead = 32;
  // One fetch, run on a worker thread. The default opens a session of its
  // own for each address.
  using FetchFunction =
      std::function<NameFetchResult(const std::string& address, uint32_t port, uint32_t timeoutMs)>;

  explicit PrefetchingNameFetch(size_t maxAhead = kMaxAhead, FetchFunction fetch = nullptr);
  // Waits for the fetches under way (each ends within its time-out).
  ~PrefetchingNameFetch() override;
  PrefetchingNameFetch(const PrefetchingNameFetch&) = delete;
  PrefetchingNameFetch& operator=(const PrefetchingNameFetch&) = delete;

  void Plan(uint32_t first, uint32_t last, std::function<bool(uint32_t)> wanted, uint32_t port,
            uint32_t timeoutMs) override;
  NameFetchResult Fetch(const std::string& address, uint32_t port, uint32_t timeoutMs) override;

 private:
  struct Slot {
    std::string address;
    bool done = false;
    NameFetchResult result;
  };
  void Work();
  // Claims the next wanted address; false when the plan is used up.
  bool ClaimNext(std::string* address);

  const size_t maxAhead_;
  const FetchFunction fetch_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Slot> slots_;  // claimed and not yet taken by the walk, in order
  std::function<bool(uint32_t)> wanted_;
  uint64_t next_ = 0;       // host order, 64-bit so that last = 2^32-1 ends
  uint64_t end_ = 0;        // one past last
  uint32_t port_ = 0;
  uint32_t timeoutMs_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};
