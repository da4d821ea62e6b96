#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host_folder.h"
#include "recovery/recovery_run.h"

namespace salvex {

// The files of one folder to recover into one host folder, and their account.
struct FolderBatch {
  // Released once the batch is written. Null: nothing to write, only an
  // account (of a folder that could not be made) to keep in its place.
  std::shared_ptr<const HostFolder> folder;
  std::vector<std::uint32_t> files;          // positions in the store
  RecoverySummary summary;
};

// Writes folder batches on a few threads. On a disk file system most of a
// recovery's time is the kernel making files (inodes, directory entries),
// which threads working in different folders share out. Every batch for one
// host folder goes to the same thread, in the order submitted, so that the
// names taken in a folder are settled in the order one thread would settle
// them.
class FolderWriters {
 public:
  // `write` runs on writer `lane` (0 to threads - 1), one batch at a time
  // per lane.
  using Write = std::function<void(FolderBatch& batch, unsigned lane)>;

  FolderWriters(unsigned threads, Write write);
  ~FolderWriters();
  FolderWriters(const FolderWriters&) = delete;
  FolderWriters& operator=(const FolderWriters&) = delete;

  // Queues the batch and returns its number; waits while its lane has a
  // few batches queued already, so that open folders stay few.
  std::size_t Submit(std::unique_ptr<FolderBatch> batch);

  // Waits until batch `number` is written.
  void WaitUntilWritten(std::size_t number);

  // Waits until every batch is written, ends the threads and returns the
  // batches in the order submitted. Rethrows what a `write` threw.
  std::vector<std::unique_ptr<FolderBatch>> Finish();

 private:
  static constexpr std::size_t kMaxQueuedPerLane = 16;

  struct Lane {
    std::deque<std::size_t> queue;
    std::thread thread;
  };

  void RunLane(unsigned lane);

  Write write_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<FolderBatch>> batches_;
  std::vector<bool> written_;
  std::vector<Lane> lanes_;
  std::exception_ptr failure_;  // under mutex_
  std::atomic<bool> failed_{false};
  bool finishing_ = false;
};

}  // namespace salvex
