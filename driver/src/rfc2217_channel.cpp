#include "rfc2217_channel.h"

#include <utility>

namespace vonderil {

using tarvik::device::ComPortCommand;
using tarvik::device::OptionState;
using tarvik::device::RequestResult;
using tarvik::device::Rfc2217Event;
using tarvik::device::StopSize;

Rfc2217Channel::Rfc2217Channel(uint32_t comNumber, PortClock& clock, const PortLog::Sink& log,
                               Deliver deliver)
    : comNumber_(comNumber), clock_(clock), log_(comNumber, clock, log), deliver_(std::move(deliver)) {}

Rfc2217Channel::~Rfc2217Channel() {
  clock_.Cancel(&ackTimer_);
  clock_.Cancel(&postTimer_);
}

void Rfc2217Channel::Send(const SettingsJob& job) {
  if (job.kind == SettingsJob::Kind::kAsk) {
    SettingsResult r;
    r.comNumber = comNumber_;
    r.ticket = job.ticket;
    r.ok = true;
    r.known = link_ != nullptr && confirmed_.has_value();
    if (r.known) r.device = *confirmed_;
    Post(r);
    return;
  }
  // One change at a time (the port sees to it); a newer one replaces it.
  job_ = job;
  last_ = job.settings;
  if (!link_) return;  // goes when the next connection has started
  Issue(job.sendBaud || !confirmed_, job.sendStopBits || !confirmed_);
}

void Rfc2217Channel::Issue(bool baud, bool stop) {
  clock_.Cancel(&ackTimer_);
  wait_.reset();
  if (!link_ || !last_) return;
  Wait wait;
  wait.settings = *last_;
  bool notCarried = false;
  const auto note = [&](RequestResult r, bool* waits) {
    if (r == RequestResult::kSent || r == RequestResult::kQueued) *waits = true;
    if (r == RequestResult::kNotAvailable) notCarried = true;
  };
  // Baud rate 0 is no rate (the filter refuses it); LineSync never sends it.
  if (baud && last_->baud != 0) note(link_->SetBaudRate(last_->baud), &wait.baud);
  if (stop) {
    note(link_->SetStopSize(last_->twoStopBits ? StopSize::kTwo : StopSize::kOne), &wait.stop);
  }
  if (notCarried) {
    Finish(SettingsResult::Ack::kNotCarried);
    return;
  }
  if (!wait.baud && !wait.stop) {
    Answered();
    return;
  }
  wait_ = wait;
  // Requests that wait for the answer to COM-PORT-OPTION are not sent yet:
  // their time starts when it comes (the link bounds that wait itself).
  if (link_->ComPort() == OptionState::kOn) ArmAckTimer();
}

void Rfc2217Channel::ArmAckTimer() {
  clock_.Cancel(&ackTimer_);
  ackTimer_ = clock_.After(kAckTimeoutMs, [this] {
    ackTimer_ = {};
    wait_.reset();
    // Answers that come later are notices, not taken for the next change.
    if (link_) link_->ForgetPendingRequests();
    Finish(SettingsResult::Ack::kTimedOut);
  });
}

void Rfc2217Channel::Answered() {
  clock_.Cancel(&ackTimer_);
  confirmed_ = wait_ ? wait_->settings : last_;
  wait_.reset();
  Finish(SettingsResult::Ack::kConfirmed);
}

void Rfc2217Channel::Finish(SettingsResult::Ack ack) {
  clock_.Cancel(&ackTimer_);
  if (!job_) return;
  SettingsResult r;
  r.comNumber = comNumber_;
  r.ticket = job_->ticket;
  r.ok = true;
  r.ack = ack;
  // What was asked for: a server that took a nearby rate has still taken
  // the change (the port table shows its own figure).
  r.device = job_->settings;
  job_.reset();
  Post(r);
}

void Rfc2217Channel::Post(const SettingsResult& result) {
  results_.push_back(result);
  if (postTimer_.Armed()) return;
  postTimer_ = clock_.After(0, [this] {
    postTimer_ = {};
    std::deque<SettingsResult> results;
    results.swap(results_);
    for (const SettingsResult& r : results) deliver_(r);
  });
}

void Rfc2217Channel::LinkStarted(Rfc2217Link& link) {
  link_ = &link;
  confirmed_.reset();
  // The server may begin each connection with its own settings: the last
  // ones sent go again, ahead of any data (they wait in the filter for its
  // answer to COM-PORT-OPTION, and the data behind them).
  if (last_) Issue(true, true);
}

void Rfc2217Channel::LinkEvent(Rfc2217Link& link, const Rfc2217Event& event) {
  if (&link != link_) return;
  switch (event.kind) {
    case Rfc2217Event::Kind::kComPortAccepted:
      if (refused_) log_.Line("the server does RFC 2217 com-port control again");
      refused_ = false;
      if (wait_) ArmAckTimer();
      break;
    case Rfc2217Event::Kind::kComPortRefused:
      if (!refused_) {
        log_.Line("the server does not do RFC 2217 com-port control: data only, line settings "
                  "go nowhere");
      }
      refused_ = true;
      wait_.reset();
      Finish(SettingsResult::Ack::kNotCarried);
      break;
    case Rfc2217Event::Kind::kRequestDropped:
      Finish(SettingsResult::Ack::kNotCarried);
      break;
    case Rfc2217Event::Kind::kAcknowledged:
      if (!wait_) break;
      if (event.command == ComPortCommand::kSetBaudRate && event.requested == wait_->settings.baud) {
        wait_->baud = false;
      } else if (event.command == ComPortCommand::kSetStopSize &&
                 event.requested ==
                     static_cast<uint32_t>(wait_->settings.twoStopBits ? StopSize::kTwo
                                                                       : StopSize::kOne)) {
        wait_->stop = false;
      }
      if (!wait_->baud && !wait_->stop) Answered();
      break;
    default:
      break;
  }
}

void Rfc2217Channel::LinkGone(Rfc2217Link& link) {
  if (&link != link_) return;
  link_ = nullptr;
  confirmed_.reset();
  // A change under way waits for the next connection, which sends it again.
  wait_.reset();
  clock_.Cancel(&ackTimer_);
}

void Rfc2217Channel::FillStatus(PortStatusLine* status) const {
  if (!link_) return;
  const tarvik::device::ReportedLine& r = link_->Reported();
  status->serverBaud = r.baudRate;
  if (r.lineStateSeen) status->lineBits = r.lineState;
  if (r.modemStateSeen) status->modemBits = r.modemState;
}

}  // namespace vonderil
