#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_ui_port.h"
#include "cli/volume_choice.h"
#include "items/folder_tree_model.h"
#include "session/unread_marks.h"

namespace salvex::cli {

struct LoadedItems {
  bool ntfs = false;      // the items are in the store's NTFS half
  bool complete = true;   // false when Stop (Ctrl-C) cut the scan short
  // Directory sectors that could not be read: the entries they held are
  // missing (each is named on stderr).
  std::size_t unreadableDirectorySectors = 0;
};

// Fills the session's store as the options say: a snapshot, the Standard
// Scan of a partition or range, or, with --mount, the Advance Scan and the
// mount of the chosen found file system. Throws CliError when that cannot
// be done.
LoadedItems LoadItems(Session& session, const VolumeOptions& volume, const DeepOptions& deep, CliUiPort& ui,
                      FolderTreeModel& tree);

// The Advance Scan of the chosen range, with Ctrl-C as Stop: false when it
// was stopped before the end of the range (the hits so far are classified).
bool SweepRange(Session& session, CliUiPort& ui);

// Loads the hits of an advance-scan snapshot in place of a sweep and
// classifies them; a --fs that differs from the file's is an error.
void LoadAdvanceSnapshot(Session& session, const std::string& path, const DeepOptions& deep, CliUiPort& ui);

// Selects and mounts found file system `ordinal` (from 1), with Ctrl-C as Stop.
LoadedItems MountFound(Session& session, std::uint16_t ordinal, CliUiPort& ui, FolderTreeModel& tree);

// With an image's map: the marks of the items found, and on stderr how
// many files and folders lie on sectors that were never read. None
// without a map.
std::optional<UnreadMarks> MarkUnread(Session& session, const LoadedItems& loaded);

// Saves a snapshot as the session's results or hits; prints where.
void SaveTreeSnapshot(const Session& session, const std::string& chosen, bool ntfs);
void SaveAdvanceSnapshot(const Session& session, const std::string& chosen);

}  // namespace salvex::cli
