// The search pane's configure procedure after the dialog's OK: one
// configuration command per table entry, then one report of how every
// device answered.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "udp_config_table.h"

namespace tarvik::app {

// Sends one entry; returns the discovery library's result (0 confirmed,
// -6 no answer, -14 refused, other negatives failures).
using EntrySender = std::function<int(const UdpConfigEntry& entry)>;
// The sender on the discovery library.
int SendEntryByDiscovery(const UdpConfigEntry& entry);

struct EntryOutcome {
  std::string name;
  std::string mac;
  int result;
};

// Sends every filled entry in order under the wait cursor, waiting 100 ms
// after a confirmed DHCP entry and 2000 ms after the last one, then shows
// one report (ReportText) and returns the outcomes.
std::vector<EntryOutcome> SendConfigTable(const UdpConfigTable& table, const EntrySender& send);

// The report: a count line, then one line per device that failed
// ("%s [%s]: Configuration failiure, error=%d") and one per device that
// confirmed, cut to fit a message. *allConfirmed tells which icon fits.
std::string ReportText(const std::vector<EntryOutcome>& outcomes, bool* allConfirmed);

}  // namespace tarvik::app
