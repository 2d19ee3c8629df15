#include "address_range.h"

#include "add_choices.h"
#include "cmip.h"

uint32_t StoreOrderAddress(uint32_t h) {
  return (h >> 24) | ((h >> 8) & 0xFF00u) | ((h << 8) & 0xFF0000u) | (h << 24);
}

uint32_t HostOrderAddress(uint32_t s) { return StoreOrderAddress(s); }

uint32_t RangeAddress(const std::string& text) {
  CMIP ip;
  return HostOrderAddress(ip.SetTextGetValue(text.c_str()));
}

std::string DottedHostOrder(uint32_t hostOrder) {
  CMIP ip;
  ip.SetValue(StoreOrderAddress(hostOrder));
  return ip.GetText();
}

uint64_t RangeLength(uint32_t first, uint32_t last) {
  return first > last ? 0 : uint64_t{last} - first + 1;
}

HostRule RuleFor(uint32_t hostOrder, const AddServersChoices& c) {
  switch (hostOrder & 0xFF) {
    case 0: return c.includeNet ? HostRule::kWalked : HostRule::kNet;
    case 254: return c.includeGateway ? HostRule::kWalked : HostRule::kGateway;
    case 255: return c.includeBroadcast ? HostRule::kWalked : HostRule::kBroadcast;
    default: return HostRule::kWalked;
  }
}
