// Which discovered devices the search pane lists: known models only, told
// apart by the beginning of the name the device reports.
#pragma once

namespace tarvik::app {

// True when name begins with one of the known model prefixes (exact,
// case-sensitive).
bool IsListedModel(const char* name);

}  // namespace tarvik::app
