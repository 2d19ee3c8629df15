#include "name_prefetch.h"

#include "address_range.h"
#include "czorn3.h"

namespace {

NameFetchResult FetchOnOwnSession(const std::string& address, uint32_t port, uint32_t timeoutMs) {
  CZorn3 session;
  return FetchDeviceName(session, address, port, timeoutMs, nullptr);
}

}  // namespace

PrefetchingNameFetch::PrefetchingNameFetch(size_t maxAhead, FetchFunction fetch)
    : maxAhead_(maxAhead == 0 ? 1 : maxAhead),
      fetch_(fetch ? std::move(fetch) : FetchFunction(FetchOnOwnSession)) {}

PrefetchingNameFetch::~PrefetchingNameFetch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void PrefetchingNameFetch::Plan(uint32_t first, uint32_t last,
                                std::function<bool(uint32_t)> wanted, uint32_t port,
                                uint32_t timeoutMs) {
  if (!workers_.empty() || first > last) return;  // one plan per walk
  wanted_ = std::move(wanted);
  next_ = first;
  end_ = uint64_t{last} + 1;
  port_ = port;
  timeoutMs_ = timeoutMs;
  const uint64_t length = end_ - next_;
  const size_t count = length < maxAhead_ ? static_cast<size_t>(length) : maxAhead_;
  for (size_t i = 0; i < count; ++i) workers_.emplace_back([this] { Work(); });
}

bool PrefetchingNameFetch::ClaimNext(std::string* address) {
  // Called with mutex_ held. wanted_ is cheap and fixed for the walk.
  while (next_ < end_) {
    const uint32_t a = static_cast<uint32_t>(next_++);
    if (wanted_(a)) {
      *address = DottedHostOrder(a);
      return true;
    }
  }
  return false;
}

void PrefetchingNameFetch::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || slots_.size() < maxAhead_; });
    std::string address;
    if (stopping_ || !ClaimNext(&address)) break;
    slots_.push_back(Slot{address, false, {}});
    Slot& slot = slots_.back();  // a deque keeps references on push and pop
    lock.unlock();
    NameFetchResult result = fetch_(address, port_, timeoutMs_);
    lock.lock();
    slot.result = std::move(result);
    slot.done = true;
    changed_.notify_all();
  }
  // The walk may be waiting for an address no worker will claim any more.
  changed_.notify_all();
}

NameFetchResult PrefetchingNameFetch::Fetch(const std::string& address, uint32_t port,
                                            uint32_t timeoutMs) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!workers_.empty() && port == port_ && timeoutMs == timeoutMs_) {
      // Wait until the address is claimed or can no longer be.
      changed_.wait(lock, [&] { return !slots_.empty() || next_ >= end_; });
      if (!slots_.empty() && slots_.front().address == address) {
        changed_.wait(lock, [&] { return slots_.front().done; });
        NameFetchResult result = std::move(slots_.front().result);
        slots_.pop_front();
        changed_.notify_all();
        return result;
      }
    }
  }
  // Not planned (or asked out of order): fetch it here.
  return fetch_(address, port, timeoutMs);
}
