// Vonderil.sys: the userspace stand-in for the virtual-COM driver. The
// service manager runs it with the service name as its argument; it reads
// its Parameter key once, reports its states to the service manager and
// serves until it is asked to stop. Its output goes to the service's log.
#include <signal.h>

#include <cstdio>
#include <string>

#include "driver_parameters.h"
#include "driver_service.h"
#include "event_loop.h"
#include "log_file.h"
#include "port_set.h"
#include "tarvik/file_version.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"

TARVIK_VERSION_RESOURCE("FileDescription\0" "Virtual COM port driver\0"
                        "FileVersion\0" "2.14.03\0"
                        "ProductVersion\0" "2.14.03\0")

namespace {

std::string g_name;
vonderil::LogFile* g_log = nullptr;

void Log(const char* line) { g_log->Write(g_name + ": " + line); }

void LogParameters(const vonderil::DriverParameters& p) {
  if (!p.keyFound) {
    Log("no Parameter key: no ports to serve");
    return;
  }
  char line[512];
  std::snprintf(line, sizeof line, "read %u server(s), %zu mapped port(s), flags 0x%08x", p.servers,
                p.ports.size(), p.flags);
  Log(line);
  for (const auto& port : p.ports) {
    std::string where = port.devicePort == 0 ? std::string("I/O port")
                                             : "port " + std::to_string(port.devicePort);
    std::snprintf(line, sizeof line, "COM%u -> %s:%u (Server%u \"%s\", %s%s)", port.comNumber,
                  vonderil::DottedAddress(port.address).c_str(), port.tcpPort, port.server,
                  port.serverName.c_str(), where.c_str(), port.fixedConfig ? ", fixed settings" : "");
    Log(line);
  }
  for (const auto& note : p.notes) Log(note.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // A stop request that comes while the parameters are read waits in the
  // signal queue for the event loop instead of killing the program.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGINT);
  sigprocmask(SIG_BLOCK, &stops, nullptr);
  g_name = argc > 1 ? argv[1] : "Vonderil";
  vonderil::LogFile log;
  g_log = &log;
  vonderil::EventLoop loop;
  vonderil::PortSet ports(loop, tarvik::StateRoot() + "/dev", tarvik::RunDirectory(),
                          [](const std::string& line) { Log(line.c_str()); });
  auto report = [&ports](uint32_t state) {
    if (state == tarvik::kServiceStopPending) ports.SetStopping(true);
    if (state == tarvik::kServiceStopped) ports.RemoveStatus();
    tarvik::ReportServiceState(g_name, state);
  };
  vonderil::DriverService service(loop, report, Log);
  report(tarvik::kServiceStartPending);
  Log("starting, version 2.14.03");
  vonderil::DriverParameters parameters = vonderil::ReadDriverParameters(g_name);
  LogParameters(parameters);
  const size_t made = ports.Make(
      parameters, [&service](std::unique_ptr<vonderil::RelayPort> p) { service.AddPort(std::move(p)); },
      [&service] { service.PortReleased(); });
  if (!parameters.ports.empty()) {
    Log((std::to_string(made) + " port(s) ready under " + tarvik::StateRoot() + "/dev").c_str());
  }
  return service.Run();
}
