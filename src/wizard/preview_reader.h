#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "recovery/extraction.h"
#include "session/item_bytes.h"
#include "session/worker.h"

namespace salvex::wizard {

// Reads the previewed file's first bytes on a thread of its own, so that
// moving through the list never waits for the disk. A newer request cancels
// the read in flight (its run's Stop is raised) and only the newest one's
// bytes are delivered. While paused (a worker uses the disk and the store)
// nothing is read.
class PreviewReader {
 public:
  // Reads the file; `run.stopSaving` raised means stop.
  using Read = std::function<ItemBytes(const ItemReadRequest& item, RecoveryRunState& run)>;
  // Called on the reader's thread with the request's ticket; the window
  // posts it on to its own thread, where Newest() tells a stale one.
  using Deliver = std::function<void(std::uint64_t ticket, ItemBytes bytes)>;

  PreviewReader(Read read, Deliver deliver);
  ~PreviewReader();
  PreviewReader(const PreviewReader&) = delete;
  PreviewReader& operator=(const PreviewReader&) = delete;

  // Asks for a file, dropping any earlier request; returns its ticket.
  std::uint64_t Request(ItemReadRequest item);
  // Drops the pending request and cancels the read in flight.
  void Cancel();
  // Cancels, and waits until no read runs; requests wait until Resume.
  void Pause();
  void Resume();
  std::uint64_t Newest() const;

 private:
  void Run();

  Read read_;
  Deliver deliver_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<ItemReadRequest> pending_;
  std::uint64_t newest_ = 0;
  bool reading_ = false;
  unsigned pauses_ = 0;
  bool quitting_ = false;
  RecoveryRunState run_;  // its FAT cache serves the next files too
  std::thread thread_;
};

// A worker whose work never runs beside a preview read: the reader is paused
// from the start of each work to its end.
class PreviewPausingWorker final : public Worker {
 public:
  PreviewPausingWorker(Worker& inner, PreviewReader& preview) : inner_(inner), preview_(preview) {}

  bool Start(Work work, Finished finished) override;
  bool Running() const override { return inner_.Running(); }

 private:
  Worker& inner_;
  PreviewReader& preview_;
};

}  // namespace salvex::wizard
