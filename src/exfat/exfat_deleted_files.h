#pragma once

#include <cstdint>
#include <span>

#include "disk/sector_reader.h"
#include "exfat/exfat_bitmap.h"
#include "items/item_store.h"
#include "volume/volume_parameters.h"

namespace salvex {

// A deleted file of the store, with what its entry said of its clusters.
struct ExfatDeletedFile {
  std::uint32_t position = 0;  // in the store's FAT files
  bool noFatChain = false;
};

// Which clusters a deleted file may be read from.
struct ExfatClusterUse {
  // The allocation bitmap, with the clusters live files and folders hold
  // added: a deleted file read from any of them is overwritten.
  const ExfatBitmap& inUse;
  // Free clusters that hold no deleted file's bytes either: those read as
  // directories, and deleted folders' first ones.
  const ExfatBitmap& held;
};

// Settles where the bytes of the deleted files lie, once the walk has seen
// every live item: consecutive clusters when the entry says it has no FAT
// chain (or needs one cluster); its chain when the FAT still holds one of
// just the length its size needs over free clusters (Windows leaves it
// there); otherwise the chain is gone (exfat-fuse clears it) and the
// clusters are worked out, all such files together, as a first-free
// allocator would have given them out around the clusters in use and held
// (fragmentInferred), or, where that gives one run, read from consecutive
// clusters (chainAssumed: the entry says the file was chained, so one run
// is a guess). A file any of whose clusters are in use is overwritten, and
// files that would be read from the same clusters name each other. Each
// FAT entry is read at most once, however many entries claim one chain.
void SettleExfatDeletedFiles(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                             const ExfatClusterUse& use, std::span<const ExfatDeletedFile> files, ItemStore& store);

// Names, for every deleted file of an exFAT store, the other deleted files
// whose clusters (as `clusterRuns` hold them) overlap its own.
void MarkExfatConflicts(ItemStore& store);

}  // namespace salvex
