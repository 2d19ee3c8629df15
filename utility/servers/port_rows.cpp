#include "port_rows.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "tree_item_word.h"

namespace tarvik::app {

namespace {

enum class Rule {
  kPrefix,           // the name begins with text
  kPrefixThenDigit,  // begins with text, and a digit follows it
  kPrefixAndInfix,   // begins with text and has infix at position at
  kModel,            // text followed by a non-digit or the end of the name
};

struct ReservedIoRow {
  Rule rule;
  const char* text;
  const char* infix;
  size_t at;
};

// Devices whose I/O port serves the device itself: an unmapped I/O port of
// these shows "Reserved".
const ReservedIoRow kReservedIo[] = {
    {Rule::kPrefix, "4629", nullptr, 0},
    {Rule::kPrefix, "VF-22", nullptr, 0},
    {Rule::kPrefix, "VF-41", nullptr, 0},
    {Rule::kPrefix, "RRB-341", nullptr, 0},
    {Rule::kPrefix, "GW-08", nullptr, 0},
    {Rule::kPrefix, "BG9-56", nullptr, 0},
    {Rule::kPrefix, "VK-8", nullptr, 0},
    {Rule::kPrefix, "KQX-49", nullptr, 0},
    {Rule::kPrefix, "KQX-20", nullptr, 0},
    {Rule::kPrefix, "NGR-3", nullptr, 0},
    {Rule::kPrefix, "R-8615", nullptr, 0},
    {Rule::kPrefix, "R-8655", nullptr, 0},
    {Rule::kPrefix, "cHN-1", nullptr, 0},
    {Rule::kPrefix, "cHN-6", nullptr, 0},
    {Rule::kPrefix, "cHN-7", nullptr, 0},
    {Rule::kPrefix, "GF-NV", nullptr, 0},
    {Rule::kPrefix, "XF-HJ", nullptr, 0},
    {Rule::kPrefix, "FWR-4", nullptr, 0},
    {Rule::kPrefix, "F-9095", nullptr, 0},
    {Rule::kPrefix, "H4Z-485", nullptr, 0},
    {Rule::kPrefix, "H4Z-61", nullptr, 0},
    {Rule::kPrefix, "XYZ-2", nullptr, 0},
    {Rule::kPrefix, "ZNX-0", nullptr, 0},
    {Rule::kPrefix, "ZNX-6", nullptr, 0},
    {Rule::kPrefix, "XV-KJ", nullptr, 0},
    {Rule::kPrefix, "ZH-BW779", nullptr, 0},
    {Rule::kPrefix, "WYB-2", nullptr, 0},
    {Rule::kPrefix, "hNH-4", nullptr, 0},
    {Rule::kPrefix, "hNH-3", nullptr, 0},
    {Rule::kPrefix, "YYW-9", nullptr, 0},
    {Rule::kPrefix, "RF-030", nullptr, 0},
    {Rule::kPrefix, "NJ-674", nullptr, 0},
    {Rule::kPrefix, "QHG-J5", nullptr, 0},
    {Rule::kPrefixThenDigit, "Q410X", nullptr, 0},
    {Rule::kPrefixThenDigit, "1380K", nullptr, 0},
    {Rule::kPrefixAndInfix, "ZKCJ-4", "-IP67", 8},
    {Rule::kModel, "ZKCJ-423", nullptr, 0},
    {Rule::kModel, "ZKCJ-488", nullptr, 0},
    {Rule::kModel, "ZKCJ-455", nullptr, 0},
    {Rule::kModel, "ZKCJ-494", nullptr, 0},
    {Rule::kModel, "ZKCJ-469", nullptr, 0},
    {Rule::kModel, "ZKCJ-412", nullptr, 0},
    {Rule::kModel, "ZKCJ-438", nullptr, 0},
    {Rule::kModel, "XYZ-389", nullptr, 0},
    {Rule::kModel, "XYZ-328", nullptr, 0},
    {Rule::kModel, "XYZ-370", nullptr, 0},
    {Rule::kModel, "XYZ-317", nullptr, 0},
    {Rule::kModel, "XYZ-345", nullptr, 0},
    {Rule::kModel, "XYZ-349", nullptr, 0},
    {Rule::kModel, "XYZ-353", nullptr, 0},
    {Rule::kModel, "XYZ-943", nullptr, 0},
    {Rule::kModel, "XYZ-8603", nullptr, 0},
    {Rule::kModel, "XYZ-8072", nullptr, 0},
    {Rule::kModel, "XYZ-8043", nullptr, 0},
    {Rule::kModel, "XYZ-8823", nullptr, 0},
    {Rule::kModel, "XYZ-8158", nullptr, 0},
    {Rule::kModel, "XYZ-8359", nullptr, 0},
};

// Devices whose data port 1 is taken by the device.
const char* const kReservedFirstPort[] = {"RF-030", "NJ-674"};

// Devices whose port at this entry always keeps the device's serial settings.
struct ForcedFixedRow {
  const char* prefix;
  int entry;
};
const ForcedFixedRow kForcedFixed[] = {{"R-8615", 3}, {"FWR-4", 2}};

bool BeginsWith(const std::string& name, const char* prefix) {
  return name.compare(0, strlen(prefix), prefix) == 0;
}

bool IsDigitAt(const std::string& name, size_t pos) {
  return pos < name.size() && isdigit(static_cast<unsigned char>(name[pos]));
}

bool Matches(const ReservedIoRow& row, const std::string& name) {
  if (!BeginsWith(name, row.text)) return false;
  size_t n = strlen(row.text);
  switch (row.rule) {
    case Rule::kPrefix: return true;
    case Rule::kPrefixThenDigit: return IsDigitAt(name, n);
    case Rule::kPrefixAndInfix:
      return name.size() >= row.at + strlen(row.infix) &&
             name.compare(row.at, strlen(row.infix), row.infix) == 0;
    case Rule::kModel: return !IsDigitAt(name, n);
  }
  return false;
}

std::string NameOf(const ServerRecord& server) {
  return std::string(server.ServerName, strnlen(server.ServerName, sizeof server.ServerName));
}

}  // namespace

bool IsReservedIo(const std::string& name) {
  for (const ReservedIoRow& row : kReservedIo) {
    if (Matches(row, name)) return true;
  }
  return false;
}

void ForceFixedPorts(ServerRecord& server) {
  std::string name = NameOf(server);
  for (const ForcedFixedRow& row : kForcedFixed) {
    if (BeginsWith(name, row.prefix)) {
      SetComWord(server, row.entry, ComWord(server, row.entry) | kFixedConfigBit);
    }
  }
}

std::vector<PortRow> PortRows(const ServerRecord& server, uint32_t slot) {
  std::vector<PortRow> rows;
  std::string name = NameOf(server);
  int last = static_cast<int>(server.PortNo) + 1;
  if (last > kPortEntries - 1) last = kPortEntries - 1;
  for (int j = 0; j <= last; ++j) {
    if (slot == 0 && (j == 1 || (j == 3 && server.SecondPort == 0))) continue;
    uint32_t word = ComWord(server, j);
    if (SlotNumber(word) != slot) continue;

    PortRow row;
    row.entry = j;
    row.rowWord = PortRowWord(static_cast<uint32_t>(j), word);
    char text[32];
    if (DevicePortNumber(word) == 0) {
      row.port = "Port I/O";
    } else {
      snprintf(text, sizeof text, "Port %u", DevicePortNumber(word));
      row.port = text;
    }
    if (ComNumber(word) != 0) {
      snprintf(text, sizeof text, "COM%u", ComNumber(word));
      row.com = text;
    } else {
      bool reserved = false;
      if (j == 0) reserved = IsReservedIo(name);
      if (j == 2) {
        for (const char* prefix : kReservedFirstPort) reserved = reserved || BeginsWith(name, prefix);
      }
      row.com = reserved ? "Reserved" : "UnMap";
    }
    row.baud = j == 0 ? "N/A" : (FixedConfig(word) ? "Fixed" : "Dynamic");
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace tarvik::app
