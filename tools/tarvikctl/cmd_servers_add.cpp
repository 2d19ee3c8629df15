// tarvikctl servers add | remove: the add-servers procedure and the
// servers pane's removal, run from the command line on the same code as the
// utility's dialog and pane.
//
// servers add prints one line per server added and one per address passed
// over, each as "kind key=value ...", so scripts can follow a range:
//   added index=3 ip=10.77.0.21 name="Q410X-2" ports=2 com=5,6
//   added index=4 ip=10.77.0.22 name="Q410X4" ports=4 com=11,12,0,0 unmapped=2
//   skip ip=10.77.0.255 reason=broadcast
// A server whose ports found no free COM number left ends the run with
// exit status 1, as a list used up before a server does.
// A name is the device's own text: it is quoted with tarvik::QuoteText, so
// a name that holds a line feed cannot print a line of its own.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "add_procedure.h"
#include "address_range.h"
#include "app_state.h"
#include "command.h"
#include "czorn3.h"
#include "name_fetch.h"
#include "concurrent_name_fetch.h"
#include "server_store.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace tarvikctl {

int ServersEdit(const Args& args);

namespace {

constexpr const char* kAddUsage =
    "usage: tarvikctl servers add FIRST [LAST] [--com N] [--name NAME] [--yes]\n"
    "         [--port TCP] [--io-port TCP] [--keep-alive S] [--broken S] [--timeout S]\n"
    "         [--include-net] [--no-gateway] [--include-broadcast] [--allow-duplicates]\n"
    "         [--fixed-baud] [--map-io] [--disable-purge] [--write-buffer] [--auto-flush MS]\n"
    "         [--one-at-a-time] [--rfc2217]";

const char* ReasonWord(SkipReason reason) {
  switch (reason) {
    case SkipReason::kNet: return "net";
    case SkipReason::kGateway: return "gateway";
    case SkipReason::kBroadcast: return "broadcast";
    case SkipReason::kDuplicate: return "duplicate";
    case SkipReason::kNoName: return "no-name";
  }
  return "?";
}

// The procedure's messages are several lines; here they become one, and
// whatever else they hold (a device's name among them) is escaped.
std::string OneLine(const char* text) {
  std::string line;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += *p;
    }
  }
  return tarvik::EscapeText(line);
}

struct AddRequest {
  AddServersChoices choices;
  int firstCom = 0;  // 0: leave the ports unmapped
  bool yes = false;
  bool oneAtATime = false;
};

bool ReadNumber(const std::string& text, int64_t* value) {
  if (text.empty() || text.size() > 12) return false;
  char* end = nullptr;
  *value = std::strtoll(text.c_str(), &end, 10);
  return *end == '\0';
}

