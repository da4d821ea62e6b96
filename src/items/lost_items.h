#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "items/item_store.h"
#include "items/volume_kind.h"

namespace salvex {

// What the root key does not reach through parent keys, and so goes into a
// "Lost Files" folder of the root: the top folders of the unreached subtrees
// (each keeps everything below it) and the files whose parent key names no
// folder at all. Positions in the store's lists, in list order.
struct LostItems {
  std::vector<std::uint32_t> topFolders;
  std::vector<std::uint32_t> files;

  bool Empty() const { return topFolders.empty() && files.empty(); }
};

// The files whose parent key is neither the root key nor any folder's key.
template <typename Kind>
std::vector<std::uint32_t> LostFilePositions(const ItemStore& store) {
  std::vector<std::uint32_t> lost;
  const auto& files = Kind::Files(store).Items();
  for (std::uint32_t position = 0; position < files.size(); ++position) {
    const std::uint32_t parent = Kind::ParentOf(files[position]);
    if (parent != Kind::kRootKey && !Kind::FindFolder(store, parent)) lost.push_back(position);
  }
  return lost;
}

// Linear in the number of items: each key is expanded once. A folder whose
// parent is missing heads its subtree; folders left after those lie on
// cycles of parent keys, and the first of each cycle in list order heads it.
template <typename Kind>
LostItems FindLostItems(const ItemStore& store) {
  const auto& folders = Kind::Folders(store);
  std::vector<bool> reached(folders.Size(), false);
  std::unordered_set<std::uint32_t> expanded;
  std::vector<std::uint32_t> keys;
  const auto reach = [&](std::uint32_t key) {
    if (!expanded.insert(key).second) return;
    keys.push_back(key);
    while (!keys.empty()) {
      const std::uint32_t next = keys.back();
      keys.pop_back();
      for (const std::uint32_t child : folders.ChildrenOf(next)) {
        reached[child] = true;
        const std::uint32_t childKey = Kind::ChildrenKey(folders.Items()[child]);
        if (expanded.insert(childKey).second) keys.push_back(childKey);
      }
    }
  };
  const auto head = [&](std::uint32_t position, LostItems& lost) {
    reached[position] = true;
    lost.topFolders.push_back(position);
    reach(Kind::ChildrenKey(folders.Items()[position]));
  };

  LostItems lost;
  reach(Kind::kRootKey);
  for (std::uint32_t position = 0; position < folders.Size(); ++position) {
    const std::uint32_t parent = Kind::ParentOf(folders.Items()[position]);
    if (!reached[position] && !Kind::FindFolder(store, parent)) head(position, lost);
  }
  for (std::uint32_t position = 0; position < folders.Size(); ++position) {
    if (!reached[position]) head(position, lost);
  }
  lost.files = LostFilePositions<Kind>(store);
  return lost;
}

}  // namespace salvex
