#include "support/scan_results.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "items/folder_tree_model.h"
#include "items/item_paths.h"
#include "session/disk_session.h"
#include "session/scans.h"
#include "session/volume_choice.h"
#include "support/json_value.h"
#include "support/recording_ui_port.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

// The date bits read by hand, not by the engine's formatter.
std::string DateOfDosBits(std::uint16_t date) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d ", date & 0x1F, (date >> 5) & 0x0F, 1980 + (date >> 9));
  return text;
}

std::string Key(const ListedItem& item) {
  return std::string(item.isFolder ? "folder " : "file ") + (item.path ? *item.path : "(unreachable) " + item.name);
}

}  // namespace

std::string Describe(const ListedItem& item) {
  std::ostringstream text;
  text << (item.isFolder ? "folder" : "file") << " path=" << (item.path ? "\"" + *item.path + "\"" : "null")
       << " name=\"" << item.name << "\" size=" << item.size << " deleted=" << item.deleted << " created=\""
       << item.created << "\" modified=\"" << item.modified << "\" firstCluster=" << item.firstCluster
       << " id=" << item.id;
  return text.str();
}

std::vector<ListedItem> ItemsFromScanJson(const std::string& json) {
  const JsonValue document = ParseJson(json);
  if (document.kind != JsonValue::Kind::array) throw std::runtime_error("the listing is not an array");
  std::vector<ListedItem> items;
  for (const JsonValue& object : document.items) {
    if (object.kind != JsonValue::Kind::object) throw std::runtime_error("an item is not an object");
    ListedItem item;
    const JsonValue& path = object.At("path");
    if (!path.IsNull()) item.path = path.Str();
    item.name = object.At("name").Str();
    const std::string& kind = object.At("kind").Str();
    if (kind != "folder" && kind != "file") throw std::runtime_error("unknown kind \"" + kind + "\"");
    item.isFolder = kind == "folder";
    item.size = object.At("size").Num();
    item.deleted = object.At("deleted").Bool();
    item.created = object.At("created").Str();
    item.modified = object.At("modified").Str();
    item.id = object.At("id").Num();
    item.firstCluster = static_cast<std::uint32_t>(object.At("firstCluster").Num());
    items.push_back(std::move(item));
  }
  return items;
}

LibraryScan ScanThroughLibrary(const fs::path& image, unsigned number) {
  LibraryScan result;
  Session session;
  result.openError = OpenSource(session, image.string()).error;
  if (!result.openError.empty()) return result;
  ReadPartitionTables(session);
  result.partitions = session.partitions;
  if (number == 0) return result;
  result.selected = ChoosePartition(session, number).Ok();
  if (!result.selected) return result;

  RecordingUiPort ui;
  FolderTreeModel tree;
  result.outcome = StandardScan(session, ui, tree, FolderTreeModel::kRoot);
  for (const auto& notice : ui.notices) result.notices.push_back(notice.text);

  const ItemStore& store = session.items;
  const FatItemPaths paths(store, tree);
  for (std::uint32_t position = 0; position < store.FatFolders().Size(); ++position) {
    const FatFolderItem& folder = store.FatFolders().Items()[position];
    ListedItem item;
    item.path = paths.FolderPath(position);
    item.name = folder.name;
    item.isFolder = true;
    item.deleted = folder.deleted;
    item.created = DateOfDosBits(folder.writeDate);
    item.modified = DateOfDosBits(folder.accessDate);
    item.firstCluster = folder.firstCluster;
    item.id = folder.treeNode;
    result.items.push_back(std::move(item));
  }
  for (std::uint32_t position = 0; position < store.FatFiles().Size(); ++position) {
    const FatFileItem& file = store.FatFiles().Items()[position];
    ListedItem item;
    item.path = paths.FilePath(position);
    item.name = file.name;
    item.size = file.size;
    item.deleted = file.deleted;
    item.created = DateOfDosBits(file.writeDate);
    item.modified = DateOfDosBits(file.accessDate);
    item.firstCluster = file.firstCluster;
    item.id = file.id;
    result.items.push_back(std::move(item));
  }
  return result;
}

std::vector<std::string> ListingLines(const std::vector<ListedItem>& items) {
  std::vector<std::string> lines;
  for (const ListedItem& item : items) {
    const std::string path = item.path ? *item.path : "(unreachable) " + item.name;
    std::string line = item.isFolder ? "folder " + path : "file " + path + " " + std::to_string(item.size);
    if (item.deleted) line += " deleted";
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string DiffItems(const std::vector<ListedItem>& actual, const std::vector<ListedItem>& expected) {
  std::map<std::string, std::vector<const ListedItem*>> found;
  for (const ListedItem& item : actual) found[Key(item)].push_back(&item);
  std::ostringstream report;
  for (const ListedItem& want : expected) {
    const auto it = found.find(Key(want));
    if (it == found.end()) {
      report << "missing:    " << Describe(want) << '\n';
      continue;
    }
    const ListedItem& got = *it->second.front();
    if (it->second.size() > 1) report << "listed " << it->second.size() << " times: " << Describe(got) << '\n';
    if (got.name != want.name || got.size != want.size || got.deleted != want.deleted || got.created != want.created ||
        got.modified != want.modified || (want.firstCluster != 0 && got.firstCluster != want.firstCluster)) {
      report << "differs:    " << Describe(got) << "\n  expected: " << Describe(want) << '\n';
    }
    found.erase(it);
  }
  for (const auto& [key, items] : found) {
    for (const ListedItem* item : items) report << "unexpected: " << Describe(*item) << '\n';
  }
  return report.str();
}

SalvexRun RunSalvex(const std::string& binary, const std::string& arguments, const fs::path& scratch) {
  const fs::path outFile = scratch / "salvex-stdout";
  // RunCommand captures the group's stderr; stdout goes to the file inside it.
  const CommandResult result =
      RunCommand("{ " + ShellQuote(binary) + " " + arguments + " >" + ShellQuote(outFile.string()) + "; }");
  SalvexRun run;
  run.status = result.status;
  run.err = result.output;
  run.out = ReadWholeFile(outFile);
  fs::remove(outFile);
  return run;
}

SalvexRun RunSalvexReading(const std::string& binary, const fs::path& source, const std::string& arguments,
                           const fs::path& scratch) {
  const std::uint64_t before = FileFingerprint(source);
  SalvexRun run = RunSalvex(binary, arguments, scratch);
  EXPECT_EQ(FileFingerprint(source), before) << "salvex " << arguments << " changed " << source;
  return run;
}

}  // namespace salvex::testing
