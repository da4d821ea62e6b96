#include "cli/scan_listing.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cli/json_writer.h"
#include "common/visible_text.h"
#include "items/item_paths.h"
#include "items/item_rows.h"
#include "items/lost_items.h"

namespace salvex::cli {
namespace {

constexpr std::size_t kIndentPerLevel = 2;
constexpr std::size_t kMaxNameColumn = 50;
constexpr std::size_t kDateWidth = 11;  // "dd-mm-yyyy "

// Terminal columns: one per character, two for the wide East Asian ones.
std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t codePoint = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
      codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    const bool wide = (codePoint >= 0x1100 && codePoint <= 0x115F) || (codePoint >= 0x2E80 && codePoint <= 0xA4CF) ||
                      (codePoint >= 0xAC00 && codePoint <= 0xD7A3) || (codePoint >= 0xF900 && codePoint <= 0xFAFF) ||
                      (codePoint >= 0xFF00 && codePoint <= 0xFF60) || (codePoint >= 0xFFE0 && codePoint <= 0xFFE6) ||
                      codePoint >= 0x20000;
    width += wide ? 2 : 1;
    i += length;
  }
  return width;
}

std::string PadRight(const std::string& text, std::size_t width) {
  const std::size_t shown = DisplayWidth(text);
  return shown >= width ? text : text + std::string(width - shown, ' ');
}

