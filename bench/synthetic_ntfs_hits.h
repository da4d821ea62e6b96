#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "deepscan/hits.h"
#include "platform/disk_source.h"

namespace salvex::bench {

// The hits an NTFS sweep would give for one volume of `folders` folders (in
// a tree, `subfoldersPerFolder` each), with one noise folder hit after every
// `noiseEvery` real ones: a folder record whose index allocation points at
// nothing, so that it pairs with no other hit.
struct NtfsHitShape {
  std::uint32_t folders = 100'000;
  std::uint32_t subfoldersPerFolder = 20;
  std::uint32_t noiseEvery = 10;
  // Every this many folders carry no record number, as when the index root
  // names no entry: the classification numbers them from their parent's
  // index block, else from their place in the MFT.
  std::uint32_t unnumberedEvery = 4;
  // Every this many folders have no index allocation (small folders): no
  // geometry can claim them; they join the file system of the hit before.
  std::uint32_t withoutIndexEvery = 16;
  // Every this many first index blocks have a second one (VCN 1), which the
  // classification drops.
  std::uint32_t secondBlockEvery = 8;
  std::uint32_t filesPerFolder = 1;
  bool bootSectors = true;  // false: the volume must be inferred from pairs
};

// Where the parts of the volume lie. Sectors are absolute.
struct NtfsLayout {
  std::uint32_t volumeStart = 2048;
  std::uint32_t sectorsPerCluster = 8;  // one 4 KiB index block per cluster
  std::uint32_t mftCluster = 4;
  std::uint32_t folders = 0;
  std::uint32_t subfoldersPerFolder = 0;
  std::uint32_t noiseEvery = 0;
  std::uint32_t withoutIndexEvery = 0;
  std::uint32_t firstBlockCluster = 0;   // folder k's first index block is cluster firstBlockCluster + k
  std::uint32_t secondBlockCluster = 0;  // the second blocks, one after the other
  std::uint32_t secondBlocks = 0;
  std::uint32_t noiseBlockCluster = 0;   // the noise hits' blocks, one after the other
  std::uint32_t noiseBlocks = 0;
  std::uint32_t dataCluster = 0;         // noise index clusters point here: no index block
  std::uint32_t volumeSectors = 0;       // the last one holds the backup boot sector
  std::uint64_t diskSectors = 0;

  std::uint32_t MftStart() const { return volumeStart + sectorsPerCluster * mftCluster; }
  std::uint32_t RecordOf(std::uint32_t folder) const { return 64 + folder + folder / noiseEvery; }
  bool HasIndex(std::uint32_t folder) const { return folder % withoutIndexEvery != withoutIndexEvery - 1; }
  std::uint32_t ClusterSector(std::uint32_t cluster) const { return volumeStart + sectorsPerCluster * cluster; }
};

struct SyntheticNtfsHits {
  NtfsLayout layout;
  HitLists hits;
  std::uint32_t realFolders = 0;
  std::uint32_t indexedFolders = 0;  // real folders with an index block: what a geometry can claim
};

SyntheticNtfsHits MakeSyntheticNtfsHits(const NtfsHitShape& shape);

// The disk under those hits: the boot sectors, each folder's first index
// block (naming its subfolders), the second blocks and the noise blocks;
// zeros elsewhere. The classification reads nothing else. The first blocks
// are made once and kept in memory, so that reading them costs a copy, as
// from the page cache; copies of a disk share them.
class SyntheticNtfsDisk final : public DiskSource {
 public:
  explicit SyntheticNtfsDisk(const NtfsLayout& layout);
  SyntheticNtfsDisk(const SyntheticNtfsDisk&) = default;

  // Whole sectors only, as the sector reader asks.
  bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) override;
  std::uint64_t SizeBytes() const override { return layout_.diskSectors * 512; }
  std::string Name() const override { return "synthetic NTFS disk"; }

 private:
  // A first block's entries fit here; the rest of its 4 KiB is zeros.
  static constexpr std::size_t kKeptBytes = 2560;

  void ReadSector(std::uint64_t sector, std::uint8_t* out) const;

  NtfsLayout layout_;
  std::shared_ptr<const std::vector<std::uint8_t>> firstBlocks_;  // kKeptBytes per folder
};

}  // namespace salvex::bench
