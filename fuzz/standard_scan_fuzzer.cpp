// The input is a small disk holding one FAT volume at sector 0: the whole
// Standard Scan over it (geometry, directory walk, folder tree) as FAT12,
// FAT16, FAT32 and exFAT. Reads past the end of the input fail, as on a short disk.

#include <algorithm>

#include "fuzz_support.h"
#include "item_checks.h"
#include "items/folder_tree_model.h"
#include "scan_input.h"

using namespace salvex;

namespace {

// Keeps one run fast: the geometry sweep reads the whole range.
constexpr std::uint32_t kMaxRangeSectors = 4096;

void CheckScan(const ItemStore& store, const FolderTreeModel& tree) {
  const ItemCounters& counters = store.counters;
  FUZZ_CHECK(counters.folderCount == store.FatFolders().Size());
  FUZZ_CHECK(counters.fileCount == store.FatFiles().Size());
  for (const FatFileItem& file : store.FatFiles().Items()) FUZZ_CHECK(fuzz::IsUsableName(file.name));
  std::size_t placed = 0;
  for (const FatFolderItem& folder : store.FatFolders().Items()) {
    FUZZ_CHECK(fuzz::IsUsableName(folder.name));
    if (folder.treeNode == 0) continue;  // not reachable from the root
    ++placed;
    FUZZ_CHECK(tree.Contains(folder.treeNode) && tree.Text(folder.treeNode) == folder.name);
  }
  // First clusters are unique, so every folder is placed at most once.
  FUZZ_CHECK(placed == counters.treePlacedCount);
  FUZZ_CHECK(tree.NodeCount() == placed + 1 + (fuzz::LostFilesNode(store.FatFolders().Items(), tree) != 0 ? 1 : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto sectors = static_cast<std::uint32_t>(std::min<std::size_t>(size / kSectorSize, kMaxRangeSectors));
  if (sectors == 0) return 0;
  // One disk for every type: copying a large input is most of a run's time.
  Session session;
  fuzz::OpenInput(session, data, size);
  for (const FsType type : {FsType::fat12, FsType::fat16, FsType::fat32, FsType::exfat}) {
    session.volume = {};
    session.items = {};
    FolderTreeModel tree;
    fuzz::ScanWholeInput(session, type, sectors, tree);
    CheckScan(session.items, tree);
  }
  return 0;
}
