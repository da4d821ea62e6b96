#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "deepscan/hits.h"
#include "items/folder_tree_model.h"
#include "items/item_rows.h"
#include "items/item_store.h"
#include "search/file_filters.h"
#include "wizard/view_filter.h"

namespace salvex::wizard {

// Which half of the store the list shows. After a mount of a found NTFS
// file system the store's NTFS files are the sweep's file records inside
// it, so the NTFS half serves both scans.
enum class ItemSource { fat, ntfs };

// The rows of the item list for one folder: its subfolders in the order
// they were found, then its files that pass the filters. Rows are positions
// in the store; their texts are made when the view asks for them, so a
// folder of 200,000 files fills at once.
inline constexpr const char* kOverwrittenToolTip =
    "Deleted, and its clusters are now used by other files: what is recovered is probably theirs";
inline constexpr const char* kFragmentInferredToolTip =
    "Deleted and fragmented: its clusters were worked out around other files, so its bytes are a guess";
inline constexpr const char* kChainAssumedToolTip =
    "Its FAT chain is lost: read as consecutive clusters from its first, so its bytes are wrong if it was fragmented";
inline constexpr const char* kClusterInferredToolTip =
    "Deleted, and the high word of its first cluster was cleared: where its bytes begin is a guess";
inline constexpr const char* kNameIncompleteToolTip =
    "Its name entries are damaged: the name is made from what is left of them";
// Before each doubt about a file found by its content (CarvedDoubts).
inline constexpr std::string_view kFoundDoubtToolTip = "Found by its content, and ";
inline constexpr const char* kConflictToolTip =
    "Other deleted files claim some of the same clusters: at most one of them comes back right";

// A file as the view filters see it: its name, deleted flag, size and the
// day it was last written.
FilteredFile FilteredOf(const FatFileItem& file);
FilteredFile FilteredOf(const NtfsFileItem& file);

class ItemListModel {
 public:
  // The platform's type name for a file name, looked up by its extension.
  using TypeNamer = std::function<std::string(std::string_view name)>;

  struct Entry {
    bool folder = false;
    std::uint32_t position = 0;  // in the store's folder or file list
  };

  ItemListModel(ItemStore& store, HitLists& hits, TypeNamer typeName);

  // ShowFatFolder and ShowNtfsFolder: the children of the folder with key
  // `key` (the root key for the root).
  void ShowFolder(ItemSource source, std::uint32_t key, const FilterTable& filters);
  // The view filters, for the fills that follow: files must pass `filter`,
  // folders be among `shownNodes` (by tree node; null: every folder). The
  // File Filters apply as before; what each kept out is counted apart.
  void SetViewFilter(const ViewFilter& filter, const std::vector<bool>* shownNodes);
  // The contents of the "Lost Files" node of `tree` when `node` is it (the
  // folders placed under it, then the files whose parent was never found);
  // false, and the rows unchanged, for any other node.
  bool ShowLostFiles(ItemSource source, const FolderTreeModel& tree, std::uint64_t node, const FilterTable& filters);
  void Clear();

  ItemSource Source() const { return source_; }
  // True while the rows are recovered items, from a fill until Clear.
  bool HoldsItems() const { return holdsItems_; }
  std::size_t RowCount() const { return entries_.size(); }
  // The folder's files the file filters kept out of the rows.
  std::size_t HiddenByFilters() const { return hiddenByFilters_; }
  // The folder's items the view filters kept out of the rows.
  std::size_t HiddenByView() const { return hiddenByView_; }
  const Entry& At(std::size_t row) const { return entries_[row]; }

  // The six column texts: Name, Type, Size, Created, Modified, ID.
  ItemRow Row(std::size_t row) const;
  bool IsDeleted(std::size_t row) const;
  // A file row's size in bytes; 0 for a folder.
  std::uint64_t FileSize(std::size_t row) const;
  // What the Created, Modified and ID columns sort by, from the item itself:
  // the DOS date of a FAT item, an NTFS time in whole seconds (as shown),
  // the item's identifier or a folder's tree node.
  std::uint64_t CreatedKey(std::size_t row) const;
  std::uint64_t ModifiedKey(std::size_t row) const;
  std::uint64_t IdKey(std::size_t row) const;
  // A deleted FAT file whose clusters the FAT now gives to other files, or a
  // deleted FAT folder whose first cluster a live item holds.
  bool IsOverwritten(std::size_t row) const;
  // What a row's warning mark says (overwritten, fragment worked out,
  // clusters claimed twice), a line each; empty when it has none.
  std::string WarningText(std::size_t row) const;
  // What the row's name itself leaves unsaid: a deleted FAT short name
  // whose first letter is lost. Empty for most.
  std::string NameNote(std::size_t row) const;
  // Whether names of this volume may have lost their first letter: a FAT
  // volume's may, an exFAT or NTFS volume's never do.
  void SetShortNamesLoseFirstLetter(bool lose) { shortNamesLoseFirstLetter_ = lose; }
  const std::string& Name(std::size_t row) const;
  // The folder's tree node for a folder row.
  std::optional<std::uint64_t> FolderNode(std::size_t row) const;

  // Renames a row's item in the store (for a found NTFS file also its file
  // record, which an advance-scan snapshot saves).
  void Rename(std::size_t row, const std::string& name);

 private:
  // Drops the rows the view filters keep out, counting them.
  void ApplyViewFilter();

  ItemStore& store_;
  HitLists& hits_;
  TypeNamer typeName_;
  ItemSource source_ = ItemSource::fat;
  bool holdsItems_ = false;
  std::vector<Entry> entries_;
  std::size_t hiddenByFilters_ = 0;
  std::size_t hiddenByView_ = 0;
  ViewFilter view_;
  const std::vector<bool>* shownNodes_ = nullptr;
  bool shortNamesLoseFirstLetter_ = true;
};

}  // namespace salvex::wizard
