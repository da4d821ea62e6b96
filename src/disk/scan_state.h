#pragma once

#include <atomic>
#include <cstdint>

#include "common/sector.h"

namespace salvex {

enum class ScanType : std::uint16_t { standard = 1, advance = 2 };

// What the user has chosen so far: the wizard's step, the scan type, the disk
// and the partition or sector range that the engines work on.
struct ScanState {
  int wizardStep = 0;
  ScanType scanType = ScanType::standard;
  std::uint16_t diskIndex = 0;
  // Set by the user interface (Stop), polled by every scanning loop.
  std::atomic<bool> stopRequested{false};
  FsType selectedFsType = FsType::none;
  std::uint32_t rangeStart = 0;
  std::uint32_t rangeSize = 0;
  std::uint32_t rangeEnd = 0;
  std::uint16_t partitionIndex = 0;

  bool StopRequested() const { return stopRequested.load(std::memory_order_relaxed); }
};

}  // namespace salvex
