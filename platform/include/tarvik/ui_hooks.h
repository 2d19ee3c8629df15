// Hooks through which every part of the suite reaches the user: message
// boxes, file dialogs, shell launches, the wait cursor and the UI pump. They
// live in the shared platform library, so one setting serves the utility and
// the libraries alike. The Qt program installs real ones; tests install
// recording doubles; with no hook installed, message boxes go to stderr and
// the others do nothing.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

namespace tarvik {

// Message-box flags and answers, with their Windows values.
enum : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNoCancel = 0x3,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
  kMbButtonMask = 0xF,
  kMbIconMask = 0xF0,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

using MessageBoxHook =
    std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;
// Shows a message box and returns the button chosen. Without a hook: writes
// "caption: text" to stderr and answers OK (or Yes for a Yes/No box).
int ShowMessageBox(const char* text, const char* caption, unsigned flags);
void SetMessageBoxHook(MessageBoxHook hook);

// Open/save file dialog. filter in the Windows form
// ("XML Files (*.xml)|*.xml|All Files (*.*)|*.*||"). Returns true and the
// chosen path, or false when the user cancelled.
struct FileDialogRequest {
  bool save = false;
  std::string title;
  std::string filter;
  std::string defaultExtension;
  std::string initialName;
};
using FileDialogHook = std::function<bool(const FileDialogRequest&, std::string* path)>;
bool ShowFileDialog(const FileDialogRequest& request, std::string* path);
void SetFileDialogHook(FileDialogHook hook);

// Shell "open" of a program or document with an argument text. Returns a
// value above 32 on success, as the Windows call does.
using ShellOpenHook = std::function<int(const std::string& file, const std::string& parameters,
                                        const std::string& directory)>;
int ShellOpen(const std::string& file, const std::string& parameters = std::string(),
              const std::string& directory = std::string());
void SetShellOpenHook(ShellOpenHook hook);
// The hook set now (empty when none), so that a new hook can hand on what
// it does not handle itself.
ShellOpenHook GetShellOpenHook();

// Wait cursor while a long operation blocks the UI thread.
using WaitCursorHook = std::function<void(bool on)>;
void BeginWaitCursor();
void EndWaitCursor();
void SetWaitCursorHook(WaitCursorHook hook);

// Lets the UI process pending events while the UI thread waits.
using PumpHook = std::function<void()>;
void PumpUiEvents();
void SetPumpHook(PumpHook hook);

// RAII wait cursor.
class WaitCursor {
 public:
  WaitCursor() { BeginWaitCursor(); }
  ~WaitCursor() { EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace tarvik
