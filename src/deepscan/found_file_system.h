#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/sector.h"
#include "deepscan/hits.h"
#include "volume/volume_parameters.h"
#include "items/folder_tree.h"
#include "platform/ui_port.h"

namespace salvex {

// A file system the classification found: its first fields are those of the
// volume parameters, which selecting it copies across.
struct FoundFileSystem {
  FsType fsType = FsType::none;
  std::uint32_t sectorsPerFat = 0;
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t rootDirSectors = 0;
  SectorNumber rootDirStart = 0;
  std::uint32_t reservedSectors = 0;
  SectorNumber clusterBase = 0;
  SectorNumber fat1Start = 0;
  SectorNumber fat2Start = 0;
  SectorNumber mftStart = 0;
  SectorNumber mftMirrStart = 0;
  std::uint32_t spare = 0;
  std::uint32_t indexBufferSectors = 0;
  SectorNumber volumeEnd = 0;  // 0 = unknown
};

// Everything an Advance Scan keeps between its steps: the hits of the sweep
// and the file systems found in them.
struct DeepScanState {
  HitLists hits;
  std::vector<FoundFileSystem> found;
  std::uint32_t classifiedCount = 0;

  std::uint16_t FoundFileSystemCount() const { return static_cast<std::uint16_t>(found.size()); }
  // Empties every list of the Advance Scan and zeroes its counters.
  void Clear() { *this = DeepScanState{}; }
};

// The first sector of a found file system (or of the volume parameters
// selecting one copied): its boot sector where one was found (for FAT and
// exFAT the FAT's start less the sectors before it, for NTFS its cluster
// base); else the first sector of its data, cluster 2, the earliest sector
// known to be its.
template <typename Geometry>
std::uint64_t FirstSectorOf(const Geometry& geometry) {
  if (geometry.fsType == FsType::ntfs) return geometry.clusterBase;
  if (geometry.fat1Start != 0 && geometry.fat1Start >= geometry.reservedSectors) {
    return geometry.fat1Start - geometry.reservedSectors;
  }
  return geometry.clusterBase + 2ull * geometry.sectorsPerCluster;
}


// Appends a found file system to the list, in the order found.
void AddFoundFileSystem(DeepScanState& state, const FoundFileSystem& found);

// Selects the found file system at 1-based `ordinal`: copies its geometry
// into the volume parameters and sets foundFsOrdinal. False when there is no
// such file system.
bool SelectFoundFileSystem(const DeepScanState& state, std::uint16_t ordinal, VolumeParameters& volume);

// How many hits each found file system claimed, by 1-based ordinal (entry 0
// is unused), counted in one pass.
std::vector<std::uint32_t> ClaimedHitCounts(const DeepScanState& state);

}  // namespace salvex
