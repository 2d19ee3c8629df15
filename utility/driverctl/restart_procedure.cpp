#include "restart_procedure.h"

#include <algorithm>
#include <vector>

#include "held_ports.h"
#include "tarvik/clock.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"
#include "tarvik/text.h"
#include "tarvik_driver_iface.h"

namespace {

constexpr uint32_t kPumpSliceMs = 50;
constexpr size_t kMessageSize = 500;

const char kStopFailed[] =
    "Failed to stop the driver!\n\nMake sure virtual COM ports are all closed.\n"
    "Make sure related software/services that using virtual COM ports are all closed.\n\n"
    "If you still have problem to restart the driver, you may need to reboot the computer.";

bool Cancelled() { return RestartCancelCounter().load() > 0; }

// Waits ms on the platform clock in short slices, pumping between them. A
// cancel ends the wait early when stopOnCancel is set.
void Wait(RestartFrontEnd* front, uint32_t ms, bool stopOnCancel) {
  const uint32_t start = tarvik::TickCount();
  for (;;) {
    front->PumpEvents();
    if (stopOnCancel && Cancelled()) return;
    const uint32_t elapsed = tarvik::TickCount() - start;
    if (elapsed >= ms) return;
    tarvik::SleepMs(std::min(ms - elapsed, kPumpSliceMs));
  }
}

class Restart {
 public:
  Restart(const TkcConfigSet& set, RestartFrontEnd* front) : set_(set), front_(front) {}
  RestartOutcome Run();

 private:
  bool Open();
  void Message(const char* text) { front_->ShowMessage(text); }
  // One query; the state is remembered only when the query worked.
  bool Query();
  // Rounds of query, check and one-second wait; true once the state is
  // wanted. A start wait also gives up on a service that fell back to
  // stopped: its program has ended and nothing will start it again.
  bool WaitFor(uint32_t wanted, bool slowStopNotice);
  void ReportStopFailure();
  void ReportStartFailure(tarvik::LSTATUS startResult);
  RestartOutcome Finish(RestartOutcome outcome);

