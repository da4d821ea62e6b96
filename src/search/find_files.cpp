#include "search/find_files.h"

#include <optional>

#include "items/item_paths.h"
#include "items/volume_kind.h"
#include "search/match_pattern.h"

namespace salvex {

// The tree's index of one half; only that half's is built.
struct FoundRows::Paths {
  std::optional<ItemPaths<FatKind>> fat;
  std::optional<ItemPaths<NtfsKind>> ntfs;
};

namespace {

template <typename Kind>
FoundFileRow RowOf(const ItemStore& store, const FolderTreeModel& tree, const ItemPaths<Kind>& paths,
                   std::uint32_t position, std::u32string_view upperName) {
  const auto& file = Kind::Files(store).Items()[position];
  FoundFileRow row;
  row.name = EncodeUtf8(upperName);
  row.size = file.size;
  row.deleted = file.deleted;
  const auto node = paths.NodeOfKey(Kind::ParentOf(file));
  row.path = "\\" + (node ? tree.Path(*node, '\\') : std::string());
  row.reachable = node.has_value();
  row.position = position;
  row.folderNode = node.value_or(0);
  return row;
}

const std::string& NameOf(const ItemStore& store, bool ntfs, std::uint32_t position) {
  return ntfs ? store.NtfsFiles().Items()[position].name : store.FatFiles().Items()[position].name;
}

}  // namespace

FoundRows::FoundRows(const ItemStore& store, const FolderTreeModel& tree, bool ntfs)
    : store_(store), tree_(tree), ntfs_(ntfs), paths_(std::make_unique<Paths>()) {
  if (ntfs) {
    paths_->ntfs.emplace(store, tree);
  } else {
    paths_->fat.emplace(store, tree);
  }
}

FoundRows::~FoundRows() = default;

std::uint32_t FoundRows::FileCount() const {
  return static_cast<std::uint32_t>(ntfs_ ? store_.NtfsFiles().Size() : store_.FatFiles().Size());
}

bool FoundRows::NameMatches(std::uint32_t position, std::u32string_view upperPattern) const {
  return MatchPattern(UpperCase(DecodeUtf8(NameOf(store_, ntfs_, position))), upperPattern);
}

FoundFileRow FoundRows::Row(std::uint32_t position) const {
  const std::u32string upperName = UpperCase(DecodeUtf8(NameOf(store_, ntfs_, position)));
  return ntfs_ ? RowOf(store_, tree_, *paths_->ntfs, position, upperName)
               : RowOf(store_, tree_, *paths_->fat, position, upperName);
}

std::vector<FoundFileRow> FindFiles(const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                                    std::string_view pattern, const std::atomic<bool>& stop,
                                    const std::function<void(const FoundFileRow&, std::size_t)>& onRow) {
  std::vector<FoundFileRow> rows;
  const std::u32string upperPattern = UpperCase(DecodeUtf8(pattern));
  const FoundRows found(store, tree, ntfs);
  const std::uint32_t count = found.FileCount();
  for (std::uint32_t position = 0; position < count; ++position) {
    if (stop.load(std::memory_order_relaxed)) break;
    if (!found.NameMatches(position, upperPattern)) continue;
    rows.push_back(found.Row(position));
    if (onRow) onRow(rows.back(), rows.size());
  }
  return rows;
}

}  // namespace salvex
