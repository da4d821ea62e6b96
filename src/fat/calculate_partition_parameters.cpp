#include "fat/calculate_partition_parameters.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "volume/boot_sector.h"

namespace salvex {
namespace {

// The sweep reads this many sectors per request; the result is the same as
// reading them one by one, only faster.
constexpr std::uint32_t kSweepChunkSectors = 128;
constexpr std::uint32_t kProgressEvery = 500;
constexpr std::uint32_t kMaxFat12Sectors = 12;
// The sectors of a fixed root when nothing tells: FAT16's 512 entries.
constexpr std::uint32_t kFixedRootGuess = 32;

// Where to look for the start of FAT #1 (bytes F8 FF, or F0 FF on a floppy
// disk), relative to the range.
struct ReservedProbe {
  std::uint32_t first;
  std::uint32_t count;
  std::uint32_t fallback;
};

ReservedProbe ProbeFor(bool isFat32) { return isFat32 ? ReservedProbe{30, 30, 32} : ReservedProbe{0, 10, 1}; }

bool StartsFat(const std::uint8_t* bytes) { return (bytes[0] == 0xF8 || bytes[0] == 0xF0) && bytes[1] == 0xFF; }
bool StartsFat(const SectorBuffer& sector) { return StartsFat(sector.data()); }

// The reserved sectors where the usual places hold the start of FAT #1;
// nothing when none does.
std::optional<std::uint32_t> ProbeReservedSectors(VolumeContext& context, bool isFat32) {
  const ReservedProbe probe = ProbeFor(isFat32);
  const SectorNumber start = context.scan.rangeStart;
  SectorBuffer sector{};
  for (std::uint32_t i = 0; i < probe.count; ++i) {
    ReadSectorsZeroed(context.reader, start + probe.first + i, 1, sector);
    if (StartsFat(sector)) {
      const std::uint32_t reserved = probe.first + i;
      return reserved == 0 ? probe.fallback : reserved;
    }
  }
  return std::nullopt;
}

// Reserved areas outside the usual places: mkfs.fat reserves as many
// sectors as a cluster holds on large FAT16 volumes, and aligns large FAT32
// ones. With the data area's first sector known, a FAT #1 start is only
// taken when FAT #2 starts where two equal FATs (and the FAT16 root) would
// put it. Looked for no further than a 16-bit reserved count reaches.
std::optional<std::uint32_t> FindReservedBeforeData(VolumeContext& context, SectorNumber firstDataSector,
                                                    std::uint32_t rootDirSectors) {
  const SectorNumber start = context.scan.rangeStart;
  if (firstDataSector <= start) return std::nullopt;
  const auto reach = static_cast<std::uint32_t>(std::min<SectorNumber>(firstDataSector - start, UINT16_MAX + 1));
  std::vector<std::uint8_t> chunk(kSweepChunkSectors * kSectorSize);
  SectorBuffer second{};
  const auto startsFat = [](const std::uint8_t* bytes) { return StartsFat(bytes) && bytes[2] == 0xFF; };
  for (std::uint32_t first = 1; first < reach && !context.scan.StopRequested(); first += kSweepChunkSectors) {
    const std::uint32_t count = std::min(kSweepChunkSectors, reach - first);
    ReadSectorsZeroed(context.reader, std::uint64_t{start} + first, count, chunk);
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!startsFat(chunk.data() + std::size_t{i} * kSectorSize)) continue;
      const std::uint32_t reserved = first + i;
      const std::uint64_t fatsAndRoot = std::uint64_t{firstDataSector} - start - reserved;
      if (fatsAndRoot <= rootDirSectors || (fatsAndRoot - rootDirSectors) % 2 != 0) continue;
      const std::uint64_t sectorsPerFat = (fatsAndRoot - rootDirSectors) / 2;
      ReadSectorsZeroed(context.reader, std::uint64_t{start} + reserved + sectorsPerFat, 1, second);
      if (startsFat(second.data())) return reserved;
    }
  }
  return std::nullopt;
}

bool IsSpaces(Bytes bytes, std::size_t offset, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (u8(bytes, offset + i) != ' ') return false;
  }
  return true;
}

struct DirectoryHit {
  SectorNumber sector;
  std::uint32_t cluster;
};

// Fits a geometry to the reference directory and each later one in turn.
class GeometryFit {
 public:
  explicit GeometryFit(bool isFat32) : invalidCluster_(isFat32 ? 0xFFFFFFFFu : 0xFFFFu) {}

  bool HasReference() const { return reference_.has_value(); }

