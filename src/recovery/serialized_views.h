#pragma once

#include <mutex>

#include "platform/ui_port.h"

namespace salvex {

// The run's user interface and saving dialog as seen by several writer
// threads: one call at a time (both share one lock), so that a view written
// for one thread (a test fake, say) is never entered twice, and two
// questions are asked in turn.
class SerializedUiPort final : public UiPort {
 public:
  SerializedUiPort(UiPort& ui, std::mutex& mutex) : ui_(ui), mutex_(mutex) {}

  void SetPanelValue(std::string_view label, std::string_view value) override {
    const std::lock_guard lock(mutex_);
    ui_.SetPanelValue(label, value);
  }
  void SetStatus(std::string_view text) override {
    const std::lock_guard lock(mutex_);
    ui_.SetStatus(text);
  }
  void ShowProgress(bool visible) override {
    const std::lock_guard lock(mutex_);
    ui_.ShowProgress(visible);
  }
  void SetProgress(int percent) override {
    const std::lock_guard lock(mutex_);
    ui_.SetProgress(percent);
  }
  void SetStopVisible(bool visible) override {
    const std::lock_guard lock(mutex_);
    ui_.SetStopVisible(visible);
  }
  void Notice(NoticeKind kind, std::string_view text) override {
    const std::lock_guard lock(mutex_);
    ui_.Notice(kind, text);
  }
  bool Confirm(std::string_view text) override {
    const std::lock_guard lock(mutex_);
    return ui_.Confirm(text);
  }

 private:
  UiPort& ui_;
  std::mutex& mutex_;
};

class SerializedSavingView final : public SavingView {
 public:
  SerializedSavingView(SavingView& saving, std::mutex& mutex) : saving_(saving), mutex_(mutex) {}

  void SetPath(std::string_view path) override {
    const std::lock_guard lock(mutex_);
    saving_.SetPath(path);
  }
  void SetFileName(std::string_view name) override {
    const std::lock_guard lock(mutex_);
    saving_.SetFileName(name);
  }
  void SetTotalFiles(std::uint32_t count) override {
    const std::lock_guard lock(mutex_);
    saving_.SetTotalFiles(count);
  }
  void SetProgress(int percent) override {
    const std::lock_guard lock(mutex_);
    saving_.SetProgress(percent);
  }

 private:
  SavingView& saving_;
  std::mutex& mutex_;
};

}  // namespace salvex
