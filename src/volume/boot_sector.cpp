#include "volume/boot_sector.h"

namespace salvex {

FatBootFields DecodeFat16BootFields(Bytes sector) {
  FatBootFields fields;
  fields.sectorsPerCluster = u8(sector, 0x0D);
  fields.reservedSectors = u16le(sector, 0x0E);
  fields.fatCount = u8(sector, 0x10);
  fields.rootEntries = u16le(sector, 0x11);
  fields.sectorsPerFat = u16le(sector, 0x16);
  return fields;
}

FatBootFields DecodeFat32BootFields(Bytes sector) {
  FatBootFields fields;
  fields.sectorsPerCluster = u8(sector, 0x0D);
  fields.reservedSectors = u16le(sector, 0x0E);
  fields.fatCount = u8(sector, 0x10);
  fields.sectorsPerFat = u32le(sector, 0x24);
  fields.rootCluster = u32le(sector, 0x2C);
  return fields;
}

std::uint32_t FatTotalSectors(Bytes sector) {
  const std::uint32_t total = u32le(sector, 32);
  return total != 0 ? total : u16le(sector, 19);
}

FsType FatTypeByClusterCount(Bytes sector) {
  const FatBootFields fields = DecodeFat16BootFields(sector);
  if (!IsValidSectorsPerCluster(fields.sectorsPerCluster)) return FsType::none;
  const std::uint64_t sectorsPerFat = fields.sectorsPerFat != 0 ? fields.sectorsPerFat : u32le(sector, 0x24);
  const std::uint64_t rootSectors = (std::uint64_t{fields.rootEntries} * 32 + kSectorSize - 1) / kSectorSize;
  const std::uint64_t metadata = fields.reservedSectors + std::uint64_t{fields.fatCount} * sectorsPerFat + rootSectors;
  const std::uint64_t total = FatTotalSectors(sector);
  if (total <= metadata) return FsType::none;
  const std::uint64_t clusters = (total - metadata) / fields.sectorsPerCluster;
  if (clusters < 4085) return FsType::fat12;
  return clusters < 65525 ? FsType::fat16 : FsType::fat32;
}

NtfsBootFields DecodeNtfsBootFields(Bytes sector) {
  NtfsBootFields fields;
  fields.sectorsPerCluster = u8(sector, 0x0D);
  fields.mftCluster = u32le(sector, 0x30);
  fields.mftMirrCluster = u32le(sector, 0x38);
  fields.clustersPerIndexBuffer = u32le(sector, 0x44);
  return fields;
}

}  // namespace salvex
