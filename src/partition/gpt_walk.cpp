#include "partition/gpt_walk.h"

#include "partition/gpt_table.h"
#include "partition/partition_classifier.h"

namespace salvex {
namespace {

constexpr std::uint64_t kLastNamedSector = UINT32_MAX;

// The boot sector's text decides, as in the MBR walk; without one the type
// GUID does, as its MBR counterpart's type byte would: EFI System (0xEF) is
// FAT32, basic data (0x07) NTFS. An exFAT volume in a basic-data entry
// names itself in its boot sector.
FsType Classify(Bytes bootSector, GptPartitionType type) {
  const FsType byText = ClassifyPartition(bootSector, 0x00, TableKind::primary);
  if (byText != FsType::none) return byText;
  switch (type) {
    case GptPartitionType::efiSystem:
      return FsType::fat32;
    case GptPartitionType::basicData:
      return FsType::ntfs;
    case GptPartitionType::other:
      break;
  }
  return FsType::none;
}

PartitionRecord RecordOf(const GptEntry& entry, FsType type) {
  PartitionRecord record;
  record.fsType = type;
  if (entry.firstLba > kLastNamedSector || entry.lastLba > kLastNamedSector) {
    record.beyondReach = true;
    record.wideStart = entry.firstLba;
    record.wideCount = entry.lastLba - entry.firstLba + 1;
  } else {
    record.startSector = static_cast<std::uint32_t>(entry.firstLba);
    record.sectorCount = static_cast<std::uint32_t>(entry.lastLba - entry.firstLba + 1);
  }
  return record;
}

}  // namespace

bool WalkGpt(SectorReader& reader, PartitionTable& table) {
  table.Clear();
  const std::uint64_t diskSectors = reader.Source() ? reader.Source()->SizeBytes() / kSectorSize : 0;
  const auto entries = ReadGptEntries(reader, diskSectors);
  if (!entries) return false;
  SectorBuffer bootSector{};
  for (const GptEntry& entry : *entries) {
    if (table.IsFull()) break;
    ReadSectorsZeroed(reader, entry.firstLba, 1, bootSector);
    const FsType type = Classify(bootSector, entry.type);
    if (type != FsType::none) table.Add(RecordOf(entry, type));
  }
  return true;
}

}  // namespace salvex
