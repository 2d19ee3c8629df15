#include "driver_service.h"

#include <signal.h>

#include <cstring>
#include <string>

#include "tarvik/service_manager.h"

namespace vonderil {

DriverService::DriverService(EventLoop& loop, StateReporter report, LogLine log)
    : loop_(loop), report_(std::move(report)), log_(std::move(log)) {}

void DriverService::AddPort(std::unique_ptr<VirtualPort> port) { ports_.push_back(std::move(port)); }

size_t DriverService::HeldPorts() const {
  size_t held = 0;
  for (const auto& p : ports_) held += p->HeldOpen() ? 1 : 0;
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
  }
  FinishStopIfFree();
}

void DriverService::PortReleased() {
  if (stopRequested_) FinishStopIfFree();
}

void DriverService::FinishStopIfFree() {
  size_t held = HeldPorts();
  if (held == 0) {
    loop_.Quit();
    return;
  }
  log_(("stop waits: " + std::to_string(held) + " port(s) held open by applications").c_str());
}

}  // namespace vonderil
