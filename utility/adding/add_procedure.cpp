#include "add_procedure.h"

#include <algorithm>
#include <unordered_set>

#include "added_server.h"
#include "address_range.h"
#include "app_state.h"
#include "name_fetch.h"
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
    unmap_ = c_.firstComIndex < 0;
    nextCom_ = FreeComAt(freeComs_, c_.firstComIndex);
    usedUp_ = !unmap_ && nextCom_ == 0;
    servers_ = app.config.Servers;
  }

  const char* PartlyMappedText() const { return partlyMappedText_; }

  void Run(uint32_t first, uint32_t last) {
    const uint32_t timeoutMs = static_cast<uint32_t>(c_.connectTimeoutSeconds * 1000);
    const uint32_t port = static_cast<uint32_t>(c_.commandPort);
    if (c_.getNameAutomatically && first <= last) {
      FetchPlan plan;
      plan.first = first;
      plan.last = last;
      plan.wanted = [this](uint32_t a) { return Wanted(a); };
      plan.port = port;
      plan.timeoutMs = timeoutMs;
      plan.progress = [this, first, last](uint64_t settled, uint64_t found) {
        host_.SetStatus(SearchProgressText(first, last, settled, found).c_str());
      };
      plan.stop = [this] { return host_.StopRequested(); };
      fetch_.Plan(plan);
    }
    const uint64_t length = RangeLength(first, last);
    for (uint64_t i = 0; i < length; ++i) {
      const uint32_t a = static_cast<uint32_t>(first + i);
      if (i > 0 && host_.StopRequested()) return Stop(AddStop::kUserStop);
      if (servers_ >= static_cast<uint32_t>(TKC_MAX_SERVERS)) return Stop(AddStop::kServerLimit);
      const HostRule rule = RuleFor(a, c_);
      if (rule != HostRule::kWalked) {
        host_.Skipped(a, ReasonFor(rule));
        continue;
      }
      if (ComsUsedUp()) return Stop(AddStop::kComsUsedUp);
      const std::string text = DottedHostOrder(a);
      if (IsDuplicate(a)) {
        SkipDuplicate(a, text);
        continue;
      }
      std::string name = c_.serverName;
      if (c_.getNameAutomatically) {
        const NameFetchResult fetched = fetch_.Fetch(text, port, timeoutMs);
        if (fetched.interrupted) return Stop(AddStop::kUserStop);
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
      const AddStop stop = AddOne(name, a, text);
      if (stop != AddStop::kNone) return Stop(stop);
    }
  }

 private:
  bool IsDuplicate(uint32_t a) const {
    return c_.skipDuplicates && known_.count(StoreOrderAddress(a)) != 0;
  }
  bool Wanted(uint32_t a) const { return RuleFor(a, c_) == HostRule::kWalked && !IsDuplicate(a); }

  // The next server would find no free COM number: none was left within
  // the last one, or the list the walk began with holds none from the
  // cursor on. The store has the last word when the server is added.
  bool ComsUsedUp() const {
    if (unmap_) return false;
    return usedUp_ || std::none_of(freeComs_.begin(), freeComs_.end(),
                                   [this](uint16_t com) { return com >= nextCom_; });
  }

  void SkipDuplicate(uint32_t a, const std::string& text) {
    tarvik::FormatText(app_.message, sizeof app_.message, "Skip duplicated IP:%s", text.c_str());
    host_.Skipped(a, SkipReason::kDuplicate);
    host_.Message(app_.message, kMbOk | kMbIconWarning);
  }

  void Stop(AddStop why) { out_.stop = why; }

  // Lays out and adds one server; kNone to go on with the next address.
  AddStop AddOne(const std::string& name, uint32_t a, const std::string& text) {
    ServerRecord record;
    TkcAddServerRequest request{};
    request.Size = sizeof request;
    const uint16_t status = BuildAddedServer(name.c_str(), StoreOrderAddress(a), c_, &record,
                                             &request);
    if (status != TKC_OK || record.PortNo == 0) {
      tarvik::FormatText(app_.message, sizeof app_.message,
                         "Unknown device [%s], Err: %d\n\nThe device is currently not supported,\n"
                         "please update the Utility and try again!",
                         tarvik::EscapeText(name).c_str(), status);
      host_.Message(app_.message, kMbOk | kMbIconWarning);
      host_.SetStatus(app_.message);
      return AddStop::kUnknownDevice;
    }
    request.FirstCom = nextCom_;
    request.Options = c_.skipDuplicates ? TKC_ADD_SKIP_DUPLICATE : 0;
    request.DataProtocol = c_.rfc2217 ? TKC_DATA_PROTOCOL_RFC2217 : TKC_DATA_PROTOCOL_RAW;
    const uint16_t written =
        Tkc_RegAddServer(&record, kServerRecordSize, &request, app_.ownAtLoadComMap);
    if (written != TKC_OK) {
      // Not silent: a server the store did not take must not look added.
      ++out_.writeFailures;
      tarvik::FormatText(app_.message, sizeof app_.message,
                         "Error Code:%d, failed to write server %s (%s) into registry!", written,
                         record.ServerName, text.c_str());
      host_.SetStatus(app_.message);
      return AddStop::kNone;
    }
    switch (request.Outcome) {
      case TKC_ADDED_DUPLICATE:  // another process added it meanwhile
        SkipDuplicate(a, text);
        return AddStop::kNone;
      case TKC_ADDED_NO_COM: return AddStop::kComsUsedUp;
      case TKC_ADDED_FULL: return AddStop::kServerLimit;
      default: break;
    }
    // The record itself arrives with the reload at the finish.
    servers_ = request.Index + 1;
    nextCom_ = request.NextCom;
    ++out_.added;
    if (request.Unmapped > 0) {
      usedUp_ = true;
      ++out_.partlyMapped;
      tarvik::FormatText(partlyMappedText_, sizeof partlyMappedText_,
                         "Warning: %s [%s] was added with %u port(s) unmapped: no free COM "
                         "number was left.",
                         record.ServerName, text.c_str(), request.Unmapped);
      host_.SetStatus(partlyMappedText_);
    }
    host_.Added(request.Index, record, request.Unmapped);
    return AddStop::kNone;
  }

  AppState& app_;
  AddServersHost& host_;
  NameFetch& fetch_;
  const AddServersChoices& c_;
  const FreeComList& freeComs_;
  AddServersOutcome& out_;
  std::unordered_set<uint32_t> known_;
  bool unmap_ = true;     // "UnMap": every port keeps COM 0
  uint32_t nextCom_ = 0;  // the lowest number the next server may take
  bool usedUp_ = false;
  uint32_t servers_ = 0;  // in the store, as far as the walk knows
  char partlyMappedText_[kMessageSize] = {};
};

