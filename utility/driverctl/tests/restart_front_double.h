// A front end for the restart procedure that records what it was told and
// can press Skip at a chosen progress position.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "restart_procedure.h"

class RestartFrontDouble : public RestartFrontEnd {
 public:
  void OnBegin() override { ++begins; }
  void SetStatusLine(const char* text) override { statusLines.push_back(text); }
  void SetProgress(int position) override {
    progress.push_back(position);
    if (position == skipAtProgress) RequestRestartCancel();
  }
  void SetLastState(uint32_t state) override { states.push_back(state); }
  void ShowMessage(const char* text) override { messages.push_back(text); }
  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump();
  }
  void OnClosing() override { ++closings; }

  int MaxProgress() const {
    int most = 0;
    for (int p : progress) most = p > most ? p : most;
    return most;
  }
  bool SawStatus(const std::string& line) const {
    for (const auto& s : statusLines)
      if (s == line) return true;
    return false;
  }

  int skipAtProgress = -1;
  std::function<void()> onPump;
  int begins = 0;
  int closings = 0;
  int pumps = 0;
  std::vector<std::string> statusLines;
  std::vector<int> progress;
  std::vector<uint32_t> states;
  std::vector<std::string> messages;
};
