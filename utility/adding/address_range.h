// The address range of an add run: the two texts read as host-order
// numbers (so that the walk counts up through the last octet), and the
// rule for the .0, .254 and .255 addresses.
#pragma once
#include <cstdint>
#include <string>

struct AddServersChoices;

// A dotted address text as a host-order number; a text that is not an
// address gives 0 (0.0.0.0).
uint32_t RangeAddress(const std::string& text);

// The store keeps the first octet in the low-order byte.
uint32_t StoreOrderAddress(uint32_t hostOrder);
uint32_t HostOrderAddress(uint32_t storeOrder);
// "a.b.c.d" of a host-order number.
std::string DottedHostOrder(uint32_t hostOrder);

// How many addresses first..last holds (0 when first > last).
uint64_t RangeLength(uint32_t first, uint32_t last);

// Why an address of the range is passed over, or kWalked.
enum class HostRule { kWalked, kNet, kGateway, kBroadcast };
HostRule RuleFor(uint32_t hostOrder, const AddServersChoices& choices);
