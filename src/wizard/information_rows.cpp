#include "wizard/information_rows.h"

#include <unordered_map>
#include <vector>

#include "deepscan/found_file_system.h"
#include "items/volume_kind.h"
#include "wizard/size_text.h"

namespace salvex::wizard {
namespace {

// As the list shows a size, and to the byte: "1.2 KB (1200 bytes)".
std::string PropertiesSizeText(std::uint64_t bytes) {
  const std::string shown = SizeText(bytes);
  return bytes < 1024 ? shown : shown + " (" + ExactSizeText(bytes) + ")";
}

struct FolderTotals {
  std::uint32_t folders = 0;
  std::uint32_t files = 0;
  std::uint64_t bytes = 0;
};

// The folder at `node` and every folder below it in the tree, each with the
// files whose parent it is.
template <typename Kind>
FolderTotals TotalsBelow(const ItemStore& store, const FolderTreeModel& tree, TreeNodeId node) {
  std::unordered_map<TreeNodeId, std::uint32_t> keyOfNode;
  for (const auto& folder : Kind::Folders(store).Items()) keyOfNode.emplace(folder.treeNode, Kind::KeyOf(folder));
  FolderTotals totals;
  std::vector<TreeNodeId> pending{node};
  while (!pending.empty()) {
    const TreeNodeId at = pending.back();
    pending.pop_back();
    if (!tree.Contains(at)) continue;
    ++totals.folders;
    const auto key = keyOfNode.find(at);
    const std::uint32_t folderKey = key != keyOfNode.end() ? key->second : Kind::kRootKey;
    for (const std::uint32_t position : Kind::Files(store).ChildrenOf(folderKey)) {
      ++totals.files;
      totals.bytes += Kind::Files(store).Items()[position].size;
    }
    for (const TreeNodeId child : tree.Children(at)) pending.push_back(child);
  }
  return totals;
}

}  // namespace

PanelRows DriveInformationRows(const VolumeParameters& volume, const ItemCounters& counters, const HitLists& hits) {
  const bool ntfs = volume.fsType == FsType::ntfs;
  // The start is the file system's first sector, as the found file
  // systems' panel and the partitions' have it, not where its data begins.
  PanelRows rows = {
      {"File System          :", FsTypeText(volume.fsType)},
      {"Start Sector         :", std::to_string(FirstSectorOf(volume))},
      {"Directories           :", std::to_string(counters.folderCount)},
      {"Files                     :", std::to_string(ntfs ? hits.filesFound : counters.fileCount)},
      {"Sectors Per Cluster :", std::to_string(volume.sectorsPerCluster)},
  };
  // Only the lines that apply: an NTFS volume has no FAT, a FAT volume no
  // MFT, and an exFAT volume mostly one FAT.
  if (ntfs) {
    rows.push_back({"MFT Start            :", std::to_string(volume.mftStart)});
    return rows;
  }
  const bool exfat = volume.fsType == FsType::exfat;
  if (!exfat || volume.fat1Start != 0) rows.push_back({"First FAT              :", std::to_string(volume.fat1Start)});
  if (!exfat || volume.fat2Start != 0) rows.push_back({"Second FAT        :", std::to_string(volume.fat2Start)});
  return rows;
}

PanelRows PropertiesRows(const ItemListModel& list, std::size_t row, const ItemStore& store,
                         const FolderTreeModel& tree) {
  const ItemRow texts = list.Row(row);
  const ItemListModel::Entry& entry = list.At(row);
  const bool ntfs = list.Source() == ItemSource::ntfs;
  std::string size;
  std::string contains;
  if (!entry.folder) {
    const std::uint64_t bytes =
        ntfs ? store.NtfsFiles().Items()[entry.position].size : store.FatFiles().Items()[entry.position].size;
    size = PropertiesSizeText(bytes);
  } else {
    const TreeNodeId node = list.FolderNode(row).value_or(0);
    const FolderTotals totals =
        ntfs ? TotalsBelow<NtfsKind>(store, tree, node) : TotalsBelow<FatKind>(store, tree, node);
    size = PropertiesSizeText(totals.bytes);
    // The folder itself is not one of the folders it contains.
    contains = std::to_string(totals.files) + " File(s) and " +
               std::to_string(totals.folders == 0 ? 0 : totals.folders - 1) + " Folder(s)";
  }
  return {
      {"Name :", texts.name},
      {"Size                            :", size},
      {"Contains                     :", contains},
      {"Creation Date              :", texts.created},
      {"Modification Date       :", texts.modified},
  };
}

}  // namespace salvex::wizard
