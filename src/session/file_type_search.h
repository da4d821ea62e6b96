#pragma once

#include <cstdint>
#include <vector>

#include "items/folder_tree.h"
#include "items/item_store.h"
#include "platform/ui_port.h"
#include "session/carving.h"
#include "session/outcome.h"
#include "session/session.h"

namespace salvex {

// The window's Search by File Type: files found by their content become
// items of the store, which the tree, the list, the preview, the filters,
// snapshots and recovery then take like any other, their bytes read from
// where they were found.

// Files a search by content found, as items of the store: a "Found by
// Content" folder in the root, below it a folder per type (the extension
// the file was found as: "jpg", "docx"), and in each the files of that
// type in the order found, named as a carve names them (the deleted entry's
// name, the name the content gives, or "f" and the sector it starts at),
// with the entry's write date. A file is deleted unless it starts in
// clusters a live file holds. The store is emptied first.
void FileCarvedItems(const std::vector<CarvedRecord>& found, ItemStore& store);

// The placement an item keeps of a record: its pieces as extents, its
// verdict and marks.
CarvedPlacement PlacementOf(const CarvedRecord& record);

struct ContentSearchResult {
  Outcome outcome;  // a failure leaves the store as the volume's scan left it
  std::uint32_t filesFound = 0;
  bool stopped = false;
};

// Searches the chosen partition or whole disk (PrepareCarveOfChosenRange)
// for the request's types, files what it finds into the store and places
// its folders under `root` of `tree`. Stop (the scan state's flag) ends it
// with what was found so far. Runs on the caller's thread.
ContentSearchResult SearchByFileType(Session& session, const CarveRequest& request, UiPort& ui, FolderTreeSink& tree,
                                     TreeNodeId root);

}  // namespace salvex
