#include "relay_port.h"

#include <unistd.h>

namespace vonderil {

RelayPort::RelayPort(EventLoop& loop, const MappedPort& mapping, const DriverOptions& options,
                     PtyPair pty, std::string linkPath, SettingsChannel* settings,
                     PortLog::Sink log, PortSession::Hooks hooks)
    : comNumber_(mapping.comNumber),
      slavePath_(std::move(pty.slavePath)),
      linkPath_(std::move(linkPath)),
      pty_(loop, std::move(pty.master), [this](uint32_t ready) { session_.OnMaster(ready); }),
      links_(loop, LinkOptions{mapping.keepAliveMs, mapping.connectionBrokenMs},
             [this](uint32_t ready) { session_.OnLink(ready); }),
      session_(mapping, options, loop, pty_, links_, settings, std::move(log), std::move(hooks)) {}

RelayPort::~RelayPort() { Close(); }

void RelayPort::Close() {
  session_.Close();
  pty_.Close();
  if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
  linkPath_.clear();
}

}  // namespace vonderil
