#include "add_choices.h"

#include "app_state.h"
#include "server_options.h"

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
  // The server options page's own checks, so both dialogs and the command
  // line refuse the same values with the same words.
  using namespace tarvik::device;
  const std::string texts[kServerOptionNumbers] = {
      std::to_string(keepAliveSeconds), std::to_string(connectionBrokenSeconds),
      std::to_string(connectTimeoutSeconds), std::to_string(commandPort), std::to_string(ioPort)};
  int32_t values[kServerOptionNumbers];
  const char* message = nullptr;
  return CheckOptionNumbers(texts, values, &message) < 0 ? nullptr : message;
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
