// tarvikctl driver install|start|stop|status|restart|options: the driver
// stand-in's file, its service in the current state root, the utility's
// restart procedure and the driver options word.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "command.h"
#include "driver_options_word.h"
#include "held_ports.h"
#include "restart_procedure.h"
#include "service_status_text.h"
#include "tarvik/clock.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"
#include "tarvik/text.h"
#include "tarvik/unique_fd.h"
#include "tarvikcfg.h"

namespace tarvikctl {
namespace {

constexpr char kService[] = "Vonderil";
constexpr int kPolls = 15;
constexpr uint32_t kPollMs = 1000;
constexpr char kUsage[] =
    "usage: tarvikctl driver install|start|stop|status|restart|"
    "options [--fast-open 0|1] [--ignore-write-errors 0|1] [--close-delay MS]";

std::string DriverImagePath() { return tarvik::SystemDirectory() + "\\Drivers\\Vonderil.sys"; }

int PrintStatus() {
  char text[200];
  uint32_t state = QueryServiceStatusText(kService, text, sizeof text);
  std::printf("%s\n", text);
  return state >= 1 && state <= 7 ? 0 : 1;
}

std::string Describe(tarvik::LSTATUS rc) {
  switch (rc) {
    case tarvik::kErrorAccessDenied:
      return "access denied (error 5): the registry store may not be written";
    case tarvik::kErrorFileNotFound:
      return "the driver file " + tarvik::MapPath(DriverImagePath()) +
             " is missing (error 2): run tarvikctl driver install";
    default:
      return "error " + std::to_string(rc);
  }
}

// Opens the service for control, creating it as the utility does when it is
// missing.
tarvik::LSTATUS OpenOrCreate(tarvik::ScManager* manager, tarvik::ServiceHandle* service) {
  tarvik::LSTATUS rc = manager->Open(tarvik::kScManagerAllAccess);
  if (rc != tarvik::kErrorSuccess) return rc;
  rc = service->Open(*manager, kService, tarvik::kServiceAllAccess);
  if (rc != tarvik::kErrorServiceDoesNotExist) return rc;
  tarvik::ServiceConfig config;
  config.serviceType = tarvik::kServiceKernelDriver;
  config.startType = tarvik::kServiceAutoStart;
  config.errorControl = tarvik::kServiceErrorNormal;
  config.imagePath = DriverImagePath();
  return service->Create(*manager, kService, config, tarvik::kServiceAllAccess);
}

// Polls once a second, at most 15 times, for the wanted state.
bool WaitForState(const tarvik::ServiceHandle& service, uint32_t wanted) {
  for (int poll = 0; poll < kPolls; ++poll) {
    tarvik::ServiceStatus status;
    if (service.QueryStatus(&status) == tarvik::kErrorSuccess && status.currentState == wanted) {
      return true;
    }
    tarvik::SleepMs(kPollMs);
  }
  return false;
}

int Start() {
  tarvik::ScManager manager;
  tarvik::ServiceHandle service;
  tarvik::LSTATUS rc = OpenOrCreate(&manager, &service);
  if (rc != tarvik::kErrorSuccess) return Fail("cannot open the driver's service: " + Describe(rc));
  rc = service.Start();
  if (rc != tarvik::kErrorSuccess && rc != tarvik::kErrorServiceAlreadyRunning) {
    return Fail("cannot start the driver: " + Describe(rc));
  }
  if (!WaitForState(service, tarvik::kServiceRunning)) {
    PrintStatus();
    return Fail("the driver did not reach the running state (see " + tarvik::RunDirectory() +
                "/vonderil.log)");
  }
  return PrintStatus();
}

int Stop() {
  tarvik::ScManager manager;
  tarvik::ServiceHandle service;
  tarvik::LSTATUS rc = manager.Open(tarvik::kScManagerAllAccess);
  if (rc == tarvik::kErrorSuccess) rc = service.Open(manager, kService, tarvik::kServiceAllAccess);
  if (rc == tarvik::kErrorServiceDoesNotExist) {
    std::printf("Service does not exist!\n");
    return 1;
  }
  if (rc != tarvik::kErrorSuccess) return Fail("cannot open the driver's service: " + Describe(rc));
  tarvik::ServiceStatus status;
  rc = service.Stop(&status);
  if (rc != tarvik::kErrorSuccess && rc != tarvik::kErrorServiceNotActive &&
      !(rc == tarvik::kErrorServiceCannotAcceptCtrl &&
        status.currentState == tarvik::kServiceStopPending)) {
    PrintStatus();
    return Fail("cannot stop the driver: " + Describe(rc));
  }
  if (!WaitForState(service, tarvik::kServiceStopped)) {
    PrintStatus();
    char held[200];
    FormatComList(ReadHeldComPorts(tarvik::RunDirectory()), held, sizeof held);
    return Fail(std::string("the driver did not stop: make sure its virtual COM ports are all closed") +
                (held[0] ? std::string(" (still open: ") + held + ")" : std::string()));
  }
  return PrintStatus();
}

// Copies the stand-in built beside this program (or installed under
// libexec) into the state root.
int Install() {
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return Fail("cannot find the folder of tarvikctl");
  std::string source(self, static_cast<size_t>(n));
  source = source.substr(0, source.rfind('/') + 1) + "Vonderil.sys";
  // An installed suite keeps the stand-in under libexec, not beside us.
  if (::access(source.c_str(), X_OK) != 0 && !tarvik::InstalledStandIn().empty()) {
    source = tarvik::InstalledStandIn();
  }
  std::string error;
  if (!tarvik::EnsureStateRoot(&error)) return Fail(error);
  const std::string target = tarvik::MapPath(DriverImagePath());
  const std::string temp = target + ".new";

  tarvik::UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.Valid()) return Fail("cannot read " + source + ": " + std::strerror(errno));
  tarvik::UniqueFd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755));
  if (!out.Valid()) return Fail("cannot write " + temp + ": " + std::strerror(errno));
  char buf[65536];
  for (;;) {
    ssize_t got = ::read(in.Get(), buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail("cannot read " + source + ": " + std::strerror(errno));
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = ::write(out.Get(), buf + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        ::unlink(temp.c_str());
        return Fail("cannot write " + temp + ": " + std::strerror(errno));
      }
      done += put;
    }
  }
  ::fchmod(out.Get(), 0755);
  out.Reset();
  // A rename leaves a running copy untouched; it keeps its old file.
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return Fail("cannot install " + target + ": " + std::strerror(errno));
  }
  std::printf("Installed %s\n", target.c_str());
  return 0;
}

