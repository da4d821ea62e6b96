#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace salvex {

// Items in the order they were found, with an index from a parent key to the
// positions of its children (in the same order), so listing a folder or
// building the tree never scans the whole list.
template <typename Item>
class ItemList {
 public:
  void Append(Item item, std::uint32_t parentKey) {
    byParent_[parentKey].push_back(static_cast<std::uint32_t>(items_.size()));
    items_.push_back(std::move(item));
  }

  void Clear() {
    items_.clear();
    byParent_.clear();
  }

  const std::vector<Item>& Items() const { return items_; }
  Item& At(std::uint32_t position) { return items_[position]; }
  std::size_t Size() const { return items_.size(); }

  std::span<const std::uint32_t> ChildrenOf(std::uint32_t parentKey) const {
    const auto found = byParent_.find(parentKey);
    if (found == byParent_.end()) return {};
    return found->second;
  }

 private:
  std::vector<Item> items_;
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> byParent_;
};

}  // namespace salvex
