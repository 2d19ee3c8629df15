// Any bytes from a server through the RFC 2217 filter's network side. The
// filter must not crash or read out of bounds, must give the same whatever
// the reads' boundaries, never gives the application more bytes than came,
// and what it gives the application goes back out and in again unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "rfc2217_filter.h"

using tarvik::device::Rfc2217Event;
using tarvik::device::Rfc2217Filter;
using tarvik::device::Rfc2217Output;

namespace {

bool SameEvents(const Rfc2217Output& a, const Rfc2217Output& b) {
  if (a.events.size() != b.events.size()) return false;
  for (size_t i = 0; i < a.events.size(); ++i) {
    const Rfc2217Event& x = a.events[i];
    const Rfc2217Event& y = b.events[i];
    if (x.kind != y.kind || x.command != y.command || x.requested != y.requested ||
        x.value != y.value)
      return false;
  }
  return true;
}

// Feeds data after a start and a baud-rate request, in reads whose lengths
// come from step (0: all at once).
Rfc2217Output Run(const uint8_t* data, size_t size, uint8_t step) {
  Rfc2217Filter filter;
  Rfc2217Output out;
  filter.Start(&out);
  filter.SetBaudRate(115200, &out);
  size_t at = 0;
  while (at < size) {
    size_t n = step == 0 ? size - at : 1 + (step + at) % 7;
    if (n > size - at) n = size - at;
    filter.FromNetwork(data + at, n, &out);
    at += n;
  }
  filter.NegotiationTimedOut(&out);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t step = data[0];
  ++data;
  --size;
  const Rfc2217Output whole = Run(data, size, 0);
  const Rfc2217Output pieces = Run(data, size, step | 1);
  if (whole.application != pieces.application || whole.network != pieces.network ||
      !SameEvents(whole, pieces))
    std::abort();
  if (whole.application.size() > size) std::abort();

  // Out through one filter and in through another, both binary as they
  // start, gives the bytes back.
  Rfc2217Filter sender, receiver;
  Rfc2217Output sent, received;
  sender.Start(&sent);
  receiver.Start(&received);
  sent.Clear();
  sender.FromApplication(reinterpret_cast<const uint8_t*>(whole.application.data()),
                         whole.application.size(), &sent);
  receiver.FromNetwork(reinterpret_cast<const uint8_t*>(sent.network.data()), sent.network.size(),
                       &received);
  if (received.application != whole.application || !received.events.empty()) std::abort();
  return 0;
}
