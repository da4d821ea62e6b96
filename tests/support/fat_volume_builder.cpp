#include "support/fat_volume_builder.h"

namespace salvex::testing {

FatVolumeBuilder::FatVolumeBuilder(ByteImage& image, FatGeometry geometry) : image_(image), geometry_(geometry) {
  const bool isFat32 = geometry_.type == FsType::fat32;
  if (geometry_.sectorsPerFat == 0) {
    const std::uint32_t clusters = geometry_.totalSectors / geometry_.sectorsPerCluster + 2;
    const std::uint32_t fatBytes = isFat32 ? clusters * 4 : geometry_.type == FsType::fat12 ? (clusters * 3 + 1) / 2 : clusters * 2;
    geometry_.sectorsPerFat = static_cast<std::uint32_t>((fatBytes + kSectorSize - 1) / kSectorSize);
  }
  WriteBootSector(geometry_.startSector);
  if (isFat32) WriteBootSector(geometry_.startSector + 6);
  SetFatEntry(0, isFat32 ? 0x0FFFFFF8 : geometry_.type == FsType::fat12 ? 0xFF8 : 0xFFF8);
  SetFatEntry(1, EndOfChain());
  if (isFat32) SetFatEntry(geometry_.rootCluster, EndOfChain());
}

void FatVolumeBuilder::WriteBootSector(std::uint64_t sector) {
  const bool isFat32 = geometry_.type == FsType::fat32;
  const std::uint64_t base = sector * kSectorSize;
  image_.Put8(base, 0xEB);
  image_.Put8(base + 1, isFat32 ? 0x58 : 0x3C);
  image_.Put8(base + 2, 0x90);
  image_.PutText(base + 3, "mkfs.fat");
  image_.Put16(base + 0x0B, 512);
  image_.Put8(base + 0x0D, static_cast<std::uint8_t>(geometry_.sectorsPerCluster));
  image_.Put16(base + 0x0E, static_cast<std::uint16_t>(geometry_.reservedSectors));
  image_.Put8(base + 0x10, 2);
  image_.Put8(base + 0x15, 0xF8);
  image_.Put32(base + 0x20, geometry_.totalSectors);
  if (isFat32) {
    image_.Put32(base + 0x24, geometry_.sectorsPerFat);
    image_.Put32(base + 0x2C, geometry_.rootCluster);
    image_.Put16(base + 0x30, 1);
    image_.Put16(base + 0x32, 6);
    image_.PutText(base + 0x52, "FAT32   ");
  } else {
    image_.Put16(base + 0x11, static_cast<std::uint16_t>(geometry_.rootEntries));
    image_.Put16(base + 0x16, static_cast<std::uint16_t>(geometry_.sectorsPerFat));
    image_.PutText(base + 0x36, geometry_.type == FsType::fat12 ? "FAT12   " : "FAT16   ");
  }
  image_.PutBootSignature(sector);
}

VolumeParameters FatVolumeBuilder::Expected() const {
  VolumeParameters volume;
  volume.fsType = geometry_.type;
  volume.sectorsPerFat = geometry_.sectorsPerFat;
  volume.sectorsPerCluster = geometry_.sectorsPerCluster;
  volume.reservedSectors = geometry_.reservedSectors;
  volume.fat1Start = Fat1Start();
  volume.fat2Start = Fat2Start();
  volume.clusterBase = ClusterBase();
  if (geometry_.type == FsType::fat32) {
    volume.rootDirStart = geometry_.rootCluster;
  } else {
    volume.rootDirStart = Fat16RootStart();
    volume.rootDirSectors = (geometry_.rootEntries + 15) / 16;
  }
  return volume;
}

std::uint32_t FatVolumeBuilder::ClusterBase() const {
  const std::uint32_t dataStart =
      geometry_.type == FsType::fat32 ? Fat1Start() + 2 * geometry_.sectorsPerFat
                                      : Fat16RootStart() + (geometry_.rootEntries + 15) / 16;
  return dataStart - 2 * geometry_.sectorsPerCluster;
}

std::uint64_t FatVolumeBuilder::ClusterSector(std::uint32_t cluster) const {
  return ClusterBase() + std::uint64_t{cluster} * geometry_.sectorsPerCluster;
}

std::uint32_t FatVolumeBuilder::LastCluster() const {
  const std::uint32_t end = geometry_.startSector + geometry_.totalSectors;
  return (end - ClusterBase()) / geometry_.sectorsPerCluster - 1;
}

void FatVolumeBuilder::SetFatEntry(std::uint32_t cluster, std::uint32_t value, int copy) {
  const bool isFat32 = geometry_.type == FsType::fat32;
  for (int fat = 1; fat <= 2; ++fat) {
    if (copy != 0 && copy != fat) continue;
    const std::uint32_t start = fat == 1 ? Fat1Start() : Fat2Start();
    if (geometry_.type == FsType::fat12) {
      // Two entries share three bytes; this one keeps the other's half byte.
      const std::uint64_t offset = std::uint64_t{start} * kSectorSize + std::uint64_t{cluster} * 3 / 2;
      auto& bytes = image_.Bytes();
      const std::uint16_t word = static_cast<std::uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
      const std::uint16_t entry = static_cast<std::uint16_t>(value & 0x0FFF);
      image_.Put16(offset, cluster % 2 == 0 ? static_cast<std::uint16_t>((word & 0xF000) | entry)
                                            : static_cast<std::uint16_t>((word & 0x000F) | entry << 4));
      continue;
    }
    const std::uint64_t offset = std::uint64_t{start} * kSectorSize + std::uint64_t{cluster} * (isFat32 ? 4 : 2);
    if (isFat32) {
      image_.Put32(offset, value);
    } else {
      image_.Put16(offset, static_cast<std::uint16_t>(value));
    }
  }
}

void FatVolumeBuilder::LinkChain(std::span<const std::uint32_t> clusters, int copy) {
  for (std::size_t i = 0; i < clusters.size(); ++i) {
    SetFatEntry(clusters[i], i + 1 < clusters.size() ? clusters[i + 1] : EndOfChain(), copy);
  }
}

std::uint64_t FatVolumeBuilder::EntryOffset(std::uint32_t directory, unsigned index) const {
  std::uint64_t firstSector;
  if (directory == kRoot) {
    firstSector = geometry_.type == FsType::fat32 ? ClusterSector(geometry_.rootCluster) : Fat16RootStart();
  } else {
    firstSector = ClusterSector(directory);
  }
  return firstSector * kSectorSize + std::uint64_t{index} * 32;
}

void FatVolumeBuilder::PutEntry(std::uint32_t directory, unsigned index, const EntryBytes& entry) {
  image_.PutBytes(EntryOffset(directory, index), entry);
}

unsigned FatVolumeBuilder::PutNamed(std::uint32_t directory, unsigned index, std::u16string_view longName,
                                    const ShortEntryFields& fields, bool deleted) {
  if (!longName.empty()) {
    for (const EntryBytes& entry : MakeLongNameEntries(longName, fields.name11, deleted)) {
      PutEntry(directory, index++, entry);
    }
  }
  EntryBytes entry = MakeShortEntry(fields);
  if (deleted) entry[0] = 0xE5;
  PutEntry(directory, index++, entry);
  return index;
}

void FatVolumeBuilder::InitDirectory(std::uint32_t cluster, std::uint32_t parentCluster) {
  PutEntry(cluster, 0, MakeShortEntry({".", 0x10, cluster}));
  PutEntry(cluster, 1, MakeShortEntry({"..", 0x10, parentCluster}));
  SetFatEntry(cluster, EndOfChain());
}

void FatVolumeBuilder::PutData(std::uint32_t firstCluster, std::span<const std::uint8_t> data) {
  image_.PutBytes(ClusterSector(firstCluster) * kSectorSize, data);
}

}  // namespace salvex::testing