  // Returns the sectors per cluster once a pair fits.
  std::optional<std::uint32_t> Offer(DirectoryHit hit) {
    if (!reference_) {
      if (hit.cluster >= 2 && hit.cluster < invalidCluster_) reference_ = hit;
      return std::nullopt;
    }
    const DirectoryHit first = *reference_;
    if (hit.cluster == invalidCluster_ || hit.cluster == first.cluster) return std::nullopt;
    // A cluster below the reference's, or a sector before it, never fits.
    if (hit.cluster < first.cluster || hit.sector < first.sector) return std::nullopt;
    const SectorNumber sectorGap = hit.sector - first.sector;
    const std::uint32_t clusterGap = hit.cluster - first.cluster;
    if (sectorGap % clusterGap != 0) return std::nullopt;
    if (hit.cluster >= hit.sector || hit.cluster >= first.sector) return std::nullopt;
    const SectorNumber sectorsPerCluster = sectorGap / clusterGap;
    if (sectorsPerCluster > UINT8_MAX || !IsValidSectorsPerCluster(static_cast<std::uint32_t>(sectorsPerCluster))) {
      return std::nullopt;
    }
    return static_cast<std::uint32_t>(sectorsPerCluster);
  }

  const DirectoryHit& Reference() const { return *reference_; }

 private:
  std::uint32_t invalidCluster_;
  std::optional<DirectoryHit> reference_;
};

// The largest FAT a fixed root follows: 4085 entries of 12 bits fill 12
// sectors, 65525 of 16 bits 256.
std::uint32_t MaxFixedRootFatSectors(FsType fsType) { return fsType == FsType::fat12 ? kMaxFat12Sectors : 256; }

bool SectorEquals(VolumeContext& context, std::uint64_t sector, const SectorBuffer& expected) {
  SectorBuffer bytes{};
  ReadSectorsZeroed(context.reader, sector, 1, bytes);
  return bytes == expected;
}

// Where the FATs and what follows them lie, once FAT #1's start and the
// data area's are known.
struct FatRegion {
  std::uint32_t fatCount = 2;
  std::uint32_t sectorsPerFat = 0;
  std::uint32_t rootDirSectors = 0;
};

// Two FATs are told from one by FAT #2's first sector, which repeats FAT
// #1's byte for byte (entries 0 and 1 and the first chains); a sector that
// merely begins like a FAT proves nothing, as end-of-chain marks can begin
// any sector of a FAT. FAT32: FAT #2 lies halfway to the data. FAT12 and
// FAT16: it is looked for among the sectors a FAT of that type can take, and
// the root fills what is left; without it the volume has one FAT and the
// root keeps the usual size.
FatRegion InferFatRegion(VolumeContext& context, FsType type, SectorNumber fatStart, SectorNumber firstDataSector,
                         std::uint32_t rootGuess) {
  FatRegion region;
  SectorBuffer fat1{};
  ReadSectorsZeroed(context.reader, fatStart, 1, fat1);
  const std::uint64_t span = std::uint64_t{firstDataSector} - fatStart;
  const std::uint64_t fixedRoot = type == FsType::fat32 ? 0 : rootGuess;
  if (!StartsFat(fat1)) {
    // FAT #1 was not found where it was looked for: two FATs, as a rule.
    region.rootDirSectors = static_cast<std::uint32_t>(fixedRoot);
    region.sectorsPerFat = static_cast<std::uint32_t>(span > fixedRoot ? (span - fixedRoot) / 2 : 0);
    return region;
  }
  if (type == FsType::fat32) {
    if (span % 2 == 0 && SectorEquals(context, fatStart + span / 2, fat1)) {
      region.sectorsPerFat = static_cast<std::uint32_t>(span / 2);
    } else {
      region.fatCount = 1;
      region.sectorsPerFat = static_cast<std::uint32_t>(span);
    }
    return region;
  }
  const std::uint64_t end =
      std::min<std::uint64_t>(firstDataSector, std::uint64_t{fatStart} + MaxFixedRootFatSectors(type) + 1);
  for (std::uint64_t s = std::uint64_t{fatStart} + 1; s < end && !context.scan.StopRequested(); ++s) {
    if (!SectorEquals(context, s, fat1)) continue;
    const std::uint64_t sectorsPerFat = s - fatStart;
    if (2 * sectorsPerFat >= span) break;
    region.sectorsPerFat = static_cast<std::uint32_t>(sectorsPerFat);
    region.rootDirSectors = static_cast<std::uint32_t>(span - 2 * sectorsPerFat);
    return region;
  }
  region.fatCount = 1;
  region.rootDirSectors = span > rootGuess ? rootGuess : 0;
  region.sectorsPerFat = static_cast<std::uint32_t>(span - region.rootDirSectors);
  return region;
}

