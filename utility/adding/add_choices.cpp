#include "add_choices.h"

#include "app_state.h"

AddServersChoices DefaultAddServersChoices(const AppState& app) {
  AddServersChoices c;
  c.serverName = app.deviceName;
  c.rangeStart = app.deviceAddress;
  c.rangeEnd = app.deviceAddress;
  c.getNameAutomatically = app.ui.chkSvr != 0;
  c.skipDuplicates = app.ui.chkDup != 0;
  c.commandPort = app.devicePort;
  return c;
}

const char* CheckServerOptionValues(int64_t keepAliveSeconds, int64_t connectionBrokenSeconds,
                                    int64_t connectTimeoutSeconds, int64_t commandPort,
                                    int64_t ioPort) {
  struct Check {
    int64_t value, low, high;
    const char* message;
  };
  const Check checks[] = {
      {keepAliveSeconds, 0, 1800, "Input a value between 0 to 1800 seconds for Keep Alive Time."},
      {connectionBrokenSeconds, 0, 4000000,
       "Input a value between 0 to 4000000 seconds for Connection Broken."},
      {connectTimeoutSeconds, 1, 180, "Input a value between 1 to 180 seconds for Connect Timeout."},
      {commandPort, 10, 65500, "Input a value between 10 to 65500 for Command Port."},
      {ioPort, 10, 65500, "Input a value between 10 to 65500 for Virtual I/O Port."},
  };
  for (const Check& check : checks)
    if (check.value < check.low || check.value > check.high) return check.message;
  return nullptr;
}

const char* CheckAddServersChoices(AddServersChoices* c) {
  if (const char* failed =
          CheckServerOptionValues(c->keepAliveSeconds, c->connectionBrokenSeconds,
                                  c->connectTimeoutSeconds, c->commandPort, c->ioPort))
    return failed;
  if (c->autoFlushMs < 10 || c->autoFlushMs > 500)
    return "Input a value between 10 to 500 ms for Auto-Flush Interval.";
  c->serverName = TrimBlanks(c->serverName);
  c->rangeStart = TrimBlanks(c->rangeStart);
  c->rangeEnd = TrimBlanks(c->rangeEnd);
  if (!c->getNameAutomatically && c->serverName.empty()) return "Server Name is required.";
  if (c->rangeStart.empty() || c->rangeEnd.empty()) return "IP Address is required.";
  return nullptr;
}

std::string TrimBlanks(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}
