#include "search/find_files.h"

#include "items/item_paths.h"
#include "items/volume_kind.h"
#include "search/match_pattern.h"

namespace salvex {
namespace {

template <typename Kind>
std::vector<FoundFileRow> Find(const ItemStore& store, const FolderTreeModel& tree, std::string_view pattern,
                               const std::atomic<bool>& stop,
                               const std::function<void(const FoundFileRow&, std::size_t)>& onRow) {
  std::vector<FoundFileRow> rows;
  const std::u32string upperPattern = UpperCase(DecodeUtf8(pattern));
  const ItemPaths<Kind> paths(store, tree);
  const auto& files = Kind::Files(store).Items();
  for (std::uint32_t position = 0; position < files.size(); ++position) {
    if (stop.load(std::memory_order_relaxed)) break;
    const auto& file = files[position];
    const std::u32string upperName = UpperCase(DecodeUtf8(file.name));
    if (!MatchPattern(upperName, upperPattern)) continue;
    FoundFileRow row;
    row.name = EncodeUtf8(upperName);
    row.size = file.size;
    row.deleted = file.deleted;
    const auto node = paths.NodeOfKey(Kind::ParentOf(file));
    row.path = "\\" + (node ? tree.Path(*node, '\\') : std::string());
    row.reachable = node.has_value();
    row.position = position;
    row.folderNode = node.value_or(0);
    rows.push_back(std::move(row));
    if (onRow) onRow(rows.back(), rows.size());
  }
  return rows;
}

}  // namespace

std::vector<FoundFileRow> FindFiles(const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                                    std::string_view pattern, const std::atomic<bool>& stop,
                                    const std::function<void(const FoundFileRow&, std::size_t)>& onRow) {
  return ntfs ? Find<NtfsKind>(store, tree, pattern, stop, onRow) : Find<FatKind>(store, tree, pattern, stop, onRow);
}

}  // namespace salvex
