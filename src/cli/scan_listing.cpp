#include "cli/scan_listing.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "cli/json_writer.h"
#include "items/item_paths.h"
#include "items/item_rows.h"

namespace salvex::cli {
namespace {

constexpr std::size_t kIndentPerLevel = 2;
constexpr std::size_t kMaxNameColumn = 50;

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
};

std::vector<Line> CollectTreeLines(const ItemStore& store, const FolderTreeModel& tree, const FatItemPaths& index) {
  std::vector<Line> lines;
  const auto& folders = store.FatFolders().Items();
  const auto& files = store.FatFiles().Items();
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
        lines.push_back({folders[*folder].deleted, depth, FatFolderRow(folders[*folder])});
      }
      stack.push_back({child, 0, depth});
      continue;
    }
    const auto folder = index.FolderOfNode(frame.node);
    const std::uint32_t key = folder ? folders[*folder].firstCluster : kFatRootKey;
    if (frame.node == FolderTreeModel::kRoot || folder) {
      for (const std::uint32_t position : store.FatFiles().ChildrenOf(key)) {
        lines.push_back({files[position].deleted, frame.depth + 1, FatFileRow(files[position])});
      }
    }
    stack.pop_back();
  }
  return lines;
}

std::vector<Line> CollectUnreachableLines(const ItemStore& store, const FatItemPaths& index) {
  std::vector<Line> lines;
  for (const FatFolderItem& folder : store.FatFolders().Items()) {
    if (folder.treeNode == 0) lines.push_back({folder.deleted, 0, FatFolderRow(folder)});
  }
  for (const FatFileItem& file : store.FatFiles().Items()) {
    if (!index.NodeOfKey(file.parentCluster)) lines.push_back({file.deleted, 0, FatFileRow(file)});
  }
  return lines;
}

void PrintLines(std::ostream& out, const std::vector<Line>& lines) {
  std::size_t nameWidth = 4;
  std::size_t typeWidth = 4;
  std::size_t sizeWidth = 4;
  std::size_t idWidth = 2;
  for (const Line& line : lines) {
    nameWidth = std::max(nameWidth, std::min(kMaxNameColumn, line.depth * kIndentPerLevel + DisplayWidth(line.row.name)));
    typeWidth = std::max(typeWidth, DisplayWidth(line.row.type));
    sizeWidth = std::max(sizeWidth, line.row.size.size());
    idWidth = std::max(idWidth, line.row.id.size());
  }
  out << "DEL " << PadRight("NAME", nameWidth) << "  " << PadRight("TYPE", typeWidth) << "  "
      << PadLeft("SIZE", sizeWidth) << "  " << PadRight("CREATED", 11) << "  " << PadRight("MODIFIED", 11) << "  "
      << PadLeft("ID", idWidth) << '\n';
  for (const Line& line : lines) {
    const std::string indentedName = std::string(line.depth * kIndentPerLevel, ' ') + line.row.name;
    out << (line.deleted ? "DEL " : "    ") << PadRight(indentedName, nameWidth) << "  "
        << PadRight(line.row.type, typeWidth) << "  " << PadLeft(line.row.size, sizeWidth) << "  "
        << line.row.created << "  " << line.row.modified << "  " << PadLeft(line.row.id, idWidth) << '\n';
  }
}

}  // namespace

void PrintFatListing(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree) {
  const FatItemPaths index(store, tree);
  out << "/\n";
  PrintLines(out, CollectTreeLines(store, tree, index));
  const std::vector<Line> unreachable = CollectUnreachableLines(store, index);
  if (!unreachable.empty()) {
    out << "\nFound, but not reachable from the root folder:\n";
    PrintLines(out, unreachable);
  }
}

void PrintFatItemsJson(std::ostream& out, const ItemStore& store, const FolderTreeModel& tree) {
  const FatItemPaths index(store, tree);
  JsonWriter json(out);
  json.BeginArray();
  const auto writeCommon = [&](const std::optional<std::string>& path, const ItemRow& row, const char* kind,
                               std::uint64_t size, bool deleted) {
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
    json.Bool(deleted);
    json.Key("created");
    json.String(row.created);
    json.Key("modified");
    json.String(row.modified);
  };
  const auto& folders = store.FatFolders().Items();
  for (std::uint32_t position = 0; position < folders.size(); ++position) {
    const FatFolderItem& folder = folders[position];
    json.BeginObject();
    writeCommon(index.FolderPath(position), FatFolderRow(folder), "folder", 0, folder.deleted);
    json.Key("id");
    json.Number(folder.treeNode);
    json.Key("firstCluster");
    json.Number(folder.firstCluster);
    json.EndObject();
  }
  const auto& files = store.FatFiles().Items();
  for (std::uint32_t position = 0; position < files.size(); ++position) {
    const FatFileItem& file = files[position];
    json.BeginObject();
    writeCommon(index.FilePath(position), FatFileRow(file), "file", file.size, file.deleted);
    json.Key("id");
    json.Number(file.id);
    json.Key("firstCluster");
    json.Number(file.firstCluster);
    json.EndObject();
  }
  json.EndArray();
  out << '\n';
}

}  // namespace salvex::cli
