#include "pty_pair.h"

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#ifndef TIOCGPTPEER
#define TIOCGPTPEER _IO('T', 0x41)
#endif

namespace vonderil {

namespace {

gid_t DialoutGroup() {
  group* g = getgrnam("dialout");
  return g ? g->gr_gid : static_cast<gid_t>(-1);
}

bool SetUpSlave(int slave, uint32_t baud) {
  termios t{};
  if (tcgetattr(slave, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSTOPB | CRTSCTS);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, baud == 0 ? B0 : B9600);
  cfsetospeed(&t, baud == 0 ? B0 : B9600);
  if (tcsetattr(slave, TCSANOW, &t) != 0) return false;
  static const gid_t dialout = DialoutGroup();
  if (dialout != static_cast<gid_t>(-1)) (void)fchown(slave, static_cast<uid_t>(-1), dialout);
  return fchmod(slave, 0660) == 0;
}

}  // namespace

bool MakePty(PtyPair* out, uint32_t baud, std::string* error, bool* limit) {
  *limit = false;
  tarvik::UniqueFd master(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!master.Valid()) {
    *limit = errno == ENOSPC || errno == EAGAIN || errno == EMFILE || errno == ENFILE;
    *error = std::string("cannot make a pty: ") + std::strerror(errno);
    return false;
  }
  char name[64];
  if (unlockpt(master.Get()) != 0 || ptsname_r(master.Get(), name, sizeof name) != 0) {
    *error = std::string("cannot unlock the pty: ") + std::strerror(errno);
    return false;
  }
  // The slave through the master, not by its path: nothing can swap the
  // node under us. Closing it again puts the master into its hang-up state.
  tarvik::UniqueFd slave(ioctl(master.Get(), TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave.Valid()) slave.Reset(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave.Valid()) {
    *limit = errno == EMFILE || errno == ENFILE;
    *error = std::string("cannot open the pty's slave: ") + std::strerror(errno);
    return false;
  }
  if (!SetUpSlave(slave.Get(), baud)) {
    *error = std::string("cannot set up the pty's slave: ") + std::strerror(errno);
    return false;
  }
  int on = 1;
  if (ioctl(master.Get(), TIOCPKT, &on) != 0) {
    *error = std::string("cannot put the pty into packet mode: ") + std::strerror(errno);
    return false;
  }
  slave.Reset();
  out->master = std::move(master);
  out->slavePath = name;
  return true;
}

bool PublishLink(const std::string& target, const std::string& link, std::string* error) {
  const std::string temp = link + ".new";
  ::unlink(temp.c_str());
  if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), link.c_str()) != 0) {
    *error = "cannot publish " + link + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

PtyMaster::PtyMaster(EventLoop& loop, tarvik::UniqueFd master,
                     std::function<void(uint32_t)> ready)
    : loop_(loop), master_(std::move(master)), ready_(std::move(ready)) {}

PtyMaster::~PtyMaster() { Close(); }

void PtyMaster::Close() {
  Unwatch();
  master_.Reset();
}

PtyPacket PtyMaster::Read(char* into, size_t room) {
  PtyPacket packet;
  if (!master_.Valid()) {
    packet.kind = PtyPacket::Kind::kGone;
    return packet;
  }
  // Packet mode: one leading status byte, then the data.
  char buffer[16385];
  if (room > sizeof buffer - 1) room = sizeof buffer - 1;
  ssize_t n;
  do {
    n = ::read(master_.Get(), buffer, room + 1);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    // EIO once the last holder is gone and nothing is left.
    packet.kind = errno == EIO ? PtyPacket::Kind::kGone : PtyPacket::Kind::kEmpty;
    return packet;
  }
  if (n == 0) return packet;
  if (buffer[0] != TIOCPKT_DATA) {
    packet.kind = PtyPacket::Kind::kStatus;
    if (buffer[0] & TIOCPKT_FLUSHREAD) packet.status |= kFlushedInput;
    if (buffer[0] & TIOCPKT_FLUSHWRITE) packet.status |= kFlushedOutput;
    return packet;
  }
  packet.kind = n > 1 ? PtyPacket::Kind::kData : PtyPacket::Kind::kEmpty;
  packet.size = static_cast<size_t>(n - 1);
  std::memcpy(into, buffer + 1, packet.size);
  return packet;
}

size_t PtyMaster::Write(const char* data, size_t size) {
  for (;;) {
    ssize_t n = ::write(master_.Get(), data, size);
    if (n < 0 && errno == EINTR) continue;
    return n > 0 ? static_cast<size_t>(n) : 0;
  }
}

bool PtyMaster::HungUp() {
  pollfd p{master_.Get(), POLLIN, 0};
  return ::poll(&p, 1, 0) >= 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
}

bool PtyMaster::GetLine(LineSettings* out) { return ReadLineSettings(master_.Get(), out); }

bool PtyMaster::ShowLine(const LineSettings& expected, const LineSettings& settings) {
  return WriteLineSettings(master_.Get(), expected, settings);
}

void PtyMaster::DropInput() { FlushSlaveInput(master_.Get()); }

void PtyMaster::Watch(bool read, bool write) {
  const uint32_t want = (read ? EPOLLIN : 0u) | (write ? EPOLLOUT : 0u);
  if (!watched_) {
    // The open and close notices go first only where device bytes are
    // written to the application; its own bytes go out whoever wrote them.
    watched_ = loop_.Watch(master_.Get(), want, [this](uint32_t e) {
      uint32_t ready = 0;
      if (e & EPOLLIN) ready |= kReadable;
      if (e & EPOLLOUT) ready |= kWritable;
      if (e & EPOLLHUP) ready |= kHangUp;
      if (e & EPOLLERR) ready |= kFailed;
      ready_(ready);
    }, EventLoop::Order::kNormal, EPOLLOUT);
    events_ = want;
    return;
  }
  if (want != events_ && loop_.Modify(master_.Get(), want)) events_ = want;
}

void PtyMaster::Unwatch() {
  if (watched_) loop_.Unwatch(master_.Get());
  watched_ = false;
}

}  // namespace vonderil
