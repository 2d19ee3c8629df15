#include "settings_sender.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>

#include "czorn3.h"
#include "port_settings.h"

namespace vonderil {

SettingsSender::SettingsSender(EventLoop& loop, Deliver deliver)
    : loop_(loop), deliver_(std::move(deliver)) {
  wake_.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (wake_.Valid() && !loop_.Watch(wake_.Get(), EPOLLIN, [this](uint32_t) { Collect(); })) {
    wake_.Reset();
  }
}

SettingsSender::~SettingsSender() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    jobs_.clear();
  }
  work_.notify_all();
  for (std::thread& t : workers_) t.join();
  if (wake_.Valid()) loop_.Unwatch(wake_.Get());
}

void SettingsSender::Send(const SettingsJob& job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(job);
    if (waiting_ == 0 && workers_.size() < kWorkers) {
      workers_.emplace_back([this] { Work(); });
    }
  }
  work_.notify_all();
}

void SettingsSender::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && running_ == 0; });
}

void SettingsSender::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // The first job whose command port no other worker talks to.
    auto job = jobs_.end();
    ++waiting_;
    work_.wait(lock, [&] {
      if (quit_) return true;
      for (job = jobs_.begin(); job != jobs_.end(); ++job) {
        if (busy_.count({job->address, job->cmdPort}) == 0) return true;
      }
      return false;
    });
    --waiting_;
    if (quit_) return;
    const SettingsJob taken = *job;
    jobs_.erase(job);
    const Endpoint endpoint{taken.address, taken.cmdPort};
    busy_.insert(endpoint);
    ++running_;
    lock.unlock();
    SettingsResult result = RunSettingsJob(taken);
    lock.lock();
    busy_.erase(endpoint);
    --running_;
    results_.push_back(std::move(result));
    const uint64_t one = 1;
    (void)!::write(wake_.Get(), &one, sizeof one);
    // Jobs that waited for this command port may go now.
    work_.notify_all();
    if (jobs_.empty() && running_ == 0) idle_.notify_all();
  }
}

void SettingsSender::Collect() {
  uint64_t count = 0;
  (void)!::read(wake_.Get(), &count, sizeof count);
  std::vector<SettingsResult> results;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    results.swap(results_);
  }
  for (const SettingsResult& r : results) deliver_(r);
}

SettingsResult RunSettingsJob(const SettingsJob& job) {
  SettingsResult result;
  result.comNumber = job.comNumber;
  result.ticket = job.ticket;
  CZorn3 session;
  session.Address().SetValue(job.address);
  session.SetPort(job.cmdPort);
  session.SetTimeout(job.timeoutMs);
  const std::string where = session.Address().GetText() + ":" + std::to_string(job.cmdPort);
  if (session.Connect() != 0) {
    result.failure = "the command port " + where + " does not answer";
    return result;
  }
  LineSettings device = job.settings;
  char dataBits = job.dataBits, parity = job.parity;
  // Asked for, and needed before a change of the stop bits: 07 sets data
  // bits and parity too, and those stay as the device has them.
  if (job.kind == SettingsJob::Kind::kAsk || (job.sendStopBits && (dataBits == 0 || parity == 0))) {
    char reply[CZorn3::kReplySize] = "";
    tarvik::device::PortSettings now;
    if (session.GetPortSettings(job.devicePort, reply, sizeof reply) != 0 ||
        tarvik::device::ParsePortSettings(reply, {}, &now) != tarvik::device::PortParse::kOk ||
        now.dataBits == 0 || now.parity == 0) {
      result.failure = "the device did not report its port settings";
      session.Close();
      return result;
    }
    dataBits = now.dataBits;
    parity = now.parity;
    result.dataBits = dataBits;
    result.parity = parity;
    if (job.kind == SettingsJob::Kind::kAsk) {
      device.baud = static_cast<uint32_t>(std::strtoul(now.baud.c_str(), nullptr, 10));
      device.twoStopBits = now.stopBits == '2';
    }
  }
  if (job.kind == SettingsJob::Kind::kSet && job.sendBaud) {
    const std::string baud = std::to_string(job.settings.baud);
    if (session.SetPortBaudRate(job.devicePort, baud.c_str()) != 0) {
      result.failure = "the device refused " + baud + " baud";
      session.Close();
      return result;
    }
  }
  if (job.kind == SettingsJob::Kind::kSet && job.sendStopBits) {
    const char format[4] = {dataBits, parity, job.settings.twoStopBits ? '2' : '1', 0};
    if (session.SetPortDataFormat(job.devicePort, format) != 0) {
      result.failure = std::string("the device refused the data format ") + format;
      session.Close();
      return result;
    }
  }
  session.Close();
  result.ok = true;
  result.device = device;
  return result;
}

}  // namespace vonderil
