// A command-port session: one short TCP conversation with a device server's
// command port. The owner sets address, port and time-out, calls Connect,
// runs a few commands one after the other and calls Close. Every operation
// sets the status text before it talks to the device and replaces it by a
// failure text where it has one; the dialogs show that text.
//
// Connect keeps calling tarvik::PumpUiEvents() while it waits, so the UI
// stays usable; an exchange blocks its caller for up to its time-out. Both
// wait on socket readiness with a deadline, never by spinning. Everything
// runs on the caller's thread; a session is not shared between threads.
//
// Exchange results: 0 reply, 1 no reply (time-out, closed connection, or an
// empty payload), 2 error reply (payload beginning with "ERROR").
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "cclientsocket.h"
#include "cmip.h"

class CZorn3 {
 public:
  static constexpr size_t kReplySize = 100;  // 99 characters and the NUL
  static constexpr uint32_t kLockQueryTimeoutMs = 3000;

  CZorn3() = default;
  virtual ~CZorn3() = default;
  CZorn3(const CZorn3&) = delete;
  CZorn3& operator=(const CZorn3&) = delete;

  // Session settings, filled by the owner before Connect.
  CMIP& Address() { return address_; }
  void SetPort(uint32_t port) { port_ = port; }
  uint32_t GetPort() const { return port_; }
  void SetTimeout(uint32_t ms) { timeout_ = ms; }
  uint32_t GetTimeout() const { return timeout_; }

  const std::string& StatusText() const { return status_; }
  int32_t LastError() const { return lastError_; }
  // The payload of the last reply, at most 99 characters.
  const char* Reply() const { return reply_; }

  // 0 connected; 1 failed (socket closed; the status text is then
  // "Connecting...", or "Create socket! No net-resource?!" when no socket
  // could be made). Waits up to the time-out; a refused connection ends
  // the wait at once. The addresses 0.0.0.0 (which an invalid address text
  // becomes) and 255.255.255.255 are refused at once, with the status text
  // "Invalid IP address!" and no connection tried.
  uint32_t Connect();
  // Closes the socket (harmless when closed); status "Connection closed.".
  void Close();

  // Drains stale bytes, sends command (when not empty) in one send, and
  // takes the first chunk that arrives within timeoutMs of the send as the
  // reply. The payload goes into result[size], cut to fit; result is empty
  // after any failure.
  uint32_t Exchange(const char* command, char* result, size_t size, uint32_t timeoutMs);

  uint32_t GetDeviceName(char* result, size_t size);
  uint32_t GetFirmwareVersion(char* result, size_t size);
  uint32_t GetOsVersion(char* result, size_t size);
  uint32_t GetGateway(char* result, size_t size);
  uint32_t GetSubnetMask(char* result, size_t size);
  uint32_t GetMacAddress(char* result, size_t size);
  uint32_t GetMaxSockets(char* result, size_t size);
  uint32_t GetSystemTimeout(char* result, size_t size);
  uint32_t GetShareMode(char* result, size_t size);
  // Baud rate and data format of one device port (not a COM number). A
  // port number with no command character gives 1 and sends nothing.
  uint32_t GetPortSettings(uint32_t port, char* result, size_t size);

  // 0 when the device answered with a payload beginning "OK", else -1.
  // A baud text longer than 15 characters (or a format that does not fit)
  // is refused without sending anything.
  int32_t SetPortBaudRate(uint32_t port, const char* baud);
  int32_t SetPortDataFormat(uint32_t port, const char* format);

  // Sends "26ISAVE=1," with the given items (null or empty = absent).
  // 0 when nothing is given (nothing sent) or the device answered; 1 no
  // response ("No response from device!"); 2 error reply, or a command too
  // long to send ("Setting Error!").
  uint32_t SetNetwork(const char* address, const char* mask, const char* gateway);
  // Sends "33RESET\r" once; the device reboots, the caller closes next.
  void Restart();

  // Lock state: 0 locked, 1 unlocked, 2 not supported, 3 no reply.
  uint32_t QueryLockStatus();
  // Proves the plain password on this connection. 0 unlocked (or an empty
  // password: nothing done), 1 not locked, 2 locking not supported, 3 no
  // reply or no key text from the device, 4 wrong password.
  uint32_t Unlock(const char* password);

 private:
  uint32_t Ask(const char* status, const char* command, char* result, size_t size);
  uint32_t AskSetting(const char* status, char letter, char* result, size_t size);
  int32_t SetPortText(const char* status, int code, uint32_t port, const char* text);
  // Waits until data is waiting or the deadline passes; false on time-out.
  bool WaitForReply(uint32_t start, uint32_t timeoutMs, uint32_t* waitedMs);

  char reply_[kReplySize] = {};
  int32_t lastError_ = 0;
  std::string status_;
  uint32_t port_ = 10000;
  uint32_t timeout_ = 3000;
  CMIP address_;
  CClientSocket socket_;
};
