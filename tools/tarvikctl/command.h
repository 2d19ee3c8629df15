// tarvikctl's command table. Each group of commands lives in its own
// cmd_<group>.cpp and adds its rows with a static TarvikctlCommand object,
// so a new group never touches the dispatcher.
#pragma once
#include <string>
#include <vector>

namespace tarvikctl {

using Args = std::vector<std::string>;
// Returns the process exit code: 0 success, 1 failure (after printing one
// line "tarvikctl: ..." to stderr).
using Handler = int (*)(const Args& args);

struct Command {
  const char* name;   // first word, e.g. "servers" or "driver"
  const char* usage;  // one line for --help, e.g. "driver start|stop|status"
  Handler handler;    // gets the words after the name
};

class TarvikctlCommand {
 public:
  explicit TarvikctlCommand(const Command& command);
};

const std::vector<Command>& Commands();

// Prints "tarvikctl: <message>" to stderr and returns 1.
int Fail(const std::string& message);

// For commands that change the store or control the driver: 0 when this
// user may write the registry store; otherwise prints one line saying so
// and returns 1.
int RequireWritableStore();

}  // namespace tarvikctl
