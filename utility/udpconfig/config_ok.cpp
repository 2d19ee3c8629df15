#include "config_ok.h"

#include <cstring>

#include "cmip.h"
#include "tarvik/text.h"

namespace tarvik::app {

namespace {

std::string RowMessage(const char* format, size_t a, size_t b = 0) {
  char text[128];
  FormatText(text, sizeof text, format, static_cast<int>(a), static_cast<int>(b));
  return text;
}

// Cut to the field's length, as the entry stores it.
std::string Cut(const std::string& text, size_t max) { return text.substr(0, max); }

// The row sends no address of its own: the device already holds this one
// as its static address.
bool KeepsStaticAddress(const PreviewRow& row, const UdpConfigEntry& entry) {
  return !DhcpIsOn(entry.dhcp) && Cut(row.ip, kAddressMax) == entry.ip;
}

}  // namespace

bool AcceptOneDevice(const NetworkValues& values, UdpConfigEntry* entry, std::string* message) {
  if (const char* failure = CheckNetworkValues(values)) {
    *message = failure;
    return false;
  }
  if (const char* failure = CheckAlias(values.alias)) {
    *message = failure;
    return false;
  }

  if (values.dhcp == 0) {
    CopyText(entry->ip, values.ip.c_str());
    CopyText(entry->mask, values.mask.c_str());
    CopyText(entry->gateway, values.gateway.c_str());
  }
  entry->dhcp = static_cast<uint16_t>(values.dhcp);
  CopyText(entry->alias, Cut(values.alias, kAliasMax).c_str());
  return true;
}

bool AcceptPreviewRows(const std::vector<PreviewRow>& rows, UdpConfigTable* table,
                       std::string* message) {
  const size_t count = std::min(rows.size(), static_cast<size_t>(ConfigTableCount(*table)));
  CMIP address;
  for (size_t r = 0; r < count; ++r) {
    const PreviewRow& row = rows[r];
    // The alias is sent for every row, checked or not.
    if (CheckAlias(row.alias)) {
      *message = RowMessage("Row %d, invalid Alias (no ',', '=' or control characters).", r);
      return false;
    }
    if (row.dhcp) continue;
    if (!address.IsValidText(row.ip.c_str())) {
      *message = RowMessage("Row %d, invalid IP address.", r);
      return false;
    }
    if (!address.IsValidText(row.mask.c_str())) {
      *message = RowMessage("Row %d, invalid Sub-net Mask.", r);
      return false;
    }
    if (!address.IsValidText(row.gateway.c_str())) {
      *message = RowMessage("Row %d, invalid Gateway.", r);
      return false;
    }
  }
  // Two devices sent one address would knock each other off the network.
  for (size_t a = 0; a < count; ++a) {
    if (rows[a].dhcp) continue;
    for (size_t b = a + 1; b < count; ++b) {
      if (rows[b].dhcp || rows[a].ip != rows[b].ip) continue;
      if (KeepsStaticAddress(rows[a], table->entries[a]) &&
          KeepsStaticAddress(rows[b], table->entries[b]))
        continue;
      *message = RowMessage("Row %d and row %d, same IP address.", a, b);
      return false;
    }
  }
  // Rows that the cut to 19 characters would give one alias although they
  // show two: the list would show something else than what is sent.
  for (size_t a = 0; a < count; ++a) {
    for (size_t b = a + 1; b < count; ++b) {
      if (rows[a].alias == rows[b].alias) continue;
      if (Cut(rows[a].alias, kAliasMax) != Cut(rows[b].alias, kAliasMax)) continue;
      *message = RowMessage("Row %d and row %d, same Alias once cut to 19 characters.", a, b);
      return false;
    }
  }
  for (size_t r = 0; r < count; ++r) {
    UdpConfigEntry& entry = table->entries[r];
    const PreviewRow& row = rows[r];
    CopyText(entry.alias, Cut(row.alias, kAliasMax).c_str());
    entry.dhcp = row.dhcp ? 1 : 0;
    if (row.dhcp) continue;
    CopyText(entry.ip, Cut(row.ip, kAddressMax).c_str());
    CopyText(entry.mask, Cut(row.mask, kAddressMax).c_str());
    CopyText(entry.gateway, Cut(row.gateway, kAddressMax).c_str());
  }
  return true;
}

}  // namespace tarvik::app
