#pragma once

#include <cstdint>
#include <filesystem>

#include "common/sector.h"
#include "support/tool_images.h"

namespace salvex::testing {

// A disk image with one FAT partition, made by sfdisk and mkfs.fat (fixed
// volume id and SOURCE_DATE_EPOCH) and filled through mtools, for recovery
// runs of the real program. Paths are "/"-separated from the volume's root.
class RecoveryToolDisk : public MtoolsVolume {
 public:
  static constexpr std::uint32_t kPartitionStart = 2048;

  // Throws ToolFailure with the tool's output when a tool fails.
  // `reservedSectors` 0 leaves the count to mkfs.fat; `fatCount` 1 makes a
  // volume with a single FAT, as cameras do.
  RecoveryToolDisk(std::filesystem::path image, FsType type, std::uint32_t sectorsPerCluster,
                   std::uint32_t partitionSectors, std::uint32_t reservedSectors = 0, std::uint32_t fatCount = 2);

  // A FAT12 floppy disk image of `kibibytes` (1440: 3.5-inch high density)
  // made by mkfs.fat alone: its volume fills it, without a partition table.
  struct Floppy {
    std::uint32_t kibibytes = 1440;
  };
  RecoveryToolDisk(std::filesystem::path image, Floppy floppy);

  // Marks the FAT32 FSInfo "next free cluster" hint unknown (0xFFFFFFFF), so
  // that mtools searches for free clusters from the volume's start again,
  // as it does on FAT16, instead of going on after the last one it took.
  void ForgetNextFreeCluster();
};

}  // namespace salvex::testing
