#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/ui_port.h"

namespace salvex::cli {

// The command line's face for the engines: a progress bar with the status
// and the last item on stderr (only when stderr is a terminal), notices as
// one-line messages on stderr, and questions answered from the options.
class CliUiPort final : public UiPort {
 public:
  // `confirmAnswer` is given to every Yes/No question.
  explicit CliUiPort(bool confirmAnswer = false);
  ~CliUiPort() override;

  void SetPanelValue(std::string_view label, std::string_view value) override;
  void SetStatus(std::string_view text) override;
  void ShowProgress(bool visible) override;
  void SetProgress(int percent) override;
  void SetStopVisible(bool) override {}
  void Notice(NoticeKind kind, std::string_view text) override;
  bool Confirm(std::string_view text) override;

  // Erases the progress line, so that normal output starts on a clean line.
  void ClearLine();
  // Whether the progress line is drawn at all (stderr is a terminal).
  bool Interactive() const { return interactive_; }

 private:
  void Redraw(bool force);

  bool interactive_;
  bool confirmAnswer_;
  bool visible_ = false;
  bool lineShown_ = false;
  int percent_ = 0;
  std::string status_;
  std::string detail_;
  std::chrono::steady_clock::time_point lastDraw_{};
};

// The saving dialog of a recovery run, drawn on the same progress line: the
// file being written and how many were written before it.
class CliSavingView final : public SavingView {
 public:
  explicit CliSavingView(CliUiPort& line) : line_(line) {}

  void SetPath(std::string_view path) override { path_.assign(path); }
  void SetFileName(std::string_view name) override;
  void SetTotalFiles(std::uint32_t count) override;
  void SetProgress(int percent) override { line_.SetProgress(percent); }

 private:
  CliUiPort& line_;
  std::string path_;
};

}  // namespace salvex::cli
