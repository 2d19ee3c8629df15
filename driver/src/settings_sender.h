// Runs the line-settings conversations of every port with the devices'
// command ports (codes 16, 06 and 07, through the utility's session CZorn3).
// A conversation blocks for up to its time-out, so they run on worker
// threads, never on the event loop.
//
// The loop thread calls Send; each port has at most one job under way (the
// port sees to that). Jobs for one command port (address and TcpPortCmd) run
// one after the other, in order; jobs for different command ports run side
// by side on up to kWorkers threads, started when needed, so a command port
// that never answers holds back only its own device. Each result goes back
// to the loop: the worker queues it and wakes the loop through an eventfd,
// and the loop thread hands it to deliver.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "event_loop.h"
#include "line_settings.h"
#include "port_ops.h"
#include "tarvik/unique_fd.h"

namespace vonderil {

class SettingsSender : public SettingsChannel {
 public:
  using Deliver = std::function<void(const SettingsResult& result)>;
  static constexpr size_t kWorkers = 8;

  // deliver runs on the loop's thread.
  SettingsSender(EventLoop& loop, Deliver deliver);
  // Finishes the jobs under way (each within its time-out), drops the rest.
  ~SettingsSender() override;
  SettingsSender(const SettingsSender&) = delete;
  SettingsSender& operator=(const SettingsSender&) = delete;

  bool Ok() const { return wake_.Valid(); }
  void Send(const SettingsJob& job) override;
  // Waits until every job sent so far is done and its result queued for the
  // loop (for tests).
  void Drain();

 private:
  using Endpoint = std::pair<uint32_t, uint32_t>;  // address, command port
  void Work();
  void Collect();

  EventLoop& loop_;
  Deliver deliver_;
  tarvik::UniqueFd wake_;
  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable idle_;
  std::deque<SettingsJob> jobs_;
  std::set<Endpoint> busy_;  // command ports a worker talks to now
  std::vector<SettingsResult> results_;
  size_t waiting_ = 0;       // workers waiting for a job
  size_t running_ = 0;       // jobs under way
  bool quit_ = false;
  std::vector<std::thread> workers_;
};

// One conversation, on the calling thread (the workers' body).
SettingsResult RunSettingsJob(const SettingsJob& job);

}  // namespace vonderil
