#pragma once

#include "deepscan/found_file_system.h"
#include "deepscan/mount.h"
#include "disk/scan_state.h"
#include "disk/sector_reader.h"
#include "items/recovery_settings.h"
#include "platform/ui_port.h"

namespace salvex {

// The Advance Scan of the chosen range: empties the lists of the last one,
// sweeps the range as its type says (FAT, exFAT or NTFS), then classifies
// the hits into found file systems.
// Stop ends the sweep; the classification still runs on what was found.
void RunAdvanceScan(SectorReader& reader, ScanState& scan, const RecoverySettings& settings, UiPort& ui,
                    DeepScanState& state);

// Classifies hits that did not come from a sweep just now (a loaded
// advance-scan snapshot): the found file systems are made anew.
void ClassifyLoadedHits(SectorReader& reader, ScanState& scan, UiPort& ui, DeepScanState& state);

// Mounts the selected found file system (FAT, exFAT or NTFS). Returns false when
// Stop cut the directory reading short.
bool RunMount(MountContext& context);

}  // namespace salvex
