#include "volume/exfat_boot_region.h"

#include <algorithm>

#include "common/sector.h"

namespace salvex {
namespace {

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

// Clusters of at most 32 MiB: 2^25 bytes.
constexpr unsigned kMaxClusterShift = 25;
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
    case ExfatBootVerdict::badSectorSize: return "sectors are not 512 to 4096 bytes";
    case ExfatBootVerdict::badClusterSize: return "cluster size out of range";
    case ExfatBootVerdict::badFatCount: return "neither one nor two FATs";
    case ExfatBootVerdict::badLayout: return "FAT or cluster heap outside the volume";
    case ExfatBootVerdict::badClusterCount: return "cluster count out of range";
    case ExfatBootVerdict::badRootCluster: return "root directory cluster outside the heap";
  }
  return "";
}

std::uint32_t ExfatBootChecksum(Bytes region, std::size_t sectorBytes) {
  std::uint32_t sum = 0;
  const std::size_t end = std::min<std::size_t>(region.size(), kChecksumSector * sectorBytes);
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
  fields.bytesPerSectorShift = u8(bootSector, kBytesPerSectorShift);
  // Counts of the volume's sectors, in disk sectors; a length no disk has
  // is cut rather than wrapped.
  const std::uint64_t scale = fields.SectorScale();
  fields.partitionOffset = u64le(bootSector, kPartitionOffset);
  fields.volumeLength = std::min<std::uint64_t>(u64le(bootSector, kVolumeLength), UINT64_MAX / scale) * scale;
  fields.fatOffset = std::uint64_t{u32le(bootSector, kFatOffset)} * scale;
  fields.fatLength = std::uint64_t{u32le(bootSector, kFatLength)} * scale;
  fields.clusterHeapOffset = std::uint64_t{u32le(bootSector, kClusterHeapOffset)} * scale;
  fields.clusterCount = u32le(bootSector, kClusterCount);
  fields.rootCluster = u32le(bootSector, kRootCluster);
  fields.volumeSerial = u32le(bootSector, kVolumeSerial);
  fields.revision = u16le(bootSector, kRevision);
  fields.volumeFlags = u16le(bootSector, kVolumeFlags);
  fields.sectorsPerClusterShift = u8(bootSector, kSectorsPerClusterShift);
  fields.numberOfFats = u8(bootSector, kNumberOfFats);
  return fields;
}

ExfatBootVerdict JudgeExfatBootRegion(Bytes region) {
  if (region.size() < kExfatBootRegionSectors * kSectorSize) return ExfatBootVerdict::tooShort;
  const Bytes boot = region.first(kSectorSize);
  if (!HasBootSignature(boot)) return ExfatBootVerdict::noSignature;
  if (!HasText(boot, kFileSystemName, "EXFAT   ")) return ExfatBootVerdict::noFileSystemText;
  for (std::size_t i = kMustBeZeroFirst; i < kMustBeZeroEnd; ++i) {
    if (boot[i] != 0) return ExfatBootVerdict::notZeroed;
  }
  const ExfatBootFields f = DecodeExfatBootFields(boot);
  if (!f.HasValidSectorSize()) return ExfatBootVerdict::badSectorSize;
  const std::size_t sectorBytes = std::size_t{1} << f.bytesPerSectorShift;
  const std::size_t regionBytes = kExfatBootRegionSectors * sectorBytes;
  if (region.size() < regionBytes) return ExfatBootVerdict::tooShort;
  const std::uint32_t checksum = ExfatBootChecksum(region, sectorBytes);
  for (std::size_t offset = kChecksumSector * sectorBytes; offset < regionBytes; offset += 4) {
    if (u32le(region, offset) != checksum) return ExfatBootVerdict::badChecksum;
  }
  if (f.sectorsPerClusterShift + f.bytesPerSectorShift > kMaxClusterShift) return ExfatBootVerdict::badClusterSize;
  if (f.numberOfFats != 1 && f.numberOfFats != 2) return ExfatBootVerdict::badFatCount;
  // 64-bit sums: none of these can wrap. Offsets and lengths in disk
  // sectors must fit the 32-bit counts the volume is described with.
  const std::uint64_t fatsEnd = f.fatOffset + f.fatLength * f.numberOfFats;
  if (f.fatOffset < 2 * kExfatBootRegionSectors * f.SectorScale() || f.fatLength == 0 || f.fatOffset > UINT32_MAX ||
      f.fatLength > UINT32_MAX || fatsEnd > f.clusterHeapOffset || f.clusterHeapOffset >= f.volumeLength) {
    return ExfatBootVerdict::badLayout;
  }
  const unsigned clusterShift = f.sectorsPerClusterShift + f.bytesPerSectorShift - 9;
  const std::uint64_t heapClusters = (f.volumeLength - f.clusterHeapOffset) >> clusterShift;
  const std::uint64_t fatClusters = f.fatLength * (kSectorSize / 4);
  if (f.clusterCount == 0 || f.clusterCount > kMaxClusterCount || f.clusterCount > heapClusters ||
      std::uint64_t{f.clusterCount} + 2 > fatClusters) {
    return ExfatBootVerdict::badClusterCount;
  }
  if (f.rootCluster < 2 || f.rootCluster > std::uint64_t{f.clusterCount} + 1) return ExfatBootVerdict::badRootCluster;
  return ExfatBootVerdict::sound;
}

std::optional<ExfatBootChoice> ChooseExfatBootRegion(Bytes volume) {
  ExfatBootChoice choice;
  choice.mainVerdict = JudgeExfatBootRegion(volume);
  if (choice.mainVerdict == ExfatBootVerdict::sound) {
    choice.fields = DecodeExfatBootFields(volume.first(kSectorSize));
    return choice;
  }
  // The backup follows twelve sectors of the size the main boot sector
  // gives; when that says nothing sound, of each size in turn, the backup
  // then having to give the same size itself.
  const Bytes main = Slice(volume, 0, kSectorSize);
  const std::uint8_t mainShift = main.size() > kBytesPerSectorShift ? main[kBytesPerSectorShift] : 0;
  const bool mainShiftSound = mainShift >= 9 && mainShift <= 12;
  choice.backupVerdict = ExfatBootVerdict::tooShort;
  for (unsigned shift = 9; shift <= 12; ++shift) {
    if (mainShiftSound && shift != mainShift) continue;
    const std::size_t regionBytes = kExfatBootRegionSectors << shift;
    const Bytes backup = Slice(volume, regionBytes, regionBytes);
    const ExfatBootVerdict verdict = JudgeExfatBootRegion(backup);
    if (verdict != ExfatBootVerdict::sound) {
      if (shift == 9 || mainShiftSound) choice.backupVerdict = verdict;
      continue;
    }
    choice.fields = DecodeExfatBootFields(backup.first(kSectorSize));
    if (choice.fields.bytesPerSectorShift != shift) continue;
    choice.backupVerdict = verdict;
    choice.fromBackup = true;
    return choice;
  }
  return std::nullopt;
}

SectorNumber ExfatLastSector(SectorNumber start, const ExfatBootFields& fields, std::uint64_t diskSectors) {
  const std::uint64_t heapEnd = std::uint64_t{fields.clusterHeapOffset} +
                                std::uint64_t{fields.clusterCount} * fields.SectorsPerCluster();
  SectorNumber last = start + std::max<std::uint64_t>(1, std::min(fields.volumeLength, heapEnd)) - 1;
  if (diskSectors != 0) last = std::min(last, diskSectors - 1);
  return last;
}

}  // namespace salvex
