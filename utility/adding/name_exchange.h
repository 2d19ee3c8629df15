// One device's name fetch as a non-blocking conversation, for an event loop
// that runs many at once: connect, "10" (name), "01" (firmware version),
// close. The answers are read as a command-port session reads them: the
// first chunk within the time-out after a command is its reply. Nothing
// here waits; the loop polls Fd() for Events() and calls OnReady and
// OnTime with the suite's clock.
#pragma once
#include <poll.h>

#include <cstdint>
#include <string>

#include "name_fetch.h"
#include "tarvik/unique_fd.h"

class NameExchange {
 public:
  // hostAddress in host order (the first octet in the high byte).
  NameExchange(uint32_t hostAddress, uint32_t port, uint32_t timeoutMs);

  // Makes the socket and starts the connect. False, with nothing started,
  // when the process has no descriptor to spare now: call again later. Any
  // other failure ends the exchange (Done()).
  bool Start(uint32_t now);
  bool Started() const { return stage_ != Stage::kNew; }
  bool Done() const { return stage_ == Stage::kDone; }

  // While started and not done: the socket and what to wait for.
  int Fd() const { return fd_.Get(); }
  short Events() const { return stage_ == Stage::kConnecting ? POLLOUT : POLLIN; }
  // When the current stage runs out.
  uint32_t Deadline() const { return deadline_; }
  void OnReady(short revents, uint32_t now);
  // Ends the stage (and the exchange) when its deadline has passed.
  void OnTime(uint32_t now);
  // When no socket can ever be made (the process holds no other one).
  void FailNoSocket();

  uint32_t Address() const { return address_; }
  const NameFetchResult& Result() const { return result_; }

 private:
  enum class Stage { kNew, kConnecting, kAskName, kAskVersion, kDone };
  void Ask(const char* command, Stage next, uint32_t now);
  void OnReply(uint32_t now);
  void Finish(bool ok);

  uint32_t address_;
  uint32_t port_;
  uint32_t timeoutMs_;
  Stage stage_ = Stage::kNew;
  uint32_t deadline_ = 0;
  const char* command_ = "";  // the command whose reply is awaited
  tarvik::UniqueFd fd_;
  NameFetchResult result_;
};
