#pragma once

#include <cstdint>

#include "volume/volume_context.h"
#include "items/item_store.h"
#include "ntfs/mft_run_list.h"

namespace salvex {

inline constexpr const char* kCreatingDirectoryTree = "Creating Directory Tree";
inline constexpr const char* kSearchingForLostData = "Searching For Lost Data";

// The Standard Scan of an NTFS volume: reads every record of the MFT in
// record-number order through the MFT's run list and turns every folder
// record into a folder item and every other named record into a file item,
// deleted ones included. Stop ends it at the next record; what was read
// stays. Returns false when Stop cut it short.
bool ScanNtfsVolume(VolumeContext& context, ItemStore& store, MftRunList& runList);

// Hangs folders (and, in a Standard Scan, files) whose parent record was never
// seen under made-up folders "Dir0", "Dir1", ... below the root, one per
// missing parent record. `counter` numbers them and is kept by the caller.
void LinkLostNtfsFolders(ItemStore& store, ScanState& scan, UiPort& ui, std::uint32_t& counter);

}  // namespace salvex
