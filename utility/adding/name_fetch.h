// Asking a device server for its name over its command port.
//
// The add procedure sees only the NameFetch interface. SessionNameFetch
// runs one fetch at a time on a given session (the main window's, whose
// connect keeps the UI responsive); PrefetchingNameFetch (name_prefetch.h)
// runs the fetches of a whole range ahead of the walk.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CZorn3;

// What one fetch found, with the status-bar texts it gave on its way, in
// order, so that a fetch run elsewhere can show them when its turn comes.
struct NameFetchResult {
  bool ok = false;
  std::string name;
  std::vector<std::string> statusTexts;
};

class NameFetch {
 public:
  virtual ~NameFetch() = default;
  // The walk will ask, in ascending order, for the addresses of first..last
  // (host order) that wanted() passes, with this port and time-out. A fetch
  // may start on them before it is asked; wanted() must stay the same for
  // the whole walk and be safe to call from any thread.
  virtual void Plan(uint32_t first, uint32_t last, std::function<bool(uint32_t)> wanted,
                    uint32_t port, uint32_t timeoutMs) {
    (void)first, (void)last, (void)wanted, (void)port, (void)timeoutMs;
  }
  // The result for one address. ok only when the device gave both its name
  // and its firmware version.
  virtual NameFetchResult Fetch(const std::string& address, uint32_t port, uint32_t timeoutMs) = 0;
};

// Runs the exchange on session: connect, name (code 10), firmware version
// (code 01), close. Statuses go to the result and, as they happen, to
// status (may be empty).
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
