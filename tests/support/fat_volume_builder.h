#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/sector.h"
#include "volume/volume_parameters.h"
#include "support/byte_image.h"

namespace salvex::testing {

struct FatGeometry {
  FsType type = FsType::fat32;
  std::uint32_t startSector = 0;
  std::uint32_t totalSectors = 4096;
  std::uint32_t sectorsPerCluster = 1;
  std::uint32_t reservedSectors = 32;  // mkfs.fat's value for FAT32; use 1 (or 4) for FAT16
  std::uint32_t sectorsPerFat = 0;     // 0: enough for every cluster
  std::uint32_t rootEntries = 512;     // FAT16 only
  std::uint32_t rootCluster = 2;       // FAT32 only
};

// Lays out a well-formed FAT12, FAT16 or FAT32 volume inside a ByteImage: boot
// sector (and the FAT32 backup), both FATs with their media bytes, and an
// empty root directory. Tests then add entries, chains and data, and damage
// whatever they need to.
class FatVolumeBuilder {
 public:
  static constexpr std::uint32_t kRoot = 0;

  FatVolumeBuilder(ByteImage& image, FatGeometry geometry);

  const FatGeometry& Geometry() const { return geometry_; }
  // The parameters a correct reading of this volume yields.
  VolumeParameters Expected() const;
  std::uint32_t Fat1Start() const { return geometry_.startSector + geometry_.reservedSectors; }
  std::uint32_t Fat2Start() const { return Fat1Start() + geometry_.sectorsPerFat; }
  std::uint32_t Fat16RootStart() const { return Fat1Start() + 2 * geometry_.sectorsPerFat; }
  std::uint32_t ClusterBase() const;
  std::uint64_t ClusterSector(std::uint32_t cluster) const;
  std::uint32_t LastCluster() const;
  std::uint32_t EndOfChain() const {
    return geometry_.type == FsType::fat32 ? 0x0FFFFFFF : geometry_.type == FsType::fat12 ? 0xFFF : 0xFFFF;
  }

  // `copy` 1 or 2 writes one FAT, 0 both.
  void SetFatEntry(std::uint32_t cluster, std::uint32_t value, int copy = 0);
  // Links the clusters in order and ends the chain after the last.
  void LinkChain(std::span<const std::uint32_t> clusters, int copy = 0);

  // Entry `index` of the directory whose first cluster is `directory` (kRoot
  // for the root); the directory's clusters are taken as consecutive.
  void PutEntry(std::uint32_t directory, unsigned index, const EntryBytes& entry);
  // Writes the long-name entries of `longName` (when not empty) and the short
  // entry from `index` on; returns the index after them.
  unsigned PutNamed(std::uint32_t directory, unsigned index, std::u16string_view longName,
                    const ShortEntryFields& fields, bool deleted = false);
  // A new directory at `cluster`: its "." and ".." entries, and an end of chain.
  void InitDirectory(std::uint32_t cluster, std::uint32_t parentCluster);
  // Writes file data into consecutive clusters from `firstCluster`.
  void PutData(std::uint32_t firstCluster, std::span<const std::uint8_t> data);

 private:
  void WriteBootSector(std::uint64_t sector);
  std::uint64_t EntryOffset(std::uint32_t directory, unsigned index) const;

  ByteImage& image_;
  FatGeometry geometry_;
};

}  // namespace salvex::testing
