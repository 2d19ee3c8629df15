#include "tarvik/state_root.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarvik {

#ifndef TARVIK_SYSTEM_STATE_ROOT
#define TARVIK_SYSTEM_STATE_ROOT "/var/lib/tarvik"
#endif
#ifndef TARVIK_INSTALL_LIBEXECDIR
#define TARVIK_INSTALL_LIBEXECDIR "/usr/libexec/tarvik"
#endif

static bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string SystemStateRoot() { return TARVIK_SYSTEM_STATE_ROOT; }

std::string StateRoot() {
  const char* root = std::getenv("TARVIK_ROOT");
  if (root && *root) return root;
  // A system-wide installation made this folder; every user of the
  // machine then sees the one configuration the driver serves.
  if (IsFolder(TARVIK_SYSTEM_STATE_ROOT)) return TARVIK_SYSTEM_STATE_ROOT;
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state) return std::string(state) + "/tarvik";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/root") + "/.local/state/tarvik";
}

std::string SystemDirectory() { return StateRoot() + "/System32"; }
std::string RunDirectory() { return StateRoot() + "/run"; }
std::string RegistryPath() { return StateRoot() + "/registry.db"; }

// mkdir -p: every missing folder on the way is created.
static bool MakeDirs(const std::string& path, std::string* error) {
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
      if (error) *error = "cannot create " + partial + ": " + std::strerror(errno);
      return false;
    }
  }
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (error) *error = path + " is not a folder";
    return false;
  }
  return true;
}

static std::string ProgramFolder() {
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return std::string();
  std::string path(self, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

std::string InstalledStandIn() {
  // Relative to the program first, so that a suite installed under any
  // prefix (or unpacked into a staging folder) uses its own copy.
  const std::string folder = ProgramFolder();
  std::string candidates[] = {
      folder.empty() ? std::string() : folder + "/../libexec/tarvik/Vonderil.sys",
      std::string(TARVIK_INSTALL_LIBEXECDIR) + "/Vonderil.sys",
  };
  for (const std::string& path : candidates) {
    if (!path.empty() && ::access(path.c_str(), X_OK) == 0) return path;
  }
  return std::string();
}

bool EnsureStateRoot(std::string* error) {
  const std::string root = StateRoot();
  for (const char* sub : {"", "/System32/Drivers", "/run", "/dev"}) {
    if (!MakeDirs(root + sub, error)) return false;
  }
  // An installed suite links its stand-in into a new state root, so the
  // driver's service can be created without a separate install step. A
  // file already there (a copy, or another link) is left alone.
  const std::string driver = root + "/System32/Drivers/Vonderil.sys";
  struct stat st;
  if (::lstat(driver.c_str(), &st) != 0) {
    const std::string standIn = InstalledStandIn();
    if (!standIn.empty()) (void)::symlink(standIn.c_str(), driver.c_str());
  }
  return true;
}

std::string MapPath(const std::string& path) {
  std::string mapped = path;
  for (char& c : mapped) {
    if (c == '\\') c = '/';
  }
  return mapped;
}

}  // namespace tarvik
