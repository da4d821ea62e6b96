#include "wizard/information_rows.h"

#include <unordered_map>
#include <vector>

#include "items/volume_kind.h"

namespace salvex::wizard {
namespace {

constexpr const char* kNotApplicable = "N/A";

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
  const auto fatOnly = [ntfs](std::uint32_t value) { return ntfs ? kNotApplicable : std::to_string(value); };
  return {
      {"File System          :", FsTypeText(volume.fsType)},
      {"Start Sector         :", std::to_string(volume.clusterBase)},
      {"Directories           :", std::to_string(counters.folderCount)},
      {"Files                     :", std::to_string(ntfs ? hits.filesFound : counters.fileCount)},
      {"SPC                     :", std::to_string(volume.sectorsPerCluster)},
      {"First FAT              :", fatOnly(volume.fat1Start)},
      {"Second FAT        :", fatOnly(volume.fat2Start)},
      {"MFT Start            :", ntfs ? std::to_string(volume.mftStart) : kNotApplicable},
  };
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
    size = std::to_string(bytes / 1024 + 1) + " KB";
  } else {
    const TreeNodeId node = list.FolderNode(row).value_or(0);
    const FolderTotals totals =
        ntfs ? TotalsBelow<NtfsKind>(store, tree, node) : TotalsBelow<FatKind>(store, tree, node);
    const std::uint64_t megabytes = totals.bytes / 1024 / 1024;
    size = (megabytes == 0 ? std::string("Less than 1") : std::to_string(megabytes)) + " MB";
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
