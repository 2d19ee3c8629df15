// The run-time side of a service: its process and the files under run/
// that tie the process to the service (pid, reported state, log).
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tarvik/win_errors.h"

namespace tarvik {
namespace service_runtime {

struct RunFiles {
  std::string pid;    // "<pid> <start time>": written by the manager at start
  std::string state;  // "<pid> <state>": written by the program
  std::string log;    // the program's standard output and error
  std::string lock;   // held while a start is under way
};
RunFiles FilesOf(const std::string& serviceName);

// The process the service runs as, or 0 when it runs no longer. A pid whose
// process ended, is a zombie or was reused for another program counts as
// gone.
pid_t LivePid(const RunFiles& files);

// The state last reported by process pid, or 0 when it reported none.
uint32_t ReportedState(const RunFiles& files, pid_t pid);

// True when the last process started for the service has ended without
// reporting that it stopped.
bool EndedUnreported(const RunFiles& files);

// Starts program detached (own session) with argument serviceName and the
// given state root in TARVIK_ROOT. Returns 0 and the program's pid once it
// has been executed, or the Windows code of the exec failure.
LSTATUS Spawn(const std::string& program, const std::string& serviceName,
              const std::string& stateRoot, const RunFiles& files, pid_t* pid);

// Start time of a process in clock ticks since boot (field 22 of
// /proc/<pid>/stat), or 0 when unknown; 'Z'/'X' processes give 0.
uint64_t ProcessStartTime(pid_t pid);

// Writes text to path through a temporary file and a rename, so a reader
// never sees half of it.
LSTATUS WriteFileAtomic(const std::string& path, const std::string& text);

// Waits real time, at most ms, for process pid to end. True when it ended.
bool WaitForExit(pid_t pid, uint32_t ms);

}  // namespace service_runtime
}  // namespace tarvik