// The restart's progress on the terminal: status lines as they change, one
// line per waiting round, and the messages the dialog would show.
class ConsoleRestart : public RestartFrontEnd {
 public:
  void SetStatusLine(const char* text) override { std::printf("%s\n", text); }
  void SetProgress(int position) override {
    if (position > 0) std::printf("  waiting %d/%d\n", position, kRestartRounds);
  }
  void ShowMessage(const char* text) override { std::printf("%s\n", text); }
  void PumpEvents() override { std::fflush(stdout); }
};

// Ctrl-C during a wait acts as the dialog's Skip: the wait ends at the next
// round and the outcome is reported.
void OnInterrupt(int) { RequestRestartCancel(); }

TkcConfigSet& ConfigSetStorage() {
  static TkcConfigSet set;  // 3.8 MB: static, as the utility keeps it
  return set;
}

int Restart() {
  TkcConfigSet& set = ConfigSetStorage();
  set.SizeStamp = sizeof set;
  const uint16_t read = Tkc_RegReadAll(&set);
  // 8: no configuration stored yet (nothing mapped); 9: a damaged server
  // was left out, as the utility leaves it out. Anything else is fatal.
  if (read != 0 && read != 8 && read != 9) {
    return Fail("cannot read the configuration (status " + std::to_string(read) + ")");
  }
  if (read == 9) std::fprintf(stderr, "tarvikctl: a damaged server record was left out\n");

  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  struct sigaction previous {};
  ::sigaction(SIGINT, &action, &previous);
  ConsoleRestart console;
  const RestartOutcome outcome = RunDriverRestart(set, &console);
  ::sigaction(SIGINT, &previous, nullptr);

  switch (outcome) {
    case RestartOutcome::kRestarted:
      std::printf("The driver runs with %d mapped port(s).\n", CountMappedPorts(set));
      return 0;
    case RestartOutcome::kStoppedNoMappings:
      return 0;
    case RestartOutcome::kFailed:
      break;
  }
  PrintStatus();
  return 1;
}

