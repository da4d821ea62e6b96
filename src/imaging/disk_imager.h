#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/image_sink.h"
#include "imaging/rescue_map.h"
#include "platform/disk_source.h"

namespace salvex {

struct ImagingSettings {
  // The copy phase reads this much at a time, at multiples of it.
  std::uint32_t copyBlockBytes = 1U << 20;
  // Trimming, scraping and retries read one sector at a time.
  std::uint32_t sectorBytes = 512;
  // Passes over the bad sectors after scraping.
  int retries = 0;
  // The map is saved at least this often while the run goes on.
  std::chrono::milliseconds saveInterval{5000};
};

// Where a run is, after every read.
struct ImagingProgress {
  RescuePhase phase = RescuePhase::copying;
  int pass = 1;
  std::uint64_t currentPos = 0;
  std::uint64_t extent = 0;
  MapTotals totals;
  std::uint64_t readErrors = 0;     // failed reads in this run
  std::uint64_t bytesRescued = 0;   // read into the image in this run
  std::chrono::steady_clock::duration elapsed{};

  // Bytes still to be copied, trimmed or scraped.
  std::uint64_t RemainingBytes() const;
};

// What the run tells its front end, and how its map is kept.
class ImagingObserver {
 public:
  virtual ~ImagingObserver() = default;
  // After every read; cheap calls only.
  virtual void Progress(const ImagingProgress& progress) = 0;
  // The map as it is now, to be made durable; empty when saved, else why not.
  virtual std::string SaveMap(const RescueMap& map) = 0;
};

enum class ImagingEnd {
  finished,          // every phase ran to its end (bad sectors may remain)
  stopped,           // the stop flag was raised: the map says where to go on
  imageWriteFailed,  // the host refused bytes of the image
  mapWriteFailed,    // the map could not be saved (the last map saved stays)
};

struct ImagingResult {
  ImagingEnd end = ImagingEnd::finished;
  std::string error;
  std::uint64_t reads = 0;  // requests made of the source in this run
  ImagingProgress last;
};

// Copies a source into an image as a careful imaging tool does, keeping
// the state of every byte in a ddrescue map so that a run can stop at any
// time and a later one goes on where it left:
//   copy    large reads over the non-tried areas; a read that fails marks
//           its block non-trimmed and the next ones are skipped (more the
//           more reads fail in a row), then a second pass reads what was
//           skipped;
//   trim    each non-trimmed block is read sector by sector from its first
//           sector on and from its last one back, each up to the first
//           failure, which is marked bad; the middle becomes non-scraped;
//   scrape  every non-scraped sector is read alone;
//   retry   `retries` passes over the bad sectors.
// A sector is read at most once per phase (and once per retry pass). The
// source is only ever read.
class DiskImager {
 public:
  DiskImager(DiskSource& source, ImageSink& image, RescueMap& map, const ImagingSettings& settings,
             const std::atomic<bool>& stop, ImagingObserver& observer);

  ImagingResult Run();

 private:
  enum class Read { good, bad, failed };

  void CopyPass(bool skipping);
  void Trim();
  void TrimBlock(const MapBlock& block);
  void ReadSectorsOf(BlockStatus status);
  // Reads [pos, pos + size) into the image; the map is the caller's.
  Read ReadInto(std::uint64_t pos, std::uint64_t size);
  // The sector-sized piece of [pos, end) that starts at pos / ends at end.
  std::uint64_t SectorAfter(std::uint64_t pos, std::uint64_t end) const;
  std::uint64_t SectorBefore(std::uint64_t start, std::uint64_t end) const;
  void Report(bool maySave);
  // Syncs the image and saves the map: empty when done, else why not.
  std::string Save();
  bool Going() const { return !failed_ && !stop_.load(std::memory_order_relaxed); }

  DiskSource& source_;
  ImageSink& image_;
  RescueMap& map_;
  ImagingSettings settings_;
  const std::atomic<bool>& stop_;
  ImagingObserver& observer_;
  std::vector<std::uint8_t> buffer_;
  ImagingResult result_;
  bool failed_ = false;
  std::uint64_t readErrors_ = 0;
  std::uint64_t bytesRescued_ = 0;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point lastSave_;
};

}  // namespace salvex
