#pragma once

#include "deepscan/found_file_system.h"
#include "fat/walked_directories.h"
#include "volume/volume_context.h"
#include "items/item_store.h"

namespace salvex {

// What mounting a selected found file system works with; the volume
// parameters already hold its geometry (SelectFoundFileSystem).
struct MountContext {
  VolumeContext& volume;
  ItemStore& store;
  const DeepScanState& state;
  FolderTreeSink& tree;
  TreeNodeId treeRoot;
};

// Turns the folder hits the file system claimed into folder items named
// "Dir" + cluster, hangs those whose parent was not found under the root,
// finds the FATs when the geometry did not say where they are, reads every
// folder's directory (which names the folders and adds the files), lists the
// entries of the directory clusters the sweep found that no folder reached,
// settles the clusters of deleted files and builds the folder tree. Stop ends the directory reading. Returns false when
// stopped.
bool MountFat(MountContext& context);

// Makes folder items of the NTFS folder hits the file system claimed, hangs
// lost ones under "Dir" folders, and adds as files the file records that lie
// inside the file system, then builds the tree.
bool MountNtfs(MountContext& context);

// An exFAT file system: one found by its boot region is walked as the
// Standard Scan walks it (FAT, bitmap, root directory). One found from its
// entry sets alone lists the folders the classification claimed and every
// directory they and the root lead to, read as consecutive clusters; a
// folder whose parent was not read goes under a "Dir" folder named after
// the cluster of its entry set; the entry sets of clusters no directory
// read reached go under "Lost Files". Files are read as one run from their
// first cluster; two files over one cluster are marked (overwritten or
// conflicting). Returns false when stopped.
bool MountExfat(MountContext& context);

// Steps of the FAT mount, exposed for tests.
void LinkLostFatFolders(ItemStore& store);
void FindFats(VolumeContext& context);
// Records in `walked`, when given, the clusters it read as directories.
bool ReadFoundDirectories(VolumeContext& context, ItemStore& store, WalkedDirectories* walked = nullptr);

}  // namespace salvex
