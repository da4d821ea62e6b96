#include "cli/volume_choice.h"

#include <iostream>

#include "cli/cli_error.h"
#include "session/captions.h"
#include "session/disk_session.h"
#include "session/unread_marks.h"
#include "session/volume_choice.h"

namespace salvex::cli {
namespace {

FsType ParseType(const std::string& text) {
  if (const auto type = FsTypeNamed(text)) return *type;
  throw CliError("unknown file-system type '" + text + "' (use fat12, fat16, fat32, ntfs or exfat)");
}

// Nothing chosen: the tables' only FAT partition (or the volume that fills a
// disk without a table), or the list to choose from.
void ChooseTheOnlyFatPartition(Session& session) {
  unsigned number = 0;
  const Outcome outcome = ChooseOnlyFatPartition(session, number);
  if (number != 0) {
    Require(outcome);
    const PartitionRecord& record = session.partitions.records[number - 1];
    std::cerr << "salvex: scanning " << PartitionCaption(number - 1, record)
              << (record.wholeDisk ? ", the volume without a partition table on " : ", the only FAT partition of ")
              << session.reader.Source()->Name() << '\n';
    return;
  }
  if (session.partitions.partitionCount == 0) {
    throw CliError(outcome.error +
                   ": look for lost ones with salvex search-partitions, or give a range with --start, --size and --type");
  }
  for (std::uint32_t i = 0; i < session.partitions.partitionCount; ++i) {
    std::cerr << "  " << PartitionCaption(i, session.partitions.records[i]) << '\n';
  }
  throw UsageError(outcome.error + " (above): choose one with --partition N");
}

}  // namespace

void Require(const Outcome& outcome) {
  for (const std::string& warning : outcome.warnings) std::cerr << "salvex: warning: " << warning << '\n';
  if (!outcome.Ok()) throw CliError(outcome.error);
}

void OpenDiskOrImage(Session& session, const SourceOptions& source) {
  session.diskAccess.askUdisks = source.udisks;
  Require(salvex::OpenSource(session, source.path));
  if (!source.imageMap.empty()) Require(LoadImageMap(session, source.imageMap));
}

void ChooseVolume(Session& session, const VolumeOptions& options) {
  if (options.partition && (options.start || options.size)) {
    throw CliError("choose either --partition or a sector range, not both");
  }
  if (options.partition) {
    Require(ChoosePartition(session, *options.partition));
    return;
  }
  if (!options.start && !options.size && options.type.empty()) {
    ChooseTheOnlyFatPartition(session);
    return;
  }
  if (!options.start || !options.size || options.type.empty()) {
    throw CliError("a sector range needs --start, --size and --type");
  }
  Require(ChooseRange(session, ParseType(options.type), *options.start, *options.size));
}

void ChooseDeepRange(Session& session, const VolumeOptions& volume, const DeepOptions& deep) {
  if (deep.fs.empty()) throw CliError("the Advance Scan needs --fs fat12, fat16, fat32, ntfs or exfat");
  const FsType type = ParseType(deep.fs);
  if (volume.size) throw CliError("the Advance Scan takes --start and --end, not --size");
  if (volume.partition && (volume.start || deep.end)) {
    throw CliError("choose either --partition or --start and --end, not both");
  }
  if (!volume.partition && (volume.start || deep.end) && (!volume.start || !deep.end)) {
    throw CliError("a sector range needs both --start and --end");
  }
  Require(ChooseSweep(session, {type, volume.partition, volume.start, deep.end, deep.readSize}));
}

}  // namespace salvex::cli
