#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/sector.h"
#include "items/carved_placement.h"

namespace salvex {

// Consecutive clusters of a file, in the order its bytes come.
struct ClusterRun {
  std::uint32_t first = 0;
  std::uint32_t count = 0;

  bool operator==(const ClusterRun&) const = default;
};

// A FAT folder, known by the first cluster of its own directory data.
struct FatFolderItem {
  std::string name;
  std::uint32_t firstCluster = 0;
  std::uint32_t parentCluster = 0;  // 0: the root directory
  std::uint16_t writeDate = 0;      // DOS dates
  std::uint16_t accessDate = 0;
  std::uint64_t treeNode = 0;       // 0 until the folder tree is built
  bool deleted = false;             // its entry, or a folder above it, is deleted
  // Deleted, and its first cluster is now a live folder's or a live file's
  // (Windows reuses a deleted folder's clusters): listed, never read as a
  // directory, nothing filed under it.
  bool overwritten = false;
  // exFAT: the clusters its directory was read from (a folder's entry can
  // say it has no FAT chain). Empty: its FAT chain is its directory.
  std::vector<ClusterRun> clusterRuns = {};
};

// The parent key of an overwritten folder's children: no item has it, so it
// is shown empty, its cluster's entries being the live folder's.
inline constexpr std::uint32_t kOverwrittenFolderKey = 0xFFFFFFFE;

inline std::uint32_t ChildrenKeyOf(const FatFolderItem& folder) {
  return folder.overwritten ? kOverwrittenFolderKey : folder.firstCluster;
}

struct FatFileItem {
  std::string name;
  std::uint32_t firstCluster = 0;
  std::uint32_t parentCluster = 0;
  std::uint16_t writeDate = 0;
  std::uint16_t accessDate = 0;
  std::uint64_t size = 0;  // FAT's entries hold 32 bits, exFAT's 64
  bool deleted = false;
  std::uint32_t id = 0;  // the file counter's value when it was added
  // A deleted FAT32 entry whose high cluster word is 0, as Windows leaves
  // it: firstCluster holds the low word until a first cluster is chosen
  // among low + k * 65536.
  bool highWordCleared = false;
  bool clusterInferred = false;  // firstCluster is that choice, not the entry's
  bool noClusterFits = false;    // no choice survived: its data cannot be found
  // Deleted, and the FAT now gives some of the clusters it would be read from
  // to other files: what comes back is probably theirs.
  bool overwritten = false;
  // Its entry is a volume label's (attribute 0x08) that holds clusters.
  bool labelEntry = false;
  // Deleted, and read from clusters worked out around other files (its chain
  // is cleared and its bytes do not lie in one run): `clusterRuns` holds
  // them. Empty runs: its chain, else consecutive clusters from the first.
  bool fragmentInferred = false;
  // exFAT found without its FAT: its entry says its clusters are chained in
  // the FAT, so reading them as one run from the first is a guess that is
  // wrong if it was fragmented.
  bool chainAssumed = false;
  // exFAT: its entry set does not agree with itself (no name entry, a name
  // length of 0 or longer than its name entries hold, fewer entries than
  // its count says): `name` is made from what is there.
  bool nameIncomplete = false;
  // exFAT: the bytes written; those from here to `size` read as zeros.
  std::uint64_t validSize = UINT64_MAX;
  std::uint16_t writeTime = 0;  // DOS time; snapshots keep none (0: midnight)
  // The clusters to read, when the walk knows them without the FAT: a FAT
  // file's worked out around other files (`fragmentInferred`); an exFAT
  // file's one run when its entry says it has no FAT chain, or a deleted
  // exFAT file's clusters as the walk found them (its chain, still in the
  // FAT and free, else the run from its first cluster). Empty: the FAT's
  // chain is followed at extraction.
  std::vector<ClusterRun> clusterRuns = {};
  // Positions in the store of other deleted files that would be read from
  // some of the same clusters: at most one of them can be right.
  std::vector<std::uint32_t> conflictsWith = {};
  // A file found by its content rather than by an entry: its bytes are the
  // placement's extents, never clusters (firstCluster is 0). Shared, so
  // that copies of the item stay cheap; null for every file a scan lists.
  std::shared_ptr<const CarvedPlacement> carved = nullptr;
};

// An NTFS folder, known by its MFT record number; the root is record 5.
struct NtfsFolderItem {
  std::string name;
  std::uint32_t recordNumber = 0;
  std::uint32_t parentRecord = 0;
  std::uint64_t created = 0;  // NTFS times: 100 ns units since 1601-01-01
  std::uint64_t changed = 0;
  std::uint64_t treeNode = 0;
  bool deleted = false;
};

struct NtfsFileItem {
  std::string name;
  std::uint32_t recordNumber = 0;
  std::uint32_t parentRecord = 0;
  std::uint64_t created = 0;
  std::uint64_t changed = 0;
  std::uint64_t size = 0;
  bool deleted = false;
  SectorNumber recordSector = 0;  // where its MFT record lies; its identifier
  // The clusters hold NTFS-compressed or encrypted data: copying them would
  // not give the user's bytes back.
  bool compressedOrEncrypted = false;
  // Its record claims more data than the volume holds (`size` is cut to the
  // volume's), or runs past the volume's end: only what lies inside can be
  // recovered.
  bool beyondVolume = false;
  // One of the file's named data streams: `name` is then "FILE:STREAM" and
  // the bytes are that stream's. Empty: the file's unnamed data.
  std::string stream = {};
};

inline constexpr std::uint32_t kFatRootKey = 0;
inline constexpr std::uint32_t kNtfsRootKey = 5;

}  // namespace salvex
