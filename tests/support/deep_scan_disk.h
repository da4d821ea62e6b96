#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "deepscan/found_file_system.h"
#include "disk/scan_state.h"
#include "disk/sector_reader.h"
#include "items/recovery_settings.h"
#include "support/byte_image.h"
#include "support/recording_ui_port.h"

namespace salvex::testing {

// The structures the Advance Scan looks for, written into a crafted disk one
// sector (or block) at a time, without the volume around them.

struct FatBootPlan {
  bool fat32 = true;
  std::uint32_t reservedSectors = 32;
  std::uint32_t sectorsPerFat = 1000;
  std::uint32_t sectorsPerCluster = 8;
  std::uint32_t rootEntries = 512;  // FAT16 only
  std::uint32_t totalSectors = 100000;
  bool totalIn16Bits = false;  // FAT16 below 65536 sectors: the count at 19, 0 at 32
};

// A FAT boot sector with its "FAT16   " or "FAT32   " text and 55 AA.
void PutFatBootSector(ByteImage& image, std::uint64_t sector, const FatBootPlan& plan);

// An NTFS boot sector: "NTFS    " at 3, the geometry fields and 55 AA.
void PutNtfsBootSector(ByteImage& image, std::uint64_t sector, std::uint32_t sectorsPerCluster,
                       std::uint64_t totalSectors, std::uint32_t mftCluster, std::uint32_t clustersPerIndex = 0xF4);

// The first sector of a FAT folder: "." naming `cluster`, ".." naming `parent`.
void PutFolderStart(ByteImage& image, std::uint64_t sector, std::uint32_t cluster, std::uint32_t parent);

// One entry of an NTFS index block: the file it names and the key (a copy of
// that file's name attribute).
struct IndexEntryPlan {
  std::uint32_t record = 0;
  std::uint32_t parent = 0;
  std::uint64_t created = 0;
  bool folder = false;
  std::u16string name;
};

// An "INDX" block of `sectors` sectors at `sector`, with the entries and an end
// entry; no update sequence (the count is 0), so no fixup touches it.
void PutIndexBlock(ByteImage& image, std::uint64_t sector, std::uint32_t sectors, std::uint64_t vcn,
                   const std::vector<IndexEntryPlan>& entries);

// What a sweep or a classification works with, over a crafted disk.
struct DeepScanBench {
  explicit DeepScanBench(std::uint64_t sectors) : image(sectors) {}

  // Call once the disk is crafted: the reader then sees a copy of it.
  void Open() { reader.Open(image.Source()); }
  // The range [start, start + size) for a sweep of `type`.
  void Range(FsType type, std::uint32_t start, std::uint32_t size);

  ByteImage image;
  RecoverySettings settings;
  SectorReader reader{settings.badSectorRetries};
  ScanState scan;
  RecordingUiPort ui;
  DeepScanState state;
};

}  // namespace salvex::testing
