// The device side of one port's configuration: read the port's serial
// settings once a visit asks for them, and write back only what changed.
// Widget-free: the port page shows the status lines it reports and the
// values it keeps. Every action opens its own connection and closes it at
// its end, also after a failure.
//
// Two paths to the same page. A server whose data ports speak raw TCP is
// asked over its command port (codes 16, 06 and 07). A server whose data
// ports speak RFC 2217 (its DataProtocol is 1) carries the line settings
// on the port's data connection: read with the value-0 queries, set with
// SET-BAUDRATE, SET-DATASIZE, SET-PARITY and SET-STOPSIZE, and what the
// server acknowledged becomes the read values, also where it differs from
// what was asked. That connection is the application's while the driver
// holds the COM port, and the driver's while it keeps the connection open
// without one (many servers take one data connection only, and some drop
// the older one for a newer), so then nothing is tried and the status line
// says why.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "czorn3.h"
#include "port_payload.h"
#include "rfc2217_session.h"

namespace tarvik::device {

// Who has a COM port's data connection now.
enum class DataPortUse {
  kFree,    // nobody: the driver is not connected on it
  kHeld,    // an application has the COM port open
  kDriver,  // nobody holds it, but the driver keeps the connection (fast
            // open, or the close delay after an application closed it)
};

class PortDeviceSettings {
 public:
  // The port: its server's name (decides the limited-port rules), the index
  // of its port mapping and its device port number.
  PortDeviceSettings(CZorn3& session, std::string serverName, int entry, uint32_t devicePort);

  // Each new status line goes here as it happens (the page redraws).
  void SetStatusSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }
  // The data port of an RFC 2217 server is the command port plus the
  // device port, as the driver connects it.
  void SetDevice(uint32_t address, uint32_t commandPort, uint32_t timeoutMs);

  // The server's data ports speak RFC 2217; comNumber is this port's COM
  // number (0 when unmapped: the driver never holds it).
  void UseRfc2217(uint32_t comNumber);
  bool UsesRfc2217() const { return rfc2217_; }
  // Tells who has COM n's data connection; by default the running driver's
  // port table (run/Vonderil.ports) is read.
  using UseQuery = std::function<DataPortUse(uint32_t comNumber)>;
  void SetUseQuery(UseQuery query) { use_ = std::move(query); }

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
  // The reason this port cannot be reached now, or empty.
  std::string HeldReason() const;
  bool ReadRfc2217();
  WriteResult WriteRfc2217(const std::string& baud, bool baudChanged, const char* format);

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
  bool rfc2217_ = false;
  uint32_t comNumber_ = 0;
  UseQuery use_;
  Rfc2217Session rfcSession_;
};

// Who has COM n's data connection, by the driver's port table in
// runDirectory (no table, no driver: kFree).
DataPortUse ComPortUse(const std::string& runDirectory, uint32_t comNumber);

}  // namespace tarvik::device
