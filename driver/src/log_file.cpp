#include "log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "tarvik/unique_fd.h"

namespace vonderil {

LogFile::LogFile(int fd, int alsoFd, off_t capBytes) : fd_(fd), alsoFd_(-1), cap_(capBytes) {
  struct stat st {};
  if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return;
  char path[4096];
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  const ssize_t n = ::readlink(self.c_str(), path, sizeof path - 1);
  if (n <= 0) return;
  path_.assign(path, static_cast<size_t>(n));
  // A file already unlinked cannot be renamed.
  struct stat named {};
  if (::stat(path_.c_str(), &named) != 0 || named.st_ino != st.st_ino || named.st_dev != st.st_dev) {
    path_.clear();
    return;
  }
  size_ = st.st_size;
  struct stat also {};
  if (alsoFd >= 0 && fstat(alsoFd, &also) == 0 && also.st_ino == st.st_ino &&
      also.st_dev == st.st_dev) {
    alsoFd_ = alsoFd;
  }
}

void LogFile::Rotate() {
  const std::string old = path_ + ".1";
  if (::rename(path_.c_str(), old.c_str()) != 0) return;
  tarvik::UniqueFd fresh(::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!fresh.Valid()) return;
  ::dup2(fresh.Get(), fd_);
  if (alsoFd_ >= 0) ::dup2(fresh.Get(), alsoFd_);
  size_ = 0;
}

void LogFile::Write(const std::string& line) {
  const std::string text = line + "\n";
  std::lock_guard<std::mutex> lock(mutex_);
  if (!path_.empty() && size_ + static_cast<off_t>(text.size()) > cap_ && size_ > 0) Rotate();
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  size_ += static_cast<off_t>(done);
}

}  // namespace vonderil