// Fills *request from the words after "add"; false with *error set.
bool ParseAdd(const Args& args, AddRequest* request, std::string* error) {
  AddServersChoices& c = request->choices;
  std::vector<std::string> addresses;
  bool named = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    auto value = [&](int64_t* out) {
      if (i + 1 >= args.size() || !ReadNumber(args[i + 1], out)) {
        *error = word + " needs a number";
        return false;
      }
      ++i;
      return true;
    };
    int64_t number = 0;
    if (word == "--com") {
      if (!value(&number)) return false;
      if (number < 1 || number > 4095) {
        *error = "--com takes a COM number 1..4095";
        return false;
      }
      request->firstCom = static_cast<int>(number);
    } else if (word == "--name") {
      if (i + 1 >= args.size()) {
        *error = "--name needs a device name";
        return false;
      }
      c.serverName = args[++i];
      named = true;
    } else if (word == "--port") {
      if (!value(&c.commandPort)) return false;
    } else if (word == "--io-port") {
      if (!value(&c.ioPort)) return false;
    } else if (word == "--keep-alive") {
      if (!value(&c.keepAliveSeconds)) return false;
    } else if (word == "--broken") {
      if (!value(&c.connectionBrokenSeconds)) return false;
    } else if (word == "--timeout") {
      if (!value(&c.connectTimeoutSeconds)) return false;
    } else if (word == "--auto-flush") {
      if (!value(&c.autoFlushMs)) return false;
    } else if (word == "--yes") {
      request->yes = true;
    } else if (word == "--one-at-a-time") {
      request->oneAtATime = true;
    } else if (word == "--include-net") {
      c.includeNet = true;
    } else if (word == "--no-gateway") {
      c.includeGateway = false;
    } else if (word == "--include-broadcast") {
      c.includeBroadcast = true;
    } else if (word == "--allow-duplicates") {
      c.skipDuplicates = false;
    } else if (word == "--fixed-baud") {
      c.fixedBaudrate = true;
    } else if (word == "--map-io") {
      c.mapIoPort = true;
    } else if (word == "--disable-purge") {
      c.disablePurge = true;
    } else if (word == "--write-buffer") {
      c.writeBuffer = true;
    } else if (word == "--rfc2217") {
      c.rfc2217 = true;
    } else if (!word.empty() && word[0] == '-') {
      *error = "unknown option " + word;
      return false;
    } else {
      addresses.push_back(word);
    }
  }
  if (addresses.empty() || addresses.size() > 2) {
    *error = kAddUsage;
    return false;
  }
  c.rangeStart = addresses[0];
  c.rangeEnd = addresses.size() == 2 ? addresses[1] : addresses[0];
  c.getNameAutomatically = !named;
  return true;
}

class CliHost : public AddServersHost {
 public:
  explicit CliHost(const AddRequest& request) : request_(request) {}

  // The set was read from the store a moment ago; writing it back would
  // only race with a utility that has the store open.
  bool StoreSet() override { return true; }
  void ReloadSet() override {}

  bool ChooseOptions(const FreeComList& freeComs, AddServersChoices* choices) override {
    *choices = request_.choices;
    if (const char* message = CheckAddServersChoices(choices)) {
      Fail(message);
      return false;
    }
    choices->firstComIndex = -1;
    if (request_.firstCom != 0) {
      // The first free number from the one asked for, as the dialog's list
      // offers only free numbers.
      for (size_t i = 0; i < freeComs.size(); ++i) {
        if (freeComs[i] >= request_.firstCom) {
          choices->firstComIndex = static_cast<int>(i);
          break;
        }
      }
      if (choices->firstComIndex < 0) {
        Fail("no free COM number from COM" + std::to_string(request_.firstCom) + " on");
        return false;
      }
    }
    return true;
  }

  bool ConfirmLongWalk(uint64_t addresses) override {
    if (!request_.yes) {
      Fail("the range holds " + std::to_string(addresses) +
           " addresses, each of which may cost the connect time-out; add --yes to walk it");
    }
    return request_.yes;
  }

  void EnableCommands(bool) override {}
  void SetStatus(const char*) override {}

  int Message(const char* text, unsigned) override {
    std::fprintf(stderr, "tarvikctl: %s\n", OneLine(text).c_str());
    return tarvik::kIdOk;  // a failed name fetch goes on with the next address
  }

  void Skipped(uint32_t a, SkipReason reason) override {
    std::printf("skip ip=%s reason=%s\n", DottedHostOrder(a).c_str(), ReasonWord(reason));
    std::fflush(stdout);
  }

  void Added(uint32_t index, const ServerRecord& r, uint32_t unmapped) override {
    std::string coms;
    for (uint32_t e = 2; e <= r.PortNo + 1; ++e) {
      if (!coms.empty()) coms += ',';
      coms += std::to_string(TkcComNumber(r.PortMap[e].Com));
    }
    std::printf("added index=%u ip=%s name=%s ports=%u com=%s", index + 1,
                DottedHostOrder(HostOrderAddress(r.IPAddress)).c_str(),
                tarvik::QuoteText(tarvik::FieldText(r.ServerName)).c_str(), r.PortNo,
                coms.c_str());
    if (TkcComNumber(r.PortMap[0].Com) != 0) std::printf(" io=%u", TkcComNumber(r.PortMap[0].Com));
    if (unmapped > 0) std::printf(" unmapped=%u", unmapped);
    std::printf("\n");
    std::fflush(stdout);
  }

