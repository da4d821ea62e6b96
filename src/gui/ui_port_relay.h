#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui_port.h"

namespace salvex::gui {

// The engines' way into the window from any thread. On the window's own
// thread every call goes straight to `screen`. From a worker, panel values,
// the status line, progress and Stop's visibility are only remembered (the
// latest of each wins) and applied together by one timer shot on the
// window's thread: a scan sets the panel once per directory entry, millions
// of times, and the window needs it a few times a second. Boxes from a
// worker wait for the user's answer, unless the program is quitting, when
// they answer No at once so that the worker can end and be joined.
class UiPortRelay final : public UiPort {
 public:
  UiPortRelay(QObject& owner, UiPort& screen);

  void SetPanelValue(std::string_view label, std::string_view value) override;
  void SetStatus(std::string_view text) override;
  void ShowProgress(bool visible) override;
  void SetProgress(int percent) override;
  void SetStopVisible(bool visible) override;
  void Notice(NoticeKind kind, std::string_view text) override;
  bool Confirm(std::string_view text) override;

  // Applies what workers left; the window's thread only.
  void Flush();
  // Runs `work` on the window's thread after what the workers left so far
  // is applied; dropped once quitting.
  void Post(std::function<void()> work);
  // From now on boxes asked from a worker answer No at once.
  void BeginQuit() { quitting_ = true; }
  bool Quitting() const { return quitting_; }

  static constexpr int kFlushDelayMs = 60;

 private:
  struct Pending {
    std::vector<std::pair<std::string, std::string>> values;  // label, value; a few labels at most
    std::optional<std::string> status;
    std::optional<bool> progressVisible;
    std::optional<int> progress;
    std::optional<bool> stopVisible;
  };

  bool OnOwnerThread() const;
  // Under the lock: records a change and asks for one flush if none is due.
  template <typename Change>
  void Remember(Change change);
  // Runs `ask` on the window's thread and waits for its answer, or gives
  // `whenQuitting` once the program quits.
  bool AskOnOwnerThread(std::function<bool()> ask, bool whenQuitting);

  QObject& owner_;
  UiPort& screen_;
  std::mutex mutex_;
  Pending pending_;
  bool flushDue_ = false;
  std::atomic<bool> quitting_{false};
};

}  // namespace salvex::gui
