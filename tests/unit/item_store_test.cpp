#include "items/item_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "items/folder_tree.h"
#include "items/folder_tree_model.h"
#include "items/item_paths.h"
#include "support/recording_ui_port.h"

namespace salvex {
namespace {

// Records the tree as "parent>child" lines, in insertion order.
class RecordingTreeSink final : public FolderTreeSink {
 public:
  TreeNodeId InsertNode(TreeNodeId parent, std::string_view text, int image, int selectedImage) override {
    EXPECT_EQ(image, kFolderImage);
    EXPECT_EQ(selectedImage, kOpenFolderImage);
    const TreeNodeId id = 100 + inserted.size();
    names[id] = std::string(text);
    inserted.push_back(names[parent] + ">" + std::string(text));
    return id;
  }
  void ExpandNode(TreeNodeId node) override { expanded.push_back(node); }

  std::map<TreeNodeId, std::string> names{{1, "root"}};
  std::vector<std::string> inserted;
  std::vector<TreeNodeId> expanded;
};

void AddFolder(ItemStore& store, const std::string& name, std::uint32_t cluster, std::uint32_t parent) {
  store.AddFatFolder(name, cluster, parent, 0, 0, 0, false);
}

// Two entries on one first cluster: the live folder keeps the cluster, a
// deleted one beside it is listed as overwritten, two alike keep the first.
TEST(ItemStore, TheLiveFolderOfAClusterWins) {
  struct Case {
    bool firstDeleted;
    bool secondDeleted;
    std::vector<std::string> listed;  // "name" or "name!" for overwritten
    std::uint32_t holder;             // position that keeps the cluster
  };
  const Case cases[] = {
      {true, false, {"first!", "second"}, 1},
      {false, true, {"first", "second!"}, 0},
      {true, true, {"first"}, 0},
      {false, false, {"first"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.firstDeleted) + std::to_string(c.secondDeleted));
    ItemStore store;
    store.AddFatFolder("first", 7, 0, 0, 0, 0, c.firstDeleted);
    store.AddFatFolder("second", 7, 3, 0, 0, 0, c.secondDeleted);
    std::vector<std::string> listed;
    for (const FatFolderItem& folder : store.FatFolders().Items()) {
      listed.push_back(folder.name + (folder.overwritten ? "!" : ""));
    }
    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(store.FindFatFolder(7).value_or(99), c.holder);
    EXPECT_EQ(store.counters.folderCount, c.listed.size());
  }
}

TEST(ItemStore, FoldersAreUniqueByFirstCluster) {
  ItemStore store;
  AddFolder(store, "a", 5, 0);
  AddFolder(store, "a-again", 5, 7);
  EXPECT_EQ(store.counters.folderCount, 1u);
  ASSERT_EQ(store.FatFolders().Size(), 1u);
  EXPECT_EQ(store.FatFolders().Items()[0].name, "a");
  EXPECT_EQ(store.FindFatFolder(5), 0u);
  EXPECT_FALSE(store.FindFatFolder(7).has_value());
}

TEST(ItemStore, FileIdsFollowTheCallersCount) {
  ItemStore store;
  for (const char* name : {"first", "second"}) {
    store.AddFatFile(name, 9, 0, 0, 0, 10, false);
    ++store.counters.fileCount;
  }
  EXPECT_EQ(store.FatFiles().Items()[0].id, 0u);
  EXPECT_EQ(store.FatFiles().Items()[1].id, 1u);
}

TEST(ItemStore, ChildrenKeepTheirOrderPerParent) {
  ItemStore store;
  store.AddFatFile("x", 10, 3, 0, 0, 1, false);
  store.AddFatFile("y", 11, 4, 0, 0, 1, false);
  store.AddFatFile("z", 12, 3, 0, 0, 1, false);
  const auto children = store.FatFiles().ChildrenOf(3);
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(store.FatFiles().Items()[children[0]].name, "x");
  EXPECT_EQ(store.FatFiles().Items()[children[1]].name, "z");
  EXPECT_TRUE(store.FatFiles().ChildrenOf(99).empty());
}

TEST(ItemStore, ClearOperationsEmptyListsAndCounters) {
  ItemStore store;
  AddFolder(store, "a", 5, 0);
  store.AddFatFile("f", 6, 5, 0, 0, 1, false);
  store.counters.fileCount = 1;
  store.counters.entriesSeen = 2;
  store.AddNtfsFolder("n", 40, 5, 0, 0, 0, false, true);
  store.ClearFatItems();
  EXPECT_EQ(store.FatFolders().Size(), 0u);
  EXPECT_EQ(store.FatFiles().Size(), 0u);
  EXPECT_TRUE(store.FatFiles().ChildrenOf(5).empty());
  EXPECT_FALSE(store.FindFatFolder(5).has_value());
  EXPECT_EQ(store.counters.fileCount, 0u);
  EXPECT_EQ(store.counters.entriesSeen, 0u);
  EXPECT_EQ(store.NtfsFolders().Size(), 1u);
  AddFolder(store, "a", 5, 0);
  EXPECT_EQ(store.FatFolders().Size(), 1u) << "a cleared key can be added again";
  store.ClearNtfsItems();
  EXPECT_EQ(store.NtfsFolders().Size(), 0u);
}

TEST(ItemStore, NtfsDuplicatesAreKeptOnlyInTheStandardScan) {
  ItemStore store;
  store.AddNtfsFolder("a", 40, 5, 0, 0, 0, false, false);
  store.AddNtfsFolder("b", 40, 5, 0, 0, 0, false, false);
  EXPECT_EQ(store.NtfsFolders().Size(), 2u);
  store.ClearNtfsItems();
  store.AddNtfsFolder("a", 40, 5, 0, 0, 0, false, true);
  store.AddNtfsFolder("b", 40, 5, 0, 0, 0, false, true);
  EXPECT_EQ(store.NtfsFolders().Size(), 1u);
  EXPECT_EQ(store.counters.folderCount, 1u);
}

TEST(FolderTree, PlacesFoldersDepthFirstInTheOrderFound) {
  ItemStore store;
  AddFolder(store, "A", 10, 0);
  AddFolder(store, "B", 20, 0);
  AddFolder(store, "A1", 11, 10);
  AddFolder(store, "orphan", 30, 99);
  AddFolder(store, "A2", 12, 10);
  AddFolder(store, "A1x", 13, 11);
  RecordingTreeSink sink;
  testing::RecordingUiPort ui;
  BuildFatFolderTree(store, sink, ui, 1);
  EXPECT_EQ(sink.inserted, (std::vector<std::string>{"root>A", "A>A1", "A1>A1x", "A>A2", "root>B", "root>Lost Files",
                                                     "Lost Files>orphan"}));
  EXPECT_EQ(sink.expanded, std::vector<TreeNodeId>{1});
  EXPECT_EQ(store.FatFolders().Items()[3].treeNode, 106u) << "an orphan goes under Lost Files";
  EXPECT_EQ(store.FatFolders().Items()[0].treeNode, 100u);
  EXPECT_EQ(store.counters.treePlacedCount, 6u);
  EXPECT_LE(ui.progress.back(), 99);

  BuildFatFolderTree(store, sink, ui, 1);
  EXPECT_EQ(store.counters.treePlacedCount, 6u) << "each build counts from 0";
}

TEST(FolderTree, EmptyStoreLeavesTheRootAloneAndExpanded) {
  ItemStore store;
  RecordingTreeSink sink;
  testing::RecordingUiPort ui;
  BuildFatFolderTree(store, sink, ui, 1);
  EXPECT_TRUE(sink.inserted.empty());
  EXPECT_EQ(sink.expanded, std::vector<TreeNodeId>{1});
  EXPECT_EQ(store.counters.folderCount, 0u);
}

TEST(FolderTree, NtfsKeysThatLeadBackToThemselvesAreNotDescended) {
  ItemStore store;
  store.AddNtfsFolder("top", 40, 5, 0, 0, 0, false, false);
  store.AddNtfsFolder("self", 40, 40, 0, 0, 0, false, false);  // a duplicate key under itself
  store.AddNtfsFolder("loop", 5, 5, 0, 0, 0, false, false);    // the root key under the root
  RecordingTreeSink sink;
  testing::RecordingUiPort ui;
  BuildNtfsFolderTree(store, sink, ui, 1);
  EXPECT_EQ(sink.inserted, (std::vector<std::string>{"root>top", "top>self", "root>loop"}));
}

TEST(FolderTree, ChainsOfDuplicateKeysStayBounded) {
  // Two copies of every level: a naive build would place 2^30 nodes.
  ItemStore store;
  for (std::uint32_t level = 0; level < 30; ++level) {
    const std::uint32_t parent = level == 0 ? 5 : 100 + level - 1;
    store.AddNtfsFolder("a", 100 + level, parent, 0, 0, 0, false, false);
    store.AddNtfsFolder("b", 100 + level, parent, 0, 0, 0, false, false);
  }
  RecordingTreeSink sink;
  testing::RecordingUiPort ui;
  BuildNtfsFolderTree(store, sink, ui, 1);
  EXPECT_LT(sink.inserted.size(), 10'000u);
  EXPECT_GE(sink.inserted.size(), 60u);
}

// Folders whose parent was never found, folders on a cycle of parent keys
// and files in no found folder: all in "Lost Files", each folder with what
// lies below it, and nothing else there.
TEST(FolderTree, WhatTheRootDoesNotReachIsUnderLostFiles) {
  ItemStore store;
  AddFolder(store, "kept", 10, 0);
  AddFolder(store, "inner", 31, 30);
  AddFolder(store, "orphan", 30, 99);
  AddFolder(store, "cycle a", 40, 41);
  AddFolder(store, "cycle b", 41, 40);
  store.AddFatFile("in kept", 50, 10, 0, 0, 1, false);
  store.AddFatFile("in inner", 51, 31, 0, 0, 1, true);
  store.AddFatFile("parent gone", 52, 77, 0, 0, 1, true);
  store.AddFatFile("in cycle", 53, 41, 0, 0, 1, true);
  FolderTreeModel tree;
  testing::RecordingUiPort ui;

  BuildFatFolderTree(store, tree, ui, FolderTreeModel::kRoot);

  const FatItemPaths paths(store, tree);
  std::vector<std::string> listed;
  for (std::uint32_t i = 0; i < store.FatFolders().Size(); ++i) listed.push_back(paths.FolderPath(i).value_or("-"));
  for (std::uint32_t i = 0; i < store.FatFiles().Size(); ++i) listed.push_back(paths.FilePath(i).value_or("-"));
  EXPECT_EQ(listed, (std::vector<std::string>{"kept", "Lost Files/orphan/inner", "Lost Files/orphan",
                                              "Lost Files/cycle a", "Lost Files/cycle a/cycle b", "kept/in kept",
                                              "Lost Files/orphan/inner/in inner", "Lost Files/parent gone",
                                              "Lost Files/cycle a/cycle b/in cycle"}));
  EXPECT_EQ(tree.NodeCount(), 1 + 1 + store.FatFolders().Size());
  EXPECT_TRUE(ui.notices.empty()) << "only folders too deep are announced";

  // Once every folder is reachable, there is no Lost Files.
  ItemStore whole;
  AddFolder(whole, "kept", 10, 0);
  FolderTreeModel wholeTree;
  BuildFatFolderTree(whole, wholeTree, ui, FolderTreeModel::kRoot);
  EXPECT_EQ(wholeTree.NodeCount(), 2u);
  EXPECT_FALSE(FatItemPaths(whole, wholeTree).LostFilesNode());
}

TEST(FolderTreeModel, PathsRunFromTheRoot) {
  FolderTreeModel model;
  const TreeNodeId documents = model.InsertNode(FolderTreeModel::kRoot, "Documents", 2, 1);
  const TreeNodeId letters = model.InsertNode(documents, "Letters", 2, 1);
  EXPECT_EQ(model.Path(FolderTreeModel::kRoot), "");
  EXPECT_EQ(model.Path(documents), "Documents");
  EXPECT_EQ(model.Path(letters), "Documents/Letters");
  EXPECT_EQ(model.Children(documents), std::vector<TreeNodeId>{letters});
  EXPECT_FALSE(model.Contains(0));
  EXPECT_FALSE(model.Contains(letters + 1));
}

}  // namespace
}  // namespace salvex