std::string PadLeft(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

struct Line {
  bool deleted;
  std::size_t depth;
  ItemRow row;
  std::string note;
  bool overwritten = false;  // "DEL!": its clusters are now other files'
  std::uint64_t unread = 0;  // sectors the image's map does not call finished
};

constexpr const char* kBeyondVolumeNote = "  (its data passes the end of the volume: recovered only up to it)";
constexpr const char* kFragmentNote = "  (fragmented: its clusters were worked out around other files)";
constexpr const char* kConflictNote = "  (other deleted files claim some of the same clusters)";
constexpr const char* kChainAssumedNote = "  (its FAT chain is lost: read as consecutive clusters)";
constexpr const char* kClusterInferredNote = "  (the high word of its first cluster was cleared: its first cluster is a guess)";
constexpr const char* kNameIncompleteNote = "  (its name entries are damaged: named from what is left)";

// A folder's or file's unread sectors, by its position in the store.
std::uint64_t FolderUnread(const UnreadMarks* marks, std::uint32_t position) {
  return marks && position < marks->folderSectors.size() ? marks->folderSectors[position] : 0;
}
std::uint64_t FileUnread(const UnreadMarks* marks, std::uint32_t position) {
  return marks ? marks->FileSectors(position) : 0;
}

template <typename Kind>
Line FileLine(const typename Kind::File& file, std::size_t depth, std::uint64_t unread) {
  std::string note = !Kind::Recoverable(file) ? Kind::kNotRecoverableNote
                     : Kind::BeyondVolume(file) ? kBeyondVolumeNote
                                                : "";
  if (Kind::ClusterInferred(file)) note += kClusterInferredNote;
  if (Kind::FragmentInferred(file)) note += kFragmentNote;
  if (Kind::ChainAssumed(file)) note += kChainAssumedNote;
  if (Kind::NameIncomplete(file)) note += kNameIncompleteNote;
  if (!Kind::ConflictsWith(file).empty()) note += kConflictNote;
  return {file.deleted, depth, Kind::Row(file), std::move(note), Kind::Overwritten(file), unread};
}

bool Passes(const FileFilter& passes, const std::string& name) { return !passes || passes(name); }

// What the JSON says of an item beyond its fields.
struct ItemMarks {
  bool recoverable = true;
  bool overwritten = false;
  bool inferred = false;
  bool beyondVolume = false;
  std::uint64_t unread = 0;  // sectors the image's map does not call finished
  bool labelEntry = false;
  bool fragmentInferred = false;
  std::span<const std::uint32_t> conflictsWith = {};  // positions of other files
  std::string_view stream = {};                       // NTFS: a named data stream's name
  bool chainAssumed = false;
  bool nameIncomplete = false;
};

// Each line of the tree, in the order printed, to `emit`; nothing is kept, so
// a listing of millions of items is printed in two passes (widths, then
// lines) without holding its rows.
template <typename Kind, typename Emit>
void VisitTreeLines(const ItemStore& store, const FolderTreeModel& tree, const ItemPaths<Kind>& index,
                    const FileFilter& passes, const UnreadMarks* marks, const Emit& emit) {
  const auto& folders = Kind::Folders(store).Items();
  const auto& files = Kind::Files(store);
  // Depth-first without recursion: a damaged volume can nest folders deeply.
  struct Frame {
    TreeNodeId node;
    std::size_t nextChild;
    std::size_t depth;
  };
  std::vector<Frame> stack{{FolderTreeModel::kRoot, 0, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const auto& children = tree.Children(frame.node);
    if (frame.nextChild < children.size()) {
      const TreeNodeId child = children[frame.nextChild++];
      const std::size_t depth = frame.depth + 1;
      if (const auto folder = index.FolderOfNode(child)) {
        emit(Line{folders[*folder].deleted, depth, Kind::Row(folders[*folder]), "", Kind::Overwritten(folders[*folder]),
                  FolderUnread(marks, *folder)});
      } else {
        // A node of the tree's own, such as "Lost Files": a folder without dates.
        emit(Line{false, depth, {tree.Text(child), "Folder", "0", "", "", std::to_string(child)}, "", false, 0});
      }
      stack.push_back({child, 0, depth});
      continue;
    }
    const auto folder = index.FolderOfNode(frame.node);
    const auto fileLines = [&](const auto& positions) {
      for (const std::uint32_t position : positions) {
        if (!Passes(passes, files.Items()[position].name)) continue;
        emit(FileLine<Kind>(files.Items()[position], frame.depth + 1, FileUnread(marks, position)));
      }
    };
    if (frame.node == FolderTreeModel::kRoot || folder) {
      fileLines(files.ChildrenOf(folder ? Kind::ChildrenKey(folders[*folder]) : Kind::kRootKey));
    } else if (index.IsLostFilesNode(frame.node)) {
      fileLines(LostFilePositions<Kind>(store));
    }
    stack.pop_back();
  }
}

// Each item no folder of the tree reaches, to `emit`.
template <typename Kind, typename Emit>
void VisitUnreachableLines(const ItemStore& store, const ItemPaths<Kind>& index, const FileFilter& passes,
                           const UnreadMarks* marks, const Emit& emit) {
  const auto& folders = Kind::Folders(store).Items();
  for (std::uint32_t position = 0; position < folders.size(); ++position) {
    if (!index.FolderPath(position)) {
      emit(Line{folders[position].deleted, 0, Kind::Row(folders[position]), "", false, FolderUnread(marks, position)});
    }
  }
  const auto& files = Kind::Files(store).Items();
  for (std::uint32_t position = 0; position < files.size(); ++position) {
    const auto& file = files[position];
    if (!index.NodeOfKey(Kind::ParentOf(file)) && Passes(passes, file.name)) {
      emit(FileLine<Kind>(file, 0, FileUnread(marks, position)));
    }
  }
}

// The widths of a table's columns, fitted to its lines one at a time.
struct ColumnWidths {
  std::size_t name = 4;
  std::size_t type = 4;
  std::size_t size = 4;
  std::size_t id = 2;
  std::size_t lines = 0;

  void Fit(const Line& line) {
    name = std::max(name, std::min(kMaxNameColumn, line.depth * kIndentPerLevel + DisplayWidth(VisibleText(line.row.name))));
    type = std::max(type, DisplayWidth(VisibleText(line.row.type)));
    size = std::max(size, line.row.size.size());
    id = std::max(id, line.row.id.size());
    ++lines;
  }
};

void PrintHeader(std::ostream& out, const ColumnWidths& widths) {
  out << "DEL " << PadRight("NAME", widths.name) << "  " << PadRight("TYPE", widths.type) << "  "
      << PadLeft("SIZE", widths.size) << "  " << PadRight("CREATED", kDateWidth) << "  "
      << PadRight("MODIFIED", kDateWidth) << "  " << PadLeft("ID", widths.id) << '\n';
}

void PrintLine(std::ostream& out, const ColumnWidths& widths, const Line& line) {
  const std::string indentedName = std::string(line.depth * kIndentPerLevel, ' ') + VisibleText(line.row.name);
  out << (line.overwritten ? "DEL!" : line.deleted ? "DEL " : "    ") << PadRight(indentedName, widths.name) << "  "
      << PadRight(VisibleText(line.row.type), widths.type) << "  " << PadLeft(line.row.size, widths.size) << "  "
      << PadRight(line.row.created, kDateWidth) << "  " << PadRight(line.row.modified, kDateWidth) << "  "
      << PadLeft(line.row.id, widths.id) << line.note << UnreadMark(line.unread) << '\n';
}

// A table's lines are given by `visit` twice: once to measure, once to print.
template <typename Visit>
ColumnWidths Measure(const Visit& visit) {
  ColumnWidths widths;
  visit([&](const Line& line) { widths.Fit(line); });
  return widths;
}

template <typename Visit>
void PrintTable(std::ostream& out, const ColumnWidths& widths, const Visit& visit) {
  PrintHeader(out, widths);
  visit([&](const Line& line) { PrintLine(out, widths, line); });
}

template <typename Kind>
void PrintListingOf(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree, const FileFilter& passes,
                    const UnreadMarks* marks) {
  const ItemPaths<Kind> index(store, tree);
  out << "/" << UnreadMark(marks ? marks->rootSectors : 0) << "\n";
  const auto visitTree = [&](const auto& emit) { VisitTreeLines(store, tree, index, passes, marks, emit); };
  PrintTable(out, Measure(visitTree), visitTree);
  const auto visitUnreachable = [&](const auto& emit) { VisitUnreachableLines(store, index, passes, marks, emit); };
  const ColumnWidths unreachable = Measure(visitUnreachable);
  if (unreachable.lines > 0) {
    out << "\n" << kUnreachableHeading << "\n";
    PrintTable(out, unreachable, visitUnreachable);
  }
}

template <typename Kind>
void PrintItemsJsonOf(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree,
                      const FileFilter& passes, const UnreadMarks* marks, const IntactVerdict& intact) {
  const ItemPaths<Kind> index(store, tree);
  JsonWriter json(out);
  // A folder's directory sectors that could not be read (the root's are
  // named on stderr only: it has no item of its own).
  std::unordered_map<std::uint32_t, std::vector<SectorNumber>> unreadable;
  for (const UnreadableDirectorySector& gap : store.unreadableDirectorySectors) {
    unreadable[gap.folderKey].push_back(gap.sector);
  }
  const auto writeItem = [&](const std::optional<std::string>& path, const auto& item, const char* kind,
                             std::uint64_t size, std::uint64_t id, const ItemMarks& marked,
                             std::optional<std::uint32_t> filePosition = std::nullopt) {
    const ItemRow row = Kind::Row(item);
    json.BeginObject();
    json.Key("path");
    if (path) {
      json.String(*path);
    } else {
      json.Null();
    }
    json.Key("name");
    json.String(row.name);
    json.Key("kind");
    json.String(kind);
    json.Key("size");
    json.Number(size);
    json.Key("deleted");
    json.Bool(item.deleted);
    json.Key("created");
    json.String(row.created);
    json.Key("modified");
    json.String(row.modified);
    json.Key("id");
    json.Number(id);
    json.Key(Kind::kKeyName);
    json.Number(Kind::KeyOf(item));
    if (!marked.recoverable) {
      json.Key("recoverable");
      json.Bool(false);
    }
    if (marked.overwritten) {
      json.Key("overwritten");
      json.Bool(true);
    }
    if (marked.inferred) {
      json.Key("clusterInferred");
      json.Bool(true);
    }
    if (!marked.stream.empty()) {
      json.Key("stream");
      json.String(std::string(marked.stream));
    }
    if (marked.fragmentInferred) {
      json.Key("fragmentInferred");
      json.Bool(true);
    }
    if (marked.chainAssumed) {
      json.Key("chainAssumed");
      json.Bool(true);
    }
    if (marked.nameIncomplete) {
      json.Key("nameIncomplete");
      json.Bool(true);
    }
    if (!marked.conflictsWith.empty()) {
      json.Key("conflictsWith");
      json.BeginArray();
      for (const std::uint32_t other : marked.conflictsWith) {
        const auto otherPath = index.FilePath(other);
        json.String(otherPath ? *otherPath : Kind::Files(store).Items()[other].name);
      }
      json.EndArray();
    }
    if (marked.beyondVolume) {
      json.Key("beyondVolume");
      json.Bool(true);
    }
    if (marked.labelEntry) {
      json.Key("labelEntry");
      json.Bool(true);
    }
    if (const auto gaps = unreadable.find(Kind::KeyOf(item)); std::string_view(kind) == "folder" && gaps != unreadable.end()) {
      json.Key("unreadableDirectorySectors");
      json.BeginArray();
      for (const SectorNumber sector : gaps->second) json.Number(sector);
      json.EndArray();
    }
    if (marks) {
      json.Key("unreadSectors");
      json.Number(marked.unread);
    }
    if (intact && filePosition) {
      json.Key("intact");
      if (const std::optional<bool> verdict = intact(*filePosition)) {
        json.Bool(*verdict);
      } else {
        json.Null();
      }
    }
    json.EndObject();
  };
  json.BeginArray();
  const auto& folders = Kind::Folders(store).Items();
  for (std::uint32_t position = 0; position < folders.size(); ++position) {
    writeItem(index.FolderPath(position), folders[position], "folder", 0, folders[position].treeNode,
              ItemMarks{.overwritten = Kind::Overwritten(folders[position]), .unread = FolderUnread(marks, position)});
  }
  const auto& files = Kind::Files(store).Items();
  for (std::uint32_t position = 0; position < files.size(); ++position) {
    if (!Passes(passes, files[position].name)) continue;
    writeItem(index.FilePath(position), files[position], "file", files[position].size, Kind::IdOf(files[position]),
              ItemMarks{Kind::Recoverable(files[position]), Kind::Overwritten(files[position]),
                        Kind::ClusterInferred(files[position]), Kind::BeyondVolume(files[position]),
                        FileUnread(marks, position), Kind::LabelEntry(files[position]),
                        Kind::FragmentInferred(files[position]), Kind::ConflictsWith(files[position]),
                        Kind::Stream(files[position]), Kind::ChainAssumed(files[position]),
                        Kind::NameIncomplete(files[position])},
              position);
  }
  json.EndArray();
  out << '\n';
}

}  // namespace

std::string UnreadMark(std::uint64_t sectors) {
  return sectors == 0 ? "" : "  [" + std::to_string(sectors) + " sector(s) not read]";
}

void PrintListing(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                  const FileFilter& passes, const UnreadMarks* marks) {
  // The marks are of FAT items only.
  if (ntfs) {
    PrintListingOf<NtfsKind>(out, store, tree, passes, nullptr);
  } else {
    PrintListingOf<FatKind>(out, store, tree, passes, marks);
  }
}

void PrintItemsJson(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree, bool ntfs,
                    const FileFilter& passes, const UnreadMarks* marks, const IntactVerdict& intact) {
  if (ntfs) {
    PrintItemsJsonOf<NtfsKind>(out, store, tree, passes, nullptr, intact);
  } else {
    PrintItemsJsonOf<FatKind>(out, store, tree, passes, marks, intact);
  }
}

}  // namespace salvex::cli
