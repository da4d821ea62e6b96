#include "partition/partition_classifier.h"

#include "volume/boot_sector.h"
#include "volume/exfat_boot_region.h"

namespace salvex {
FsType SmallFatType(Bytes bootSector, FsType named) {
  const FsType byCount = HasBootSignature(bootSector) ? FatTypeByClusterCount(bootSector) : FsType::none;
  return byCount == FsType::fat12 || byCount == FsType::fat16 ? byCount : named;
}

FsType ClassifyPartition(Bytes bootSector, std::uint8_t typeByte, TableKind table) {
  if (HasText(bootSector, 82, "FAT32")) return FsType::fat32;
  if (HasText(bootSector, 54, "FAT16")) return SmallFatType(bootSector, FsType::fat16);
  if (HasText(bootSector, 54, "FAT12")) return SmallFatType(bootSector, FsType::fat12);
  if (HasText(bootSector, 3, "NTFS")) return FsType::ntfs;
  // exFAT shares type 0x07 (and the basic-data GUID) with NTFS: its name
  // tells them apart.
  if (HasText(bootSector, 3, "EXFAT   ")) return FsType::exfat;
  switch (typeByte) {
    case 0x04:
    case 0x06:
    case 0x0E:
      return SmallFatType(bootSector, FsType::fat16);
    case 0x01:
      // Type 0x01 is FAT12 in a master boot record; inside an extended chain
      // it was long taken as a small FAT16 volume: the clusters decide.
      return SmallFatType(bootSector, table == TableKind::extended ? FsType::fat16 : FsType::fat12);
    case 0x0B:
    case 0x0C:
      return FsType::fat32;
    case 0x07:
      return FsType::ntfs;
    default:
      return FsType::none;
  }
}

}  // namespace salvex
