#include "cli/volume_choice.h"

#include <algorithm>
#include <iostream>

#include "cli/cli_error.h"
#include "common/sector.h"
#include "partition/partition_selection.h"
#include "partition/partition_walk.h"
#include "platform/file_disk_source.h"

namespace salvex::cli {
namespace {

FsType ParseType(const std::string& text) {
  if (text == "fat16") return FsType::fat16;
  if (text == "fat32") return FsType::fat32;
  if (text == "ntfs") return FsType::ntfs;
  throw CliError("unknown file-system type '" + text + "' (use fat16, fat32 or ntfs)");
}

// A range must start on the disk. One that passes its end is read as far as
// the disk goes, as a partition of a cut-short image is: a partial copy of a
// failing disk still holds files worth having.
void CheckRangeOnDisk(const Session& session, std::uint64_t start, std::uint64_t end) {
  const std::uint64_t diskSectors = session.reader.Source()->SizeBytes() / kSectorSize;
  if (start >= diskSectors) {
    throw CliError("sector " + std::to_string(start) + " lies past the end of the disk (" +
                   std::to_string(diskSectors) + " sectors)");
  }
  if (end > diskSectors) {
    std::cerr << "salvex: warning: sectors " << start << " to " << end - 1 << " pass the end of the disk ("
              << diskSectors << " sectors); the sectors past it read as missing\n";
  }
}

void ChooseRange(Session& session, const VolumeOptions& options) {
  if (!options.start || !options.size || options.type.empty()) {
    throw CliError("a sector range needs --start, --size and --type");
  }
  if (*options.size == 0) throw CliError("--size must be at least 1 sector");
  CheckRangeOnDisk(session, *options.start, std::uint64_t{*options.start} + *options.size);
  if (std::uint64_t{*options.start} + *options.size - 1 > UINT32_MAX) {
    throw CliError("sectors past 4294967295 cannot be named: make --size smaller");
  }
  ScanState& scan = session.scan;
  scan.selectedFsType = ParseType(options.type);
  scan.rangeStart = *options.start;
  scan.rangeSize = *options.size;
  scan.rangeEnd = *options.start + *options.size - 1;
  scan.partitionIndex = 0;
}

}  // namespace

void OpenSource(Session& session, const std::string& path) {
  std::string error;
  std::unique_ptr<FileDiskSource> source = FileDiskSource::Open(path, error);
  if (!source) throw CliError(error);
  session.reader.Open(std::move(source));
  session.scan.wizardStep = 1;
}

void ChooseVolume(Session& session, const VolumeOptions& options) {
  if (options.partition && (options.start || options.size)) {
    throw CliError("choose either --partition or a sector range, not both");
  }
  if (!options.partition) {
    ChooseRange(session, options);
    return;
  }
  const std::uint32_t found = FindPartitions(session.reader, session.partitions);
  const unsigned number = *options.partition;
  if (number == 0 || number > found) {
    throw CliError("partition " + std::to_string(number) + " does not exist: " + session.reader.Source()->Name() +
                   " has " + std::to_string(found) + " FAT16, FAT32 or NTFS partition(s)");
  }
  SelectPartition(session.scan, session.partitions, static_cast<std::uint16_t>(number - 1));
  // A partition is held to the disk as a range is: a cut-short image says so.
  CheckRangeOnDisk(session, session.scan.rangeStart, std::uint64_t{session.scan.rangeStart} + session.scan.rangeSize);
}

void ChooseDeepRange(Session& session, const VolumeOptions& volume, const DeepOptions& deep) {
  if (deep.fs.empty()) throw CliError("the Advance Scan needs --fs fat16, fat32 or ntfs");
  const FsType type = ParseType(deep.fs);
  ScanState& scan = session.scan;
  scan.scanType = ScanType::advance;
  if (volume.size) throw CliError("the Advance Scan takes --start and --end, not --size");
  if (volume.partition) {
    if (volume.start || deep.end) throw CliError("choose either --partition or --start and --end, not both");
    ChooseVolume(session, volume);
  } else if (volume.start || deep.end) {
    if (!volume.start || !deep.end) throw CliError("a sector range needs both --start and --end");
    if (*deep.end <= *volume.start) throw CliError("the end sector must be greater than the start sector");
    CheckRangeOnDisk(session, *volume.start, *deep.end);
    scan.rangeStart = *volume.start;
    scan.rangeEnd = *deep.end;
    scan.rangeSize = *deep.end - *volume.start;
    scan.partitionIndex = 0;
  } else {
    // The whole disk: every sector of it, up to what 32-bit sector numbers reach.
    const std::uint64_t sectors = session.reader.Source()->SizeBytes() / kSectorSize;
    scan.rangeStart = 0;
    scan.rangeSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, UINT32_MAX));
    scan.rangeEnd = scan.rangeSize;
    scan.partitionIndex = 0;
  }
  scan.selectedFsType = type;
  session.settings.sectorsPerRead = deep.readSize;
}

}  // namespace salvex::cli
