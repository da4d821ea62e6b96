#include "session/worker.h"

namespace salvex {

bool SynchronousWorker::Start(Work work, Finished finished) {
  if (running_) return false;
  running_ = true;
  std::exception_ptr failure;
  try {
    work();
  } catch (...) {
    failure = std::current_exception();
  }
  running_ = false;
  finished(failure);
  return true;
}

ThreadWorker::~ThreadWorker() {
  if (thread_.joinable()) thread_.join();
}

bool ThreadWorker::Start(Work work, Finished finished) {
  if (running_) return false;
  if (thread_.joinable()) thread_.join();
  running_ = true;
  thread_ = std::thread([this, work = std::move(work), finished = std::move(finished)]() mutable {
    std::exception_ptr failure;
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    // Running() turns false on the caller's thread, just before `finished`,
    // so the caller never sees an idle worker whose results it cannot read.
    post_([this, finished = std::move(finished), failure] {
      running_ = false;
      finished(failure);
    });
  });
  return true;
}

}  // namespace salvex
