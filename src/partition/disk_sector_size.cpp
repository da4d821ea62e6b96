#include "partition/disk_sector_size.h"

#include "common/le_bytes.h"
#include "partition/bare_volume.h"
#include "partition/gpt_table.h"
#include "volume/boot_sector.h"
#include "volume/exfat_boot_region.h"

namespace salvex {
namespace {

// 512, 4096, then the sizes between: the common ones first.
constexpr std::uint32_t kScales[] = {1, 8, 2, 4};
constexpr std::size_t kFirstEntryOffset = 446;
constexpr std::size_t kEntrySize = 16;

bool HoldsGptHeader(SectorReader& reader, std::uint32_t scale) {
  SectorBuffer sector{};
  ReadSectorsZeroed(reader, scale, 1, sector);
  return DecodeGptHeader(sector, 1).check == GptHeaderCheck::valid;
}

// The sector size a volume's boot sector gives itself, in disk sectors; 0
// when the sector is no boot sector.
std::uint32_t OwnScale(Bytes bootSector) {
  switch (JudgeBootSector(bootSector)) {
    case BootSectorVerdict::fat12:
    case BootSectorVerdict::fat16:
    case BootSectorVerdict::fat32:
    case BootSectorVerdict::ntfs: return BootSectorScale(bootSector);
    case BootSectorVerdict::exfat: return DecodeExfatBootFields(bootSector).SectorScale();
    default: return 0;
  }
}

// The first MBR entry in use whose start, read in 512-byte sectors, holds
// no boot sector, but read in larger ones holds one of that very size.
std::uint32_t ScaleFromMbr(SectorReader& reader, Bytes mbr) {
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t entry = kFirstEntryOffset + i * kEntrySize;
    const std::uint64_t start = u32le(mbr, entry + 8);
    if (u8(mbr, entry + 4) == 0 || start == 0) continue;
    for (const std::uint32_t scale : kScales) {
      SectorBuffer boot{};
      ReadSectorsZeroed(reader, start * scale, 1, boot);
      const std::uint32_t own = OwnScale(boot);
      // At 512-byte units any boot sector decides: a volume of 4096-byte
      // sectors on a 512 disk is read by its own size, the disk's stays 512.
      if (scale == 1 ? own != 0 : own == scale) return scale;
    }
    return 1;
  }
  return 1;
}

}  // namespace

std::uint32_t DiskSectorScale(SectorReader& reader) {
  const DiskSource* source = reader.Source();
  if (!source) return 1;
  const std::uint32_t deviceBytes = source->LogicalSectorBytes();
  if (deviceBytes >= kSectorSize && deviceBytes <= 8 * kSectorSize && deviceBytes % kSectorSize == 0) {
    return deviceBytes / kSectorSize;
  }
  for (const std::uint32_t scale : kScales) {
    if (HoldsGptHeader(reader, scale)) return scale;
  }
  SectorBuffer first{};
  ReadSectorsZeroed(reader, 0, 1, first);
  if (!HasBootSignature(first)) return 1;
  // A volume formatted on the whole disk was made with the disk's sectors.
  if (const std::uint32_t own = OwnScale(first); own != 0) return own;
  return ScaleFromMbr(reader, first);
}

}  // namespace salvex
