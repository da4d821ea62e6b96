#include "volume/exfat_boot_region.h"

#include <algorithm>

#include "common/sector.h"

namespace salvex {
namespace {

constexpr std::size_t kRegionBytes = kExfatBootRegionSectors * kSectorSize;
constexpr std::size_t kChecksumSector = 11;

// Boot-sector fields, by offset.
constexpr std::size_t kFileSystemName = 3;
constexpr std::size_t kMustBeZeroFirst = 11;
constexpr std::size_t kMustBeZeroEnd = 64;
constexpr std::size_t kPartitionOffset = 64;
constexpr std::size_t kVolumeLength = 72;
constexpr std::size_t kFatOffset = 80;
constexpr std::size_t kFatLength = 84;
constexpr std::size_t kClusterHeapOffset = 88;
constexpr std::size_t kClusterCount = 92;
constexpr std::size_t kRootCluster = 96;
constexpr std::size_t kVolumeSerial = 100;
constexpr std::size_t kRevision = 104;
constexpr std::size_t kVolumeFlags = 106;
constexpr std::size_t kBytesPerSectorShift = 108;
constexpr std::size_t kSectorsPerClusterShift = 109;
constexpr std::size_t kNumberOfFats = 110;
constexpr std::size_t kPercentInUse = 112;

// Clusters of at most 32 MiB: 2^25 bytes, 2^16 sectors of 512 bytes.
constexpr std::uint8_t kMaxSectorsPerClusterShift = 25 - 9;
// Cluster numbers 0xFFFFFFF6 and above are marks, not clusters.
constexpr std::uint64_t kMaxClusterCount = 0xFFFFFFF5;

}  // namespace

const char* ExfatBootVerdictText(ExfatBootVerdict verdict) {
  switch (verdict) {
    case ExfatBootVerdict::sound: return "sound";
    case ExfatBootVerdict::tooShort: return "shorter than a boot region";
    case ExfatBootVerdict::noSignature: return "no boot signature";
    case ExfatBootVerdict::noFileSystemText: return "no \"EXFAT\" name";
    case ExfatBootVerdict::notZeroed: return "bytes 11 to 63 are not zero";
    case ExfatBootVerdict::badChecksum: return "checksum mismatch";
    case ExfatBootVerdict::badSectorSize: return "sectors are not 512 bytes";
    case ExfatBootVerdict::badClusterSize: return "cluster size out of range";
    case ExfatBootVerdict::badFatCount: return "neither one nor two FATs";
    case ExfatBootVerdict::badLayout: return "FAT or cluster heap outside the volume";
    case ExfatBootVerdict::badClusterCount: return "cluster count out of range";
    case ExfatBootVerdict::badRootCluster: return "root directory cluster outside the heap";
  }
  return "";
}

std::uint32_t ExfatBootChecksum(Bytes region) {
  std::uint32_t sum = 0;
  const std::size_t end = std::min<std::size_t>(region.size(), kChecksumSector * kSectorSize);
  for (std::size_t i = 0; i < end; ++i) {
    if (i == kVolumeFlags || i == kVolumeFlags + 1 || i == kPercentInUse) continue;
    sum = ((sum & 1) != 0 ? 0x80000000u : 0u) + (sum >> 1) + region[i];
  }
  return sum;
}

bool IsExfatBootSector(Bytes sector) {
  return HasBootSignature(sector) && HasText(sector, kFileSystemName, "EXFAT   ");
}

ExfatBootFields DecodeExfatBootFields(Bytes bootSector) {
  ExfatBootFields fields;
  fields.partitionOffset = u64le(bootSector, kPartitionOffset);
  fields.volumeLength = u64le(bootSector, kVolumeLength);
  fields.fatOffset = u32le(bootSector, kFatOffset);
  fields.fatLength = u32le(bootSector, kFatLength);
  fields.clusterHeapOffset = u32le(bootSector, kClusterHeapOffset);
  fields.clusterCount = u32le(bootSector, kClusterCount);
  fields.rootCluster = u32le(bootSector, kRootCluster);
  fields.volumeSerial = u32le(bootSector, kVolumeSerial);
  fields.revision = u16le(bootSector, kRevision);
  fields.volumeFlags = u16le(bootSector, kVolumeFlags);
  fields.bytesPerSectorShift = u8(bootSector, kBytesPerSectorShift);
  fields.sectorsPerClusterShift = u8(bootSector, kSectorsPerClusterShift);
  fields.numberOfFats = u8(bootSector, kNumberOfFats);
  return fields;
}

ExfatBootVerdict JudgeExfatBootRegion(Bytes region) {
  if (region.size() < kRegionBytes) return ExfatBootVerdict::tooShort;
  const Bytes boot = region.first(kSectorSize);
  if (!HasBootSignature(boot)) return ExfatBootVerdict::noSignature;
  if (!HasText(boot, kFileSystemName, "EXFAT   ")) return ExfatBootVerdict::noFileSystemText;
  for (std::size_t i = kMustBeZeroFirst; i < kMustBeZeroEnd; ++i) {
    if (boot[i] != 0) return ExfatBootVerdict::notZeroed;
  }
  const std::uint32_t checksum = ExfatBootChecksum(region);
  for (std::size_t offset = kChecksumSector * kSectorSize; offset < kRegionBytes; offset += 4) {
    if (u32le(region, offset) != checksum) return ExfatBootVerdict::badChecksum;
  }
  const ExfatBootFields f = DecodeExfatBootFields(boot);
  if (f.bytesPerSectorShift != 9) return ExfatBootVerdict::badSectorSize;
  if (f.sectorsPerClusterShift > kMaxSectorsPerClusterShift) return ExfatBootVerdict::badClusterSize;
  if (f.numberOfFats != 1 && f.numberOfFats != 2) return ExfatBootVerdict::badFatCount;
  // 64-bit sums: none of these can wrap.
  const std::uint64_t fatsEnd = std::uint64_t{f.fatOffset} + std::uint64_t{f.fatLength} * f.numberOfFats;
  if (f.fatOffset < 2 * kExfatBootRegionSectors || f.fatLength == 0 || fatsEnd > f.clusterHeapOffset ||
      f.clusterHeapOffset >= f.volumeLength) {
    return ExfatBootVerdict::badLayout;
  }
  const std::uint64_t heapClusters = (f.volumeLength - f.clusterHeapOffset) >> f.sectorsPerClusterShift;
  const std::uint64_t fatClusters = std::uint64_t{f.fatLength} * (kSectorSize / 4);
  if (f.clusterCount == 0 || f.clusterCount > kMaxClusterCount || f.clusterCount > heapClusters ||
      std::uint64_t{f.clusterCount} + 2 > fatClusters) {
    return ExfatBootVerdict::badClusterCount;
  }
  if (f.rootCluster < 2 || f.rootCluster > std::uint64_t{f.clusterCount} + 1) return ExfatBootVerdict::badRootCluster;
  return ExfatBootVerdict::sound;
}

std::optional<ExfatBootChoice> ChooseExfatBootRegion(Bytes volume) {
  ExfatBootChoice choice;
  choice.mainVerdict = JudgeExfatBootRegion(Slice(volume, 0, kRegionBytes));
  if (choice.mainVerdict == ExfatBootVerdict::sound) {
    choice.fields = DecodeExfatBootFields(volume.first(kSectorSize));
    return choice;
  }
  const Bytes backup = Slice(volume, kRegionBytes, kRegionBytes);
  choice.backupVerdict = JudgeExfatBootRegion(backup);
  if (choice.backupVerdict != ExfatBootVerdict::sound) return std::nullopt;
  choice.fields = DecodeExfatBootFields(backup.first(kSectorSize));
  choice.fromBackup = true;
  return choice;
}

SectorNumber ExfatLastSector(SectorNumber start, const ExfatBootFields& fields, std::uint64_t diskSectors) {
  const std::uint64_t heapEnd = std::uint64_t{fields.clusterHeapOffset} +
                                std::uint64_t{fields.clusterCount} * fields.SectorsPerCluster();
  SectorNumber last = start + std::max<std::uint64_t>(1, std::min(fields.volumeLength, heapEnd)) - 1;
  if (diskSectors != 0) last = std::min(last, diskSectors - 1);
  return last;
}

}  // namespace salvex
