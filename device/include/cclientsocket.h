// The TCP client socket under a command-port session. It owns one
// non-blocking socket and turns the progress of a connect and the peer's
// close into notification calls (OnConnect, OnClose) that the owner's wait
// loop delivers on its own thread, so nothing here blocks for longer than
// the wait it is asked for.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "tarvik/unique_fd.h"

class CClientSocket {
 public:
  CClientSocket() = default;
  virtual ~CClientSocket() = default;
  CClientSocket(const CClientSocket&) = delete;
  CClientSocket& operator=(const CClientSocket&) = delete;

  // 1 after a successful connect notification, 0 otherwise.
  int32_t connected = 0;

  // Creates a fresh non-blocking TCP socket (closing any earlier one).
  // Returns false with the system error code in *error.
  bool Create(int* error);
  // Starts a non-blocking connect to address (first octet in the lowest
  // byte) and port. The outcome arrives later as OnConnect; a port above
  // 65535 fails at once rather than reaching some other port.
  void StartConnect(uint32_t address, uint32_t port);
  // Waits at most ms for the pending connect to finish and delivers
  // OnConnect. Returns true when a notification was delivered.
  bool WaitForConnect(uint32_t ms);
  // True once a connect was started and has failed.
  bool ConnectFailed() const { return connectError_ != 0; }

  // Waits at most ms until data (or the peer's close) is waiting.
  // Returns false when the wait ran out or there is no socket.
  bool WaitReadable(uint32_t ms);
  // Non-blocking receive: > 0 bytes read, 0 the peer closed (OnClose is
  // delivered), -1 nothing waiting or a failure (system code in *error).
  ssize_t Receive(char* buffer, size_t size, int* error);
  // One send call; returns what the system call returned.
  ssize_t Send(const char* data, size_t length);

  bool IsOpen() const { return fd_.Valid(); }
  void Close();

  // Notifications, delivered from the wait calls above.
  virtual void OnReceive(int errorCode);
  virtual void OnSend(int errorCode);
  virtual void OnConnect(int errorCode);
  virtual void OnClose(int errorCode);

 private:
  tarvik::UniqueFd fd_;
  bool connectPending_ = false;
  int connectError_ = 0;
  // A connect that finished inside StartConnect still reaches the owner
  // through OnConnect, from the next wait.
  bool finishedEarly_ = false;
};
