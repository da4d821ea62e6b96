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

// "Drive Information": the mounted volume's type, first sector, geometry
// and counts; the FAT lines for a FAT volume, the MFT line for NTFS.
PanelRows DriveInformationRows(const VolumeParameters& volume, const ItemCounters& counters, const HitLists& hits);

// "File/Folder Properties" of a row of the list. A file's size as the list
// shows it and to the byte; a folder's is the total of the files in it and
// every folder below it, the same way, with the number of those files and
// folders.
PanelRows PropertiesRows(const ItemListModel& list, std::size_t row, const ItemStore& store,
                         const FolderTreeModel& tree);

}  // namespace salvex::wizard
