// The input is a small disk holding one NTFS volume at sector 0: the whole
// Standard Scan over it (boot sector, MFT run list, record scan, lost
// folders, folder tree). When neither boot sector copy is usable, the record
// scan runs anyway with the MFT where mkntfs puts it on a small volume, so
// inputs whose boot sector the fuzzer broke still reach the records.

#include <algorithm>

#include "volume/read_volume_parameters.h"
#include "item_checks.h"
#include "items/folder_tree_model.h"
#include "ntfs/ntfs_scan.h"
#include "scan_input.h"

using namespace salvex;

namespace {

// mkntfs on a few-MB volume: 4096-byte clusters, the MFT at cluster 4.
constexpr std::uint32_t kFallbackSectorsPerCluster = 8;
constexpr std::uint32_t kFallbackMftStart = 32;

void CheckScan(const ItemStore& store, const FolderTreeModel& tree) {
  fuzz::CheckNtfsItems(store, tree);
  for (const NtfsFolderItem& folder : store.NtfsFolders().Items()) {
    // The root's own record is the tree's root, never a folder of its own.
    FUZZ_CHECK(folder.name != ".");
    FUZZ_CHECK(fuzz::HasKnownParent(store, folder));
  }
  // A Standard Scan links the parents of files too.
  for (const NtfsFileItem& file : store.NtfsFiles().Items()) {
    FUZZ_CHECK(file.parentRecord == kNtfsRootKey || store.FindNtfsFolder(file.parentRecord));
  }
}

// What RunStandardScan does after the geometry, with a geometry of our own.
void ScanWithFallbackGeometry(Session& session) {
  session.volume = {};
  session.volume.fsType = FsType::ntfs;
  session.volume.sectorsPerCluster = kFallbackSectorsPerCluster;
  session.volume.mftStart = kFallbackMftStart;
  session.items = {};
  SilentUiPort ui;
  FolderTreeModel tree;
  VolumeContext context = session.Volume(ui);
  MftRunList runList;
  FUZZ_CHECK(ScanNtfsVolume(context, session.items, runList));
  std::uint32_t lostFolders = 0;
  LinkLostNtfsFolders(session.items, session.scan, ui, lostFolders);
  BuildNtfsFolderTree(session.items, tree, ui, FolderTreeModel::kRoot);
  CheckScan(session.items, tree);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto sectors = static_cast<std::uint32_t>(std::min<std::size_t>(size / kSectorSize, UINT32_MAX));
  if (sectors == 0) return 0;
  Session session;
  fuzz::OpenInput(session, data, size);
  FolderTreeModel tree;
  const StandardScanOutcome outcome = fuzz::ScanWholeInput(session, FsType::ntfs, sectors, tree);
  if (outcome == StandardScanOutcome::completed) {
    FUZZ_CHECK(session.volume.fsType == FsType::ntfs && session.volume.clusterBase == 0);
    FUZZ_CHECK(session.volume.mftStart != 0 || session.volume.mftMirrStart != 0);
    CheckScan(session.items, tree);
    return 0;
  }
  // Nothing is scanned without a geometry.
  FUZZ_CHECK(session.items.NtfsFolders().Size() == 0 && session.items.NtfsFiles().Size() == 0);
  FUZZ_CHECK(tree.NodeCount() == 1);
  ScanWithFallbackGeometry(session);
  return 0;
}
