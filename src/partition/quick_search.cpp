#include "partition/quick_search.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "common/le_bytes.h"
#include "partition/partition_classifier.h"
#include "volume/boot_sector.h"
#include "volume/exfat_boot_region.h"

namespace salvex {
namespace {

constexpr std::uint32_t kTrackSectors = 63;
constexpr std::uint32_t kStandardHeads = 255;
constexpr std::uint32_t kStandardCylinderSectors = kStandardHeads * kTrackSectors;
// Partitioning tools have aligned partitions to 1 MiB since 2008.
constexpr std::uint64_t kMebibyteSectors = 2048;
// mkfs.fat and Windows keep a FAT32 volume's backup boot sector six sectors in.
constexpr std::uint32_t kFat32BackupOffset = 6;
// The sectors a byte offset can reach.
constexpr std::uint64_t kSectorLimit = UINT64_MAX / kSectorSize;

// A 64-bit length from the boot sector, cut where no byte offset reaches:
// the record's end must not wrap round.
SectorNumber CountFrom(SectorNumber start, std::uint64_t length) {
  return start >= kSectorLimit ? 0 : std::min<std::uint64_t>(length, kSectorLimit - start);
}

// The boot-sector tests, in order: "32" ending "FAT32", "16" ending "FAT16"
// or "12" ending "FAT12" (the count of clusters choosing between the two),
// then "NTFS", then "EXFAT".
std::optional<PartitionRecord> TestBootSector(Bytes sector, SectorNumber number) {
  if (!HasBootSignature(sector)) return std::nullopt;
  if (u8(sector, 85) == '3' && u8(sector, 86) == '2') {
    return PartitionRecord{number, FatTotalSectors(sector), FsType::fat32, 0};
  }
  // A small FAT12 or FAT16 volume keeps its length in the 16-bit field alone.
  if (u8(sector, 57) == '1' && (u8(sector, 58) == '6' || u8(sector, 58) == '2')) {
    const FsType named = u8(sector, 58) == '6' ? FsType::fat16 : FsType::fat12;
    return PartitionRecord{number, FatTotalSectors(sector), SmallFatType(sector, named), 0};
  }
  if (HasText(sector, 3, "NTFS")) {
    return PartitionRecord{number, CountFrom(number, NtfsTotalSectors(sector)), FsType::ntfs, 0};
  }
  if (IsExfatBootSector(sector)) {
    const std::uint64_t length = DecodeExfatBootFields(sector).volumeLength;
    return PartitionRecord{number, CountFrom(number, length), FsType::exfat, 0};
  }
  return std::nullopt;
}

// A FAT32 boot sector that says it is the backup kept `kFat32BackupOffset`
// sectors into the volume starting at `volumeStart`.
std::optional<PartitionRecord> TestFat32Backup(Bytes sector, SectorNumber volumeStart) {
  const auto record = TestBootSector(sector, volumeStart);
  if (!record || record->fsType != FsType::fat32 || u16le(sector, 50) != kFat32BackupOffset) return std::nullopt;
  return record;
}

// NTFS keeps a copy of its boot sector in the partition's last sector, just
// past the volume's own count of sectors; the volume starts that count
// before the copy. The copy of a volume of 4096-byte sectors begins eight
// disk sectors before the boundary, that of 512-byte sectors one before.
std::optional<PartitionRecord> TestNtfsBackup(Bytes sector, SectorNumber number) {
  const auto record = TestBootSector(sector, number);
  if (!record || record->fsType != FsType::ntfs) return std::nullopt;
  const std::uint64_t total = NtfsTotalSectors(sector);
  if (total == 0 || total > number) return std::nullopt;
  return PartitionRecord{number - total, total, FsType::ntfs, 0};
}

// The found records by start sector, the first found of each start kept.
class Findings {
 public:
  void Add(const std::optional<PartitionRecord>& record) {
    if (record && !IsFull()) byStart_.emplace(record->startSector, *record);
  }
  bool IsFull() const { return byStart_.size() >= kMaxPartitions; }
  void CopyTo(PartitionTable& table) const {
    for (const auto& [start, record] : byStart_) table.Add(record);
  }

 private:
  std::map<SectorNumber, PartitionRecord> byStart_;
};

class Search {
 public:
  Search(SectorReader& reader, Findings& findings) : reader_(reader), findings_(findings) {}

