#include "gui/ui_port_relay.h"

#include <QThread>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <memory>

namespace salvex::gui {

UiPortRelay::UiPortRelay(QObject& owner, UiPort& screen) : owner_(owner), screen_(screen) {}

bool UiPortRelay::OnOwnerThread() const { return QThread::currentThread() == owner_.thread(); }

template <typename Change>
void UiPortRelay::Remember(Change change) {
  bool schedule = false;
  {
    const std::lock_guard lock(mutex_);
    change(pending_);
    schedule = !flushDue_;
    flushDue_ = true;
  }
  if (!schedule) return;
  // One shot per delay, however many changes come meanwhile.
  QMetaObject::invokeMethod(
      &owner_, [this] { QTimer::singleShot(kFlushDelayMs, &owner_, [this] { Flush(); }); }, Qt::QueuedConnection);
}

void UiPortRelay::Flush() {
  Pending pending;
  {
    const std::lock_guard lock(mutex_);
    std::swap(pending, pending_);
    flushDue_ = false;
  }
  for (const auto& [label, value] : pending.values) screen_.SetPanelValue(label, value);
  if (pending.status) screen_.SetStatus(*pending.status);
  if (pending.progressVisible) screen_.ShowProgress(*pending.progressVisible);
  if (pending.progress) screen_.SetProgress(*pending.progress);
  if (pending.stopVisible) screen_.SetStopVisible(*pending.stopVisible);
}

void UiPortRelay::SetPanelValue(std::string_view label, std::string_view value) {
  if (OnOwnerThread()) {
    Flush();
    screen_.SetPanelValue(label, value);
    return;
  }
  Remember([label, value](Pending& pending) {
    for (auto& [known, latest] : pending.values) {
      if (known == label) {
        latest.assign(value);
        return;
      }
    }
    pending.values.emplace_back(label, value);
  });
}

void UiPortRelay::SetStatus(std::string_view text) {
  if (OnOwnerThread()) {
    Flush();
    screen_.SetStatus(text);
    return;
  }
  Remember([text](Pending& pending) { pending.status.emplace(text); });
}

void UiPortRelay::ShowProgress(bool visible) {
  if (OnOwnerThread()) {
    Flush();
    screen_.ShowProgress(visible);
    return;
  }
  Remember([visible](Pending& pending) { pending.progressVisible = visible; });
}

void UiPortRelay::SetProgress(int percent) {
  if (OnOwnerThread()) {
    Flush();
    screen_.SetProgress(percent);
    return;
  }
  Remember([percent](Pending& pending) { pending.progress = percent; });
}

void UiPortRelay::SetStopVisible(bool visible) {
  if (OnOwnerThread()) {
    Flush();
    screen_.SetStopVisible(visible);
    return;
  }
  Remember([visible](Pending& pending) { pending.stopVisible = visible; });
}

void UiPortRelay::Notice(NoticeKind kind, std::string_view text) {
  if (OnOwnerThread()) {
    Flush();
    screen_.Notice(kind, text);
    return;
  }
  AskOnOwnerThread(
      [this, kind, text = std::string(text)] {
        screen_.Notice(kind, text);
        return true;
      },
      true);
}

bool UiPortRelay::Confirm(std::string_view text) {
  if (OnOwnerThread()) {
    Flush();
    return screen_.Confirm(text);
  }
  return AskOnOwnerThread([this, text = std::string(text)] { return screen_.Confirm(text); }, false);
}

void UiPortRelay::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(
      &owner_,
      [this, work = std::move(work)] {
        if (quitting_) return;
        Flush();
        work();
      },
      Qt::QueuedConnection);
}

bool UiPortRelay::AskOnOwnerThread(std::function<bool()> ask, bool whenQuitting) {
  if (quitting_) return whenQuitting;
  struct Answer {
    std::mutex mutex;
    std::condition_variable ready;
    std::optional<bool> value;
  };
  // Shared with the queued call, which may run after this worker gave up.
  auto answer = std::make_shared<Answer>();
  QMetaObject::invokeMethod(
      &owner_,
      [this, answer, ask = std::move(ask), whenQuitting] {
        const bool value = quitting_ ? whenQuitting : (Flush(), ask());
        const std::lock_guard lock(answer->mutex);
        answer->value = value;
        answer->ready.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(answer->mutex);
  // Not a plain blocking call: the window's thread may be joining this
  // worker at exit, and would never run the box.
  while (!answer->value) {
    if (quitting_) return whenQuitting;
    answer->ready.wait_for(lock, std::chrono::milliseconds(50));
  }
  return *answer->value;
}

}  // namespace salvex::gui
