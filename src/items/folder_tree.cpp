#include "items/folder_tree.h"

#include <algorithm>
#include <span>
#include <string>
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
class TreeBuild {
 public:
  TreeBuild(ItemList<Folder>& folders, ItemCounters& counters, FolderTreeSink& sink, UiPort& ui,
            std::uint32_t rootKey, KeyOf keyOf)
      : folders_(folders), counters_(counters), sink_(sink), ui_(ui), rootKey_(rootKey), keyOf_(keyOf) {}

  void Run(TreeNodeId rootNode) {
    counters_.treePlacedCount = 0;
    divisor_ = std::max<std::uint32_t>(1, counters_.folderCount);
    ui_.SetProgress(0);
    Place(folders_.ChildrenOf(rootKey_), {rootNode, 1, 0});
    if (!deferred_.empty()) {
      const std::uint32_t placedInPlace = counters_.treePlacedCount;
      const TreeNodeId lostFiles = sink_.InsertNode(rootNode, kLostFilesName, kFolderImage, kOpenFolderImage);
      // The list grows while it is read: a re-placed subtree can be deep too.
      for (std::size_t i = 0; i < deferred_.size(); ++i) {
        const std::uint32_t position = deferred_[i];
        Place(std::span(&position, 1), {lostFiles, 2, kLostFilesName.size()});
      }
      ui_.Notice(NoticeKind::information,
                 std::to_string(counters_.treePlacedCount - placedInPlace) + " folder(s) lie deeper than " +
                     std::to_string(kMaxTreeDepth) + " levels or " + std::to_string(kMaxTreePathBytes) +
                     " bytes of path: they are listed under \"" + std::string(kLostFilesName) + "\"");
    }
    sink_.ExpandNode(rootNode);
  }

 private:
  // Where a list of children goes: the parent's node, the children's depth,
  // and the length of the parent's path.
  struct Spot {
    TreeNodeId node;
    std::size_t depth;
    std::size_t pathBytes;
  };

  // Places `children` under `start`, each with its subtree, depth first and
  // without recursion; what would lie deeper than the limits is left to
  // `deferred_` (never `children` themselves, so a re-placed folder stays).
  void Place(std::span<const std::uint32_t> children, Spot start) {
    struct Frame {
      std::span<const std::uint32_t> children;
      std::size_t next;
      Spot spot;
      std::uint32_t key;
    };
    std::vector<Frame> path{{children, 0, start, rootKey_}};
    std::unordered_set<std::uint32_t> onPath{rootKey_};
    while (!path.empty()) {
      Frame& frame = path.back();
      if (frame.next == frame.children.size()) {
        onPath.erase(frame.key);
        path.pop_back();
        continue;
      }
      const std::uint32_t position = frame.children[frame.next++];
      Folder& folder = folders_.At(position);
      const Spot& spot = frame.spot;
      const std::size_t pathBytes = spot.pathBytes + 1 + folder.name.size();
      if (path.size() > 1 && (spot.depth > kMaxTreeDepth || pathBytes > kMaxTreePathBytes)) {
        deferred_.push_back(position);
        continue;
      }
      ++counters_.treePlacedCount;
      ui_.SetProgress(ProgressPercent(counters_.treePlacedCount, divisor_));
      folder.treeNode = sink_.InsertNode(spot.node, folder.name, kFolderImage, kOpenFolderImage);
      const std::uint32_t key = keyOf_(folder);
      if (onPath.contains(key) || ++expansions_[key] > kMaxExpansionsPerKey) continue;
      onPath.insert(key);
      path.push_back({folders_.ChildrenOf(key), 0, {folder.treeNode, spot.depth + 1, pathBytes}, key});
    }
  }

  ItemList<Folder>& folders_;
  ItemCounters& counters_;
  FolderTreeSink& sink_;
  UiPort& ui_;
  const std::uint32_t rootKey_;
  KeyOf keyOf_;
  std::uint32_t divisor_ = 1;
  std::unordered_map<std::uint32_t, int> expansions_;
  std::vector<std::uint32_t> deferred_;  // positions of the folders below the depth limit
};

}  // namespace

void BuildFatFolderTree(ItemStore& store, FolderTreeSink& sink, UiPort& ui, TreeNodeId rootNode) {
  const auto keyOf = [](const FatFolderItem& folder) { return folder.firstCluster; };
  TreeBuild(store.FatFolders(), store.counters, sink, ui, kFatRootKey, keyOf).Run(rootNode);
}

void BuildNtfsFolderTree(ItemStore& store, FolderTreeSink& sink, UiPort& ui, TreeNodeId rootNode) {
  const auto keyOf = [](const NtfsFolderItem& folder) { return folder.recordNumber; };
  TreeBuild(store.NtfsFolders(), store.counters, sink, ui, kNtfsRootKey, keyOf).Run(rootNode);
}

}  // namespace salvex
