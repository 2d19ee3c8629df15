#include "add_procedure.h"

#include <memory>
#include <unordered_set>

#include "added_server.h"
#include "address_range.h"
#include "app_state.h"
#include "name_fetch.h"
#include "server_store.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace {

using tarvik::kMbIconWarning;
using tarvik::kMbOk;
using tarvik::kMbOkCancel;

SkipReason ReasonFor(HostRule rule) {
  switch (rule) {
    case HostRule::kNet: return SkipReason::kNet;
    case HostRule::kGateway: return SkipReason::kGateway;
    default: return SkipReason::kBroadcast;
  }
}

// One walk over the range; the finish is the caller's.
class RangeWalk {
 public:
  RangeWalk(AppState& app, AddServersHost& host, NameFetch& fetch, const AddServersChoices& c,
            const FreeComList& freeComs, AddServersOutcome& out)
      : app_(app), host_(host), fetch_(fetch), c_(c), freeComs_(freeComs), out_(out) {
    // Every record of the set counts, as the set is laid out in full.
    for (const ServerRecord& record : app.config.Records) known_.insert(record.IPAddress);
  }

  void Run(uint32_t first, uint32_t last) {
    int cursor = c_.firstComIndex;
    const uint32_t timeoutMs = static_cast<uint32_t>(c_.connectTimeoutSeconds * 1000);
    const uint32_t port = static_cast<uint32_t>(c_.commandPort);
    if (c_.getNameAutomatically && first <= last) {
      fetch_.Plan(first, last, [this](uint32_t a) { return Wanted(a); }, port, timeoutMs);
    }
    const uint64_t length = RangeLength(first, last);
    for (uint64_t i = 0; i < length; ++i) {
      const uint32_t a = static_cast<uint32_t>(first + i);
      if (i > 0 && host_.StopRequested()) return Stop(AddStop::kUserStop);
      if (app_.config.Servers >= static_cast<uint32_t>(TKC_MAX_SERVERS))
        return Stop(AddStop::kServerLimit);
      const HostRule rule = RuleFor(a, c_);
      if (rule != HostRule::kWalked) {
        host_.Skipped(a, ReasonFor(rule));
        continue;
      }
      if (cursor != -1 && FreeComAt(freeComs_, cursor) == 0) return Stop(AddStop::kComsUsedUp);
      const std::string text = DottedHostOrder(a);
      if (IsDuplicate(a)) {
        tarvik::FormatText(app_.message, sizeof app_.message, "Skip duplicated IP:%s", text.c_str());
        host_.Skipped(a, SkipReason::kDuplicate);
        host_.Message(app_.message, kMbOk | kMbIconWarning);
        continue;
      }
      std::string name = c_.serverName;
      if (c_.getNameAutomatically) {
        const NameFetchResult fetched = fetch_.Fetch(text, port, timeoutMs);
        if (!fetched.ok) {
          tarvik::FormatText(
              app_.message, sizeof app_.message,
              "Failed to get the server name on IP:%s \nPlease check the firmware of the server "
              "is running correctly,\nand make sure there is no IP conflict with the server.\n\n"
              "Click 'OK' to continue next IP, or 'Cancel' to skip all.",
              text.c_str());
          host_.Skipped(a, SkipReason::kNoName);
          if (host_.Message(app_.message, kMbOkCancel | kMbIconWarning) != tarvik::kIdOk)
            return Stop(AddStop::kCancelled);
          continue;
        }
        name = fetched.name;
      }
      if (!AddOne(name, a, &cursor)) return Stop(AddStop::kUnknownDevice);
    }
  }

 private:
  bool IsDuplicate(uint32_t a) const {
    return c_.skipDuplicates && known_.count(StoreOrderAddress(a)) != 0;
  }
  bool Wanted(uint32_t a) const { return RuleFor(a, c_) == HostRule::kWalked && !IsDuplicate(a); }

  void Stop(AddStop why) { out_.stop = why; }

