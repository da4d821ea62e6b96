#pragma once

#include <optional>

#include "deepscan/found_file_system.h"
#include "disk/disk_table.h"
#include "disk/scan_state.h"
#include "disk/sector_reader.h"
#include "imaging/rescue_map.h"
#include "items/item_store.h"
#include "items/recovery_settings.h"
#include "partition/partition_record.h"
#include "platform/protected_files.h"
#include "recovery/recovery_admission.h"
#include "search/file_filters.h"
#include "volume/volume_context.h"
#include "volume/volume_parameters.h"

namespace salvex {

// How a disk that the user may not read is opened. Asking udisks2 (and
// through it polkit, for the password) is the window's way; the command line
// asks only when told to.
struct DiskAccess {
  bool askUdisks = false;
};

// Everything one run of the program knows: created by main() (or by a test),
// and handed piece by piece to the operations that need it.
struct Session {
  RecoverySettings settings;
  ScanState scan;
  DiskTable disks;
  PartitionTable partitions;
  VolumeParameters volume;
  ItemStore items;
  DeepScanState deepScan;
  FilterTable filters;
  DiskAccess diskAccess;
  SectorReader reader{settings.badSectorRetries};
  // The snapshot the items were loaded from, if any: read, so never written.
  std::optional<FileIdentity> snapshotFile;
  // The map of the image being read, when one was given: what of the disk
  // was never read into it.
  std::optional<RescueMap> imageMap;

  VolumeContext Volume(UiPort& ui) { return {reader, scan, volume, ui}; }
  // The filters as the listing and the recovery apply them.
  FileFilter PassesFilters() const {
    return [this](std::string_view name) { return filters.PassesFilters(name); };
  }
  // The files this run reads (the disk or image, a loaded snapshot): nothing
  // it writes may land on one of them.
  ProtectedFiles FilesBeingRead() const {
    ProtectedFiles files;
    if (reader.IsOpen()) {
      if (const auto disk = reader.Source()->Identity()) files.Add(*disk);
    }
    if (snapshotFile) files.Add(*snapshotFile);
    return files;
  }
};

}  // namespace salvex
