#pragma once

#include <cstdint>
#include <unordered_set>

#include "common/le_bytes.h"
#include "fat/deleted_cluster_resolver.h"
#include "fat/directory_entry.h"
#include "items/item_store.h"
#include "platform/ui_port.h"

namespace salvex {

// A long name has at most 20 entries of 32 bytes before its short entry:
// they reach back into at most two 512-byte sectors before the short entry's.
inline constexpr std::size_t kLongNameReachSectors = 2;

// The parent key of entries found in directory clusters that no folder
// reaches: no folder has it, so they are listed under "Lost Files".
inline constexpr std::uint32_t kLostEntriesKey = 0xFFFFFFFF;

// Where decoded directory entries go, and what the volume allows.
struct DirectoryDecodeContext {
  ItemStore& store;
  FsType fsType;
  EntryLimits limits;
  // The walk's panel values and progress; null reports nothing.
  UiPort* ui = nullptr;
  // The progress bar's 100%: the range's length in clusters.
  std::uint32_t progressClusters = 1;
  // Chooses the first cluster of a deleted folder whose high word was
  // cleared, so that the walk reads it; null keeps the entry's low word.
  DeletedClusterResolver* deletedClusters = nullptr;
  // Found folders a live entry has named: a deleted entry naming the same
  // folder later (Windows reuses a deleted folder's cluster) leaves it live.
  std::unordered_set<std::uint32_t> namedByLiveEntry = {};
};

// Decodes entries `firstIndex` to 15 of one 512-byte directory sector into the
// store, with `parentCluster` as their parent. Every entry of a deleted
// directory (`inheritedDeleted`) is deleted too. `previousSectors`, the
// directory's sectors just before this one in directory order (up to
// kLongNameReachSectors whole sectors are used, the last ones; empty for the
// directory's first sector), let a long name whose entries begin there be read
// whole. Returns true when the directory's end mark (an entry starting with
// byte 0) was met.
bool DecodeDirectorySector(DirectoryDecodeContext& context, Bytes sector, std::uint32_t parentCluster,
                           SectorNumber sectorNumber, bool inheritedDeleted, unsigned firstIndex,
                           Bytes previousSectors = {});

// The variant that rebuilds the files of a found file system from several
// consecutive sectors (`firstIndex` applies to the first only). A directory
// entry of size 0 adds no folder: it names the folder already found with the
// same parent and first cluster, when there is one (any parent for entries
// under kLostEntriesKey; for an entry whose high word was cleared, the first
// of low + k * 65536 that names such a folder). Every other entry is added as
// a file. Reports nothing. Returns true when the end mark was met.
bool DecodeDirectorySectors(DirectoryDecodeContext& context, Bytes sectors, std::uint32_t parentCluster,
                            bool inheritedDeleted, unsigned firstIndex);

}  // namespace salvex
