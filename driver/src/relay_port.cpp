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
      inBand_(mapping.protocol == MappedPort::Protocol::kRfc2217
                  ? std::make_unique<Rfc2217Channel>(
                        mapping.comNumber, loop, log,
                        [this](const SettingsResult& r) { session_.OnSettingsDone(r); })
                  : nullptr),
      rfc2217Links_(inBand_ ? std::make_unique<Rfc2217LinkMaker>(links_, loop, *inBand_) : nullptr),
      session_(mapping, options, loop, pty_,
               rfc2217Links_ ? static_cast<LinkMaker&>(*rfc2217Links_) : links_,
               inBand_ ? inBand_.get() : settings, std::move(log), std::move(hooks)) {}

PortStatusLine RelayPort::Status() const {
  PortStatusLine s = session_.Status();
  if (inBand_) inBand_->FillStatus(&s);
  return s;
}

RelayPort::~RelayPort() { Close(); }

void RelayPort::Close() {
  session_.Close();
  pty_.Close();
  if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
  linkPath_.clear();
}

}  // namespace vonderil
