#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/sector.h"

namespace salvex {

// A hit's `candidate`: 0 until a found file system claims it, then that file
// system's 1-based position, or kUnplaced when none could.
inline constexpr std::uint16_t kUnclaimed = 0;
inline constexpr std::uint16_t kUnplaced = 0xFFFF;

struct BootSectorHit {
  SectorNumber sector = 0;
};

// A sector that begins like the first cluster of a FAT folder: "." then "..".
struct FolderClusterHit {
  SectorNumber sector = 0;
  std::uint32_t cluster = 0;        // from the "." entry
  std::uint32_t parentCluster = 0;  // from the ".." entry; 0 is the root
  std::uint16_t writeDate = 0;
  std::uint16_t accessDate = 0;
  std::uint16_t candidate = kUnclaimed;

  bool operator==(const FolderClusterHit&) const = default;
};

// The MFT record of a folder.
struct MftFolderHit {
  std::string name;
  SectorNumber sector = 0;
  std::uint32_t parentRecord = 0;
  std::uint32_t recordNumber = 0;  // 0 until the classification knows it
  std::uint16_t candidate = kUnclaimed;
  std::uint64_t created = 0;
  std::uint64_t changed = 0;
  std::uint32_t indexCluster = 0;  // first cluster of its index allocation, 0 = none
  bool deleted = false;

  bool operator==(const MftFolderHit&) const = default;
};

// The MFT record of a file.
struct MftFileHit {
  std::string name;
  SectorNumber sector = 0;
  std::uint32_t parentRecord = 0;
  std::uint64_t created = 0;
  std::uint64_t changed = 0;
  std::uint64_t size = 0;
  bool deleted = false;

  bool operator==(const MftFileHit&) const = default;
};

// An NTFS index block whose owning folder is known.
struct IndexBlockHit {
  SectorNumber sector = 0;
  std::uint32_t ownerRecord = 0;
  std::uint32_t vcn = 0;
  std::uint16_t mark = 0xFFFF;
  std::uint8_t sectors = 0;

  bool operator==(const IndexBlockHit&) const = default;
};

// An exFAT folder's entry set (File, Stream Extension, File Name entries
// whose set checksum verifies), found in any sector: it names the folder's
// first cluster, and the folder's directory then begins at a sector that
// holds entry sets from its first byte.
struct ExfatFolderHit {
  std::string name;
  SectorNumber sector = 0;         // where its File entry lies
  std::uint32_t firstCluster = 0;
  std::uint64_t dataLength = 0;     // of its directory, in bytes
  std::uint32_t modified = 0;       // DOS date << 16 | time
  std::uint32_t accessed = 0;
  std::uint16_t candidate = kUnclaimed;
  bool noFatChain = false;
  bool deleted = false;

  bool operator==(const ExfatFolderHit&) const = default;
};

// A sector that holds an allocation bitmap and an up-case table entry: the
// first sector of an exFAT root directory.
struct ExfatRootHit {
  SectorNumber sector = 0;
  std::uint16_t candidate = kUnclaimed;

  bool operator==(const ExfatRootHit&) const = default;
};

// What the sector sweep found, each list in ascending sector order, which
// the classification relies on.
struct HitLists {
  std::vector<BootSectorHit> bootSectors;
  std::vector<FolderClusterHit> folderClusters;
  std::vector<MftFolderHit> mftFolders;
  std::vector<MftFileHit> mftFiles;
  std::vector<IndexBlockHit> indexBlocks;
  // FAT sweep: sectors that hold plausible directory entries but begin no
  // folder (the later sectors and clusters of directories), by number.
  std::vector<SectorNumber> directorySectors;
  // exFAT sweep: the folders' entry sets; the sectors whose first entry
  // begins a verified entry set (where a directory may begin); the sectors
  // that hold a root directory's bitmap and up-case entries.
  std::vector<ExfatFolderHit> exfatFolders;
  std::vector<SectorNumber> exfatDirectoryStarts;
  std::vector<ExfatRootHit> exfatRoots;
  // exFAT sweep: the sectors in which a verified entry set begins, for the
  // directory clusters no folder leads to.
  std::vector<SectorNumber> exfatEntrySectors;
  std::uint32_t bootSectorsFound = 0;
  std::uint32_t foldersFound = 0;  // folder clusters (FAT) or MFT folder records (NTFS)
  std::uint32_t filesFound = 0;
  std::uint32_t indexBlocksFound = 0;

  void Clear() { *this = HitLists{}; }
};

}  // namespace salvex
