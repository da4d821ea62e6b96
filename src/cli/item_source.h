#pragma once

#include <optional>
#include <string_view>

#include "cli/cli_ui_port.h"
#include "cli/volume_choice.h"
#include "items/folder_tree_model.h"
#include "platform/protected_files.h"

namespace salvex::cli {

struct LoadedItems {
  bool ntfs = false;      // the items are in the store's NTFS half
  bool complete = true;   // false when Stop (Ctrl-C) cut the scan short
  std::optional<FileIdentity> snapshotFile;  // the snapshot the items came from
};

// The files the run reads: the session's disk or image and the snapshot
// loaded, if any. Nothing it writes may land on them.
ProtectedFiles FilesBeingRead(const Session& session, const std::optional<FileIdentity>& snapshotFile);

// Fills the session's store as the options say: the Standard Scan of a
// partition or range, or, with --mount, the Advance Scan and the mount of the
// chosen found file system. Throws CliError when that cannot be done.
LoadedItems LoadItems(Session& session, const VolumeOptions& volume, const DeepOptions& deep, CliUiPort& ui,
                      FolderTreeModel& tree);

// Whether the snapshot file is an Advance Scan's (.RS2), by its extension.
bool IsAdvanceSnapshot(std::string_view path);

// The Advance Scan of the chosen range, with Ctrl-C as Stop: false when it
// was stopped before the end of the range (the hits so far are classified).
bool SweepRange(Session& session, CliUiPort& ui);

// Loads the hits of an advance-scan snapshot in place of a sweep and
// classifies them. Returns which file was read.
FileIdentity LoadAdvanceSnapshot(Session& session, const std::string& path, CliUiPort& ui);

// Adds the --filter patterns to the session's filter table.
void AddFilters(Session& session, const std::vector<std::string>& filters);

// Writes a snapshot file, never over one of `filesBeingRead`; `failure` is
// the message for a file that cannot be created. Returns the path written
// (upper-cased name, extension added).
std::string SaveSnapshot(const std::string& chosen, std::string_view extension,
                         const std::vector<std::uint8_t>& bytes, const char* failure,
                         const ProtectedFiles& filesBeingRead);

// Selects and mounts found file system `ordinal` (from 1).
LoadedItems MountFound(Session& session, std::uint16_t ordinal, CliUiPort& ui, FolderTreeModel& tree);

}  // namespace salvex::cli
