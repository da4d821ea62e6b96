#include "search/find_files.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "items/folder_tree.h"
#include "support/recording_ui_port.h"

namespace salvex {
namespace {

using Row = std::tuple<std::string, std::string, std::uint64_t>;  // name, path, size

// A file no folder of the tree leads to has no path worth showing.
std::vector<Row> Rows(const std::vector<FoundFileRow>& found) {
  std::vector<Row> rows;
  for (const FoundFileRow& row : found) rows.emplace_back(row.name, row.reachable ? row.path : "unreachable", row.size);
  return rows;
}

// A FAT half with nested folders, a file whose parent is no folder, and an
// NTFS half with other names, so that a search of one half cannot see the other.
struct Volume {
  ItemStore store;
  FolderTreeModel fatTree;
  FolderTreeModel ntfsTree;

  Volume() {
    store.AddFatFolder("Docs", 3, kFatRootKey, 0, 0, 0, false);
    store.AddFatFolder("Letters", 4, 3, 0, 0, 0, false);
    const auto file = [&](const char* name, std::uint32_t parent, std::uint32_t size) {
      store.AddFatFile(name, 100 + store.counters.fileCount, parent, 0, 0, size, false);
      ++store.counters.fileCount;
    };
    file("report.doc", kFatRootKey, 100);
    file("Summary.Doc", 3, 200);
    file("notes.txt", kFatRootKey, 50);
    store.AddFatFile("gone.log", 190, kFatRootKey, 0, 0, 10, true);
    ++store.counters.fileCount;
    file("letter1.doc", 4, 300);
    file("orphan.doc", 77, 5);
    file("report.docx", 3, 60);
    file("crème.doc", 4, 70);
    store.AddNtfsFolder("Archive", 40, kNtfsRootKey, 0, 0, 0, false, true);
    store.AddNtfsFile(9000, "big.doc", 41, 40, 0, 0, 5'000'000'000ull, false);
    store.AddNtfsFile(9002, "top.txt", 42, kNtfsRootKey, 0, 0, 7, false);
    testing::RecordingUiPort ui;
    BuildFatFolderTree(store, fatTree, ui, FolderTreeModel::kRoot);
    BuildNtfsFolderTree(store, ntfsTree, ui, FolderTreeModel::kRoot);
  }

  std::vector<FoundFileRow> Find(bool ntfs, std::string_view pattern) const {
    const std::atomic<bool> stop{false};
    return FindFiles(store, ntfs ? ntfsTree : fatTree, ntfs, pattern, stop);
  }
};

TEST(FindFiles, ListsMatchingFilesWithUpperCasedNamesAndBackslashPaths) {
  struct Search {
    bool ntfs;
    const char* pattern;
    std::vector<Row> rows;
  };
  const std::vector<Search> searches = {
      {false, "*.DOC",
       {{"REPORT.DOC", "\\", 100},
        {"SUMMARY.DOC", "\\Docs", 200},
        {"LETTER1.DOC", "\\Docs\\Letters", 300},
        {"ORPHAN.DOC", "\\Lost Files", 5},
        {"CRÈME.DOC", "\\Docs\\Letters", 70}}},
      // The pattern's case does not matter either.
      {false, "rep*", {{"REPORT.DOC", "\\", 100}, {"REPORT.DOCX", "\\Docs", 60}}},
      {false, "*.txt", {{"NOTES.TXT", "\\", 50}}},
      {false, "*.XLS", {}},
      {false, "", {}},
      {true, "*", {{"BIG.DOC", "\\Archive", 5'000'000'000ull}, {"TOP.TXT", "\\", 7}}},
      {true, "*.DOC", {{"BIG.DOC", "\\Archive", 5'000'000'000ull}}},
  };
  const Volume volume;
  for (const Search& search : searches) {
    SCOPED_TRACE(std::string(search.ntfs ? "NTFS " : "FAT ") + "\"" + search.pattern + "\"");
    EXPECT_EQ(Rows(volume.Find(search.ntfs, search.pattern)), search.rows);
  }
}

// A row says whether its file is deleted: the window shows those in red.
TEST(FindFiles, RowsSayWhichFilesAreDeleted) {
  const Volume volume;
  for (const FoundFileRow& row : volume.Find(false, "*")) EXPECT_EQ(row.deleted, row.name == "GONE.LOG") << row.name;
}

TEST(FindFiles, ReportsEachRowAsFoundAndEndsWhenStopped) {
  const Volume volume;
  std::atomic<bool> stop{false};
  std::vector<std::pair<std::string, std::size_t>> reported;
  const auto all = FindFiles(volume.store, volume.fatTree, false, "*", stop,
                             [&](const FoundFileRow& row, std::size_t count) { reported.emplace_back(row.name, count); });
  ASSERT_EQ(all.size(), 8u);
  ASSERT_EQ(reported.size(), 8u);
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(reported[i].first, all[i].name);
    EXPECT_EQ(reported[i].second, i + 1);
  }

  // Stop raised while the second row is reported: no third row follows.
  const auto stopped = FindFiles(volume.store, volume.fatTree, false, "*", stop, [&](const FoundFileRow&, std::size_t count) {
    if (count == 2) stop = true;
  });
  EXPECT_EQ(Rows(stopped), (std::vector<Row>{{"REPORT.DOC", "\\", 100}, {"SUMMARY.DOC", "\\Docs", 200}}));

  // Raised before the search: nothing.
  EXPECT_TRUE(FindFiles(volume.store, volume.fatTree, false, "*", stop).empty());
}

}  // namespace
}  // namespace salvex
