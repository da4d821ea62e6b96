#include "wizard/preview_reader.h"

namespace salvex::wizard {

PreviewReader::PreviewReader(Read read, Deliver deliver)
    : read_(std::move(read)), deliver_(std::move(deliver)), thread_([this] { Run(); }) {}

PreviewReader::~PreviewReader() {
  {
    const std::lock_guard lock(mutex_);
    quitting_ = true;
    pending_.reset();
    run_.stopSaving = true;
  }
  changed_.notify_all();
  thread_.join();
}

std::uint64_t PreviewReader::Request(ItemReadRequest item) {
  const std::lock_guard lock(mutex_);
  pending_ = std::move(item);
  if (reading_) run_.stopSaving = true;
  changed_.notify_all();
  return ++newest_;
}

void PreviewReader::Cancel() {
  const std::lock_guard lock(mutex_);
  pending_.reset();
  ++newest_;  // whatever is in flight is stale now
  if (reading_) run_.stopSaving = true;
}

void PreviewReader::Pause() {
  std::unique_lock lock(mutex_);
  ++pauses_;
  pending_.reset();
  ++newest_;
  if (reading_) run_.stopSaving = true;
  changed_.wait(lock, [&] { return !reading_; });
  // The next reads may be of another disk.
  run_.fatCache.reset();
}

void PreviewReader::Resume() {
  {
    const std::lock_guard lock(mutex_);
    if (pauses_ > 0) --pauses_;
  }
  changed_.notify_all();
}

std::uint64_t PreviewReader::Newest() const {
  const std::lock_guard lock(mutex_);
  return newest_;
}

void PreviewReader::Run() {
  for (;;) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return quitting_ || (pending_ && pauses_ == 0); });
    if (quitting_) return;
    const ItemReadRequest item = std::move(*pending_);
    pending_.reset();
    const std::uint64_t ticket = newest_;
    reading_ = true;
    run_.stopSaving = false;
    lock.unlock();
    ItemBytes bytes = read_(item, run_);
    lock.lock();
    reading_ = false;
    const bool current = ticket == newest_ && !run_.stopSaving;
    lock.unlock();
    changed_.notify_all();
    if (current) deliver_(ticket, std::move(bytes));
  }
}

bool PreviewPausingWorker::Start(Work work, Finished finished) {
  if (inner_.Running()) return false;
  preview_.Pause();
  const bool started = inner_.Start(std::move(work), [this, finished = std::move(finished)](std::exception_ptr failure) {
    preview_.Resume();
    finished(failure);
  });
  if (!started) preview_.Resume();
  return started;
}

}  // namespace salvex::wizard
