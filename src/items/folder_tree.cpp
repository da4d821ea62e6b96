#include "items/folder_tree.h"

#include <algorithm>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "items/lost_items.h"

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

  void Run(TreeNodeId rootNode, const LostItems& lost) {
    counters_.treePlacedCount = 0;
    divisor_ = std::max<std::uint32_t>(1, counters_.folderCount);
    ui_.SetProgress(0);
    Place(folders_.ChildrenOf(rootKey_), {rootNode, 1, 0});
    if (!deferred_.empty() || !lost.Empty()) {
      const TreeNodeId lostFiles = sink_.InsertNode(rootNode, kLostFilesName, kFolderImage, kOpenFolderImage);
      const Spot inLostFiles{lostFiles, 2, kLostFilesName.size()};
      std::uint32_t tooDeep = PlaceDeferred(inLostFiles);
      for (const std::uint32_t position : lost.topFolders) {
        Place(std::span(&position, 1), inLostFiles);
        tooDeep += PlaceDeferred(inLostFiles);
      }
      if (tooDeep > 0) {
        ui_.Notice(NoticeKind::information,
                   std::to_string(tooDeep) + " folder(s) lie deeper than " + std::to_string(kMaxTreeDepth) +
                       " levels or " + std::to_string(kMaxTreePathBytes) + " bytes of path: they are listed under \"" +
                       std::string(kLostFilesName) + "\"");
      }
    }
    sink_.ExpandNode(rootNode);
  }

 private:
  struct Spot;

  // Places the folders left to `deferred_` since the last call, with their
  // subtrees, under "Lost Files"; returns how many folders that placed. The
  // list grows while it is read: a re-placed subtree can be deep too.
  std::uint32_t PlaceDeferred(const Spot& inLostFiles) {
    const std::uint32_t before = counters_.treePlacedCount;
    for (; deferredPlaced_ < deferred_.size(); ++deferredPlaced_) {
      const std::uint32_t position = deferred_[deferredPlaced_];
      Place(std::span(&position, 1), inLostFiles);
    }
    return counters_.treePlacedCount - before;
  }

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
      std::uint32_t position;  // the folder whose children these are
    };
    constexpr std::uint32_t kNoFolder = UINT32_MAX;
    std::vector<Frame> path{{children, 0, start, rootKey_, kNoFolder}};
    std::unordered_set<std::uint32_t> onPath{rootKey_};
    // A folder is never placed inside itself: a lost cycle of parent keys is
    // shown once, from the folder that heads it.
    std::unordered_set<std::uint32_t> positionsOnPath;
    while (!path.empty()) {
      Frame& frame = path.back();
      if (frame.next == frame.children.size()) {
        onPath.erase(frame.key);
        positionsOnPath.erase(frame.position);
        path.pop_back();
        continue;
      }
      const std::uint32_t position = frame.children[frame.next++];
      if (positionsOnPath.contains(position)) continue;
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
      positionsOnPath.insert(position);
      path.push_back({folders_.ChildrenOf(key), 0, {folder.treeNode, spot.depth + 1, pathBytes}, key, position});
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
  std::size_t deferredPlaced_ = 0;
};

}  // namespace

void BuildFatFolderTree(ItemStore& store, FolderTreeSink& sink, UiPort& ui, TreeNodeId rootNode) {
  const LostItems lost = FindLostItems<FatKind>(store);
  const auto keyOf = [](const FatFolderItem& folder) { return ChildrenKeyOf(folder); };
  TreeBuild(store.FatFolders(), store.counters, sink, ui, kFatRootKey, keyOf).Run(rootNode, lost);
}

void BuildNtfsFolderTree(ItemStore& store, FolderTreeSink& sink, UiPort& ui, TreeNodeId rootNode) {
  const LostItems lost = FindLostItems<NtfsKind>(store);
  const auto keyOf = [](const NtfsFolderItem& folder) { return folder.recordNumber; };
  TreeBuild(store.NtfsFolders(), store.counters, sink, ui, kNtfsRootKey, keyOf).Run(rootNode, lost);
}

}  // namespace salvex
