// A tarvik-devsim child process for one test: its device file and log in a
// private temporary folder, started and stopped with the object.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace findra_test {

class DevsimProcess {
 public:
  DevsimProcess() = default;
  ~DevsimProcess();
  DevsimProcess(const DevsimProcess&) = delete;
  DevsimProcess& operator=(const DevsimProcess&) = delete;

  // Writes deviceFile and starts the simulator on it; true once it
  // listens.
  bool Start(const std::string& deviceFile);
  void Stop();
  // The log's lines so far.
  std::vector<std::string> LogLines() const;
  // Log lines that begin with prefix.
  std::vector<std::string> LogLinesStarting(const std::string& prefix) const;

 private:
  std::string folder_;
  pid_t pid_ = -1;
};

// One "[device]" section.
std::string DeviceSection(const std::string& name, const std::string& mac,
                          const std::string& more = std::string());
// "02:4E:A7:xx:xx:xx" for device n.
std::string MacOf(int n);

}  // namespace findra_test
