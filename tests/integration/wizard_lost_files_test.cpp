// The window's "Lost Files" node lists what the tree build put there (here
// the folders nested deeper than 256 levels of a FAT32 volume made by
// mkfs.fat and mtools), not the root's contents.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "support/wizard_on_image.h"

namespace salvex::testing {
namespace {

using wizard::TreeHit;
using wizard::TreeKind;

TEST(WizardLostFiles, ClickingLostFilesListsWhatItHolds) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd");
  TempDir dir;
  const auto image = dir / "deep.img";
  DiskPlan plan;
  plan.totalSectors = 2048 + 69632;
  plan.partitions = {{VolumeKind::fat32, false, 2048, 69632, 0x0C, 1, ""}};
  BuildDisk(image, plan);
  MtoolsVolume volume(image, 2048, dir.Path());
  std::vector<std::string> chain{"D"};
  while (chain.size() < 260) chain.push_back(chain.back() + "/D");
  volume.MakeFolders(chain, NoonUtc({2020, 1, 2}));
  volume.CopyFiles("", {PatternFile("root.txt", 100, NoonUtc({2020, 1, 2}))});

  WizardOnImage run(image);
  FakeWizardView& view = run.view;
  wizard::WizardController& controller = run.controller;
  run.Click(TreeKind::disks, -1);
  controller.OnNext();
  run.Click(TreeKind::partitions, 0);
  controller.OnNext();
  ASSERT_EQ(controller.StepNumber(), 3) << view.LastBox();
  EXPECT_EQ(view.TreeNodes(TreeKind::items), (std::vector<std::string>{"D", "Lost Files"}));
  EXPECT_EQ(view.ListNames(), (std::vector<std::string>{"D", "root.txt"}));

  controller.OnTreeClick(view.trees.at(TreeKind::items)->Children(FolderTreeModel::kRoot).at(1), TreeHit::onItem);

  EXPECT_EQ(view.ListNames(), std::vector<std::string>{"D"});
  EXPECT_TRUE(view.list->FolderNode(0).has_value());
}

}  // namespace
}  // namespace salvex::testing
