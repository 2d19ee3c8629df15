#include "concurrent_name_fetch.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "address_range.h"
#include "tarvik/clock.h"
#include "tarvik/ui_hooks.h"

ConcurrentNameFetch::ConcurrentNameFetch(size_t bound)
    : bound_(bound == 0 ? DescriptorBound() : bound) {}

size_t ConcurrentNameFetch::DescriptorBound() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return kLeastBound;
  if (limit.rlim_cur == RLIM_INFINITY) return kMostBound;
  const size_t soft = static_cast<size_t>(limit.rlim_cur);
  const size_t usable = soft > kSpareDescriptors ? soft - kSpareDescriptors : 0;
  return std::clamp(usable, kLeastBound, kMostBound);
}

void ConcurrentNameFetch::Plan(const FetchPlan& plan) {
  if (planned_ || plan.first > plan.last) return;  // one plan per walk
  plan_ = plan;
  planned_ = true;
  next_ = plan.first;
  end_ = uint64_t{plan.last} + 1;
  // The connects go out now; their answers wait in the kernel until the
  // walk first asks.
  StartMore(tarvik::TickCount());
}

bool ConcurrentNameFetch::Planned(uint32_t address, uint32_t port, uint32_t timeoutMs) const {
  return planned_ && port == plan_.port && timeoutMs == plan_.timeoutMs &&
         address >= plan_.first && address <= plan_.last;
}

void ConcurrentNameFetch::StartMore(uint32_t now) {
  // Conversations claimed earlier but not started (no descriptor then) go
  // first, to keep the order.
  for (ExchangePtr& exchange : claimed_) {
    if (running_ >= bound_) return;
    if (exchange->Started()) continue;
    if (!exchange->Start(now)) return;
    if (!exchange->Done()) ++running_; else ++finished_;
  }
  while (running_ < bound_ && next_ < end_) {
    const uint32_t a = static_cast<uint32_t>(next_++);
    if (plan_.wanted && !plan_.wanted(a)) {
      ++passedOver_;
      continue;
    }
    claimed_.push_back(std::make_unique<NameExchange>(a, plan_.port, plan_.timeoutMs));
    NameExchange& exchange = *claimed_.back();
    if (!exchange.Start(now)) return;
    if (!exchange.Done()) ++running_; else ++finished_;
  }
}

void ConcurrentNameFetch::Step(uint32_t waitMs) {
  std::vector<NameExchange*> active;
  std::vector<pollfd> fds;
  auto collect = [&](NameExchange* exchange) {
    if (!exchange->Started() || exchange->Done()) return;
    active.push_back(exchange);
    fds.push_back(pollfd{exchange->Fd(), exchange->Events(), 0});
  };
  for (ExchangePtr& exchange : claimed_) collect(exchange.get());
  if (alone_) collect(alone_.get());

  const uint32_t now = tarvik::TickCount();
  uint32_t wait = waitMs;
  for (NameExchange* exchange : active) {
    const int32_t left = static_cast<int32_t>(exchange->Deadline() - now);
    wait = std::min<uint32_t>(wait, left > 0 ? static_cast<uint32_t>(left) : 0);
  }
  int ready = 0;
  if (!fds.empty()) {
    ready = ::poll(fds.data(), fds.size(), static_cast<int>(wait));
    if (ready < 0 && errno != EINTR) ready = 0;
  } else if (wait > 0) {
    tarvik::SleepMs(wait);  // nothing to wait on: one that lacks a descriptor waits its turn
  }
  const uint32_t after = tarvik::TickCount();
  for (size_t i = 0; i < active.size(); ++i) {
    NameExchange* exchange = active[i];
    if (ready > 0 && fds[i].revents != 0) exchange->OnReady(fds[i].revents, after);
    exchange->OnTime(after);
    if (exchange->Done()) {
      --running_;
      if (exchange == alone_.get()) continue;
      ++finished_;
      if (exchange->Result().ok) ++found_;
    }
  }
  StartMore(after);
}

void ConcurrentNameFetch::Report() {
  if (!plan_.progress) return;
  const uint64_t settled = passedOver_ + finished_;
  if (settled == reportedSettled_ && found_ == reportedFound_) return;
  reportedSettled_ = settled;
  reportedFound_ = found_;
  plan_.progress(settled, found_);
}

NameFetchResult ConcurrentNameFetch::Fetch(const std::string& address, uint32_t port,
                                           uint32_t timeoutMs) {
  const uint32_t a = RangeAddress(address);
  if (!Planned(a, port, timeoutMs)) return FetchAlone(a, port, timeoutMs);
  // Results the walk went past without asking are dropped.
  while (!claimed_.empty() && claimed_.front()->Address() < a) {
    if (!claimed_.front()->Done() && claimed_.front()->Started()) --running_;
    claimed_.pop_front();
  }
  for (;;) {
    StartMore(tarvik::TickCount());
    if (!claimed_.empty() && claimed_.front()->Address() == a && claimed_.front()->Done()) {
      NameFetchResult result = claimed_.front()->Result();
      claimed_.pop_front();
      Report();
      return result;
    }
    // Claimed past it without taking it: wanted() declined it after all.
    if (claimed_.empty() ? next_ > a : claimed_.front()->Address() > a)
      return FetchAlone(a, port, timeoutMs);
    if (plan_.stop && plan_.stop()) {
      NameFetchResult stopped;
      stopped.interrupted = true;
      return stopped;
    }
    if (running_ == 0 && !claimed_.empty() && !claimed_.front()->Started()) {
      // Not even one descriptor for the front: waiting would never end.
      claimed_.front()->FailNoSocket();
      ++finished_;
      continue;
    }
    Step(kSliceMs);
    Report();
    tarvik::PumpUiEvents();
  }
}

NameFetchResult ConcurrentNameFetch::FetchAlone(uint32_t address, uint32_t port,
                                                uint32_t timeoutMs) {
  alone_ = std::make_unique<NameExchange>(address, port, timeoutMs);
  if (!alone_->Start(tarvik::TickCount())) alone_->FailNoSocket();
  if (!alone_->Done()) ++running_;
  while (!alone_->Done()) {
    if (plan_.stop && plan_.stop()) {
      --running_;
      alone_.reset();
      NameFetchResult stopped;
      stopped.interrupted = true;
      return stopped;
    }
    Step(kSliceMs);
    tarvik::PumpUiEvents();
  }
  NameFetchResult result = alone_->Result();
  alone_.reset();
  return result;
}
