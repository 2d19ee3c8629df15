#include "tarvik/ui_hooks.h"

#include <cstdio>
#include <mutex>

namespace tarvik {
namespace {

// Hooks are set once at start-up (or by a test) and called from any thread,
// the discovery receiver among them; the lock only guards the swap.
std::mutex g_mutex;
MessageBoxHook g_message_box;
FileDialogHook g_file_dialog;
ShellOpenHook g_shell_open;
WaitCursorHook g_wait_cursor;
PumpHook g_pump;

template <typename Hook>
Hook Get(const Hook& hook) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return hook;
}

template <typename Hook>
void Set(Hook& slot, Hook hook) {
  std::lock_guard<std::mutex> lock(g_mutex);
  slot = std::move(hook);
}

}  // namespace

int ShowMessageBox(const char* text, const char* caption, unsigned flags) {
  const MessageBoxHook hook = Get(g_message_box);
  if (hook) return hook(text ? text : "", caption ? caption : "", flags);
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  const unsigned buttons = flags & kMbButtonMask;
  return (buttons == kMbYesNo || buttons == kMbYesNoCancel) ? kIdYes : kIdOk;
}
void SetMessageBoxHook(MessageBoxHook hook) { Set(g_message_box, std::move(hook)); }

bool ShowFileDialog(const FileDialogRequest& request, std::string* path) {
  const FileDialogHook hook = Get(g_file_dialog);
  return hook ? hook(request, path) : false;
}
void SetFileDialogHook(FileDialogHook hook) { Set(g_file_dialog, std::move(hook)); }

int ShellOpen(const std::string& file, const std::string& parameters, const std::string& directory) {
  const ShellOpenHook hook = Get(g_shell_open);
  return hook ? hook(file, parameters, directory) : 0;
}
void SetShellOpenHook(ShellOpenHook hook) { Set(g_shell_open, std::move(hook)); }
ShellOpenHook GetShellOpenHook() { return Get(g_shell_open); }

void BeginWaitCursor() {
  const WaitCursorHook hook = Get(g_wait_cursor);
  if (hook) hook(true);
}
void EndWaitCursor() {
  const WaitCursorHook hook = Get(g_wait_cursor);
  if (hook) hook(false);
}
void SetWaitCursorHook(WaitCursorHook hook) { Set(g_wait_cursor, std::move(hook)); }

void PumpUiEvents() {
  const PumpHook hook = Get(g_pump);
  if (hook) hook();
}
void SetPumpHook(PumpHook hook) { Set(g_pump, std::move(hook)); }

}  // namespace tarvik
