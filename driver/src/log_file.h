// The driver's log: its standard output, which the service manager points
// at run/vonderil.log. No single cause may make it grow without end, so it
// is kept under a cap: when a line would take the file past capBytes, the
// file becomes vonderil.log.1 (an older one is replaced) and a new file
// takes its name. At most twice the cap is ever on disk. When standard
// output is not a regular file (a pipe to a journal), lines go there as
// they are and whoever reads them bounds them.
//
// Lines may come from any thread; each one is written whole, with one
// write.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <mutex>
#include <string>

namespace vonderil {

class LogFile {
 public:
  static constexpr off_t kCapBytes = 1 << 20;

  // fd is written to, and when it is a regular file, replaced (dup2) by the
  // new file after a rotation; so is alsoFd when it is the same file.
  explicit LogFile(int fd = 1, int alsoFd = 2, off_t capBytes = kCapBytes);
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  void Write(const std::string& line);  // adds the newline
  bool Rotates() const { return !path_.empty(); }

 private:
  void Rotate();

  int fd_;
  int alsoFd_;
  off_t cap_;
  std::string path_;  // empty: not a file that can be rotated
  off_t size_ = 0;
  std::mutex mutex_;
};

}  // namespace vonderil