  // One track after the cylinder's start, else the start itself; a signed
  // sector one track in ends the work on the cylinder, boot sector or not.
  void ProbeCylinder(SectorNumber cylinderStart) {
    SectorBuffer sector{};
    SectorNumber number = cylinderStart + kTrackSectors;
    ReadSectorsZeroed(reader_, number, 1, sector);
    if (!HasBootSignature(sector)) {
      number = cylinderStart;
      ReadSectorsZeroed(reader_, number, 1, sector);
    }
    findings_.Add(TestBootSector(sector, number));
  }

  // A MiB boundary: its own sector, else the FAT32 backup six sectors in;
  // and the sectors before it where a volume that ends there keeps its
  // NTFS copy (the last of 512 bytes, or of 4096). One read covers them.
  void ProbeMebibyte(SectorNumber boundary) {
    constexpr SectorNumber kBefore = 8;
    const SectorNumber first = boundary < kBefore ? 0 : boundary - kBefore;
    std::array<std::uint8_t, 16 * kSectorSize> block{};
    ReadSectorsZeroed(reader_, first, 16, block);
    const auto at = [&](SectorNumber number) { return Bytes(block).subspan((number - first) * kSectorSize, kSectorSize); };
    const auto primary = TestBootSector(at(boundary), boundary);
    findings_.Add(primary);
    if (!primary) findings_.Add(TestFat32Backup(at(boundary + kFat32BackupOffset), boundary));
    if (boundary == 0) return;
    const auto small = TestNtfsBackup(at(boundary - 1), boundary - 1);
    findings_.Add(small);
    if (!small && boundary >= kBefore && BootSectorScale(at(boundary - kBefore)) == kBefore) {
      findings_.Add(TestNtfsBackup(at(boundary - kBefore), boundary - kBefore));
    }
  }

 private:
  SectorReader& reader_;
  Findings& findings_;
};

// The sectors the search may look at: the disk's own size where the reader
// knows it, else what the geometry covers.
std::uint64_t SearchedSectors(SectorReader& reader, std::uint64_t geometrySectors) {
  const std::uint64_t sectors = reader.Source() ? reader.Source()->SizeBytes() / kSectorSize : geometrySectors;
  return std::min(sectors, kSectorLimit);
}

}  // namespace

void QuickPartitionSearch(SectorReader& reader, const DiskInfo& disk, ScanState& scan, PartitionTable& table,
                          UiPort& ui) {
  scan.stopRequested = false;
  ui.SetStopVisible(true);
  ui.SetStatus(kSearchingForPartitions);
  table.Clear();
  ui.ShowProgress(true);

  std::uint32_t cylinders = disk.cylinders;
  std::uint32_t heads = disk.heads;
  if (disk.sectorsPerTrack != kTrackSectors) {
    heads = kStandardHeads;
    cylinders = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        std::uint64_t{disk.cylinders} * disk.heads * disk.sectorsPerTrack / kStandardCylinderSectors, UINT32_MAX));
  }
  const std::uint64_t cylinderSectors = std::uint64_t{heads} * kTrackSectors;
  const std::uint64_t mebibytes =
      (SearchedSectors(reader, cylinders * cylinderSectors) + kMebibyteSectors - 1) / kMebibyteSectors;
  const std::uint64_t probes = cylinders + mebibytes;

  // Cylinder starts and MiB boundaries in disk order.
  Findings findings;
  Search search(reader, findings);
  std::uint64_t cylinder = 0;
  std::uint64_t mebibyte = 0;
  while (!findings.IsFull()) {
    if (scan.StopRequested()) break;
    const std::uint64_t cylinderStart = cylinder * cylinderSectors;
    const std::uint64_t boundary = mebibyte * kMebibyteSectors;
    const bool cylindersLeft = cylinder < cylinders && cylinderStart + kTrackSectors < kSectorLimit;
    if (!cylindersLeft && mebibyte == mebibytes) break;
    ui.SetProgress(ProgressPercent(cylinder + mebibyte, probes));
    if (cylindersLeft && (mebibyte == mebibytes || cylinderStart <= boundary)) {
      search.ProbeCylinder(cylinderStart);
      ++cylinder;
    } else {
      search.ProbeMebibyte(boundary);
      ++mebibyte;
    }
  }
  findings.CopyTo(table);

  ui.ShowProgress(false);
  ui.SetStatus("");
  if (table.partitionCount == 0) {
    ui.Notice(NoticeKind::error, scan.scanType == ScanType::standard   ? kNoPartitionStandardMessage
                                 : scan.scanType == ScanType::advance ? kNoPartitionAdvanceMessage
                                                                      : kNoPartitionFileTypeMessage);
  }
  ui.SetStopVisible(false);
  scan.stopRequested = false;
}

}  // namespace salvex
