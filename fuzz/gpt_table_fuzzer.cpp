// The input is a whole disk: its GUID partition tables, primary at sector 1
// or the backup in the last sector, and the records made of them.

#include <algorithm>

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
  // Read as a disk of 512-byte sectors, and as one of 4096-byte sectors
  // whose LBAs count eight times as many bytes.
  for (const std::uint32_t scale : {1u, 8u}) {
    const auto entries = ReadGptEntries(session.reader, size / kSectorSize, scale);
    if (entries) {
      for (const GptEntry& entry : *entries) FUZZ_CHECK(entry.firstLba <= entry.lastLba);
    }
    PartitionTable& table = session.partitions;
    const bool sound = WalkGpt(session.reader, table, scale);
    FUZZ_CHECK(sound == entries.has_value());
    FUZZ_CHECK(table.partitionCount <= kMaxPartitions);
    FUZZ_CHECK(sound || table.partitionCount == 0);
    for (std::uint32_t i = 0; i < table.partitionCount; ++i) {
      const PartitionRecord& record = table.records[i];
      FUZZ_CHECK(IsFatType(record.fsType) || record.fsType == FsType::exfat || record.fsType == FsType::ntfs ||
                 (record.fsType == FsType::none && record.noFileSystem));
      // Every extent is named whole in 64-bit sectors, and its last sector
      // does not wrap round.
      FUZZ_CHECK(record.sectorCount > 0);
      FUZZ_CHECK(record.startSector <= UINT64_MAX - (record.sectorCount - 1));
      FUZZ_CHECK(std::any_of(entries->begin(), entries->end(), [&](const GptEntry& entry) {
        return entry.firstLba * scale == record.startSector &&
               (entry.lastLba + 1) * scale == record.startSector + record.sectorCount;
      }));
    }
  }
  return 0;
}
