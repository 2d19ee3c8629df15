// Debian's ser2net as an RFC 2217 peer for tests, on loopback only.
//
// A socat pty pair stands for a serial line with a device on it: ser2net
// serves one end (the line) through a telnet(rfc2217) accepter on
// 127.0.0.1, and the test plays the device on the other end. What an RFC
// 2217 client sets shows in the termios of the line end (tcgetattr on
// LinePath()); what it sends comes out at DevicePath(), and what is written
// there comes back to it.
//
// The folder, both programs and their logs belong to the object: its
// destructor stops the two programs it started (by their pids) and removes
// the folder. The socat line is "socat -d -d pty,raw,echo=0,link=LINE
// pty,raw,echo=0,link=DEVICE"; ser2net runs in the foreground with its
// YAML file in the folder:
//
//   connection: &tarvik
//     accepter: telnet(rfc2217),tcp,127.0.0.1,PORT
//     connector: serialdev,LINE,9600n81,local
//     options:
//       mdns: false
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <termios.h>

#include <string>

namespace tarvik::testing {

class Ser2netPeer {
 public:
  Ser2netPeer() = default;
  ~Ser2netPeer();
  Ser2netPeer(const Ser2netPeer&) = delete;
  Ser2netPeer& operator=(const Ser2netPeer&) = delete;

  // Starts socat and ser2net and waits until ser2net listens; false, with
  // *why, when one is not installed (tools/setup/packages.txt installs both,
  // so a missing one is a fault of the machine, not a reason to skip) or
  // does not come up.
  bool Start(std::string* why);

  uint16_t Port() const { return port_; }              // on 127.0.0.1
  const std::string& LinePath() const { return line_; }  // ser2net's serial line
  const std::string& DevicePath() const { return device_; }
  // The termios ser2net has set on its serial line.
  bool ReadLine(termios* out) const;
  // What ser2net and socat printed, for failure messages.
  std::string Log() const;

 private:
  bool StartSocat(std::string* why);
  bool StartSer2net(std::string* why);
  void Stop(pid_t* pid);

  std::string dir_;
  std::string line_;
  std::string device_;
  uint16_t port_ = 0;
  pid_t socat_ = -1;
  pid_t ser2net_ = -1;
};

}  // namespace tarvik::testing
