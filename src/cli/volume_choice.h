#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session/session.h"

namespace salvex::cli {

// Which part of the disk to work on: a partition by its caption's number
// (from 1), or a sector range with its file-system type.
struct VolumeOptions {
  std::optional<unsigned> partition;
  std::optional<std::uint32_t> start;
  std::optional<std::uint32_t> size;
  std::string type;  // "fat16", "fat32" or "ntfs"
  std::string snapshot;  // a ".RSNP" or ".RS2" file to load instead of scanning
  std::vector<std::string> filters;
};

// The Advance Scan's choices: the file system to look for, the end of a
// range given by its first and last sectors, the sweep's read size, and which
// found file system to mount.
struct DeepOptions {
  std::string fs;  // "fat16", "fat32" or "ntfs"; empty: no deep scan
  std::optional<std::uint32_t> end;
  std::uint32_t readSize = 60;
  std::optional<std::uint16_t> mount;
};

// Opens a block device or disk image, read-only, as the session's disk.
// Throws CliError naming the path and the reason.
void OpenSource(Session& session, const std::string& path);

// Walks the partition tables and chooses the volume, as the wizard's
// partition step does. Throws CliError for a missing partition or a bad range.
void ChooseVolume(Session& session, const VolumeOptions& options);

// Chooses the range of an Advance Scan: a partition (its type taken from
// --fs), --start and --end (the end sector not included in the size, as the
// wizard's fields are read), or the whole disk.
void ChooseDeepRange(Session& session, const VolumeOptions& volume, const DeepOptions& deep);

}  // namespace salvex::cli
