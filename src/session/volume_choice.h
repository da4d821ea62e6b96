#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/sector.h"
#include "session/outcome.h"
#include "session/session.h"

namespace salvex {

// "fat12", "fat16", "fat32" or "ntfs"; nothing for any other name.
std::optional<FsType> FsTypeNamed(std::string_view name);

// Walks the partition tables and chooses partition `number` (from 1, as its
// caption counts) for the Standard Scan.
Outcome ChoosePartition(Session& session, unsigned number);

// Walks the partition tables and, when they hold exactly one FAT12, FAT16 or FAT32
// partition, or the disk is one volume without a table (FAT or NTFS), chooses
// it for the Standard Scan; `number` is then its number (from 1). Otherwise
// `number` is 0 and nothing is chosen.
Outcome ChooseOnlyFatPartition(Session& session, unsigned& number);

// Chooses `size` sectors from `start` for the Standard Scan, as a volume of
// type `type`.
Outcome ChooseRange(Session& session, FsType type, SectorNumber start, SectorNumber size);

// What the Advance Scan sweeps: a partition, the sectors from `start` up to
// `end` (not included, as the wizard's fields are read), or, with neither,
// the whole disk; always looking for `type`, `readSize` sectors at a time.
struct SweepChoice {
  FsType type = FsType::none;
  std::optional<unsigned> partition;
  std::optional<SectorNumber> start;
  std::optional<SectorNumber> end;
  std::uint32_t readSize = 60;
};
Outcome ChooseSweep(Session& session, const SweepChoice& choice);

}  // namespace salvex
