#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace salvex::bench {

// The shape of a crafted FAT32 volume: `folders` folders numbered breadth
// first, each holding up to `subfoldersPerFolder` of the next ones (so the
// depth grows with the logarithm of the count), and `filesPerFolder` files
// in every folder and in the root. Names are long: three long-name entries
// and a short entry each.
struct VolumeShape {
  std::uint32_t folders = 25'000;
  std::uint32_t subfoldersPerFolder = 20;
  std::uint32_t filesPerFolder = 3;
  // One file in this many is deleted (its entries marked 0xE5).
  std::uint32_t deletedFileEvery = 64;
};

// One entry as the walk adds it to the item store.
struct EntryRecord {
  std::string name;
  std::uint32_t firstCluster = 0;
  std::uint32_t parentCluster = 0;
  std::uint32_t size = 0;
  bool isFolder = false;
  bool deleted = false;
};

struct SyntheticVolume {
  std::vector<std::uint8_t> bytes;  // the whole disk: the volume starts at sector 0
  std::uint32_t totalSectors = 0;
  // Every folder and file in the order a breadth-first walk finds them.
  std::vector<EntryRecord> entries;
  std::uint32_t folderCount = 0;
  std::uint32_t fileCount = 0;
};

// Lays the volume out with the tests' FatVolumeBuilder: one-sector clusters,
// directories in consecutive clusters linked in the FAT, one cluster per file
// (no data is written: the walk never reads file contents).
SyntheticVolume MakeSyntheticVolume(const VolumeShape& shape);

}  // namespace salvex::bench
