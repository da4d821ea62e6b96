#include "volume/boot_sector.h"

#include <algorithm>

namespace salvex {
namespace {

constexpr std::size_t kBytesPerSector = 0x0B;

// `value` volume sectors in disk sectors; 0 when that does not fit 32 bits.
std::uint32_t Scaled(std::uint64_t value, std::uint32_t scale) {
  const std::uint64_t sectors = value * scale;
  return sectors > UINT32_MAX ? 0 : static_cast<std::uint32_t>(sectors);
}

std::uint32_t ScaledClusterSize(Bytes sector, std::uint32_t scale) {
  const std::uint32_t field = u8(sector, 0x0D);
  return IsValidSectorsPerClusterField(field) ? field * scale : 0;
}

// A sector size field that is none of 512 to 4096 is damage, not a size:
// the fields are read as counts of 512-byte sectors, as they were before
// larger sectors were known.
std::uint32_t DecodingScale(Bytes sector) {
  const std::uint32_t scale = BootSectorScale(sector);
  return scale == 0 ? 1 : scale;
}

FatBootFields DecodeCommonFatFields(Bytes sector) {
  FatBootFields fields;
  fields.sectorScale = DecodingScale(sector);
  fields.sectorsPerCluster = ScaledClusterSize(sector, fields.sectorScale);
  fields.reservedSectors = Scaled(u16le(sector, 0x0E), fields.sectorScale);
  fields.fatCount = u8(sector, 0x10);
  return fields;
}

}  // namespace

std::uint32_t BootSectorScale(Bytes sector) {
  switch (u16le(sector, kBytesPerSector)) {
    case 512: return 1;
    case 1024: return 2;
    case 2048: return 4;
    case 4096: return 8;
    default: return 0;
  }
}

FatBootFields DecodeFat16BootFields(Bytes sector) {
  FatBootFields fields = DecodeCommonFatFields(sector);
  fields.rootEntries = u16le(sector, 0x11);
  fields.sectorsPerFat = Scaled(u16le(sector, 0x16), fields.sectorScale);
  // The root fills whole sectors of the volume's size: on a volume of
  // 4096-byte sectors, 200 entries take two of them, sixteen disk sectors.
  const std::uint64_t volumeSectorBytes = std::uint64_t{fields.sectorScale} * kSectorSize;
  const std::uint64_t rootBytes = std::uint64_t{fields.rootEntries} * 32;
  fields.rootSectors = Scaled((rootBytes + volumeSectorBytes - 1) / volumeSectorBytes, fields.sectorScale);
  return fields;
}

FatBootFields DecodeFat32BootFields(Bytes sector) {
  FatBootFields fields = DecodeCommonFatFields(sector);
  fields.sectorsPerFat = Scaled(u32le(sector, 0x24), fields.sectorScale);
  fields.rootCluster = u32le(sector, 0x2C);
  return fields;
}

std::uint64_t FatTotalSectors(Bytes sector) {
  const std::uint32_t total = u32le(sector, 32);
  return std::uint64_t{total != 0 ? total : u16le(sector, 19)} * DecodingScale(sector);
}

std::uint64_t NtfsTotalSectors(Bytes sector) {
  const std::uint64_t total = u64le(sector, 40);
  const std::uint32_t scale = DecodingScale(sector);
  // No disk holds 2^61 sectors of 4096 bytes: such a count is cut, not wrapped.
  return std::min<std::uint64_t>(total, (UINT64_MAX - 1) / scale) * scale;
}

FsType FatTypeByClusterCount(Bytes sector) {
  const FatBootFields fields = DecodeFat16BootFields(sector);
  if (!IsValidSectorsPerCluster(fields.sectorsPerCluster)) return FsType::none;
  const std::uint64_t sectorsPerFat =
      fields.sectorsPerFat != 0 ? fields.sectorsPerFat : std::uint64_t{u32le(sector, 0x24)} * fields.sectorScale;
  const std::uint64_t metadata =
      fields.reservedSectors + std::uint64_t{fields.fatCount} * sectorsPerFat + fields.rootSectors;
  const std::uint64_t total = FatTotalSectors(sector);
  if (total <= metadata) return FsType::none;
  const std::uint64_t clusters = (total - metadata) / fields.sectorsPerCluster;
  if (clusters < 4085) return FsType::fat12;
  return clusters < 65525 ? FsType::fat16 : FsType::fat32;
}

NtfsBootFields DecodeNtfsBootFields(Bytes sector) {
  NtfsBootFields fields;
  fields.sectorsPerCluster = ScaledClusterSize(sector, DecodingScale(sector));
  fields.mftCluster = u32le(sector, 0x30);
  fields.mftMirrCluster = u32le(sector, 0x38);
  fields.clustersPerIndexBuffer = u32le(sector, 0x44);
  return fields;
}

std::uint64_t NtfsRecordBytes(Bytes sector) {
  const auto field = static_cast<std::int8_t>(u8(sector, 0x40));
  if (field > 0) return std::uint64_t{DecodeNtfsBootFields(sector).sectorsPerCluster} * kSectorSize * field;
  const int shift = -field;
  return shift > 0 && shift < 32 ? std::uint64_t{1} << shift : 0;
}

}  // namespace salvex
