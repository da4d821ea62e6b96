#include "partition/partition_classifier.h"

namespace salvex {

FsType ClassifyPartition(Bytes bootSector, std::uint8_t typeByte, TableKind table) {
  if (HasText(bootSector, 82, "FAT32")) return FsType::fat32;
  if (HasText(bootSector, 54, "FAT16")) return FsType::fat16;
  if (HasText(bootSector, 3, "NTFS")) return FsType::ntfs;
  switch (typeByte) {
    case 0x04:
    case 0x06:
    case 0x0E:
      return FsType::fat16;
    case 0x01:
      // Type 0x01 is FAT12 in a master boot record; inside an extended chain
      // it is taken as a small FAT16 volume.
      return table == TableKind::extended ? FsType::fat16 : FsType::none;
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
