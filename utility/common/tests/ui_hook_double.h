// Test doubles for the platform's user-interface hooks. While an instance
// lives, every message box, file dialog, shell launch and wait-cursor change
// is recorded instead of shown, and answered from a script.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "tarvik/ui_hooks.h"

class UiHookDouble {
 public:
  struct MessageBox {
    std::string text;
    std::string caption;
    unsigned flags;
    unsigned Icon() const { return flags & tarvik::kMbIconMask; }
    unsigned Buttons() const { return flags & tarvik::kMbButtonMask; }
  };
  struct ShellOpen {
    std::string file;
    std::string parameters;
  };

  UiHookDouble();
  ~UiHookDouble();
  UiHookDouble(const UiHookDouble&) = delete;
  UiHookDouble& operator=(const UiHookDouble&) = delete;

  // Answers for the next message boxes, in order. With none left a box gets
  // its first button (OK or Yes).
  void AnswerMessageBoxes(std::initializer_list<int> answers);
  // Answers for the next file dialogs: a path, or Cancel. With none left a
  // dialog is cancelled.
  void AnswerFileDialog(const std::string& path);
  void CancelFileDialog();

  std::vector<MessageBox> messageBoxes;
  std::vector<tarvik::FileDialogRequest> fileDialogs;
  std::vector<ShellOpen> shellOpens;
  int waitCursorDepth = 0;     // begins minus ends
  int waitCursorBegins = 0;
  int shellOpenResult = 33;    // what a launch reports

  // Texts of the message boxes shown so far.
  std::vector<std::string> Texts() const;

 private:
  std::deque<int> m_answers;
  std::deque<std::pair<bool, std::string>> m_files;
};
