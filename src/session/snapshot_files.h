#pragma once

#include <string>
#include <string_view>

#include "items/folder_tree.h"
#include "platform/ui_port.h"
#include "session/outcome.h"
#include "session/session.h"

namespace salvex {

// Whether a snapshot file is an Advance Scan's (.RS2), by its extension.
bool IsAdvanceSnapshotPath(std::string_view path);

// Loads a tree snapshot (.RSNP) in place of a scan: the range, the volume
// and the items, then the folder tree under the sink's root. The state is
// left as it was when the file cannot be read or is not a snapshot.
Outcome LoadTreeSnapshotFile(Session& session, const std::string& path, UiPort& ui, FolderTreeSink& tree,
                             TreeNodeId root);

// Loads the hits of an advance-scan snapshot (.RS2) in place of a sweep and
// classifies them into found file systems.
Outcome LoadAdvanceSnapshotFile(Session& session, const std::string& path, UiPort& ui);

// How a snapshot's file is named from the path chosen: its name upper-cased
// (the command line, as it always has), or as the user typed it (the
// window's file chooser). Either way the extension is added when the name
// does not end with it.
enum class SnapshotName { upperCased, asChosen };

struct SavedSnapshot {
  enum class Failure { none, cannotCreate, isBeingRead, onScannedDisk };
  std::string path;  // the chosen path, named as asked, with the extension
  Failure failure = Failure::none;
  std::string reason;  // for onScannedDisk: why, naming the disk
};

// Saves the scan's results as a tree snapshot, never over a file the run
// reads, nor on the disk being read.
SavedSnapshot SaveTreeSnapshotFile(const Session& session, const std::string& chosenPath,
                                   SnapshotName naming = SnapshotName::upperCased);
// Saves the Advance Scan's hits as an advance-scan snapshot.
SavedSnapshot SaveAdvanceSnapshotFile(const Session& session, const std::string& chosenPath,
                                      SnapshotName naming = SnapshotName::upperCased);

}  // namespace salvex
