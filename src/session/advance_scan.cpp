#include "session/advance_scan.h"

#include "deepscan/classify_fat.h"
#include "deepscan/sweep.h"
#include "partition/disk_sector_size.h"

namespace salvex {

void RunAdvanceScan(SectorReader& reader, ScanState& scan, const RecoverySettings& settings, UiPort& ui,
                    DeepScanState& state) {
  state.Clear();
  SweepContext sweep{reader, scan, settings, ui, state.hits};
  sweep.alignment = DiskSectorScale(reader);
  if (scan.selectedFsType == FsType::ntfs) {
    SweepNtfs(sweep);
  } else if (scan.selectedFsType == FsType::exfat) {
    SweepExfat(sweep);
  } else if (IsFatType(scan.selectedFsType)) {
    SweepFat(sweep);
  }
  ui.SetStopVisible(false);
  ClassifyLoadedHits(reader, scan, ui, state);
}

void ClassifyLoadedHits(SectorReader& reader, ScanState& scan, UiPort& ui, DeepScanState& state) {
  state.found.clear();
  state.classifiedCount = 0;
  ClassifyContext classify{reader, scan, ui, state};
  ClassifyHits(classify);
  ui.SetProgress(0);
  ui.ShowProgress(false);
  ui.SetStatus("");
}

bool RunMount(MountContext& context) {
  switch (context.volume.volume.fsType) {
    case FsType::ntfs: return MountNtfs(context);
    case FsType::exfat: return MountExfat(context);
    default: return MountFat(context);
  }
}

}  // namespace salvex
