// The check-box marks of the items step: a folder's mark stands for all
// below it, unmarking something under it marks the rest instead, and the
// folders above say "partly".

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "wizard/marked_items.h"

namespace salvex::wizard {
namespace {

using State = MarkedItems::State;

// root ─ A ─ A1 (file 12)
//      │   └ files 10, 11
//      ├ B
//      └ file 13
class MarkedItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a = tree.InsertNode(FolderTreeModel::kRoot, "A", 0, 0);
    a1 = tree.InsertNode(a, "A1", 0, 0);
    b = tree.InsertNode(FolderTreeModel::kRoot, "B", 0, 0);
    files = {{FolderTreeModel::kRoot, {13}}, {a, {10, 11}}, {a1, {12}}};
  }

  MarkedItems::FilesOfNode FilesOf() const {
    return [this](TreeNodeId node) {
      const auto found = files.find(node);
      return found == files.end() ? std::span<const std::uint32_t>() : std::span<const std::uint32_t>(found->second);
    };
  }
  std::vector<TreeNodeId> Folders() const { return {marks.Folders().begin(), marks.Folders().end()}; }
  std::vector<std::uint32_t> Files() const { return {marks.Files().begin(), marks.Files().end()}; }

  FolderTreeModel tree;
  TreeNodeId a = 0, a1 = 0, b = 0;
  std::map<TreeNodeId, std::vector<std::uint32_t>> files;
  MarkedItems marks;
};

TEST_F(MarkedItemsTest, AFolderStandsForAllBelowItAndUnmarkingInsideSplitsIt) {
  marks.SetFolder(tree, FilesOf(), a, true);
  EXPECT_EQ(Folders(), std::vector<TreeNodeId>{a});
  EXPECT_EQ(marks.FolderState(tree, a1), State::marked);
  EXPECT_TRUE(marks.FileMarked(tree, 12, a1));
  EXPECT_EQ(marks.FolderState(tree, FolderTreeModel::kRoot), State::partly);
  EXPECT_EQ(marks.FolderState(tree, b), State::unmarked);

  // File 11 unmarked: A's mark goes to what else it holds.
  marks.SetFile(tree, FilesOf(), 11, a, false);
  EXPECT_EQ(Folders(), std::vector<TreeNodeId>{a1});
  EXPECT_EQ(Files(), std::vector<std::uint32_t>{10});
  EXPECT_EQ(marks.FolderState(tree, a), State::partly);
  EXPECT_FALSE(marks.FileMarked(tree, 11, a));

  // The root marked takes in every earlier mark; B unmarked splits it.
  marks.SetFolder(tree, FilesOf(), FolderTreeModel::kRoot, true);
  EXPECT_EQ(Folders(), std::vector<TreeNodeId>{FolderTreeModel::kRoot});
  EXPECT_TRUE(Files().empty());
  marks.SetFolder(tree, FilesOf(), b, false);
  EXPECT_EQ(Folders(), std::vector<TreeNodeId>{a});
  EXPECT_EQ(Files(), std::vector<std::uint32_t>{13});
  EXPECT_EQ(marks.FolderState(tree, FolderTreeModel::kRoot), State::partly);

  // Unmarking what is marked leaves nothing, and nothing "partly".
  marks.SetFolder(tree, FilesOf(), a, false);
  marks.SetFile(tree, FilesOf(), 13, FolderTreeModel::kRoot, false);
  EXPECT_TRUE(marks.Empty());
  EXPECT_EQ(marks.FolderState(tree, FolderTreeModel::kRoot), State::unmarked);
}

}  // namespace
}  // namespace salvex::wizard
