#include "support/deep_scan_disk.h"

namespace salvex::testing {

void PutFatBootSector(ByteImage& image, std::uint64_t sector, const FatBootPlan& plan) {
  const std::uint64_t base = sector * kSectorSize;
  image.Put8(base, 0xEB);
  image.Put8(base + 2, 0x90);
  image.Put16(base + 0x0B, 512);
  image.Put8(base + 0x0D, static_cast<std::uint8_t>(plan.sectorsPerCluster));
  image.Put16(base + 0x0E, static_cast<std::uint16_t>(plan.reservedSectors));
  image.Put8(base + 0x10, 2);
  image.Put8(base + 0x15, 0xF8);
  if (plan.totalIn16Bits) {
    image.Put16(base + 0x13, static_cast<std::uint16_t>(plan.totalSectors));
  } else {
    image.Put32(base + 0x20, plan.totalSectors);
  }
  if (plan.fat32) {
    image.Put32(base + 0x24, plan.sectorsPerFat);
    image.Put32(base + 0x2C, 2);
    image.PutText(base + 0x52, "FAT32   ");
  } else {
    image.Put16(base + 0x11, static_cast<std::uint16_t>(plan.rootEntries));
    image.Put16(base + 0x16, static_cast<std::uint16_t>(plan.sectorsPerFat));
    image.PutText(base + 0x36, "FAT16   ");
  }
  image.PutBootSignature(sector);
}

void PutNtfsBootSector(ByteImage& image, std::uint64_t sector, std::uint32_t sectorsPerCluster,
                       std::uint64_t totalSectors, std::uint32_t mftCluster, std::uint32_t clustersPerIndex) {
  const std::uint64_t base = sector * kSectorSize;
  image.Put8(base, 0xEB);
  image.Put8(base + 1, 0x52);
  image.Put8(base + 2, 0x90);
  image.PutText(base + 3, "NTFS    ");
  image.Put16(base + 0x0B, 512);
  image.Put8(base + 0x0D, static_cast<std::uint8_t>(sectorsPerCluster));
  image.Put32(base + 0x28, static_cast<std::uint32_t>(totalSectors));
  image.Put32(base + 0x2C, static_cast<std::uint32_t>(totalSectors >> 32));
  image.Put32(base + 0x30, mftCluster);
  image.Put32(base + 0x38, 2);  // $MFTMirr
  image.Put32(base + 0x40, 0xF6);  // 1024-byte records
  image.Put32(base + 0x44, clustersPerIndex);
  image.PutBootSignature(sector);
}

void PutFolderStart(ByteImage& image, std::uint64_t sector, std::uint32_t cluster, std::uint32_t parent) {
  image.PutBytes(sector * kSectorSize, MakeShortEntry({".", 0x10, cluster}));
  image.PutBytes(sector * kSectorSize + 32, MakeShortEntry({"..", 0x10, parent}));
}

void PutIndexBlock(ByteImage& image, std::uint64_t sector, std::uint32_t sectors, std::uint64_t vcn,
                   const std::vector<IndexEntryPlan>& entries) {
  const std::uint64_t base = sector * kSectorSize;
  const std::uint32_t blockBytes = sectors * kSectorSize;
  image.PutText(base, "INDX");
  image.Put16(base + 4, 40);
  image.Put16(base + 6, 0);
  image.Put32(base + 16, static_cast<std::uint32_t>(vcn));
  image.Put32(base + 20, static_cast<std::uint32_t>(vcn >> 32));
  image.Put32(base + 24, 40);  // entries from 24 + 40 = 64
  image.Put32(base + 32, blockBytes - 24);
  std::uint64_t at = base + 64;
  for (const IndexEntryPlan& entry : entries) {
    const auto length = static_cast<std::uint16_t>((82 + 2 * entry.name.size() + 7) & ~std::size_t{7});
    image.Put32(at, entry.record);
    image.Put16(at + 6, 1);  // sequence number
    image.Put16(at + 8, length);
    image.Put16(at + 10, static_cast<std::uint16_t>(66 + 2 * entry.name.size()));
    image.Put32(at + 16, entry.parent);
    image.Put16(at + 22, 1);
    image.Put32(at + 24, static_cast<std::uint32_t>(entry.created));
    image.Put32(at + 28, static_cast<std::uint32_t>(entry.created >> 32));
    image.Put32(at + 72, entry.folder ? 0x10000000 : 0x20);
    image.Put8(at + 80, static_cast<std::uint8_t>(entry.name.size()));
    image.Put8(at + 81, 1);  // Win32
    for (std::size_t i = 0; i < entry.name.size(); ++i) image.Put16(at + 82 + 2 * i, entry.name[i]);
    at += length;
  }
  image.Put16(at + 8, 16);  // the end entry
  image.Put16(at + 12, 2);
  image.Put32(base + 28, static_cast<std::uint32_t>(at + 16 - (base + 24)));
}

void DeepScanBench::Range(FsType type, std::uint32_t start, std::uint32_t size) {
  scan.scanType = ScanType::advance;
  scan.selectedFsType = type;
  scan.rangeStart = start;
  scan.rangeSize = size;
  scan.rangeEnd = start + size;
}

}  // namespace salvex::testing
