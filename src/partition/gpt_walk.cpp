#include "partition/gpt_walk.h"

#include "partition/gpt_table.h"
#include "partition/partition_classifier.h"

namespace salvex {
namespace {

// The boot sector's text decides, as in the MBR walk. Without one, an EFI
// System entry is FAT32 (its type says so); a basic-data entry says
// nothing of its file system (Windows gives it to NTFS, FAT and exFAT
// alike, and a fresh one holds zeros), so it is listed as holding none
// that is known.
struct GptClass {
  FsType type = FsType::none;
  bool noFileSystem = false;
};

GptClass Classify(Bytes bootSector, GptPartitionType type) {
  const FsType byText = ClassifyPartition(bootSector, 0x00, TableKind::primary);
  if (byText != FsType::none) return {byText};
  switch (type) {
    case GptPartitionType::efiSystem:
      return {FsType::fat32};
    case GptPartitionType::basicData:
      return {FsType::none, true};
    case GptPartitionType::other:
      break;
  }
  return {};
}

PartitionRecord RecordOf(const GptEntry& entry, GptClass kind, std::uint32_t scale) {
  PartitionRecord record;
  record.fsType = kind.type;
  record.noFileSystem = kind.noFileSystem;
  record.startSector = entry.firstLba * scale;
  record.sectorCount = (entry.lastLba - entry.firstLba + 1) * scale;
  return record;
}

// An entry whose sectors no byte offset reaches is not a partition to read.
bool IsAddressable(const GptEntry& entry, std::uint32_t scale) {
  return entry.lastLba < UINT64_MAX / kSectorSize / scale;
}

}  // namespace

bool WalkGpt(SectorReader& reader, PartitionTable& table, std::uint32_t sectorScale) {
  table.Clear();
  const std::uint64_t diskSectors = reader.Source() ? reader.Source()->SizeBytes() / kSectorSize : 0;
  const auto entries = ReadGptEntries(reader, diskSectors, sectorScale);
  if (!entries) return false;
  SectorBuffer bootSector{};
  for (const GptEntry& entry : *entries) {
    if (table.IsFull()) break;
    if (!IsAddressable(entry, sectorScale)) continue;
    ReadSectorsZeroed(reader, entry.firstLba * sectorScale, 1, bootSector);
    const GptClass kind = Classify(bootSector, entry.type);
    if (kind.type != FsType::none || kind.noFileSystem) table.Add(RecordOf(entry, kind, sectorScale));
  }
  return true;
}

}  // namespace salvex
