#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

namespace salvex {

// Runs the long operations of a session (scans, searches, mounts, recovery
// runs) one at a time, away from the thread that shows them. `finished`
// runs on the caller's thread once `work` has ended, with what it threw (or
// null); only then may the caller read the work's results.
class Worker {
 public:
  using Work = std::function<void()>;
  using Finished = std::function<void(std::exception_ptr failure)>;

  virtual ~Worker() = default;
  // False (and nothing started) while an earlier work is still running.
  virtual bool Start(Work work, Finished finished) = 0;
  virtual bool Running() const = 0;
};

// Runs the work and its ending at once, on the caller's thread: for tests
// and for callers that have nothing else to do meanwhile.
class SynchronousWorker final : public Worker {
 public:
  bool Start(Work work, Finished finished) override;
  bool Running() const override { return running_; }

 private:
  bool running_ = false;
};

// Runs the work on a thread of its own. `post` hands a function to the
// caller's thread (a GUI event loop's queued call); `finished` goes through
// it. The destructor waits for a running work to end.
class ThreadWorker final : public Worker {
 public:
  using Post = std::function<void(std::function<void()>)>;

  explicit ThreadWorker(Post post) : post_(std::move(post)) {}
  ~ThreadWorker() override;
  ThreadWorker(const ThreadWorker&) = delete;
  ThreadWorker& operator=(const ThreadWorker&) = delete;

  bool Start(Work work, Finished finished) override;
  bool Running() const override { return running_; }

 private:
  Post post_;
  std::thread thread_;
  std::atomic<bool> running_{false};
};

}  // namespace salvex
