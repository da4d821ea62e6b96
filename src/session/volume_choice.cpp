#include "session/volume_choice.h"

#include <algorithm>

#include "partition/partition_selection.h"
#include "session/advance_range.h"
#include "partition/partition_walk.h"
#include "session/captions.h"

namespace salvex {
namespace {

// A range must start on the disk. One that passes its end is read as far as
// the disk goes, with a warning: a partial copy of a failing disk still
// holds files worth having.
Outcome CheckRangeOnDisk(const Session& session, std::uint64_t start, std::uint64_t end) {
  const std::uint64_t diskSectors = session.reader.Source()->SizeBytes() / kSectorSize;
  if (start >= diskSectors) {
    return Outcome::Failed("sector " + std::to_string(start) + " lies past the end of the disk (" +
                           std::to_string(diskSectors) + " sectors)");
  }
  Outcome outcome;
  if (end > diskSectors) {
    outcome.warnings.push_back("sectors " + std::to_string(start) + " to " + std::to_string(end - 1) +
                               " pass the end of the disk (" + std::to_string(diskSectors) +
                               " sectors); the sectors past it read as missing");
  }
  return outcome;
}

}  // namespace

std::optional<FsType> FsTypeNamed(std::string_view name) {
  if (name == "fat12") return FsType::fat12;
  if (name == "fat16") return FsType::fat16;
  if (name == "fat32") return FsType::fat32;
  if (name == "ntfs") return FsType::ntfs;
  if (name == "exfat") return FsType::exfat;
  return std::nullopt;
}

Outcome ChoosePartition(Session& session, unsigned number) {
  const std::uint32_t found = FindPartitions(session.reader, session.partitions);
  if (number == 0 || number > found) {
    return Outcome::Failed("partition " + std::to_string(number) + " does not exist: " +
                           session.reader.Source()->Name() + " has " + std::to_string(found) +
                           " FAT12, FAT16, FAT32, exFAT or NTFS partition(s)");
  }
  if (!SelectPartition(session.scan, session.partitions, static_cast<std::uint16_t>(number - 1))) {
    const PartitionRecord& record = session.partitions.records[number - 1];
    return Outcome::Failed(PartitionCaption(number - 1, record) + " " + UnscannableNote(record));
  }
  // A partition is held to the disk as a range is: a cut-short image says so.
  const ScanState& scan = session.scan;
  return CheckRangeOnDisk(session, scan.rangeStart, scan.rangeStart + scan.rangeSize);
}

Outcome ChooseOnlyFatPartition(Session& session, unsigned& number) {
  number = 0;
  const std::uint32_t found = FindPartitions(session.reader, session.partitions);
  // A disk without a table holds one volume, of whatever type: nothing to choose.
  if (found == 1 && session.partitions.records[0].wholeDisk) {
    number = 1;
    return ChoosePartition(session, number);
  }
  unsigned fat = 0;
  for (std::uint32_t i = 0; i < found; ++i) {
    const PartitionRecord& record = session.partitions.records[i];
    if (record.fsType == FsType::ntfs || record.noFileSystem) continue;
    ++fat;
    number = i + 1;
  }
  if (fat == 1) return ChoosePartition(session, number);
  number = 0;
  return Outcome::Failed(fat == 0 ? "the partition tables of " + session.reader.Source()->Name() +
                                        " list no FAT12, FAT16, FAT32 or exFAT partition"
                                  : "the partition tables list " + std::to_string(fat) + " FAT partitions");
}

Outcome ChooseRange(Session& session, FsType type, SectorNumber start, SectorNumber size) {
  if (size == 0) return Outcome::Failed("--size must be at least 1 sector");
  // Checked before any sum, which would wrap.
  if (start > kMaxSectorNumber || size - 1 > kMaxSectorNumber - start) {
    return Outcome::Failed("sectors past " + std::to_string(kMaxSectorNumber) +
                           " cannot be read (their byte offsets pass 64 bits): make --start or --size smaller");
  }
  Outcome outcome = CheckRangeOnDisk(session, start, start + size);
  if (!outcome.Ok()) return outcome;
  ApplyRange({type, start, size, start + size - 1, 0}, session.scan);
  return outcome;
}

Outcome ChooseSweep(Session& session, const SweepChoice& choice) {
  session.scan.scanType = ScanType::advance;
  Outcome outcome;
  if (choice.partition) {
    outcome = ChoosePartition(session, *choice.partition);
  } else if (choice.start && choice.end) {
    if (*choice.end <= *choice.start) return Outcome::Failed("the end sector must be greater than the start sector");
    if (*choice.end - 1 > kMaxSectorNumber) {
      return Outcome::Failed("sectors past " + std::to_string(kMaxSectorNumber) +
                             " cannot be read (their byte offsets pass 64 bits): make --end smaller");
    }
    outcome = CheckRangeOnDisk(session, *choice.start, *choice.end);
    if (outcome.Ok()) ApplyRange({choice.type, *choice.start, *choice.end - *choice.start, *choice.end, 0}, session.scan);
  } else {
    // The whole disk: every sector of it.
    const SectorNumber sectors = session.reader.Source()->SizeBytes() / kSectorSize;
    ApplyRange({choice.type, 0, sectors, sectors, 0}, session.scan);
  }
  if (!outcome.Ok()) return outcome;
  // The type looked for is the user's, whatever the partition table says.
  SectorRange range = RangeOf(session.scan);
  range.selectedFsType = choice.type;
  ApplyRange(range, session.scan);
  session.settings.sectorsPerRead = choice.readSize;
  return outcome;
}

}  // namespace salvex
