// Asking a device server for its name over its command port.
//
// The add procedure sees only the NameFetch interface. ConcurrentNameFetch
// (concurrent_name_fetch.h) runs the fetches of a whole range at once in
// one event loop; SessionNameFetch runs one fetch at a time on a given
// session, the way the range used to be walked.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

class CZorn3;

// What one fetch found.
struct NameFetchResult {
  bool ok = false;
  std::string name;
  // The wait for this result was ended by FetchPlan::stop; ok is false and
  // nothing is known about the device.
  bool interrupted = false;
};

// How a walk will ask: for the addresses of first..last (host order) that
// wanted() passes, in ascending order, with one port and time-out.
struct FetchPlan {
  uint32_t first = 0;
  uint32_t last = 0;
  std::function<bool(uint32_t)> wanted;  // fixed for the whole walk
  uint32_t port = 0;
  uint32_t timeoutMs = 0;
  // While a fetch waits, whenever the counts change: addresses of the range
  // settled so far (passed over, or fetched whatever the outcome) and how
  // many of them gave a name.
  std::function<void(uint64_t settled, uint64_t found)> progress;
  // Looked at while a fetch waits; true ends the wait at once.
  std::function<bool()> stop;
};

class NameFetch {
 public:
  virtual ~NameFetch() = default;
  // A fetch may start on the planned addresses before it is asked.
  virtual void Plan(const FetchPlan& plan) { (void)plan; }
  // The result for one address. ok only when the device gave both its name
  // and its firmware version.
  virtual NameFetchResult Fetch(const std::string& address, uint32_t port, uint32_t timeoutMs) = 0;
};

// Runs the exchange on session: connect, name (code 10), firmware version
// (code 01), close. Statuses go, as they happen, to status (may be empty).
NameFetchResult FetchDeviceName(CZorn3& session, const std::string& address, uint32_t port,
                                uint32_t timeoutMs,
                                const std::function<void(const std::string&)>& status);

class SessionNameFetch : public NameFetch {
 public:
  using StatusSink = std::function<void(const std::string&)>;
  SessionNameFetch(CZorn3& session, StatusSink status)
      : session_(session), status_(std::move(status)) {}
  NameFetchResult Fetch(const std::string& address, uint32_t port, uint32_t timeoutMs) override {
    return FetchDeviceName(session_, address, port, timeoutMs, status_);
  }

 private:
  CZorn3& session_;
  StatusSink status_;
};