void StoreInferredGeometry(VolumeContext& context, bool isFat32, std::optional<std::uint32_t> probed,
                           DirectoryHit reference, std::uint32_t sectorsPerCluster) {
  VolumeParameters& volume = context.volume;
  const SectorNumber start = context.scan.rangeStart;
  volume.sectorsPerCluster = sectorsPerCluster;
  volume.clusterBase = reference.sector - SectorNumber{reference.cluster} * sectorsPerCluster;
  const SectorNumber firstDataSector = reference.sector - SectorNumber{reference.cluster - 2} * sectorsPerCluster;
  std::optional<std::uint32_t> reserved = probed;
  if (!reserved) reserved = FindReservedBeforeData(context, firstDataSector, volume.rootDirSectors);
  volume.reservedSectors = reserved.value_or(ProbeFor(isFat32).fallback);
  const SectorNumber fatStart = start + volume.reservedSectors;
  const FatRegion region =
      InferFatRegion(context, context.scan.selectedFsType, fatStart, firstDataSector, volume.rootDirSectors);
  volume.sectorsPerFat = region.sectorsPerFat;
  volume.fat1Start = fatStart;
  volume.fat2Start = region.fatCount == 2 ? fatStart + region.sectorsPerFat : 0;
  if (!isFat32) {
    volume.rootDirSectors = region.rootDirSectors;
    volume.rootDirStart = fatStart + SectorNumber{region.fatCount} * region.sectorsPerFat;
  }
}

std::uint32_t ClusterOfDotEntry(Bytes sector, bool isFat32) {
  const std::uint32_t low = u16le(sector, 0x1A);
  return isFat32 ? (static_cast<std::uint32_t>(u16le(sector, 0x14)) << 16) | low : low;
}

}  // namespace

bool IsDirectoryStart(Bytes sector) {
  return u8(sector, 0) == '.' && IsSpaces(sector, 1, 10) && u8(sector, 32) == '.' && u8(sector, 33) == '.' &&
         IsSpaces(sector, 34, 9);
}

bool CalculatePartitionParameters(VolumeContext& context) {
  const FsType type = context.scan.selectedFsType;
  if (!IsFatType(type)) return false;
  const bool isFat32 = type == FsType::fat32;
  UiPort& ui = context.ui;
  ui.SetStopVisible(true);
  ui.ShowProgress(true);

  const std::optional<std::uint32_t> reserved = ProbeReservedSectors(context, isFat32);
  VolumeParameters& volume = context.volume;
  volume.rootDirStart = isFat32 ? 2 : 0;
  volume.rootDirSectors = isFat32 ? 0 : kFixedRootGuess;

  const SectorNumber rangeStart = context.scan.rangeStart;
  const SectorNumber rangeSize = context.scan.rangeSize;
  GeometryFit fit(isFat32);
  std::uint32_t examined = 0;
  std::vector<std::uint8_t> chunk(kSweepChunkSectors * kSectorSize);
  // No further than the last sector a disk can name.
  constexpr SectorNumber kLastAddressable = UINT64_MAX / kSectorSize;
  const SectorNumber sweepEnd =
      rangeStart >= kLastAddressable ? 0 : std::min<SectorNumber>(rangeSize, kLastAddressable - rangeStart);
  for (std::uint64_t chunkStart = 0; chunkStart < sweepEnd; chunkStart += kSweepChunkSectors) {
    const auto sectors = static_cast<std::uint32_t>(std::min<std::uint64_t>(kSweepChunkSectors, sweepEnd - chunkStart));
    ReadSectorsZeroed(context.reader, std::uint64_t{rangeStart} + chunkStart, sectors, chunk);
    for (std::uint32_t i = 0; i < sectors; ++i) {
      if (context.scan.StopRequested()) break;
      const SectorNumber k = chunkStart + i;
      const Bytes sector(chunk.data() + std::size_t{i} * kSectorSize, kSectorSize);
      const bool isDirectory = IsDirectoryStart(sector);
      if (isDirectory) {
        const bool hadReference = fit.HasReference();
        const DirectoryHit hit{rangeStart + k, ClusterOfDotEntry(sector, isFat32)};
        if (const auto sectorsPerCluster = fit.Offer(hit)) {
          StoreInferredGeometry(context, isFat32, reserved, fit.Reference(), *sectorsPerCluster);
          ui.ShowProgress(false);
          return true;
        }
        if (hadReference) continue;
      }
      if (++examined == kProgressEvery) {
        examined = 0;
        ui.SetProgress(ProgressPercent(k, rangeSize));
      }
    }
    if (context.scan.StopRequested()) break;
  }
  ui.SetStopVisible(false);
  ui.ShowProgress(false);
  return false;
}

}  // namespace salvex
