#pragma once

#include <chrono>
#include <cstdint>

#include "imaging/disk_imager.h"

namespace salvex::testing {

// An imaging run part way through its trimming phase, as the imaging dialog
// is drawn from it.
struct TrimmingRun {
  std::uint64_t extent = 0;
  std::uint64_t rescued = 0;   // read and finished
  std::uint64_t badBytes = 0;  // in `badAreas` bad sectors' areas; the rest is not trimmed yet
  std::uint64_t badAreas = 0;
  std::uint64_t readErrors = 0;
  std::chrono::seconds elapsed{};
};

inline ImagingProgress TrimmingProgress(const TrimmingRun& run) {
  ImagingProgress progress;
  progress.phase = RescuePhase::trimming;
  progress.extent = run.extent;
  progress.totals.bytes[MapTotals::Index(BlockStatus::finished)] = run.rescued;
  progress.totals.bytes[MapTotals::Index(BlockStatus::nonTrimmed)] = run.extent - run.rescued - run.badBytes;
  progress.totals.bytes[MapTotals::Index(BlockStatus::badSector)] = run.badBytes;
  progress.totals.areas[MapTotals::Index(BlockStatus::badSector)] = run.badAreas;
  progress.readErrors = run.readErrors;
  progress.bytesRescued = run.rescued;
  progress.elapsed = run.elapsed;
  return progress;
}

}  // namespace salvex::testing