bool ParseSwitch(const std::string& text, bool* on) {
  if (text != "0" && text != "1") return false;
  *on = text == "1";
  return true;
}

bool ParseMs(const std::string& text, long* ms) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *ms = std::strtol(text.c_str(), nullptr, 10);
  return true;
}

void PrintOptions(uint32_t word) {
  const DriverOptions options = DriverOptionsFromWord(word);
  std::printf("Fast Open (Allow Always Open): %d\n", options.fastOpen ? 1 : 0);
  std::printf("Ignore Writing Errors: %d\n", options.ignoreWriteErrors ? 1 : 0);
  std::printf("Delay: %u ms\n", options.closeDelayMs);
  std::printf("Flags: 0x%08x\n", word);
}

int Options(const Args& args) {
  TkcConfigSet& set = ConfigSetStorage();
  DriverOptions wanted;
  bool setFast = false, setIgnore = false, setDelay = false;
  for (size_t i = 0; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return Fail("missing value after " + args[i]);
    const std::string& value = args[i + 1];
    long ms = 0;
    if (args[i] == "--fast-open" && ParseSwitch(value, &wanted.fastOpen)) {
      setFast = true;
    } else if (args[i] == "--ignore-write-errors" && ParseSwitch(value, &wanted.ignoreWriteErrors)) {
      setIgnore = true;
    } else if (args[i] == "--close-delay") {
      if (!ParseMs(value, &ms) || !IsValidCloseDelay(ms))
        return Fail("--close-delay takes 0 to 1000 ms, not \"" + value + "\"");
      wanted.closeDelayMs = static_cast<uint32_t>(ms);
      setDelay = true;
    } else {
      return Fail("bad option \"" + args[i] + " " + value +
                  "\" (usage: tarvikctl driver options [--fast-open 0|1] "
                  "[--ignore-write-errors 0|1] [--close-delay MS])");
    }
  }
  if (!setFast && !setIgnore && !setDelay) {
    if (Tkc_RegReadInfo(&set) != 0) return Fail("no configuration is stored yet");
    PrintOptions(set.Flags);
    return 0;
  }
  const uint16_t read = Tkc_RegReadInfo(&set);
  if (read != 0) return Fail("no configuration is stored yet");
  // The store reads its options word only while servers are configured; a
  // word written now would not be seen.
  if (set.Servers == 0) return Fail("the driver options are kept only once a server is configured");
  DriverOptions options = DriverOptionsFromWord(set.Flags);
  if (setFast) options.fastOpen = wanted.fastOpen;
  if (setIgnore) options.ignoreWriteErrors = wanted.ignoreWriteErrors;
  if (setDelay) options.closeDelayMs = wanted.closeDelayMs;
  uint32_t word = set.Flags;
  if (!ApplyDriverOptions(options, &word)) {
    PrintOptions(word);
    return 0;
  }
  const uint32_t info[3] = {set.Servers, set.Ports, word};
  const uint16_t written = Tkc_RegWriteInfo(info);
  if (written != 0) return Fail("cannot store the driver options (status " + std::to_string(written) + ")");
  PrintOptions(word);
  std::printf("Restart the driver to use the new options (tarvikctl driver restart).\n");
  return 0;
}

int Driver(const Args& args) {
  // Everything but a look at the state changes the store or the service.
  const bool looks = args.size() == 1 && args[0] == "status";
  const bool showsOptions = args.size() == 1 && args[0] == "options";
  if (!args.empty() && !looks && !showsOptions && RequireWritableStore()) return 1;
  if (!args.empty() && args[0] == "options") return Options(Args(args.begin() + 1, args.end()));
  if (args.size() == 1) {
    if (args[0] == "start") return Start();
    if (args[0] == "stop") return Stop();
    if (args[0] == "status") return PrintStatus();
    if (args[0] == "install") return Install();
    if (args[0] == "restart") return Restart();
  }
  return Fail(kUsage);
}

TarvikctlCommand g_driver({"driver", kUsage + 17, Driver});

}  // namespace
}  // namespace tarvikctl
