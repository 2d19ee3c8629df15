// Test doubles for the server configuration's device procedures: a view
// that keeps what it was told, and a message-box hook that records the
// boxes and answers them from a script. No Qt, so these tests run in every
// build.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "server_device_view.h"
#include "tarvik/ui_hooks.h"

class DeviceViewRecorder : public tarvik::device::ServerDeviceView {
 public:
  DeviceViewRecorder() { fields.assign(static_cast<size_t>(tarvik::device::DeviceField::kCount), ""); }
  void ShowField(tarvik::device::DeviceField field, const std::string& text) override {
    fields[static_cast<size_t>(field)] = text;
  }
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void EnableSetNetwork(bool enabled) override { setEnabled = enabled; }
  void Redraw() override { ++redraws; }

  const std::string& Field(tarvik::device::DeviceField field) const {
    return fields[static_cast<size_t>(field)];
  }
  std::string Status() const { return statuses.empty() ? "" : statuses.back(); }

  std::vector<std::string> fields;
  std::vector<std::string> statuses;
  bool setEnabled = false;
  int redraws = 0;
};

class MessageBoxRecorder {
 public:
  struct Box {
    std::string text;
    std::string caption;
    unsigned flags;
  };
  MessageBoxRecorder() {
    tarvik::SetMessageBoxHook([this](const std::string& text, const std::string& caption,
                                     unsigned flags) {
      boxes.push_back({text, caption, flags});
      if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
      }
      return (flags & tarvik::kMbButtonMask) == tarvik::kMbYesNo ? int(tarvik::kIdYes)
                                                                  : int(tarvik::kIdOk);
    });
  }
  ~MessageBoxRecorder() { tarvik::SetMessageBoxHook(nullptr); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Box& b : boxes) texts.push_back(b.text);
    return texts;
  }

  std::vector<Box> boxes;
  std::deque<int> answers;
};
