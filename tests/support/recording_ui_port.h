#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/ui_port.h"

namespace salvex::testing {

// A UI port that remembers what the engines showed.
class RecordingUiPort final : public UiPort {
 public:
  struct NoticeRecord {
    NoticeKind kind;
    std::string text;
  };

  void SetPanelValue(std::string_view label, std::string_view value) override {
    panel[std::string(label)] = std::string(value);
  }
  void SetStatus(std::string_view text) override { statuses.emplace_back(text); }
  void ShowProgress(bool visible) override { progressVisible = visible; }
  void SetProgress(int percent) override { progress.push_back(percent); }
  void SetStopVisible(bool visible) override { stopVisible = visible; }
  void Notice(NoticeKind kind, std::string_view text) override { notices.push_back({kind, std::string(text)}); }
  bool Confirm(std::string_view text) override {
    questions.emplace_back(text);
    return confirmAnswer;
  }

  std::map<std::string, std::string> panel;
  std::vector<std::string> statuses;
  std::vector<int> progress;
  std::vector<NoticeRecord> notices;
  std::vector<std::string> questions;
  bool progressVisible = false;
  bool stopVisible = false;
  bool confirmAnswer = false;
};

}  // namespace salvex::testing
