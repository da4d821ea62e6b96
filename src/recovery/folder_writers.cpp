#include "recovery/folder_writers.h"

#include <string>
#include <utility>

namespace salvex {

FolderWriters::FolderWriters(unsigned threads, Write write) : write_(std::move(write)), lanes_(threads) {
  for (unsigned lane = 0; lane < lanes_.size(); ++lane) {
    lanes_[lane].thread = std::thread([this, lane] { RunLane(lane); });
  }
}

FolderWriters::~FolderWriters() {
  if (finishing_) return;
  try {
    Finish();
  } catch (...) {  // a run given up on already: its account is not wanted
  }
}

std::size_t FolderWriters::Submit(std::unique_ptr<FolderBatch> batch) {
  const std::size_t hash = batch->folder ? std::hash<std::string>{}(batch->folder->Path()) : 0;
  const auto lane = static_cast<unsigned>(hash % lanes_.size());
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return lanes_[lane].queue.size() < kMaxQueuedPerLane; });
  const std::size_t number = batches_.size();
  batches_.push_back(std::move(batch));
  written_.push_back(false);
  lanes_[lane].queue.push_back(number);
  changed_.notify_all();
  return number;
}

void FolderWriters::WaitUntilWritten(std::size_t number) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return number >= written_.size() || written_[number]; });
}

std::vector<std::unique_ptr<FolderBatch>> FolderWriters::Finish() {
  {
    const std::lock_guard lock(mutex_);
    finishing_ = true;
  }
  changed_.notify_all();
  for (Lane& lane : lanes_) {
    if (lane.thread.joinable()) lane.thread.join();
  }
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  return std::move(batches_);
}

void FolderWriters::RunLane(unsigned lane) {
  std::deque<std::size_t>& queue = lanes_[lane].queue;
  for (;;) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !queue.empty() || finishing_; });
    if (queue.empty()) return;
    const std::size_t number = queue.front();
    FolderBatch& batch = *batches_[number];
    lock.unlock();
    // A lane that failed once writes nothing more; Finish reports why.
    if (!failed_) {
      try {
        write_(batch, lane);
      } catch (...) {
        const std::lock_guard failed(mutex_);
        if (!failure_) failure_ = std::current_exception();
        failed_ = true;
      }
    }
    batch.folder.reset();
    lock.lock();
    queue.pop_front();
    written_[number] = true;
    changed_.notify_all();
  }
}

}  // namespace salvex
