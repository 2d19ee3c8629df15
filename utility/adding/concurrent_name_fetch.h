// Name fetches of a whole range at once, in one event loop.
//
// A silent address costs a whole connect time-out, so a walk that asks one
// address after the other spends nearly all its time waiting. Here the
// fetches of the planned addresses run at once, as many as the bound
// allows, each a non-blocking conversation (name_exchange.h) polled
// together on the caller's thread: no thread per address. The walk still
// takes the results strictly in address order, so its messages, COM
// numbers and store writes come in the same order as one at a time.
//
// The loop runs only inside Fetch, while the walk waits for its next
// address; between two waits it makes slices of at most kSliceMs and calls
// tarvik::PumpUiEvents() after each, so a window stays usable, and it
// looks at the plan's stop between them. Conversations whose replies came
// in while the walk was busy elsewhere (a message box) are taken as they
// stand before any deadline is judged.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>

#include "name_exchange.h"
#include "name_fetch.h"

class ConcurrentNameFetch : public NameFetch {
 public:
  static constexpr uint32_t kSliceMs = 20;
  static constexpr size_t kLeastBound = 256;
  static constexpr size_t kMostBound = 4096;
  // Descriptors left to the rest of the process.
  static constexpr size_t kSpareDescriptors = 64;

  // bound 0: from the descriptor limit (DescriptorBound()).
  explicit ConcurrentNameFetch(size_t bound = 0);

  void Plan(const FetchPlan& plan) override;
  NameFetchResult Fetch(const std::string& address, uint32_t port, uint32_t timeoutMs) override;

  // How many conversations may run at once: the soft descriptor limit less
  // kSpareDescriptors, within kLeastBound..kMostBound. A bound above what
  // the process can open is harmless: a fetch without a descriptor waits
  // for one that another fetch gives back.
  static size_t DescriptorBound();

 private:
  using ExchangePtr = std::unique_ptr<NameExchange>;
  // Claims and starts planned addresses while fewer than the bound run.
  void StartMore(uint32_t now);
  // One poll of the running conversations, for at most waitMs.
  void Step(uint32_t waitMs);
  void Report();
  // Drives a conversation outside the plan to its end.
  NameFetchResult FetchAlone(uint32_t address, uint32_t port, uint32_t timeoutMs);
  bool Planned(uint32_t address, uint32_t port, uint32_t timeoutMs) const;

  const size_t bound_;
  FetchPlan plan_;
  bool planned_ = false;
  uint64_t next_ = 0;  // next address to claim, 64-bit so that last = 2^32-1 ends
  uint64_t end_ = 0;   // one past last
  std::deque<ExchangePtr> claimed_;  // in address order, not yet taken by the walk
  ExchangePtr alone_;                // a fetch asked outside the plan
  size_t running_ = 0;
  uint64_t passedOver_ = 0;  // addresses of the range that wanted() declined
  uint64_t finished_ = 0;
  uint64_t found_ = 0;
  uint64_t reportedSettled_ = UINT64_MAX;
  uint64_t reportedFound_ = UINT64_MAX;
};
