// Sends line-setting changes of applications to the devices' command ports
// (codes 06 and 07 of the command protocol, through the utility's session
// CZorn3). A command-port conversation blocks for up to its time-out, so it
// runs on one worker thread of its own and never stalls the event loop.
//
// The loop thread calls Send; the worker runs the jobs in order. A job for
// a port that is still waiting is replaced by the newer one, so a burst of
// changes costs one conversation. Results go to the log function, which is
// called from the worker thread.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "line_settings.h"

namespace vonderil {

struct SettingsJob {
  uint32_t comNumber = 0;
  uint32_t address = 0;    // first octet in the low byte
  uint32_t cmdPort = 0;    // the device's TcpPortCmd
  uint32_t timeoutMs = 0;  // the server's ConnectTimeout
  uint32_t devicePort = 0;
  LineSettings settings;
  bool sendBaud = false;
  bool sendStopBits = false;
};

class SettingsSender {
 public:
  using LogLine = std::function<void(const std::string& line)>;

  explicit SettingsSender(LogLine log);
  ~SettingsSender();  // finishes the job under way, drops the rest
  SettingsSender(const SettingsSender&) = delete;
  SettingsSender& operator=(const SettingsSender&) = delete;

  void Send(const SettingsJob& job);
  // Waits until every job sent so far is done (for tests and shutdown).
  void Drain();

 private:
  void Work();
  void Run(const SettingsJob& job);

  LogLine log_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<SettingsJob> jobs_;
  bool busy_ = false;
  bool quit_ = false;
  std::thread worker_;
};

}  // namespace vonderil
