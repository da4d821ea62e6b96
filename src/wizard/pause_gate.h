#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace salvex::wizard {

// Holds a worker at its next check while the user-interface thread asks the
// user something, and lets it go on (or end) once answered.
class PauseGate {
 public:
  void Pause() {
    const std::lock_guard lock(mutex_);
    paused_ = true;
  }
  void Resume() {
    {
      const std::lock_guard lock(mutex_);
      paused_ = false;
    }
    resumed_.notify_all();
  }
  // The worker's side: returns at once unless paused, and when `stop` is
  // raised before Resume (Resume must follow a raised stop).
  void WaitWhilePaused(const std::atomic<bool>& stop) {
    std::unique_lock lock(mutex_);
    resumed_.wait(lock, [&] { return !paused_ || stop.load(); });
  }

 private:
  std::mutex mutex_;
  std::condition_variable resumed_;
  bool paused_ = false;
};

}  // namespace salvex::wizard
