#include "send_config.h"

#include "app_state.h"
#include "app_texts.h"
#include "findra.h"
#include "tarvik/clock.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace tarvik::app {

namespace {
constexpr uint32_t kAfterDhcpMs = 100;
// Devices restart their network after a change; let them settle before the
// user searches again.
constexpr uint32_t kSettleMs = 2000;
constexpr int kNoAnswer = -6;
constexpr int kRefused = -14;
}  // namespace

int SendEntryByDiscovery(const UdpConfigEntry& e) {
  return Findra_ConfigModule(e.moduleIndex, e.ip, e.mask, e.gateway, e.mac, e.dhcp, e.alias);
}

std::vector<EntryOutcome> SendConfigTable(const UdpConfigTable& table, const EntrySender& send) {
  std::vector<EntryOutcome> outcomes;
  const int count = ConfigTableCount(table);
  if (count == 0) return outcomes;
  BeginWaitCursor();
  for (int i = 0; i < count; ++i) {
    const UdpConfigEntry& entry = table.entries[i];
    const int result = send(entry);
    outcomes.push_back({entry.name, entry.mac, result});
    if (result == 0 && entry.dhcp != 0) SleepMs(kAfterDhcpMs);
  }
  SleepMs(kSettleMs);
  EndWaitCursor();
  bool allConfirmed = false;
  const std::string report = ReportText(outcomes, &allConfirmed);
  ShowMessageBox(report.c_str(), kAppCaption,
                 kMbOk | (allConfirmed ? kMbIconInformation : kMbIconWarning));
  return outcomes;
}

std::string ReportText(const std::vector<EntryOutcome>& outcomes, bool* allConfirmed) {
  int confirmed = 0, silent = 0, refused = 0, other = 0;
  for (const EntryOutcome& o : outcomes) {
    if (o.result == 0)
      ++confirmed;
    else if (o.result == kNoAnswer)
      ++silent;
    else if (o.result == kRefused)
      ++refused;
    else
      ++other;
  }
  *allConfirmed = confirmed == static_cast<int>(outcomes.size());
  char line[kMessageSize];
  FormatText(line, sizeof line, "Confirmed: %d, no answer: %d, refused: %d, other errors: %d.",
             confirmed, silent, refused, other);
  std::string text = line;
  // Past the message size the box would be cut mid-line: the first line
  // that does not fit ends the report with "...", and nothing follows it,
  // not even a shorter line that would still fit.
  bool cut = false;
  auto add = [&text, &cut](const std::string& more) {
    if (cut) return;
    if (text.size() + 1 + more.size() > static_cast<size_t>(kMessageSize) - 5) {
      text += "\n...";
      cut = true;
      return;
    }
    text += "\n" + more;
  };
  // A device's name and MAC are its own texts: escaped, so each stays on
  // its line of the report.
  for (const EntryOutcome& o : outcomes) {
    if (o.result == 0) continue;
    FormatText(line, sizeof line, "%s [%s]: Configuration failiure, error=%d",
               EscapeText(o.name).c_str(), EscapeText(o.mac).c_str(), o.result);
    add(line);
  }
  for (const EntryOutcome& o : outcomes) {
    if (o.result != 0) continue;
    FormatText(line, sizeof line, "%s [%s]: confirmed", EscapeText(o.name).c_str(),
               EscapeText(o.mac).c_str());
    add(line);
  }
  return text;
}

}  // namespace tarvik::app
