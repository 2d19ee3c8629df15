#include "temp_root.h"

#include <cstdlib>
#include <filesystem>

#include "tarvik/registry.h"

namespace tarvik {

TempStateRoot::TempStateRoot() {
  const char* prev = std::getenv("TARVIK_ROOT");
  had_previous_ = prev != nullptr;
  if (prev) previous_ = prev;
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarvik-test-XXXXXX";
  char* made = ::mkdtemp(templ.data());
  path_ = made ? made : "";
  ::setenv("TARVIK_ROOT", path_.c_str(), 1);
  RegCloseStore();
}

TempStateRoot::~TempStateRoot() {
  RegCloseStore();
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
  if (had_previous_) {
    ::setenv("TARVIK_ROOT", previous_.c_str(), 1);
  } else {
    ::unsetenv("TARVIK_ROOT");
  }
}

}  // namespace tarvik
