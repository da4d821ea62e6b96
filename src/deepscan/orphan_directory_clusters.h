#pragma once

#include <cstdint>
#include <vector>

#include "fat/walked_directories.h"
#include "items/item_store.h"
#include "volume/volume_context.h"

namespace salvex {

// Lists the entries of the directory clusters the sweep found (by any of
// their sectors, `directorySectors`) that no folder read in `walked`: a
// deleted folder's later clusters, whose FAT links are gone. A run of such
// clusters that starts right after a deleted folder's last cluster read,
// where that folder had not met its end mark, is that folder's: its entries
// go under it while the run stays within a directory's 100 clusters. Every
// other run's entries go under kLostEntriesKey, for "Lost Files". All of
// them count as deleted: no live folder reaches them. Each cluster is read
// once, so no entry is listed twice.
void ListOrphanDirectoryClusters(VolumeContext& context, ItemStore& store,
                                 const std::vector<SectorNumber>& directorySectors, const WalkedDirectories& walked);

}  // namespace salvex
