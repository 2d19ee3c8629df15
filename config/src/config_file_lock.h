// Import and export share the library's static configuration sets; this
// lock keeps two callers from using them at once.
#pragma once
#include <mutex>

namespace cfgfile {

std::mutex& ConfigFileLock();

}  // namespace cfgfile
