#include "driver_service.h"

#include <signal.h>

#include <cstring>
#include <string>

#include "tarvik/service_manager.h"

namespace vonderil {

DriverService::DriverService(EventLoop& loop, StateReporter report, LogLine log)
    : loop_(loop), report_(std::move(report)), log_(std::move(log)) {}

void DriverService::AddPort(std::unique_ptr<VirtualPort> port) { ports_.push_back(std::move(port)); }

std::vector<uint32_t> DriverService::HeldPorts() const {
  std::vector<uint32_t> held;
  for (const auto& p : ports_) {
    if (p->HeldOpen()) held.push_back(p->ComNumber());
  }
  return held;
}

int DriverService::Run() {
  if (!loop_.Ok() ||
      !loop_.WatchSignals({SIGTERM, SIGINT}, [this](int signal) { RequestStop(signal); })) {
    log_("cannot set up the event loop");
    report_(tarvik::kServiceStopped);
    return 1;
  }
  report_(tarvik::kServiceRunning);
  log_("running");
  int rc = loop_.Run();
  if (rc != 0) log_((std::string("event loop failed: ") + std::strerror(rc)).c_str());
  for (auto& p : ports_) p->Close();
  // Logged first: once "stopped" is reported, the program may be gone.
  log_("stopped");
  report_(tarvik::kServiceStopped);
  return rc == 0 ? 0 : 1;
}

void DriverService::RequestStop(int signal) {
  if (!stopRequested_) {
    stopRequested_ = true;
    report_(tarvik::kServiceStopPending);
    log_((std::string("stop requested (") + strsignal(signal) + ")").c_str());
    for (auto& p : ports_) p->Stopping();
  }
  FinishStopIfFree();
}

void DriverService::PortReleased() {
  if (stopRequested_) FinishStopIfFree();
}

void DriverService::FinishStopIfFree() {
  const std::vector<uint32_t> held = HeldPorts();
  std::string sending;
  for (const auto& p : ports_) {
    if (!p->HeldOpen() && !p->Quiet()) {
      sending += (sending.empty() ? "COM" : ", COM") + std::to_string(p->ComNumber());
    }
  }
  if (held.empty() && sending.empty()) {
    loop_.Quit();
    return;
  }
  if (!held.empty()) {
    std::string names;
    for (uint32_t com : held) names += (names.empty() ? "COM" : ", COM") + std::to_string(com);
    log_(("stop waits: " + std::to_string(held.size()) + " port(s) held open by applications: " +
          names)
             .c_str());
  }
  // Reported once: the port's own deadline bounds the wait.
  if (!sending.empty() && sending != lastSending_) {
    log_(("stop waits: the last bytes applications wrote still go out on " + sending).c_str());
  }
  lastSending_ = sending;
}

}  // namespace vonderil
