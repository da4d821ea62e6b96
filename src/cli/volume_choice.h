#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session/outcome.h"
#include "session/session.h"

namespace salvex::cli {

// The disk or image a command reads, and whether to ask udisks2 for it when
// the user may not open it (--udisks).
struct SourceOptions {
  std::string path;
  bool udisks = false;
  std::string imageMap;  // --map: the image's ddrescue map
};

// Which part of the disk to work on: a partition by its caption's number
// (from 1), or a sector range with its file-system type.
struct VolumeOptions {
  std::optional<unsigned> partition;
  std::optional<SectorNumber> start;
  std::optional<SectorNumber> size;
  std::string type;  // "fat12", "fat16", "fat32", "ntfs" or "exfat"
  std::string snapshot;  // a ".RSNP" or ".RS2" file to load instead of scanning
  std::vector<std::string> filters;
};

// The Advance Scan's choices: the file system to look for, the end of a
// range given by its first and last sectors, the sweep's read size, and which
// found file system to mount.
struct DeepOptions {
  std::string fs;  // "fat12", "fat16", "fat32" or "ntfs"; empty: no deep scan
  std::optional<SectorNumber> end;
  std::uint32_t readSize = 60;
  std::optional<std::uint16_t> mount;
};

// Prints an operation's warnings on stderr; throws CliError with its error.
void Require(const Outcome& outcome);

// Opens a block device or disk image, read-only, as the session's disk,
// with the image's map when one is given.
void OpenDiskOrImage(Session& session, const SourceOptions& source);

// The partition or the sector range of the options, for the Standard Scan.
void ChooseVolume(Session& session, const VolumeOptions& options);

// The range of an Advance Scan: a partition (its type taken from --fs),
// --start and --end, or the whole disk.
void ChooseDeepRange(Session& session, const VolumeOptions& volume, const DeepOptions& deep);

}  // namespace salvex::cli
