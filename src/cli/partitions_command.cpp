#include <iostream>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "session/captions.h"
#include "session/disk_session.h"

namespace salvex::cli {
namespace {

void PrintJson(const PartitionTable& table) {
  JsonWriter json(std::cout);
  json.BeginArray();
  for (std::uint32_t i = 0; i < table.partitionCount; ++i) {
    const PartitionRecord& record = table.records[i];
    json.BeginObject();
    json.Key("index");
    json.Number(i + 1);
    json.Key("startSector");
    json.Number(record.startSector);
    json.Key("sectorCount");
    json.Number(record.sectorCount);
    if (record.wholeDisk) {
      json.Key("wholeDisk");
      json.Bool(true);
    }
    if (record.noFileSystem) {
      json.Key("noFileSystem");
      json.Bool(true);
    }
    json.Key("fsType");
    json.String(record.noFileSystem ? "unknown" : FsTypeText(record.fsType));
    json.Key("caption");
    json.String(PartitionCaption(i, record));
    json.EndObject();
  }
  json.EndArray();
  std::cout << '\n';
}

void PrintTable(const PartitionTable& table) {
  for (std::uint32_t i = 0; i < table.partitionCount; ++i) {
    const PartitionRecord& record = table.records[i];
    const SectorNumber start = record.startSector;
    const SectorNumber count = record.sectorCount;
    std::cout << PartitionCaption(i, record) << "  start " << start << "  end " << start + count - 1
              << "  size " << count / 2048 << " MB";
    if (record.noFileSystem) std::cout << "  (" << kNoFileSystemNote << ")";
    std::cout << '\n';
  }
}

}  // namespace

void PrintPartitions(const PartitionTable& table, bool json) {
  if (json) {
    PrintJson(table);
  } else {
    PrintTable(table);
  }
}

int RunPartitions(const PartitionsOptions& options) {
  Session session;
  OpenDiskOrImage(session, options.source);
  ReadPartitionTables(session);
  if (!options.json && session.partitions.partitionCount == 0) {
    std::cout << "No FAT12, FAT16, FAT32, exFAT or NTFS partitions found in the partition tables of " << options.source.path
              << ".\nThe tables may be damaged: look for lost partitions with salvex search-partitions, or\n"
                 "search the disk with salvex deep-scan.\n";
  } else {
    PrintPartitions(session.partitions, options.json);
  }
  // As search-partitions: a disk without one is a failure scripts can see.
  return session.partitions.partitionCount > 0 ? 0 : 1;
}

}  // namespace salvex::cli
