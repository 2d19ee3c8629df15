#include "tarvik/state_root.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarvik {

std::string StateRoot() {
  const char* root = std::getenv("TARVIK_ROOT");
  if (root && *root) return root;
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

bool EnsureStateRoot(std::string* error) {
  const std::string root = StateRoot();
  for (const char* sub : {"", "/System32/Drivers", "/run", "/dev"}) {
    if (!MakeDirs(root + sub, error)) return false;
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
