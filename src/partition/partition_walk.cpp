#include "partition/partition_walk.h"

#include <optional>
#include <unordered_set>

#include "common/le_bytes.h"
#include "partition/bare_volume.h"
#include "partition/disk_sector_size.h"
#include "partition/gpt_walk.h"
#include "partition/partition_classifier.h"

namespace salvex {
namespace {

constexpr std::size_t kFirstEntryOffset = 446;
constexpr std::size_t kEntrySize = 16;
// Bounds the extended chain even when every link is new; real disks hold a
// few dozen logical partitions at most.
constexpr std::size_t kMaxExtendedLinks = 65536;
// The type of the one entry a GPT disk's protective MBR holds.
constexpr std::uint8_t kGptProtectiveType = 0xEE;

// An entry's sectors are the disk's logical ones; `scale` turns them into
// the 512-byte sectors the engines address.
struct TableEntry {
  std::uint8_t typeByte;
  SectorNumber firstSector;
  SectorNumber sectorCount;
};

TableEntry EntryAt(Bytes table, int index, std::uint32_t scale) {
  const std::size_t offset = kFirstEntryOffset + static_cast<std::size_t>(index) * kEntrySize;
  return {u8(table, offset + 4), SectorNumber{u32le(table, offset + 8)} * scale,
          SectorNumber{u32le(table, offset + 12)} * scale};
}

class TableWalk {
 public:
  TableWalk(SectorReader& reader, PartitionTable& table, std::uint32_t scale)
      : reader_(reader), table_(table), scale_(scale) {}

  void Run(std::uint32_t tableSector) {
    table_.Clear();
    SectorBuffer mbr{};
    ReadSectorsZeroed(reader_, SectorNumber{tableSector} * scale_, 1, mbr);
    if (!HasBootSignature(mbr)) return;
    // The GUID table is the disk's own on a GPT disk, a hybrid MBR's other
    // entries notwithstanding; only a table that cannot be read leaves them.
    if (tableSector == 0 && IsProtective(mbr) && WalkGpt(reader_, table_, scale_)) return;

    SectorNumber extendedBase = 0;
    bool hasExtended = false;
    for (int i = 0; i < 4; ++i) {
      const TableEntry entry = EntryAt(mbr, i, scale_);
      if (entry.typeByte == 0) continue;
      ReadSectorsZeroed(reader_, entry.firstSector, 1, bootSector_);
      const FsType type = ClassifyPartition(bootSector_, entry.typeByte, TableKind::primary);
      if (type != FsType::none) {
        if (!Record(entry.firstSector, entry.sectorCount, type)) return;
      } else if (IsExtendedType(entry.typeByte)) {
        extendedBase = entry.firstSector;  // with several, the last one wins
        hasExtended = true;
      }
    }
    if (hasExtended) WalkExtendedChain(extendedBase);
  }

 private:
  static bool IsProtective(Bytes mbr) {
    for (int i = 0; i < 4; ++i) {
      if (u8(mbr, kFirstEntryOffset + static_cast<std::size_t>(i) * kEntrySize + 4) == kGptProtectiveType) return true;
    }
    return false;
  }

  // Logical partitions are relative to their own extended boot record, links
  // relative to the extended partition named in the master boot record.
  void WalkExtendedChain(SectorNumber extendedBase) {
    std::unordered_set<SectorNumber> visited;
    SectorNumber linkOffset = 0;
    while (visited.size() < kMaxExtendedLinks) {
      const SectorNumber recordSector = extendedBase + linkOffset;
      // A chain that links back to a record already read would never end.
      if (!visited.insert(recordSector).second) return;
      SectorBuffer ebr{};
      ReadSectorsZeroed(reader_, recordSector, 1, ebr);
      bool linked = false;
      for (int i = 0; i < 2; ++i) {  // entries 3 and 4 of an extended record are unused
        const TableEntry entry = EntryAt(ebr, i, scale_);
        if (entry.typeByte == 0) continue;
        bootSector_.fill(0);
        if (!IsExtendedType(entry.typeByte)) {
          ReadSectorsZeroed(reader_, recordSector + entry.firstSector, 1, bootSector_);
        }
        const FsType type = ClassifyPartition(bootSector_, entry.typeByte, TableKind::extended);
        if (type != FsType::none) {
          if (!Record(recordSector + entry.firstSector, entry.sectorCount, type)) return;
        } else if (IsExtendedType(entry.typeByte)) {
          linkOffset = entry.firstSector;
          linked = true;
        }
      }
      if (!linked) return;
    }
  }

  // False once the table is full: the walk ends there.
  bool Record(SectorNumber startSector, SectorNumber sectorCount, FsType type) {
    table_.Add({startSector, sectorCount, type, 0});
    return !table_.IsFull();
  }

  SectorReader& reader_;
  PartitionTable& table_;
  std::uint32_t scale_;
  SectorBuffer bootSector_{};
};

}  // namespace

std::uint32_t WalkPartitionTables(SectorReader& reader, std::uint32_t tableSector, PartitionTable& table,
                                  std::uint32_t sectorScale) {
  TableWalk(reader, table, sectorScale).Run(tableSector);
  return table.partitionCount;
}

std::uint32_t FindPartitions(SectorReader& reader, PartitionTable& table) {
  // A volume formatted on the whole disk has its boot code where a table
  // would be. Its boot sector decides first, as disk tools decide; a table
  // that reads as one still wins, and the volume is taken only when that
  // table names no partition.
  SectorBuffer first{};
  ReadSectorsZeroed(reader, 0, 1, first);
  const std::uint64_t diskSectors = reader.Source() ? reader.Source()->SizeBytes() / kSectorSize : UINT64_MAX;
  const std::optional<PartitionRecord> wholeDisk = WholeDiskVolume(first, diskSectors);
  const std::uint32_t scale = DiskSectorScale(reader);
  const auto takeWholeDisk = [&] {
    table.Clear();
    table.Add(*wholeDisk);
    return table.partitionCount;
  };
  if (wholeDisk && !HoldsPlausibleTable(first, diskSectors)) return takeWholeDisk();
  for (const std::uint32_t tableSector : {0u, 0u}) {
    if (WalkPartitionTables(reader, tableSector, table, scale) > 0) return table.partitionCount;
  }
  if (wholeDisk) return takeWholeDisk();
  for (const std::uint32_t tableSector : {61u, 62u}) {
    if (WalkPartitionTables(reader, tableSector, table, scale) > 0) return table.partitionCount;
  }
  // A GPT disk whose protective MBR was wiped still has its GUID tables.
  WalkGpt(reader, table, scale);
  return table.partitionCount;
}

}  // namespace salvex
