// The device side of one port's configuration: read the port's serial
// settings once a visit asks for them, and write back only what changed.
// Widget-free: the port page shows the status lines it reports and the
// values it keeps. Every action opens its own connection and closes it at
// its end, also after a failure.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "czorn3.h"
#include "port_payload.h"

namespace tarvik::device {

class PortDeviceSettings {
 public:
  // The port: its server's name (decides the limited-port rules), the index
  // of its port mapping and its device port number.
  PortDeviceSettings(CZorn3& session, std::string serverName, int entry, uint32_t devicePort);

  // Each new status line goes here as it happens (the page redraws).
  void SetStatusSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }
  void SetDevice(uint32_t address, uint32_t commandPort, uint32_t timeoutMs);

  bool Limited() const { return limited_; }
  // True once a reply began with a baud rate; until then every visit reads.
  bool IsRead() const { return isRead_; }
  const PortPageValues& ReadValues() const { return read_; }
  const PortPageValues& Taken() const { return taken_; }
  const std::string& StatusLine() const { return status_; }

  // Connects, asks for the port's settings and parses them. Returns true
  // when the reply parsed. The read values hold whatever the reply gave.
  bool Read();

  // True when baud or the three list positions differ from the values read.
  bool Differs(const std::string& baud, const PortPageValues& lists) const;

  enum class WriteResult { kNothingChanged, kWritten, kFailed };
  // Takes the list positions, then sends the baud rate when baud differs
  // from the one read and the data format when the lists differ. On
  // success the sent values become the read ones.
  WriteResult Write(const std::string& baud, const PortPageValues& lists);

 private:
  void Status(const std::string& text);
  WriteResult Fail(const std::string& reason);

  CZorn3& session_;
  std::string serverName_;
  int entry_;
  uint32_t devicePort_;
  bool limited_;
  bool isRead_ = false;
  PortPageValues read_;
  PortPageValues taken_;
  std::string status_;
  std::function<void(const std::string&)> sink_;
};

}  // namespace tarvik::device
