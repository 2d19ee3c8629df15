// Looking up configured servers' IP addresses by their host names: once on
// request, and a step at a time from the main window's timer.
//
// The periodic query walks the servers one per step, then waits for the
// interval before the next round; after two failed lookups in a row it
// pauses for 10 s, so a dead name server does not stall every tick. Lookups
// run on the UI thread; the system resolver is waited for at most
// kResolveTimeoutMs.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "pane_config.h"

namespace tarvik::app {

// Resolves a host name to its first IPv4 address (first octet in the lowest
// byte). Returns 0, or the resolver's error.
using HostResolver = std::function<int(const std::string& host, uint32_t* address)>;
// Writes server index of the set to the store.
using ServerWriter = std::function<void(int index)>;

constexpr uint32_t kResolveTimeoutMs = 3000;
// Result of a lookup that did not answer in time.
constexpr int kResolveTimedOut = -1000;

// Runs a blocking resolver on a helper thread and waits at most timeoutMs
// for it; a late answer is thrown away.
int ResolveWithin(const HostResolver& blocking, const std::string& host, uint32_t* address,
                  uint32_t timeoutMs);
// The system resolver, bounded by kResolveTimeoutMs.
int SystemResolve(const std::string& host, uint32_t* address);

class HostQuery {
 public:
  HostQuery();

  void SetResolver(HostResolver resolver) { resolver_ = std::move(resolver); }
  void SetWriter(ServerWriter writer) { writer_ = std::move(writer); }

  // Takes the stored interval (seconds) unless one is already loaded; the
  // first round may begin at once. Every server counts as unresolved.
  void LoadInterval(uint32_t seconds);
  bool IntervalLoaded() const { return intervalMs_ >= 0; }
  int64_t IntervalMs() const { return intervalMs_; }
  // The user's new interval in seconds: below 3 switches the query off.
  // Returns true and the seconds to store when the interval changed.
  bool SetIntervalSeconds(int seconds, uint32_t* storeSeconds);

  // '?' not resolved yet, ' ' resolved.
  char State(int index) const;
  void SetState(int index, char state);

  // Looks up one server now: 1 when it has no host name, the resolver's
  // error on failure (state '?'), 0 when its address was updated, state ' '
  // and written.
  int QueryOne(ConfigSet& set, int index);

  // One step of the periodic query. Returns true when a server was looked
  // up (the view should be refreshed).
  bool Step(ConfigSet& set);

 private:
  HostResolver resolver_;
  ServerWriter writer_;
  int64_t intervalMs_ = -1;
  uint32_t cycleStart_ = 0;
  int cursor_ = 0;
  int failures_ = 0;
  uint32_t lastFailure_ = 0;
  char state_[kMaxServers];
};

}  // namespace tarvik::app
