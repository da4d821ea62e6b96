// The input is a whole disk: the partition-table walks made when the user
// leaves the disk step.

#include "common/le_bytes.h"
#include "fuzz_support.h"
#include "partition/disk_sector_size.h"
#include "partition/partition_walk.h"

using namespace salvex;

namespace {

bool HoldsTableAt(Bytes disk, std::uint32_t sector) {
  return HasBootSignature(Slice(disk, std::size_t{sector} * kSectorSize, kSectorSize));
}

bool HoldsGptHeaderAt(Bytes disk, std::uint64_t sector) {
  return HasText(Slice(disk, static_cast<std::size_t>(sector) * kSectorSize, kSectorSize), 0, "EFI PART");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes disk(data, size);
  Session session;
  fuzz::OpenInput(session, data, size);
  const std::uint32_t found = FindPartitions(session.reader, session.partitions);
  const PartitionTable& table = session.partitions;
  FUZZ_CHECK(found == table.partitionCount);
  FUZZ_CHECK(found <= kMaxPartitions);
  // Nothing is found without a signed table at one of the walked sectors,
  // or a GPT header at sector 1 or in the last sector: sectors of the
  // disk's logical size.
  const std::uint32_t scale = DiskSectorScale(session.reader);
  FUZZ_CHECK(scale == 1 || scale == 2 || scale == 4 || scale == 8);
  const std::uint64_t lastLogical = size / kSectorSize / scale;
  FUZZ_CHECK(found == 0 || HoldsTableAt(disk, 0) || HoldsTableAt(disk, 61 * scale) ||
             HoldsTableAt(disk, 62 * scale) || HoldsGptHeaderAt(disk, scale) ||
             (lastLogical > 0 && HoldsGptHeaderAt(disk, (lastLogical - 1) * scale)));
  for (std::uint32_t i = 0; i < found; ++i) {
    const FsType type = table.records[i].fsType;
    // A known file system, or a GPT basic-data partition listed as holding none.
    FUZZ_CHECK(IsFatType(type) || type == FsType::ntfs || type == FsType::exfat ||
               (type == FsType::none && table.records[i].noFileSystem));
    // Extents are 64-bit: the sector past a record's end never wraps round.
    FUZZ_CHECK(table.records[i].startSector <= UINT64_MAX - table.records[i].sectorCount);
    // A volume without a table is the disk's only record, from sector 0 and
    // on the disk.
    if (table.records[i].wholeDisk) {
      FUZZ_CHECK(found == 1 && table.records[i].startSector == 0);
      FUZZ_CHECK(table.records[i].sectorCount >= 1 && table.records[i].sectorCount <= size / kSectorSize);
    }
  }

  // Every walk starts from an empty table: walking again over the filled one
  // finds the same records.
  const PartitionTable first = table;
  FUZZ_CHECK(FindPartitions(session.reader, session.partitions) == found);
  for (std::uint32_t i = 0; i < found; ++i) {
    FUZZ_CHECK(table.records[i].startSector == first.records[i].startSector);
    FUZZ_CHECK(table.records[i].sectorCount == first.records[i].sectorCount);
    FUZZ_CHECK(table.records[i].fsType == first.records[i].fsType);
  }
  return 0;
}
