// The input is a whole disk: its GUID partition tables, primary at sector 1
// or the backup in the last sector, and the records made of them.

#include "fuzz_support.h"
#include "partition/gpt_table.h"
#include "partition/gpt_walk.h"
#include "volume/volume_parameters.h"

using namespace salvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes disk(data, size);
  // The header decoder on the input's first sector, as if it were sector 1.
  const GptHeaderResult header = DecodeGptHeader(Slice(disk, 0, kSectorSize), 1);
  if (header.check == GptHeaderCheck::valid) FUZZ_CHECK(header.header.EntriesBytes() <= (1u << 20));

  Session session;
  fuzz::OpenInput(session, data, size);
  const auto entries = ReadGptEntries(session.reader, size / kSectorSize);
  if (entries) {
    for (const GptEntry& entry : *entries) FUZZ_CHECK(entry.firstLba <= entry.lastLba);
  }
  PartitionTable& table = session.partitions;
  const bool sound = WalkGpt(session.reader, table);
  FUZZ_CHECK(sound == entries.has_value());
  FUZZ_CHECK(table.partitionCount <= kMaxPartitions);
  FUZZ_CHECK(sound || table.partitionCount == 0);
  for (std::uint32_t i = 0; i < table.partitionCount; ++i) {
    const PartitionRecord& record = table.records[i];
    FUZZ_CHECK(IsFatType(record.fsType) || record.fsType == FsType::exfat || record.fsType == FsType::ntfs ||
               (record.fsType == FsType::none && record.noFileSystem));
    if (record.beyondReach) {
      // What 32-bit sectors cannot name is never half-named.
      FUZZ_CHECK(record.startSector == 0 && record.sectorCount == 0 && record.wideCount > 0);
      FUZZ_CHECK(record.wideStart + record.wideCount - 1 > UINT32_MAX);
    } else {
      FUZZ_CHECK(record.sectorCount > 0);
      FUZZ_CHECK(std::uint64_t{record.startSector} + record.sectorCount - 1 <= UINT32_MAX);
    }
  }
  return 0;
}
