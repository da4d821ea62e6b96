#include "partition/bare_volume.h"

#include <algorithm>

#include "volume/boot_sector.h"
#include "volume/exfat_boot_region.h"

namespace salvex {
namespace {

constexpr std::size_t kFirstEntryOffset = 446;
constexpr std::size_t kEntrySize = 16;
constexpr std::uint8_t kInactive = 0x00;
constexpr std::uint8_t kActive = 0x80;

// Boot-sector fields, by offset.
constexpr std::size_t kMediaByte = 21;

// 0xF0 for removable media, 0xF8 to 0xFF for the rest.
constexpr bool IsMediaByte(std::uint8_t media) { return media == 0xF0 || media >= 0xF8; }

BootSectorVerdict JudgeFatFields(Bytes sector, FsType type) {
  const FatBootFields fields =
      type == FsType::fat32 ? DecodeFat32BootFields(sector) : DecodeFat16BootFields(sector);
  if (!IsValidSectorsPerCluster(fields.sectorsPerCluster)) return BootSectorVerdict::badClusterSize;
  if (fields.reservedSectors == 0 || !IsValidFatCount(fields.fatCount) || fields.sectorsPerFat == 0 ||
      (type != FsType::fat32 && fields.rootEntries == 0) || !IsMediaByte(u8(sector, kMediaByte))) {
    return BootSectorVerdict::badFatFields;
  }
  if (FatTotalSectors(sector) == 0) return BootSectorVerdict::noVolumeSize;
  if (type == FsType::fat32) return BootSectorVerdict::fat32;
  const FsType byCount = FatTypeByClusterCount(sector);
  if (byCount == FsType::fat12) return BootSectorVerdict::fat12;
  if (byCount == FsType::fat16) return BootSectorVerdict::fat16;
  return type == FsType::fat12 ? BootSectorVerdict::fat12 : BootSectorVerdict::fat16;
}

BootSectorVerdict JudgeNtfsFields(Bytes sector) {
  if (!IsValidSectorsPerCluster(DecodeNtfsBootFields(sector).sectorsPerCluster)) {
    return BootSectorVerdict::badClusterSize;
  }
  if (NtfsTotalSectors(sector) == 0) return BootSectorVerdict::noVolumeSize;
  return BootSectorVerdict::ntfs;
}

// The checksum needs the whole boot region; the fields alone say whether
// the sector can be an exFAT volume's.
BootSectorVerdict JudgeExfatFields(Bytes sector) {
  const ExfatBootFields fields = DecodeExfatBootFields(sector);
  if (!fields.HasValidSectorSize()) return BootSectorVerdict::badSectorSize;
  if (fields.sectorsPerClusterShift + fields.bytesPerSectorShift > 25) return BootSectorVerdict::badClusterSize;
  if (fields.volumeLength == 0) return BootSectorVerdict::noVolumeSize;
  if (fields.clusterCount == 0 || fields.fatLength == 0 || fields.clusterHeapOffset >= fields.volumeLength) {
    return BootSectorVerdict::badExfatFields;
  }
  return BootSectorVerdict::exfat;
}

}  // namespace

BootSectorVerdict JudgeBootSector(Bytes sector) {
  if (!HasBootSignature(sector)) return BootSectorVerdict::noSignature;
  if (IsExfatBootSector(sector)) return JudgeExfatFields(sector);
  FsType type = FsType::none;
  if (HasText(sector, 82, "FAT32")) {
    type = FsType::fat32;
  } else if (HasText(sector, 54, "FAT16")) {
    type = FsType::fat16;
  } else if (HasText(sector, 54, "FAT12")) {
    type = FsType::fat12;
  } else if (HasText(sector, 3, "NTFS    ")) {
    type = FsType::ntfs;
  } else {
    return BootSectorVerdict::noFileSystemText;
  }
  if (BootSectorScale(sector) == 0) return BootSectorVerdict::badSectorSize;
  return type == FsType::ntfs ? JudgeNtfsFields(sector) : JudgeFatFields(sector, type);
}

std::optional<PartitionRecord> WholeDiskVolume(Bytes sector, std::uint64_t diskSectors) {
  std::uint64_t volumeSectors = 0;
  FsType type = FsType::none;
  switch (JudgeBootSector(sector)) {
    case BootSectorVerdict::fat12:
      type = FsType::fat12;
      volumeSectors = FatTotalSectors(sector);
      break;
    case BootSectorVerdict::fat16:
      type = FsType::fat16;
      volumeSectors = FatTotalSectors(sector);
      break;
    case BootSectorVerdict::fat32:
      type = FsType::fat32;
      volumeSectors = FatTotalSectors(sector);
      break;
    case BootSectorVerdict::ntfs:
      type = FsType::ntfs;
      // NTFS counts its sectors without the last one, which holds the copy
      // of the boot sector that the volume parameters are read from too.
      // (one sector of the volume's own size).
      volumeSectors = NtfsTotalSectors(sector) + BootSectorScale(sector);
      break;
    case BootSectorVerdict::exfat:
      type = FsType::exfat;
      volumeSectors = DecodeExfatBootFields(sector).volumeLength;
      break;
    default:
      return std::nullopt;
  }
  PartitionRecord record;
  record.fsType = type;
  record.sectorCount = std::min<std::uint64_t>(volumeSectors, diskSectors);
  record.wholeDisk = true;
  if (record.sectorCount == 0) return std::nullopt;
  return record;
}

bool HoldsPlausibleTable(Bytes sector, std::uint64_t diskSectors) {
  bool anyInUse = false;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t entry = kFirstEntryOffset + i * kEntrySize;
    const std::uint8_t flag = u8(sector, entry);
    if (flag != kInactive && flag != kActive) return false;
    if (u8(sector, entry + 4) == 0) continue;  // type 0: an unused entry
    const std::uint64_t start = u32le(sector, entry + 8);
    const std::uint64_t count = u32le(sector, entry + 12);
    if (start == 0 || count == 0 || start + count > diskSectors) return false;
    anyInUse = true;
  }
  return anyInUse;
}

}  // namespace salvex
