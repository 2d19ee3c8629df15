#include "config_file_io.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tarvik/unique_fd.h"

namespace cfgfile {

FileResult ReadWholeFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  tarvik::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return FileResult::kCannotOpen;
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return FileResult::kCannotOpen;
  bytes->reserve(static_cast<size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n == 0) return FileResult::kOk;
    if (n < 0) {
      if (errno == EINTR) continue;
      bytes->clear();
      return FileResult::kCannotRead;
    }
    bytes->append(buffer, static_cast<size_t>(n));
  }
}

bool ReplaceFile(const std::string& path, const std::string& text) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string temp = (slash == std::string::npos ? std::string() : folder) + ".tarvik-export-XXXXXX";
  tarvik::UniqueFd fd(::mkstemp(&temp[0]));
  if (!fd.Valid()) return false;

  mode_t mode;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = ::fchmod(fd.Get(), mode) == 0;
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(fd.Get(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd.Get()) == 0;
  ok = ::close(fd.Release()) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace cfgfile