  // Lays out, counts and writes one server. False for a device whose name
  // has no port layout.
  bool AddOne(const std::string& name, uint32_t a, int* cursor) {
    ServerRecord record;
    bool usedUp = false;
    const uint16_t status =
        BuildAddedServer(name.c_str(), StoreOrderAddress(a), c_, freeComs_, cursor, &record, &usedUp);
    if (status != TKC_OK) {
      tarvik::FormatText(app_.message, sizeof app_.message,
                         "Unknown device [%s], Err: %d\n\nThe device is currently not supported,\n"
                         "please update the Utility and try again!",
                         name.c_str(), status);
      host_.Message(app_.message, kMbOk | kMbIconWarning);
      host_.SetStatus(app_.message);
      return false;
    }
    const uint32_t ports = record.PortNo + 1;
    tarvik::app::CountAddedServer(ports);
    const uint32_t index = app_.config.Servers;
    const uint16_t written = tarvik::app::WriteServerWithProtocol(
        index, &record, c_.rfc2217 ? TKC_DATA_PROTOCOL_RFC2217 : TKC_DATA_PROTOCOL_RAW);
    if (written != TKC_OK) {
      // Not silent: a server the store did not take must not look added.
      ++out_.writeFailures;
      tarvik::FormatText(app_.message, sizeof app_.message,
                         "Error Code:%d, failed to write server %s (%s) into registry!", written,
                         record.ServerName, DottedHostOrder(a).c_str());
      host_.SetStatus(app_.message);
      return true;
    }
    // The record itself arrives with the reload at the finish.
    app_.config.Servers += 1;
    app_.config.Ports += ports;
    ++out_.added;
    host_.Added(index, record);
    return true;
  }

  AppState& app_;
  AddServersHost& host_;
  NameFetch& fetch_;
  const AddServersChoices& c_;
  const FreeComList& freeComs_;
  AddServersOutcome& out_;
  std::unordered_set<uint32_t> known_;
};

void Finish(AppState& app, AddServersHost& host, AddServersOutcome& out) {
  if (Tkc_RegWriteServersAndPorts(app.config.Servers, app.config.Ports) != TKC_OK) {
    out.countsFailed = true;
    host.Message("Failed to write the Servers/Ports registry key!", kMbOk | kMbIconWarning);
  }
  app.restartPending = true;
  host.ReloadSet();
  if (out.writeFailures > 0) {
    tarvik::FormatText(app.message, sizeof app.message,
                       "Error: %d server(s) could not be written into registry!",
                       out.writeFailures);
    host.SetStatus(app.message);
  } else {
    host.SetStatus("Status: OK");
  }
  host.EnableCommands(true);
}

FreeComList FreeComsNow(AppState& app) {
  BuildOwnComMap(app.config, app.ownComMap);
  CfgReadOtherSerial(app.occupiedComMap, &app.config);
  return BuildFreeComList(app.ownAtLoadComMap, app.ownComMap, app.occupiedComMap);
}

// The cursor in a list built anew: the same COM number, or the next free
// one after it.
int SameComIn(const FreeComList& before, int cursor, const FreeComList& after) {
  if (cursor < 0) return cursor;
  const uint16_t wanted = FreeComAt(before, cursor);
  if (wanted == 0) return static_cast<int>(after.size());
  for (size_t i = 0; i < after.size(); ++i)
    if (after[i] >= wanted) return static_cast<int>(i);
  return static_cast<int>(after.size());
}

}  // namespace

AddServersOutcome RunAddServersProcedure(AppState& app, AddServersHost& host, NameFetch& fetch) {
  AddServersOutcome out;
  host.StoreSet();
  FreeComList freeComs = FreeComsNow(app);

  AddServersChoices choices = DefaultAddServersChoices(app);
  if (!host.ChooseOptions(freeComs, &choices)) {
    out.stop = AddStop::kCancelled;
    return out;
  }
  out.dialogAccepted = true;
  app.ui.chkSvr = choices.getNameAutomatically ? 1 : 0;
  app.ui.chkDup = choices.skipDuplicates ? 1 : 0;

  const uint32_t first = RangeAddress(choices.rangeStart);
  const uint32_t last = RangeAddress(choices.rangeEnd);
  // Each silent address costs a connect time-out: a /8 by mistake would
  // hold the program for weeks.
  const uint64_t length = RangeLength(first, last);
  if (length > kConfirmWalkAbove && !host.ConfirmLongWalk(length)) {
    out.stop = AddStop::kCancelled;
    return out;
  }
  // While the dialog was open another process may have added servers (and
  // taken COM numbers); the walk writes by index after the last of them.
  if (host.SyncBeforeWrites()) {
    const FreeComList fresh = FreeComsNow(app);
    choices.firstComIndex = SameComIn(freeComs, choices.firstComIndex, fresh);
    freeComs = fresh;
  }
  host.EnableCommands(false);
  RangeWalk(app, host, fetch, choices, freeComs, out).Run(first, last);
  Finish(app, host, out);
  return out;
}
