// The PC's IPv4 address table and the choice of the addresses a search
// sends from. Addresses are 32-bit values with the first octet in the
// lowest-order byte (in_addr.s_addr on this platform).
#pragma once
#include <cstdint>
#include <vector>

namespace findra {

// Address-type flags of an address table entry.
constexpr uint32_t kAddrPrimary = 0x0001;
constexpr uint32_t kAddrDynamic = 0x0004;
constexpr int kMaxLocalAddresses = 9;

struct AddressEntry {
  uint32_t address;
  uint32_t typeFlags;
};

// Reads the table from getifaddrs (its order), with each address's flags
// from the kernel's netlink address dump: primary = not IFA_F_SECONDARY,
// dynamic = not IFA_F_PERMANENT. False when the table cannot be read.
bool ReadAddressTable(std::vector<AddressEntry>* table);

// Walks the table in order: skips 0.0.0.0, 255.255.255.255 and exactly
// 127.0.0.1, takes entries flagged primary or dynamic, at most nine.
std::vector<uint32_t> ChooseLocalAddresses(const std::vector<AddressEntry>& table);

}  // namespace findra
