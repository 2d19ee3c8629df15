// Helpers for tests that start real service programs.
#pragma once
#include <cstdint>
#include <string>

#include "tarvik/service_manager.h"

namespace tarvik {

// Creates a service that runs program (with the manager opened for all
// access); returns the create result.
LSTATUS CreateTestService(const std::string& name, const std::string& program,
                          uint32_t startType = kServiceDemandStart);

// The service's status (state 0 when it cannot be queried).
ServiceStatus StatusOf(const std::string& name);

// Waits in real time (up to 10 s) until the service is in state; returns the
// state it was last seen in.
uint32_t WaitForState(const std::string& name, uint32_t state);

// Selects what the test service program does (see service_test_program.cpp).
void SetTestServiceMode(const char* mode);

// Kills the service's process with SIGKILL, if it has one, and waits for it
// to be gone. Tests use it to clean up whatever they left running.
void KillService(const std::string& name);

// Kills the named service's process when the scope ends.
class ServiceReaper {
 public:
  explicit ServiceReaper(std::string name) : name_(std::move(name)) {}
  ~ServiceReaper() { KillService(name_); }
  ServiceReaper(const ServiceReaper&) = delete;
  ServiceReaper& operator=(const ServiceReaper&) = delete;

 private:
  std::string name_;
};

}  // namespace tarvik
