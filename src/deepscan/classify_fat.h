#pragma once

#include "deepscan/found_file_system.h"
#include "disk/scan_state.h"
#include "disk/sector_reader.h"

namespace salvex {

struct ClassifyContext {
  SectorReader& reader;
  ScanState& scan;
  UiPort& ui;
  DeepScanState& state;
};

inline constexpr const char* kAnalysingDataFound = "Analysing data found........";

// Groups the FAT hits into found file systems: each boot sector whose
// geometry puts at least one found folder exactly in place, then file
// systems inferred from pairs of folders that fit one geometry. Every folder
// hit ends claimed or unplaced.
void ClassifyFat(ClassifyContext& context);

// Runs the FAT or the NTFS classification, as the range's type says.
void ClassifyHits(ClassifyContext& context);

}  // namespace salvex
