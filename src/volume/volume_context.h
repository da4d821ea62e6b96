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

// The volume's last sector: a found file system's own end when known, else
// the chosen range's.
inline SectorNumber LastVolumeSector(const VolumeParameters& volume, const ScanState& scan) {
  return volume.volumeEnd != 0 ? volume.volumeEnd : scan.rangeEnd;
}

}  // namespace salvex
