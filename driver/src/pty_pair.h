// A pseudo-terminal made for one COM port: the driver keeps the master and
// publishes the slave under a link. The slave starts raw, at the given baud
// rate (0 for a port whose device is asked for its own), 8N1,
// CLOCAL, mode 0660 with group dialout where that group exists, and has
// been opened and closed once, so the master already reports a hang-up
// until an application opens it. The master is non-blocking and in packet
// mode, so an application's flushes reach the driver.
#pragma once
#include <functional>
#include <string>

#include "event_loop.h"
#include "port_ops.h"
#include "tarvik/unique_fd.h"

namespace vonderil {

struct PtyPair {
  tarvik::UniqueFd master;
  std::string slavePath;  // /dev/pts/N
};

// Makes the pty. False with errno's text in *error; *limit is set when the
// system ran out of ptys (or descriptors), so the caller can name the ports
// that could not be made at once instead of one line each.
bool MakePty(PtyPair* out, uint32_t baud, std::string* error, bool* limit);

// Makes link point at target, atomically: a temporary link renamed over
// link, so a stale link of a crashed driver is replaced and no reader ever
// sees the link missing. False with a reason.
bool PublishLink(const std::string& target, const std::string& link, std::string* error);

// Drops the unread input that the slave holds for its next reader. A pty
// keeps it across closes; the driver calls this when the last application
// lets go so that the next one never reads old bytes. It opens nothing, so
// it causes no open or close notices. The flush leaves a status for the
// master's reader, which the next Read reports.
bool FlushSlaveInput(int master);

// The master as a port's PtyEnd, watched on the loop while an application
// holds the slave. ready gets the Ready flags of each event.
class PtyMaster : public PtyEnd {
 public:
  PtyMaster(EventLoop& loop, tarvik::UniqueFd master, std::function<void(uint32_t)> ready);
  ~PtyMaster() override;
  PtyMaster(const PtyMaster&) = delete;
  PtyMaster& operator=(const PtyMaster&) = delete;

  int Fd() const { return master_.Get(); }
  void Close();

  PtyPacket Read(char* into, size_t room) override;
  size_t Write(const char* data, size_t size) override;
  bool HungUp() override;
  bool GetLine(LineSettings* out) override;
  bool ShowLine(const LineSettings& expected, const LineSettings& settings) override;
  void DropInput() override;
  void Watch(bool read, bool write) override;
  void Unwatch() override;

 private:
  EventLoop& loop_;
  tarvik::UniqueFd master_;
  std::function<void(uint32_t)> ready_;
  bool watched_ = false;
  uint32_t events_ = 0;
};

}  // namespace vonderil
