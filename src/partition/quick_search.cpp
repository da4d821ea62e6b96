#include "partition/quick_search.h"

#include <algorithm>

#include "common/le_bytes.h"
#include "volume/boot_sector.h"

namespace salvex {
namespace {

constexpr std::uint32_t kTrackSectors = 63;
constexpr std::uint32_t kStandardHeads = 255;
constexpr std::uint32_t kStandardCylinderSectors = kStandardHeads * kTrackSectors;

// The boot-sector tests, in order: "32" ending "FAT32", "16" ending "FAT16",
// then "NTFS".
std::optional<PartitionRecord> TestBootSector(Bytes sector, std::uint32_t number) {
  if (u8(sector, 85) == '3' && u8(sector, 86) == '2') {
    return PartitionRecord{number, FatTotalSectors(sector), FsType::fat32, 0};
  }
  // A small FAT16 volume keeps its length in the 16-bit field alone.
  if (u8(sector, 57) == '1' && u8(sector, 58) == '6') {
    return PartitionRecord{number, FatTotalSectors(sector), FsType::fat16, 0};
  }
  if (HasText(sector, 3, "NTFS")) {
    return PartitionRecord{number, static_cast<std::uint32_t>(u64le(sector, 40)), FsType::ntfs, 0};
  }
  return std::nullopt;
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
    cylinders = disk.cylinders * disk.heads * disk.sectorsPerTrack / kStandardCylinderSectors;
  }
  SectorBuffer sector{};
  for (std::uint32_t i = 0; i < cylinders && !table.IsFull(); ++i) {
    if (scan.StopRequested()) break;
    ui.SetProgress(ProgressPercent(i, cylinders));
    const std::uint32_t cylinderStart = i * heads * kTrackSectors;
    std::uint32_t number = cylinderStart + kTrackSectors;
    ReadSectorsZeroed(reader, number, 1, sector);
    if (!HasBootSignature(sector)) {
      number = cylinderStart;
      ReadSectorsZeroed(reader, number, 1, sector);
      if (!HasBootSignature(sector)) continue;
    }
    if (const auto record = TestBootSector(sector, number)) table.Add(*record);
  }

  ui.ShowProgress(false);
  ui.SetStatus("");
  if (table.partitionCount == 0) {
    ui.Notice(NoticeKind::error,
              scan.scanType == ScanType::standard ? kNoPartitionStandardMessage : kNoPartitionAdvanceMessage);
  }
  ui.SetStopVisible(false);
  scan.stopRequested = false;
}

}  // namespace salvex
