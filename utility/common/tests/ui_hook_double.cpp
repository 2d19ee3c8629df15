#include "ui_hook_double.h"

UiHookDouble::UiHookDouble() {
  tarvik::SetMessageBoxHook([this](const std::string& text, const std::string& caption,
                                   unsigned flags) -> int {
    messageBoxes.push_back({text, caption, flags});
    if (!m_answers.empty()) {
      const int answer = m_answers.front();
      m_answers.pop_front();
      return answer;
    }
    const unsigned buttons = flags & tarvik::kMbButtonMask;
    return (buttons == tarvik::kMbYesNo || buttons == tarvik::kMbYesNoCancel) ? tarvik::kIdYes
                                                                              : tarvik::kIdOk;
  });
  tarvik::SetFileDialogHook([this](const tarvik::FileDialogRequest& request, std::string* path) {
    fileDialogs.push_back(request);
    if (m_files.empty()) return false;
    const auto answer = m_files.front();
    m_files.pop_front();
    if (answer.first) *path = answer.second;
    return answer.first;
  });
  tarvik::SetShellOpenHook([this](const std::string& file, const std::string& parameters,
                                  const std::string&) {
    shellOpens.push_back({file, parameters});
    return shellOpenResult;
  });
  tarvik::SetWaitCursorHook([this](bool on) {
    waitCursorDepth += on ? 1 : -1;
    if (on) ++waitCursorBegins;
  });
  tarvik::SetPumpHook([] {});
}

UiHookDouble::~UiHookDouble() {
  tarvik::SetMessageBoxHook(nullptr);
  tarvik::SetFileDialogHook(nullptr);
  tarvik::SetShellOpenHook(nullptr);
  tarvik::SetWaitCursorHook(nullptr);
  tarvik::SetPumpHook(nullptr);
}

void UiHookDouble::AnswerMessageBoxes(std::initializer_list<int> answers) {
  m_answers.insert(m_answers.end(), answers.begin(), answers.end());
}

void UiHookDouble::AnswerFileDialog(const std::string& path) { m_files.push_back({true, path}); }

void UiHookDouble::CancelFileDialog() { m_files.push_back({false, std::string()}); }

std::vector<std::string> UiHookDouble::Texts() const {
  std::vector<std::string> texts;
  for (const MessageBox& box : messageBoxes) texts.push_back(box.text);
  return texts;
}
