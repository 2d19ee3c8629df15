#include "com_reassign.h"

#include <cstring>

namespace tarvik::app {

namespace {

using tarvik::device::kComNumbers;
using tarvik::device::PortMapChoice;

// The first data port of these models belongs to the device itself.
bool FirstDataPortReserved(const ServerRecord& server) {
  return std::strncmp(server.ServerName, "RF-030", 6) == 0 ||
         std::strncmp(server.ServerName, "NJ-674", 6) == 0;
}

int LastEntry(const ServerRecord& server) {
  const int last = static_cast<int>(server.PortNo) + 1;
  return last < kPortEntries ? last : kPortEntries - 1;
}

}  // namespace

void ApplyPortChoice(ServerRecord& server, int entry, uint32_t com, const PortMapChoice& choice) {
  uint32_t word = TkcComSetNumber(ComWord(server, entry), com);
  word = TkcComSetFixedConfig(word, entry == 0 || choice.fixedBaud);
  word = TkcComSetDisablePurge(word, choice.disablePurge);
  SetComWord(server, entry, word);
  uint32_t& options = server.PortMap[entry].Options;
  const bool valid = choice.intervalMs >= 10 && choice.intervalMs <= 500;
  options = TkcOptSetWriteBuffer(options, choice.writeBuffer);
  options = TkcOptSetAutoFlush(options, valid ? choice.intervalMs / 10 : TKC_OPT_AUTOFLUSH_DEFAULT);
}

int ApplyPortChoiceToServer(ServerRecord& server, int entry, const PortMapChoice& choice,
                            uint8_t inUse[kComNumbers]) {
  if (entry < 0 || entry >= kPortEntries) return 0;
  if (!choice.reassign) {
    ApplyPortChoice(server, entry, choice.com, choice);
    if (choice.com >= 1 && choice.com <= static_cast<uint32_t>(kComNumbers)) inUse[choice.com - 1] = 1;
    return 0;
  }
  const uint32_t slot = SlotNumber(ComWord(server, entry));
  const int last = LastEntry(server);
  auto inRange = [&](int j) { return choice.applyToSlots || SlotNumber(ComWord(server, j)) == slot; };

  for (int j = entry; j <= last; ++j) {
    if (!inRange(j)) continue;
    const uint32_t com = ComNumber(ComWord(server, j));
    if (com >= 1 && com <= static_cast<uint32_t>(kComNumbers)) inUse[com - 1] = 0;
    SetComWord(server, j, TkcComSetNumber(ComWord(server, j), 0));
  }

  PortMapChoice unmapped = choice;
  unmapped.writeBuffer = false;
  unmapped.intervalMs = 50;
  uint32_t next = choice.com;
  int leftUnmapped = 0;
  for (int j = entry; j <= last; ++j) {
    if (!inRange(j) || j == 1) continue;
    if (j == 3 && server.SecondPort == 0 && SlotNumber(ComWord(server, j)) == 0) continue;
    if (choice.com == 0) {
      ApplyPortChoice(server, j, 0, unmapped);
      continue;
    }
    uint32_t com = 0;
    if (!(j == 2 && FirstDataPortReserved(server))) {
      while (next <= static_cast<uint32_t>(kComNumbers) && inUse[next - 1]) ++next;
      if (next <= static_cast<uint32_t>(kComNumbers)) {
        com = next++;
        inUse[com - 1] = 1;
      } else {
        ++leftUnmapped;
      }
    }
    ApplyPortChoice(server, j, com, choice);
  }
  return leftUnmapped;
}

PortDialogResult ApplyPortDialogResult(ServerRecord& server, int entry, const PortMapChoice& shown,
                                       const PortMapChoice& chosen, uint8_t inUse[kComNumbers],
                                       int* left) {
  *left = 0;
  if (entry < 0 || entry > LastEntry(server)) return PortDialogResult::kNoSuchPort;
  const PortMapChoice choice = tarvik::device::MergePortChoice(
      shown, chosen, tarvik::device::ShownPortChoice(server, entry, chosen.reassign));
  if (!choice.reassign && choice.com >= 1 && choice.com <= static_cast<uint32_t>(kComNumbers) &&
      inUse[choice.com - 1])
    return PortDialogResult::kComTaken;
  ServerRecord after = server;
  *left = ApplyPortChoiceToServer(after, entry, choice, inUse);
  if (std::memcmp(&after, &server, sizeof after) == 0) return PortDialogResult::kUnchanged;
  server = after;
  return PortDialogResult::kApplied;
}

}  // namespace tarvik::app