void Finish(AppState& app, AddServersHost& host, AddServersOutcome& out,
            const char* partlyMappedText) {
  // The counts are the store's own, kept with every server added.
  app.restartPending = true;
  host.ReloadSet();
  if (out.writeFailures > 0) {
    tarvik::FormatText(app.message, sizeof app.message,
                       "Error: %d server(s) could not be written into registry!",
                       out.writeFailures);
    host.SetStatus(app.message);
  } else if (out.partlyMapped > 0) {
    host.SetStatus(partlyMappedText);
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

}  // namespace

std::string SearchProgressText(uint32_t first, uint32_t last, uint64_t settled, uint64_t found) {
  char text[kMessageSize];
  tarvik::FormatText(text, sizeof text, "Searching %s - %s: %llu of %llu, %llu found",
                     DottedHostOrder(first).c_str(), DottedHostOrder(last).c_str(),
                     static_cast<unsigned long long>(settled),
                     static_cast<unsigned long long>(RangeLength(first, last)),
                     static_cast<unsigned long long>(found));
  return text;
}

AddServersOutcome RunAddServersProcedure(AppState& app, AddServersHost& host, NameFetch& fetch) {
  AddServersOutcome out;
  if (!host.StoreSet()) {
    out.stop = AddStop::kRefused;
    return out;
  }
  const FreeComList freeComs = FreeComsNow(app);

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
  host.EnableCommands(false);
  RangeWalk walk(app, host, fetch, choices, freeComs, out);
  walk.Run(first, last);
  Finish(app, host, out, walk.PartlyMappedText());
  return out;
}
