#include "settings_sender.h"

#include <cstdio>

#include "czorn3.h"
#include "port_settings.h"

namespace vonderil {

SettingsSender::SettingsSender(LogLine log) : log_(std::move(log)) {
  worker_ = std::thread([this] { Work(); });
}

SettingsSender::~SettingsSender() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  worker_.join();
}

void SettingsSender::Send(const SettingsJob& job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bool merged = false;
    for (SettingsJob& waiting : jobs_) {
      if (waiting.comNumber != job.comNumber) continue;
      const bool baud = waiting.sendBaud || job.sendBaud;
      const bool stop = waiting.sendStopBits || job.sendStopBits;
      waiting = job;
      waiting.sendBaud = baud;
      waiting.sendStopBits = stop;
      merged = true;
    }
    if (!merged) jobs_.push_back(job);
  }
  wake_.notify_one();
}

void SettingsSender::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void SettingsSender::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
    if (quit_) return;
    SettingsJob job = jobs_.front();
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    Run(job);
    lock.lock();
    busy_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
}

void SettingsSender::Run(const SettingsJob& job) {
  const std::string com = "COM" + std::to_string(job.comNumber);
  CZorn3 session;
  session.Address().SetValue(job.address);
  session.SetPort(job.cmdPort);
  session.SetTimeout(job.timeoutMs);
  if (session.Connect() != 0) {
    log_(com + ": line settings not sent: the command port " + session.Address().GetText() + ":" +
         std::to_string(job.cmdPort) + " does not answer");
    return;
  }
  if (job.sendBaud) {
    const std::string baud = std::to_string(job.settings.baud);
    const bool ok = session.SetPortBaudRate(job.devicePort, baud.c_str()) == 0;
    log_(com + ": baud rate " + baud + (ok ? " set on the device" : " refused by the device"));
  }
  if (job.sendStopBits) {
    // Data bits and parity stay as the device has them: ask for them first.
    char reply[CZorn3::kReplySize] = "";
    tarvik::device::PortSettings now;
    session.GetPortSettings(job.devicePort, reply, sizeof reply);
    tarvik::device::ParsePortSettings(reply, {}, &now);
    if (now.dataBits == 0 || now.parity == 0) {
      log_(com + ": stop bits not sent: the device did not report its data format");
    } else {
      const char format[4] = {now.dataBits, now.parity, job.settings.twoStopBits ? '2' : '1', 0};
      const bool ok = session.SetPortDataFormat(job.devicePort, format) == 0;
      log_(com + ": data format " + format + (ok ? " set on the device" : " refused by the device"));
    }
  }
  session.Close();
}

}  // namespace vonderil
