#include "items/folder_tree.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace salvex {
namespace {

// Duplicate keys (an NTFS Standard Scan keeps them) repeat a subtree under
// every copy; this bound keeps a chain of duplicates from multiplying without
// end, while leaving stores with unique keys untouched.
constexpr int kMaxExpansionsPerKey = 16;

template <typename Folder, typename KeyOf>
void BuildTree(ItemList<Folder>& folders, ItemCounters& counters, FolderTreeSink& sink, UiPort& ui,
               TreeNodeId rootNode, std::uint32_t rootKey, KeyOf keyOf) {
  struct Frame {
    std::span<const std::uint32_t> children;
    std::size_t next;
    TreeNodeId node;
    std::uint32_t key;
  };
  counters.treePlacedCount = 0;
  const std::uint32_t divisor = std::max<std::uint32_t>(1, counters.folderCount);
  ui.SetProgress(0);

  std::vector<Frame> path{{folders.ChildrenOf(rootKey), 0, rootNode, rootKey}};
  std::unordered_set<std::uint32_t> onPath{rootKey};
  std::unordered_map<std::uint32_t, int> expansions;
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.next == frame.children.size()) {
      onPath.erase(frame.key);
      path.pop_back();
      continue;
    }
    Folder& folder = folders.At(frame.children[frame.next++]);
    ++counters.treePlacedCount;
    ui.SetProgress(ProgressPercent(counters.treePlacedCount, divisor));
    folder.treeNode = sink.InsertNode(frame.node, folder.name, kFolderImage, kOpenFolderImage);
    const std::uint32_t key = keyOf(folder);
    if (onPath.contains(key) || ++expansions[key] > kMaxExpansionsPerKey) continue;
    onPath.insert(key);
    path.push_back({folders.ChildrenOf(key), 0, folder.treeNode, key});
  }
  sink.ExpandNode(rootNode);
}

}  // namespace

void BuildFatFolderTree(ItemStore& store, FolderTreeSink& sink, UiPort& ui, TreeNodeId rootNode) {
  BuildTree(store.FatFolders(), store.counters, sink, ui, rootNode, kFatRootKey,
            [](const FatFolderItem& folder) { return folder.firstCluster; });
}

void BuildNtfsFolderTree(ItemStore& store, FolderTreeSink& sink, UiPort& ui, TreeNodeId rootNode) {
  BuildTree(store.NtfsFolders(), store.counters, sink, ui, rootNode, kNtfsRootKey,
            [](const NtfsFolderItem& folder) { return folder.recordNumber; });
}

}  // namespace salvex