 private:
  const AddRequest& request_;
};

const char* StopText(AddStop stop) {
  switch (stop) {
    case AddStop::kServerLimit: return "the configuration holds 4095 servers";
    case AddStop::kComsUsedUp: return "no free COM numbers left";
    case AddStop::kUnknownDevice: return "unknown device";
    default: return nullptr;
  }
}

int Add(const Args& args) {
  AddRequest request;
  std::string error;
  if (!ParseAdd(args, &request, &error)) return Fail(error);

  AppState& app = App();
  Tkc_RegCheckCreateServiceKey();  // as the utility does at start; a failure shows on the load
  ReadUiOptions(&app.ui);
  app.config.SizeStamp = TKC_SET_SIZE;
  if (tarvik::app::LoadConfigSet(app.config, &app.restartPending) != TKC_OK)
    return Fail("reading the configuration failed");
  // The numbers the store maps now stand for the ones the driver holds.
  BuildOwnComMap(app.config, app.ownAtLoadComMap);

  CliHost host(request);
  std::unique_ptr<NameFetch> fetch;
  CZorn3 session;
  if (request.oneAtATime) {
    fetch = std::make_unique<SessionNameFetch>(session, nullptr);
  } else {
    fetch = std::make_unique<ConcurrentNameFetch>();
  }
  const AddServersOutcome out = RunAddServersProcedure(app, host, *fetch);
  fetch.reset();  // closes the connections of fetches still under way
  if (!out.dialogAccepted) return 1;
  if (out.stop == AddStop::kCancelled) return 1;  // the long walk was not confirmed
  if (out.writeFailures > 0)
    Fail(std::to_string(out.writeFailures) + " server(s) could not be written into the store");
  if (out.partlyMapped > 0)
    Fail(std::to_string(out.partlyMapped) +
         " server(s) added with ports left unmapped: no free COM numbers left");
  if (const char* why = StopText(out.stop)) Fail(std::string("range stopped early: ") + why);
  return out.Failed() ? 1 : 0;
}

int Remove(const Args& args) {
  if (args.size() != 2) return Fail("usage: tarvikctl servers remove INDEX");
  int64_t index = 0;
  if (!ReadNumber(args[1], &index) || index < 1) return Fail("INDEX is a server number from 1");
  AppState& app = App();
  app.config.SizeStamp = TKC_SET_SIZE;
  if (tarvik::app::LoadConfigSet(app.config, nullptr) != TKC_OK)
    return Fail("reading the configuration failed");
  if (static_cast<uint64_t>(index) > app.config.Servers)
    return Fail("no server " + std::to_string(index) + " (the store holds " +
                std::to_string(app.config.Servers) + ")");
  const ServerRecord& r = app.config.Records[index - 1];
  const std::string ip = DottedHostOrder(HostOrderAddress(r.IPAddress));
  const std::string name = tarvik::QuoteText(tarvik::FieldText(r.ServerName));
  if (!tarvik::app::RemoveServerFromStore(app.config, static_cast<int>(index - 1)))
    return Fail("removing server " + std::to_string(index) + " failed");
  std::printf("removed index=%lld ip=%s name=%s\n", static_cast<long long>(index), ip.c_str(),
              name.c_str());
  return 0;
}

}  // namespace

int ServersEdit(const Args& args) {
  if (RequireWritableStore()) return 1;
  if (args[0] == "add") return Add(args);
  return Remove(args);
}

}  // namespace tarvikctl
