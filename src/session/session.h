#pragma once

#include "deepscan/found_file_system.h"
#include "disk/disk_table.h"
#include "disk/scan_state.h"
#include "disk/sector_reader.h"
#include "volume/volume_context.h"
#include "volume/volume_parameters.h"
#include "items/item_store.h"
#include "recovery/recovery_admission.h"
#include "items/recovery_settings.h"
#include "partition/partition_record.h"
#include "search/file_filters.h"

namespace salvex {

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
  SectorReader reader{settings.badSectorRetries};

  VolumeContext Volume(UiPort& ui) { return {reader, scan, volume, ui}; }
  // The filters as the listing and the recovery apply them.
  FileFilter PassesFilters() const {
    return [this](std::string_view name) { return filters.PassesFilters(name); };
  }
};

}  // namespace salvex
