#include "pty_pair.h"

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
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

bool SetUpSlave(int slave) {
  termios t{};
  if (tcgetattr(slave, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSTOPB | CRTSCTS);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  if (tcsetattr(slave, TCSANOW, &t) != 0) return false;
  static const gid_t dialout = DialoutGroup();
  if (dialout != static_cast<gid_t>(-1)) (void)fchown(slave, static_cast<uid_t>(-1), dialout);
  return fchmod(slave, 0660) == 0;
}

}  // namespace

bool MakePty(PtyPair* out, std::string* error, bool* limit) {
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
  if (!SetUpSlave(slave.Get())) {
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

void DropSlaveInput(int master) {
  {
    tarvik::UniqueFd slave(ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (slave.Valid()) tcflush(slave.Get(), TCIFLUSH);
  }
  // The flush left a status packet on the master; taken now, it cannot
  // pass for an application's bytes later.
  char packet[64];
  while (::read(master, packet, sizeof packet) > 0) {
  }
}

}  // namespace vonderil
