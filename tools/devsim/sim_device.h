// One simulated device server: its network identity as the discovery
// protocol shows it, the faults it is told to play, and every other
// setting of its section in the device file, kept for the services that
// need them (for instance a TCP command port).
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace devsim {

// Faults a device can play on the UDP side, combinable.
enum Fault : uint32_t {
  kFaultNone = 0,
  kFaultSilent = 1 << 0,     // never answers a discovery request
  kFaultLate = 1 << 1,       // answers after delay ms (default 1500)
  kFaultDuplicate = 1 << 2,  // answers every request twice
  kFaultMalformed = 1 << 3,  // answers with a cut prefix "KORVAXQ410X,8"
  kFaultNoOk = 1 << 4,       // confirms a configuration without "OK"
  kFaultNoConfirm = 1 << 5,  // applies a configuration but never confirms
};

class SimDevice {
 public:
  // Builds a device from its section's key=value settings. False with a
  // reason when a known key has a bad value.
  bool Configure(const std::map<std::string, std::string>& settings, std::string* error);

  const std::string& Name() const { return name_; }
  const std::string& Mac() const { return mac_; }
  const std::string& Ip() const { return ip_; }
  const std::string& Mask() const { return mask_; }
  const std::string& Gateway() const { return gateway_; }
  bool Has(Fault f) const { return (faults_ & f) != 0; }
  uint32_t DelayMs() const { return delayMs_; }
  // A setting of the section that the simulator does not interpret (yet);
  // empty when absent.
  std::string Setting(const std::string& key) const;

  // The datagram this device answers a discovery request with.
  std::string DiscoveryReply() const;
  // True when text names this device's MAC (case ignored, as typed).
  bool HasMac(const std::string& text) const;
  // Applies one "KEY=value" field of a configuration command. False for a
  // key the device does not know.
  bool ApplyField(const std::string& key, const std::string& value);
  // One line with the current state, for the log.
  std::string Describe() const;

 private:
  std::string name_;
  std::string alias_;
  std::string ip_ = "10.77.0.1";
  std::string mask_ = "255.255.255.0";
  std::string gateway_ = "0.0.0.0";
  std::string mac_;
  int dhcp_ = 0;
  uint32_t faults_ = kFaultNone;
  uint32_t delayMs_ = 0;
  uint32_t hostile_ = 0;  // HostileText bits: what the discovery reply forges
  std::string rawReply_;
  bool hasRawReply_ = false;
  std::map<std::string, std::string> settings_;
};

// Text with \r, \n, \t, \\ and \xHH escapes made into bytes (the
// simulator's log writes bytes back with tarvik::EscapeText).
std::string Unescape(const std::string& text);

}  // namespace devsim
