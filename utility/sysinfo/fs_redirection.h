// File-system redirection of a 32-bit program on a 64-bit system: Windows
// shows such a program another system directory unless the thread switches
// redirection off. The switch functions are looked up at run time and are
// used only when both exist; this system has neither, so the lookup gives
// none and nothing is switched, but the rule stays in one place for every
// reader of the system directory.
#pragma once

struct FsRedirectionCalls {
  bool (*disable)(void** previous) = nullptr;  // switches off, keeps the old state
  bool (*revert)(void* previous) = nullptr;    // restores the kept state
};

// The switch functions of this system (none here).
FsRedirectionCalls LookUpFsRedirection();

// Redirection off for its lifetime when the program runs under 32-bit
// emulation and both functions exist; restored on every path out. The
// setting belongs to the thread, so the guard must end on the thread that
// made it.
class FsRedirectionOff {
 public:
  FsRedirectionOff(bool emulated32Bit, const FsRedirectionCalls& calls);
  ~FsRedirectionOff();
  FsRedirectionOff(const FsRedirectionOff&) = delete;
  FsRedirectionOff& operator=(const FsRedirectionOff&) = delete;

  bool Switched() const { return m_switched; }

 private:
  FsRedirectionCalls m_calls;
  void* m_previous = nullptr;
  bool m_switched = false;
};
