#pragma once

#include <cstdint>

#include "items/folder_tree.h"
#include "platform/ui_port.h"
#include "session/outcome.h"
#include "session/session.h"
#include "session/standard_scan.h"

namespace salvex {

// The scans of a session, each run to its end on the caller's thread (a
// front end runs them on its worker); Stop ends them early.

// The Standard Scan of the chosen partition or range into the store, with
// its folder tree under `root`.
StandardScanOutcome StandardScan(Session& session, UiPort& ui, FolderTreeSink& tree, TreeNodeId root);

// The Advance Scan's sweep of the chosen range and the classification of
// its hits into found file systems.
void SweepAndClassify(Session& session, UiPort& ui);

// Selects found file system `ordinal` (from 1) and mounts it into the store;
// `completed` is false when Stop cut the reading of its folders short.
Outcome MountFoundFileSystem(Session& session, std::uint16_t ordinal, UiPort& ui, FolderTreeSink& tree,
                             TreeNodeId root, bool& completed);

// The quick search for lost partitions on the open disk, with the geometry
// of disk slot diskIndex, or, for a disk the table does not list (the
// command line's image), the geometry every image is given.
void QuickSearch(Session& session, UiPort& ui);

// The items of the store's NTFS half are the ones to show and recover.
inline bool ItemsAreNtfs(const Session& session) { return session.volume.fsType == FsType::ntfs; }

}  // namespace salvex