  const TkcConfigSet& set_;
  RestartFrontEnd* front_;
  tarvik::ScManager manager_;
  tarvik::ServiceHandle service_;
  uint32_t state_ = 0;
  char message_[kMessageSize];
};

bool Restart::Open() {
  tarvik::LSTATUS rc = manager_.Open(tarvik::kScManagerAllAccess);
  if (rc != tarvik::kErrorSuccess) {
    tarvik::FormatText(message_, sizeof message_,
                       "Error:%ld\nFailed to open SC-Manager,\nplease use Administrator account "
                       "of the computer and then try again!",
                       static_cast<long>(rc));
    Message(message_);
    return false;
  }
  if (service_.Open(manager_, TKC_SERVICE_NAME, tarvik::kServiceAllAccess) ==
      tarvik::kErrorSuccess) {
    return true;
  }
  // A driver installed as a file but never registered gets its service now.
  tarvik::ServiceConfig config;
  config.serviceType = TKC_SERVICE_TYPE_KERNEL_DRIVER;
  config.startType = TKC_SERVICE_START_AUTO;
  config.errorControl = TKC_SERVICE_ERROR_NORMAL;
  config.imagePath = tarvik::SystemDirectory() + TKC_DRIVER_FILE;
  config.displayName = TKC_SERVICE_DISPLAY_NAME;
  rc = service_.Create(manager_, TKC_SERVICE_NAME, config, tarvik::kServiceAllAccess);
  if (rc != tarvik::kErrorSuccess) {
    tarvik::FormatText(message_, sizeof message_,
                       "Failed to get driver handle (may be not installed). Error:%ld\n"
                       "Please reboot the computer and try again.",
                       static_cast<long>(rc));
    Message(message_);
    manager_.Close();
    return false;
  }
  return true;
}

bool Restart::Query() {
  tarvik::ServiceStatus status;
  if (service_.QueryStatus(&status) != tarvik::kErrorSuccess) return false;
  state_ = status.currentState;
  front_->SetLastState(state_);
  return true;
}

bool Restart::WaitFor(uint32_t wanted, bool slowStopNotice) {
  int counter = 0;
  for (int round = 0; round < kRestartRounds; ++round) {
    front_->PumpEvents();
    Query();
    if (state_ == wanted) return true;
    if (!slowStopNotice && counter > 0 && state_ == tarvik::kServiceStopped) return false;
    if (slowStopNotice && counter == 5) front_->SetStatusLine("Status: Stopping Driver!!");
    if (Cancelled()) return false;
    ++counter;
    front_->SetProgress(counter);
    Wait(front_, kRestartRoundMs, true);
  }
  // The last round's second counts too: a driver that got there meanwhile
  // is not reported as failed.
  if (!Cancelled()) Query();
  return state_ == wanted;
}

void Restart::ReportStopFailure() {
  tarvik::CopyText(message_, sizeof message_, kStopFailed);
  const std::vector<uint32_t> held = ReadHeldComPorts(tarvik::RunDirectory());
  if (!held.empty()) {
    char list[300];
    FormatComList(held, list, sizeof list);
    char tail[340];
    tarvik::FormatText(tail, sizeof tail, "\n\nStill open: %s", list);
    const size_t used = std::char_traits<char>::length(message_);
    tarvik::CopyText(message_ + used, sizeof message_ - used, tail);
  }
  Message(message_);
}

void Restart::ReportStartFailure(tarvik::LSTATUS startResult) {
  if (startResult == tarvik::kErrorSuccess || startResult == tarvik::kErrorServiceAlreadyRunning) {
    Message("Failed to start the driver!");
    return;
  }
  tarvik::FormatText(message_, sizeof message_, "Failed to start the driver!\n\nError:%ld",
                     static_cast<long>(startResult));
  Message(message_);
}

RestartOutcome Restart::Finish(RestartOutcome outcome) {
  service_.Close();
  manager_.Close();
  front_->OnClosing();
  Wait(front_, kRestartClosingMs, false);
  return outcome;
}

RestartOutcome Restart::Run() {
  front_->OnBegin();
  RestartCancelCounter().store(0);
  if (!Open()) return RestartOutcome::kFailed;

  front_->SetProgress(0);
  front_->SetStatusLine("Status: Stopping Driver!");
  const int mapped = CountMappedPorts(set_);
  if (!Query()) {
    Message("Failed to get driver state!");
    return Finish(RestartOutcome::kFailed);
  }
  if (state_ == tarvik::kServiceRunning) {
    tarvik::ServiceStatus status;
    service_.Stop(&status);  // the wait below sees what it did
  }
  if (!WaitFor(tarvik::kServiceStopped, true)) {
    ReportStopFailure();
    return Finish(RestartOutcome::kFailed);
  }
  if (mapped == 0) {
    Message("No mappings for virtual COM ports.\n\nDriver is stopped!");
    return Finish(RestartOutcome::kStoppedNoMappings);
  }

  front_->SetProgress(0);
  front_->SetStatusLine("Status: Starting Driver!");
  const tarvik::LSTATUS started = service_.Start();
  const bool requested =
      started == tarvik::kErrorSuccess || started == tarvik::kErrorServiceAlreadyRunning;
  if (requested && WaitFor(tarvik::kServiceRunning, false)) {
    front_->SetStatusLine("Status: Driver is running!");
    return Finish(RestartOutcome::kRestarted);
  }
  // A start request the manager refused has nothing to wait for.
  ReportStartFailure(started);
  return Finish(RestartOutcome::kFailed);
}

}  // namespace

std::atomic<int>& RestartCancelCounter() {
  static std::atomic<int> counter{0};
  return counter;
}

int CountMappedPorts(const TkcConfigSet& set) {
  const uint32_t servers = std::min<uint32_t>(set.Servers, TKC_MAX_SERVERS);
  int mapped = 0;
  for (uint32_t s = 0; s < servers; ++s) {
    for (const TkcPortMap& entry : set.Records[s].PortMap) {
      if ((entry.Com & 0xFFFu) != 0) ++mapped;
    }
  }
  return mapped;
}

RestartOutcome RunDriverRestart(const TkcConfigSet& set, RestartFrontEnd* front) {
  return Restart(set, front).Run();
}
