// tarvikctl driver install|start|stop|status: the driver stand-in's file and
// its service in the current state root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "tarvik/clock.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"
#include "tarvik/text.h"
#include "tarvik/unique_fd.h"

namespace tarvikctl {
namespace {

constexpr char kService[] = "Vonderil";
constexpr int kPolls = 15;
constexpr uint32_t kPollMs = 1000;

std::string DriverImagePath() { return tarvik::SystemDirectory() + "\\Drivers\\Vonderil.sys"; }

// The service status text the utility shows for a state (or 1060).
uint32_t ServiceStatusText(char* text, size_t size) {
  tarvik::CopyText(text, size, "N/A");
  tarvik::ScManager manager;
  tarvik::ServiceHandle service;
  if (manager.Open(tarvik::kScManagerConnect) != tarvik::kErrorSuccess ||
      service.Open(manager, kService, tarvik::kServiceQueryStatus) != tarvik::kErrorSuccess) {
    tarvik::CopyText(text, size, "Service does not exist!");
    return tarvik::kErrorServiceDoesNotExist;
  }
  tarvik::ServiceStatus status;
  if (service.QueryStatus(&status) != tarvik::kErrorSuccess) return 0;
  static const char* const kTexts[] = {
      "Driver is not running.",      "Driver is starting.",      "Driver is stopping.",
      "Driver is running.",          "Driver continue is pending.", "Driver pause is pending.",
      "Driver is paused.",
  };
  if (status.currentState >= 1 && status.currentState <= 7) {
    tarvik::CopyText(text, size, kTexts[status.currentState - 1]);
  } else {
    tarvik::FormatText(text, size, "Unknown Status(0x%08x)!", status.currentState);
  }
  return status.currentState;
}

int PrintStatus() {
  char text[200];
  uint32_t state = ServiceStatusText(text, sizeof text);
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
    return Fail("the driver did not stop: make sure its virtual COM ports are all closed");
  }
  return PrintStatus();
}

// Copies the stand-in built beside this program into the state root.
int Install() {
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return Fail("cannot find the folder of tarvikctl");
  std::string source(self, static_cast<size_t>(n));
  source = source.substr(0, source.rfind('/') + 1) + "Vonderil.sys";
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

int Driver(const Args& args) {
  if (args.size() == 1) {
    if (args[0] == "start") return Start();
    if (args[0] == "stop") return Stop();
    if (args[0] == "status") return PrintStatus();
    if (args[0] == "install") return Install();
  }
  return Fail("usage: tarvikctl driver install|start|stop|status");
}

TarvikctlCommand g_driver({"driver", "driver install|start|stop|status", Driver});

}  // namespace
}  // namespace tarvikctl
