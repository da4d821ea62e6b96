#pragma once

#include <cstddef>

#include "deepscan/hits.h"
#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "platform/ui_port.h"
#include "volume/volume_parameters.h"
#include "wizard/item_list_model.h"

namespace salvex::wizard {

// The rows of the two boxes that only show information, labels padded as
// the boxes have always shown them.

// "Drive Information": the mounted volume's type, geometry and counts. The
// FAT lines read "N/A" for NTFS, the MFT line for FAT.
PanelRows DriveInformationRows(const VolumeParameters& volume, const ItemCounters& counters, const HitLists& hits);

// "File/Folder Properties" of a row of the list. A file's size is in KB,
// rounded up by one whole KB (so an empty file shows 1 KB); a folder's is the
// total of the files in it and every folder below it, in whole MB ("Less
// than 1" below one), with the number of those files and folders.
PanelRows PropertiesRows(const ItemListModel& list, std::size_t row, const ItemStore& store,
                         const FolderTreeModel& tree);

}  // namespace salvex::wizard
