#include "wizard/item_list_model.h"

#include "common/visible_text.h"
#include "items/item_paths.h"
#include "items/lost_items.h"
#include "items/volume_kind.h"
#include "wizard/short_name_hint.h"

namespace salvex::wizard {
namespace {

template <typename Kind>
void Collect(const ItemStore& store, std::uint32_t key, const FilterTable& filters,
             std::vector<ItemListModel::Entry>& entries, std::size_t& hidden) {
  for (const std::uint32_t position : Kind::Folders(store).ChildrenOf(key)) entries.push_back({true, position});
  const auto& files = Kind::Files(store);
  for (const std::uint32_t position : files.ChildrenOf(key)) {
    if (filters.PassesFilters(files.Items()[position].name)) {
      entries.push_back({false, position});
    } else {
      ++hidden;
    }
  }
}

template <typename Kind>
bool CollectLostFiles(const ItemStore& store, const FolderTreeModel& tree, TreeNodeId node, const FilterTable& filters,
                      std::vector<ItemListModel::Entry>& entries, std::size_t& hidden) {
  const ItemPaths<Kind> paths(store, tree);
  if (!paths.IsLostFilesNode(node)) return false;
  entries.clear();
  for (const TreeNodeId child : tree.Children(node)) {
    if (const auto folder = paths.FolderOfNode(child)) entries.push_back({true, *folder});
  }
  const auto& files = Kind::Files(store).Items();
  hidden = 0;
  for (const std::uint32_t position : LostFilePositions<Kind>(store)) {
    if (filters.PassesFilters(files[position].name)) {
      entries.push_back({false, position});
    } else {
      ++hidden;
    }
  }
  return true;
}

// A disk's names are shown with their control and direction characters
// escaped, so "evil\u202etxt.exe" cannot read as a text file.
template <typename Kind>
ItemRow MakeRow(const ItemStore& store, const ItemListModel::Entry& entry, const ItemListModel::TypeNamer& namer) {
  if (entry.folder) {
    ItemRow row = Kind::Row(Kind::Folders(store).Items()[entry.position]);
    row.name = VisibleText(row.name);
    return row;
  }
  const auto& file = Kind::Files(store).Items()[entry.position];
  ItemRow row = Kind::Row(file);
  row.name = VisibleText(row.name);
  if (namer) row.type = (file.deleted ? "Deleted " : "") + namer(file.name);
  return row;
}

template <typename Item>
const Item& ItemAt(const ItemList<Item>& list, std::uint32_t position) {
  return list.Items()[position];
}

}  // namespace

FilteredFile FilteredOf(const FatFileItem& file) {
  return {file.name, file.deleted, file.size, DayOfDosDate(file.writeDate)};
}

FilteredFile FilteredOf(const NtfsFileItem& file) {
  return {file.name, file.deleted, file.size, DayOfFileTime(file.changed)};
}

void ItemListModel::SetViewFilter(const ViewFilter& filter, const std::vector<bool>* shownNodes) {
  view_ = filter;
  shownNodes_ = shownNodes;
}

void ItemListModel::ApplyViewFilter() {
  hiddenByView_ = 0;
  if (!view_.Active()) return;
  const auto folderShown = [this](TreeNodeId node) {
    return shownNodes_ == nullptr || (node < shownNodes_->size() && (*shownNodes_)[node]);
  };
  std::erase_if(entries_, [&](const Entry& entry) {
    bool shown = false;
    if (source_ == ItemSource::fat) {
      shown = entry.folder ? folderShown(ItemAt(store_.FatFolders(), entry.position).treeNode)
                           : PassesViewFilter(view_, FilteredOf(ItemAt(store_.FatFiles(), entry.position)));
    } else {
      shown = entry.folder ? folderShown(ItemAt(store_.NtfsFolders(), entry.position).treeNode)
                           : PassesViewFilter(view_, FilteredOf(ItemAt(store_.NtfsFiles(), entry.position)));
    }
    if (!shown) ++hiddenByView_;
    return !shown;
  });
}

ItemListModel::ItemListModel(ItemStore& store, HitLists& hits, TypeNamer typeName)
    : store_(store), hits_(hits), typeName_(std::move(typeName)) {}

void ItemListModel::ShowFolder(ItemSource source, std::uint32_t key, const FilterTable& filters) {
  source_ = source;
  holdsItems_ = true;
  entries_.clear();
  hiddenByFilters_ = 0;
  if (source == ItemSource::fat) {
    Collect<FatKind>(store_, key, filters, entries_, hiddenByFilters_);
  } else {
    Collect<NtfsKind>(store_, key, filters, entries_, hiddenByFilters_);
  }
  ApplyViewFilter();
}

bool ItemListModel::ShowLostFiles(ItemSource source, const FolderTreeModel& tree, std::uint64_t node,
                                  const FilterTable& filters) {
  const bool shown = source == ItemSource::fat
                         ? CollectLostFiles<FatKind>(store_, tree, node, filters, entries_, hiddenByFilters_)
                         : CollectLostFiles<NtfsKind>(store_, tree, node, filters, entries_, hiddenByFilters_);
  if (shown) {
    source_ = source;
    holdsItems_ = true;
    ApplyViewFilter();
  }
  return shown;
}

void ItemListModel::Clear() {
  entries_.clear();
  holdsItems_ = false;
  hiddenByFilters_ = 0;
  hiddenByView_ = 0;
}

ItemRow ItemListModel::Row(std::size_t row) const {
  return source_ == ItemSource::fat ? MakeRow<FatKind>(store_, entries_[row], typeName_)
                                    : MakeRow<NtfsKind>(store_, entries_[row], typeName_);
}

bool ItemListModel::IsDeleted(std::size_t row) const {
  const Entry& entry = entries_[row];
  if (source_ == ItemSource::fat) {
    return entry.folder ? ItemAt(store_.FatFolders(), entry.position).deleted
                        : ItemAt(store_.FatFiles(), entry.position).deleted;
  }
  return entry.folder ? ItemAt(store_.NtfsFolders(), entry.position).deleted
                      : ItemAt(store_.NtfsFiles(), entry.position).deleted;
}

std::uint64_t ItemListModel::FileSize(std::size_t row) const {
  const Entry& entry = entries_[row];
  if (entry.folder) return 0;
  return source_ == ItemSource::fat ? ItemAt(store_.FatFiles(), entry.position).size
                                    : ItemAt(store_.NtfsFiles(), entry.position).size;
}

namespace {

constexpr std::uint64_t kFileTimeUnitsPerSecond = 10'000'000;

// A row's sort key from its FAT or NTFS item, folder or file.
template <typename Key>
std::uint64_t KeyOf(const ItemStore& store, ItemSource source, const ItemListModel::Entry& entry, Key key) {
  if (source == ItemSource::fat) {
    return entry.folder ? key(ItemAt(store.FatFolders(), entry.position))
                        : key(ItemAt(store.FatFiles(), entry.position));
  }
  return entry.folder ? key(ItemAt(store.NtfsFolders(), entry.position))
                      : key(ItemAt(store.NtfsFiles(), entry.position));
}

struct CreatedOf {
  std::uint64_t operator()(const FatFolderItem& item) const { return item.writeDate; }
  std::uint64_t operator()(const FatFileItem& item) const { return item.writeDate; }
  std::uint64_t operator()(const NtfsFolderItem& item) const { return item.created / kFileTimeUnitsPerSecond; }
  std::uint64_t operator()(const NtfsFileItem& item) const { return item.created / kFileTimeUnitsPerSecond; }
};

struct ModifiedOf {
  std::uint64_t operator()(const FatFolderItem& item) const { return item.accessDate; }
  std::uint64_t operator()(const FatFileItem& item) const { return item.accessDate; }
  std::uint64_t operator()(const NtfsFolderItem& item) const { return item.changed / kFileTimeUnitsPerSecond; }
  std::uint64_t operator()(const NtfsFileItem& item) const { return item.changed / kFileTimeUnitsPerSecond; }
};

struct IdOf {
  std::uint64_t operator()(const FatFolderItem& item) const { return item.treeNode; }
  std::uint64_t operator()(const FatFileItem& item) const { return item.id; }
  std::uint64_t operator()(const NtfsFolderItem& item) const { return item.treeNode; }
  std::uint64_t operator()(const NtfsFileItem& item) const { return item.recordSector; }
};

}  // namespace

std::uint64_t ItemListModel::CreatedKey(std::size_t row) const {
  return KeyOf(store_, source_, entries_[row], CreatedOf{});
}

std::uint64_t ItemListModel::ModifiedKey(std::size_t row) const {
  return KeyOf(store_, source_, entries_[row], ModifiedOf{});
}

std::uint64_t ItemListModel::IdKey(std::size_t row) const { return KeyOf(store_, source_, entries_[row], IdOf{}); }

bool ItemListModel::IsOverwritten(std::size_t row) const {
  const Entry& entry = entries_[row];
  if (source_ != ItemSource::fat) return false;
  return entry.folder ? ItemAt(store_.FatFolders(), entry.position).overwritten
                      : ItemAt(store_.FatFiles(), entry.position).overwritten;
}

std::string ItemListModel::WarningText(std::size_t row) const {
  const Entry& entry = entries_[row];
  if (source_ != ItemSource::fat || entry.folder) return {};
  const FatFileItem& file = ItemAt(store_.FatFiles(), entry.position);
  std::string text;
  const auto add = [&](bool marked, const char* line) {
    if (!marked) return;
    if (!text.empty()) text += '\n';
    text += line;
  };
  add(file.overwritten, kOverwrittenToolTip);
  add(file.clusterInferred, kClusterInferredToolTip);
  add(file.fragmentInferred, kFragmentInferredToolTip);
  add(file.chainAssumed, kChainAssumedToolTip);
  add(file.nameIncomplete, kNameIncompleteToolTip);
  add(!file.conflictsWith.empty(), kConflictToolTip);
  if (file.carved) {
    for (const std::string& doubt : CarvedDoubts(*file.carved)) add(true, (std::string(kFoundDoubtToolTip) + doubt).c_str());
  }
  return text;
}

std::string ItemListModel::NameNote(std::size_t row) const {
  const Entry& entry = entries_[row];
  if (source_ != ItemSource::fat || !shortNamesLoseFirstLetter_) return {};
  const bool lost = entry.folder ? LooksLikeDeletedShortName(ItemAt(store_.FatFolders(), entry.position).name,
                                                             ItemAt(store_.FatFolders(), entry.position).deleted)
                                 : LooksLikeDeletedShortName(ItemAt(store_.FatFiles(), entry.position).name,
                                                             ItemAt(store_.FatFiles(), entry.position).deleted);
  return lost ? kLostFirstLetterToolTip : "";
}

const std::string& ItemListModel::Name(std::size_t row) const {
  const Entry& entry = entries_[row];
  if (source_ == ItemSource::fat) {
    return entry.folder ? ItemAt(store_.FatFolders(), entry.position).name
                        : ItemAt(store_.FatFiles(), entry.position).name;
  }
  return entry.folder ? ItemAt(store_.NtfsFolders(), entry.position).name
                      : ItemAt(store_.NtfsFiles(), entry.position).name;
}

std::optional<std::uint64_t> ItemListModel::FolderNode(std::size_t row) const {
  const Entry& entry = entries_[row];
  if (!entry.folder) return std::nullopt;
  return source_ == ItemSource::fat ? ItemAt(store_.FatFolders(), entry.position).treeNode
                                    : ItemAt(store_.NtfsFolders(), entry.position).treeNode;
}

void ItemListModel::Rename(std::size_t row, const std::string& name) {
  const Entry& entry = entries_[row];
  if (source_ == ItemSource::fat) {
    if (entry.folder) {
      store_.FatFolders().At(entry.position).name = name;
    } else {
      store_.FatFiles().At(entry.position).name = name;
    }
    return;
  }
  if (entry.folder) {
    store_.NtfsFolders().At(entry.position).name = name;
    return;
  }
  NtfsFileItem& file = store_.NtfsFiles().At(entry.position);
  file.name = name;
  // A mounted found file system lists the sweep's file records; the one
  // this file came from carries the new name too.
  for (MftFileHit& hit : hits_.mftFiles) {
    if (hit.sector == file.recordSector) hit.name = name;
  }
}

}  // namespace salvex::wizard
