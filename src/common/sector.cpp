#include "common/sector.h"

namespace salvex {

const char* FsTypeText(FsType type) {
  switch (type) {
    case FsType::fat12: return "FAT12";
    case FsType::fat16: return "FAT16";
    case FsType::fat32: return "FAT32";
    case FsType::ntfs: return "NTFS";
    case FsType::exfat: return "exFAT";
    case FsType::none: break;
  }
  return "";
}

}  // namespace salvex
