// The data words that the servers tree and port list carry per item, so a
// selection leads back to a server, slot and port entry.
#pragma once
#include <cstdint>

namespace tarvik::app {

// Tree item: bits 0-12 item number, 13-25 server index (signed; -1 = no
// server), 26-30 slot (0 = the server itself).
constexpr uint32_t kNoServerItemWord = 0x1FFFu << 13;

constexpr uint32_t TreeItemWord(uint32_t itemNumber, int serverIndex, uint32_t slot) {
  return (itemNumber & 0x1FFFu) | ((static_cast<uint32_t>(serverIndex) & 0x1FFFu) << 13) |
         ((slot & 0x1Fu) << 26);
}
constexpr uint32_t TreeItemNumber(uint32_t word) { return word & 0x1FFFu; }
constexpr int TreeItemServer(uint32_t word) {
  int v = static_cast<int>((word >> 13) & 0x1FFFu);
  return (v & 0x1000) ? v - 0x2000 : v;
}
constexpr uint32_t TreeItemSlot(uint32_t word) { return (word >> 26) & 0x1Fu; }

// Port row: bits 13-19 the port entry index; bits 6-12 the device port
// number and 0-5 the index in its slot, copied from the port's COM word.
constexpr uint32_t PortRowWord(uint32_t entry, uint32_t comWord) {
  return ((entry & 0x7Fu) << 13) | (((comWord >> 13) & 0x7Fu) << 6) | ((comWord >> 21) & 0x3Fu);
}
constexpr int PortRowEntry(uint32_t word) { return static_cast<int>((word >> 13) & 0x7Fu); }

}  // namespace tarvik::app
