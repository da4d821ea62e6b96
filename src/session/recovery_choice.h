#pragma once

#include <memory>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "platform/host_folder.h"
#include "platform/ui_port.h"
#include "recovery/recovery_run.h"
#include "session/outcome.h"
#include "session/session.h"

namespace salvex {

// The items named by their paths in the folder tree ("/"-separated from the
// root, as a listing shows them; "/" alone is the whole volume). Every path
// must name a folder or a file: the first that names nothing is the error.
struct ItemsByPath {
  RecoverySelection selection;
  Outcome outcome;
};
ItemsByPath SelectItemsByPath(const Session& session, const FolderTreeModel& tree, const std::vector<std::string>& paths);

// The folder tree's nodes and the files (by store position) chosen in a
// window, as a recovery selection.
RecoverySelection SelectItemsByNodes(const Session& session, const FolderTreeModel& tree,
                                     const std::vector<TreeNodeId>& folderNodes, const std::vector<std::uint32_t>& files);

// Opens (creating it when missing) the folder that receives a recovery. A
// folder on the disk being recovered is refused before anything is created
// there; a folder on the file system that holds the image is warned about.
struct Destination {
  std::unique_ptr<HostFolder> folder;
  Outcome outcome;
};
Destination OpenRecoveryDestination(const Session& session, const std::string& path);

// The selection's files that the filters and the deleted-file setting
// admit, counted once each, and the bytes they would take at the
// destination. Duplicates are not foreseen (a skipped one takes nothing, a
// renamed one its size).
struct RecoveryTotals {
  std::uint32_t files = 0;
  std::uint64_t bytes = 0;
};
RecoveryTotals TotalsToRecover(const Session& session, const FolderTreeModel& tree, const RecoverySelection& selection);

// Copies the selection into `destination`, as the items' folder `tree` shows
// it; Stop Saving and Skip File are in `run`. Runs on the caller's thread.
// How many threads a recovery run writes files on.
unsigned RecoveryWriterThreads();

RecoverySummary RecoverItems(Session& session, const FolderTreeModel& tree, const RecoverySelection& selection,
                             const HostFolder& destination, UiPort& ui, SavingView& saving, RecoveryRunState& run);

}  // namespace salvex
