// Restarting the driver so that it picks up the stored configuration: stop
// the service (creating it when it is missing), then start it again unless
// no COM port is mapped. One procedure for the Restart Driver dialog and
// `tarvikctl driver restart`; each gives it a front end for its status
// line, progress, messages and event pump.
//
// The waits go through the platform clock in short slices with the front
// end's pump between them, so a window stays responsive (its timers keep
// running) and a test's virtual clock runs the 15-second waits at once.
#pragma once
#include <atomic>
#include <cstdint>

#include "tarvikcfg.h"

constexpr int kRestartRounds = 15;        // progress range 0..15, one round a second
constexpr uint32_t kRestartRoundMs = 1000;
constexpr uint32_t kRestartClosingMs = 500;

class RestartFrontEnd {
 public:
  virtual ~RestartFrontEnd() = default;
  // The restart has begun: "Restart Driver" is off, Cancel reads "Skip".
  virtual void OnBegin() {}
  virtual void SetStatusLine(const char* text) = 0;
  virtual void SetProgress(int position) = 0;
  // The last service state seen (1..7; 0 unknown), for the line's colour.
  virtual void SetLastState(uint32_t /*state*/) {}
  // A failure or notice (the dialog's warning box).
  virtual void ShowMessage(const char* text) = 0;
  // Lets the front end handle what waits (window events, a Skip press).
  virtual void PumpEvents() {}
  // The procedure is about to end: Skip is off for the closing pause.
  virtual void OnClosing() {}
};

enum class RestartOutcome {
  kRestarted,          // the driver runs the stored configuration
  kStoppedNoMappings,  // no COM port is mapped, so the driver was left stopped
  kFailed,             // a message said why; the service is where it got to
};

// True for the outcomes the dialog ends with OK.
inline bool RestartSucceeded(RestartOutcome outcome) { return outcome != RestartOutcome::kFailed; }

// The Skip/Cancel presses of the application (one restart runs at a time).
// Set to 0 when a restart begins; a wait that sees it above 0 stops. It is
// process-wide, so a press still counts when the dialog that took it is
// already gone, and a signal handler may raise it.
std::atomic<int>& RestartCancelCounter();
inline void RequestRestartCancel() { RestartCancelCounter().fetch_add(1); }

// Ports with a COM number (bits 0-11 of the COM word) over all 70 entries of
// records 0..Servers-1.
int CountMappedPorts(const TkcConfigSet& set);

// Runs the restart for the configuration set (already stored) and reports
// through front. Blocks, pumping front's events, for up to about 31 s.
RestartOutcome RunDriverRestart(const TkcConfigSet& set, RestartFrontEnd* front);
