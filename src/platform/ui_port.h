#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace salvex {

// One labelled row of the information panel.
struct PanelRow {
  std::string label;
  std::string value;
};
using PanelRows = std::vector<PanelRow>;

enum class NoticeKind { information = 1, error = 2, question = 3 };

// `part` of `whole` as a progress value: held at 99 until the work is done,
// 0 when the whole is unknown.
constexpr int ProgressPercent(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? 0 : static_cast<int>(part * 100 / whole < 99 ? part * 100 / whole : 99);
}

// How the engines talk to whoever shows their work: the GUI (which marshals
// each call onto its own thread), the command line (stderr), or a test fake.
// Engines call it from their worker thread.
class UiPort {
 public:
  virtual ~UiPort() = default;

  // A value row of the information panel, named by its label.
  virtual void SetPanelValue(std::string_view label, std::string_view value) = 0;
  // The status line; an empty text clears and hides it.
  virtual void SetStatus(std::string_view text) = 0;
  virtual void ShowProgress(bool visible) = 0;
  // 0 to 100; engines may pass larger values, which the port shows as 100.
  virtual void SetProgress(int percent) = 0;
  virtual void SetStopVisible(bool visible) = 0;
  // A modal box with an OK button.
  virtual void Notice(NoticeKind kind, std::string_view text) = 0;
  // A modal box with Yes and No; true for Yes.
  virtual bool Confirm(std::string_view text) = 0;
};

// Shows nothing and answers No: for fuzzers, benchmarks and batch callers.
class SilentUiPort final : public UiPort {
 public:
  void SetPanelValue(std::string_view, std::string_view) override {}
  void SetStatus(std::string_view) override {}
  void ShowProgress(bool) override {}
  void SetProgress(int) override {}
  void SetStopVisible(bool) override {}
  void Notice(NoticeKind, std::string_view) override {}
  bool Confirm(std::string_view) override { return false; }
};

// The saving dialog of a recovery run: where files go, the one being
// written, how many were written before it, and its progress.
class SavingView {
 public:
  virtual ~SavingView() = default;
  virtual void SetPath(std::string_view path) = 0;
  virtual void SetFileName(std::string_view name) = 0;
  virtual void SetTotalFiles(std::uint32_t count) = 0;
  virtual void SetProgress(int percent) = 0;
};

class SilentSavingView final : public SavingView {
 public:
  void SetPath(std::string_view) override {}
  void SetFileName(std::string_view) override {}
  void SetTotalFiles(std::uint32_t) override {}
  void SetProgress(int) override {}
};

// Labels of the information-panel rows that the engines fill.
namespace panel {
inline constexpr std::string_view kFoldersFound = "Folder(s) Found";
inline constexpr std::string_view kFilesFound = "File(s) Found";
inline constexpr std::string_view kCurrentSector = "Current Sector";
inline constexpr std::string_view kLastItem = "Last File/Folder";
}  // namespace panel

}  // namespace salvex
