// What the "Adding Servers" dialog collects, with its defaults, and the
// checks its OK runs. The dialog and `tarvikctl servers add` fill the same
// structure and run the same checks, so both hand the add procedure values
// it can trust.
#pragma once
#include <cstdint>
#include <string>

struct AppState;

struct AddServersChoices {
  // "IP Range"
  std::string serverName;
  std::string rangeStart;
  std::string rangeEnd;
  bool includeNet = false;        // "0 (Net)"
  bool includeGateway = true;     // "254 (Gateway)"
  bool includeBroadcast = false;  // "255 (Broadcast)"
  bool getNameAutomatically = true;
  bool skipDuplicates = true;
  bool fixedBaudrate = false;
  bool mapIoPort = false;
  // Index into the free-COM list of the first COM number; -1 is "UnMap".
  int firstComIndex = -1;
  // "Server Options", as the user sees them (seconds, TCP ports). Signed,
  // because a typed "-1" must fail its check rather than wrap.
  int64_t keepAliveSeconds = 120;
  int64_t connectionBrokenSeconds = 180;
  int64_t connectTimeoutSeconds = 5;
  int64_t commandPort = 10000;
  int64_t ioPort = 9999;
  bool rfc2217 = false;  // the new servers' data ports speak RFC 2217
  // "Port Options"
  bool disablePurge = false;
  bool writeBuffer = false;
  int64_t autoFlushMs = 50;
};

// The dialog's defaults: the current device values and the remembered
// check boxes of the application state.
AddServersChoices DefaultAddServersChoices(const AppState& app);

// The checks of the dialog's OK, in their order. Returns null when all
// pass, else the message of the first that fails. The texts are trimmed of
// surrounding blanks first, as the dialog hands them back trimmed.
const char* CheckAddServersChoices(AddServersChoices* choices);

// The "Server Options" checks alone (the first five of the above).
const char* CheckServerOptionValues(int64_t keepAliveSeconds, int64_t connectionBrokenSeconds,
                                    int64_t connectTimeoutSeconds, int64_t commandPort,
                                    int64_t ioPort);

// Cuts blanks (spaces, tabs, line ends) from both ends.
std::string TrimBlanks(const std::string& text);
