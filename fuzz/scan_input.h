#pragma once

// The Standard Scan over the whole fuzz input, shared by the scan harnesses.

#include <cstdint>

#include "fuzz_support.h"
#include "items/folder_tree_model.h"
#include "platform/ui_port.h"
#include "session/standard_scan.h"

namespace salvex::fuzz {

// Scans the first `sectors` sectors of the input as a volume of `type`.
// Nobody presses Stop, so the scan either completes or finds nothing to scan.
inline StandardScanOutcome ScanWholeInput(Session& session, FsType type, std::uint32_t sectors,
                                          FolderTreeModel& tree) {
  session.scan.selectedFsType = type;
  session.scan.rangeSize = sectors;
  session.scan.rangeEnd = sectors - 1;
  SilentUiPort ui;
  VolumeContext context = session.Volume(ui);
  const StandardScanOutcome outcome = RunStandardScan(context, session.items, tree, FolderTreeModel::kRoot);
  FUZZ_CHECK(outcome == StandardScanOutcome::completed || outcome == StandardScanOutcome::notPossible);
  FUZZ_CHECK(!session.scan.StopRequested());
  return outcome;
}

}  // namespace salvex::fuzz
