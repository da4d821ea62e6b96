#pragma once

#include "disk/scan_state.h"
#include "disk/sector_reader.h"
#include "volume/volume_parameters.h"
#include "platform/ui_port.h"

namespace salvex {

// What the volume operations work with: the disk, the chosen range (and the
// Stop flag), the geometry they read or fill, and the user interface.
struct VolumeContext {
  SectorReader& reader;
  ScanState& scan;
  VolumeParameters& volume;
  UiPort& ui;
};

}  // namespace salvex
