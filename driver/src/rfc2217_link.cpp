#include "rfc2217_link.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace vonderil {

using tarvik::device::RequestResult;
using tarvik::device::Rfc2217Event;

Rfc2217Link::Rfc2217Link(std::unique_ptr<DeviceLink> inner, PortClock& clock,
                         Rfc2217Listener& listener)
    : inner_(std::move(inner)), clock_(clock), listener_(listener) {}

Rfc2217Link::~Rfc2217Link() {
  clock_.Cancel(&negotiationTimer_);
  listener_.LinkGone(*this);
}

int Rfc2217Link::ConnectError() {
  const int error = inner_->ConnectError();
  if (error != 0 || started_) return error;
  started_ = true;
  out_.Clear();
  filter_.Start(&out_);
  Take();
  if (filter_.Negotiating()) {
    negotiationTimer_ = clock_.After(kNegotiationMs, [this] {
      negotiationTimer_ = {};
      out_.Clear();
      filter_.NegotiationTimedOut(&out_);
      Take();
    });
  }
  listener_.LinkStarted(*this);
  return 0;
}

void Rfc2217Link::Take() {
  if (!out_.network.empty()) {
    backlog_.append(out_.network);
    out_.network.clear();
    Flush();
  }
  if (out_.events.empty()) return;
  // A listener may make a request from within, which uses out_ again.
  std::vector<Rfc2217Event> events;
  events.swap(out_.events);
  for (const Rfc2217Event& e : events) {
    if (e.kind == Rfc2217Event::Kind::kNegotiated) clock_.Cancel(&negotiationTimer_);
    listener_.LinkEvent(*this, e);
  }
}

void Rfc2217Link::Flush() {
  while (backlogAt_ < backlog_.size() && failed_ == 0) {
    int error = 0;
    const ssize_t n = inner_->Send(backlog_.data() + backlogAt_, backlog_.size() - backlogAt_, &error);
    if (n < 0 && error == EAGAIN) break;
    if (n <= 0) {
      failed_ = error != 0 ? error : EPIPE;
      break;
    }
    backlogAt_ += static_cast<size_t>(n);
  }
  if (backlogAt_ == backlog_.size() || failed_ != 0) {
    backlog_.clear();
    backlogAt_ = 0;
  }
  UpdateWatch();
}

void Rfc2217Link::UpdateWatch() {
  // A failure shows at the next read, so the session gets to it.
  inner_->Watch(wantRead_ || failed_ != 0, wantWrite_ || !backlog_.empty());
}

ssize_t Rfc2217Link::Send(const char* data, size_t size, int* error) {
  if (!started_) return inner_->Send(data, size, error);
  if (failed_ == 0 && backlog_.size() - backlogAt_ >= kBacklog) {
    Flush();
    if (failed_ == 0 && backlog_.size() - backlogAt_ >= kBacklog) {
      *error = EAGAIN;
      return -1;
    }
  }
  if (failed_ != 0) {
    *error = failed_;
    return -1;
  }
  out_.Clear();
  filter_.FromApplication(reinterpret_cast<const uint8_t*>(data), size, &out_);
  Take();
  if (failed_ != 0) {
    *error = failed_;
    return -1;
  }
  return static_cast<ssize_t>(size);
}

ssize_t Rfc2217Link::Receive(char* into, size_t room, int* error) {
  if (!started_) return inner_->Receive(into, room, error);
  char buffer[16384];  // as much as the session's queue takes at once
  for (;;) {
    if (failed_ != 0) {
      *error = failed_;
      return -1;
    }
    const ssize_t n = inner_->Receive(buffer, std::min(room, sizeof buffer), error);
    if (n <= 0) return n;
    out_.Clear();
    filter_.FromNetwork(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(n), &out_);
    // Never more than came in, so it fits the room asked for.
    std::string data = std::move(out_.application);
    Take();
    if (!data.empty()) {
      std::memcpy(into, data.data(), data.size());
      return static_cast<ssize_t>(data.size());
    }
  }
}

void Rfc2217Link::Watch(bool read, bool write) {
  wantRead_ = read;
  wantWrite_ = write;
  UpdateWatch();
}

void Rfc2217Link::OnReady(uint32_t ready) {
  if (ready & kWritable) Flush();
}

void Rfc2217Link::Purge(uint32_t flushed) {
  using tarvik::device::PurgeTarget;
  if (!started_ || flushed == 0) return;
  // The application's input is what the server received from the line;
  // its output is what the server holds to write to it.
  const PurgeTarget what = flushed == (kFlushedInput | kFlushedOutput) ? PurgeTarget::kBoth
                           : flushed == kFlushedInput                  ? PurgeTarget::kReceived
                                                                       : PurgeTarget::kToTransmit;
  out_.Clear();
  filter_.Purge(what, &out_);
  Take();
}

RequestResult Rfc2217Link::SetBaudRate(uint32_t baud) {
  out_.Clear();
  const RequestResult r = filter_.SetBaudRate(baud, &out_);
  Take();
  return r;
}

RequestResult Rfc2217Link::SetStopSize(tarvik::device::StopSize stop) {
  out_.Clear();
  const RequestResult r = filter_.SetStopSize(stop, &out_);
  Take();
  return r;
}

std::unique_ptr<DeviceLink> Rfc2217LinkMaker::Start(uint32_t address, uint32_t port, int* error) {
  std::unique_ptr<DeviceLink> inner = inner_.Start(address, port, error);
  if (!inner) return nullptr;
  return std::make_unique<Rfc2217Link>(std::move(inner), clock_, listener_);
}

}  // namespace vonderil
