// The wizard controller driven as a person drives the window, against a
// fake view, on an image made by sfdisk, mkfs.fat and mtools: both scan
// types from the disk to the items and back again, with the worker run in
// place.

#include <gtest/gtest.h>

#include <algorithm>

#include "session/session.h"
#include "session/worker.h"
#include "support/fake_wizard_view.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "wizard/wizard_controller.h"

namespace salvex::testing {
namespace {

using wizard::Command;
using wizard::Control;
using wizard::Key;
using wizard::TreeHit;
using wizard::TreeKind;

constexpr std::uint32_t kFatStart = 2048;
constexpr std::uint32_t kFatSectors = 69632;
constexpr std::uint64_t kDiskSectors = 81920;

class WizardFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel");
    image_ = dir_ / "wizard.img";
    DiskPlan plan;
    plan.totalSectors = kDiskSectors;
    plan.partitions = {{VolumeKind::fat32, false, kFatStart, kFatSectors, 0x0C, 1, "WIZARD"},
                       {VolumeKind::ntfsStub, false, kFatStart + kFatSectors, 4096, 0x07, 0, ""}};
    BuildDisk(image_, plan);
    MtoolsVolume volume(image_, kFatStart, dir_.Path());
    const std::int64_t time = NoonUtc({2019, 6, 2});
    volume.MakeFolders({"Docs", "Docs/Letters"}, time);
    volume.CopyFiles("", {PatternFile("readme.txt", 1200, time), PatternFile("gone-away.txt", 3000, time)});
    volume.CopyFiles("Docs", {PatternFile("report.doc", 40000, time)});
    volume.Delete({"gone-away.txt"});

    controller_ = std::make_unique<wizard::WizardController>(
        session_, view_, worker_, shell_, wizard::WizardController::Options{{image_.string()}, "", "", {}});
    controller_->StartUp();
  }

  // Clicks the image's node in the disk tree: it follows the machine's disks.
  void ClickImage() {
    const FolderTreeModel* disks = view_.trees.at(TreeKind::disks);
    ASSERT_NE(disks, nullptr);
    const auto& nodes = disks->Children(FolderTreeModel::kRoot);
    ASSERT_FALSE(nodes.empty());
    controller_->OnTreeClick(nodes.back(), TreeHit::onItem);
    ASSERT_EQ(session_.disks.disks[session_.scan.diskIndex].devicePath, image_.string());
  }

  void ClickNode(TreeKind kind, std::size_t child) {
    const FolderTreeModel* tree = view_.trees.at(kind);
    ASSERT_NE(tree, nullptr);
    ASSERT_LT(child, tree->Children(FolderTreeModel::kRoot).size());
    controller_->OnTreeClick(tree->Children(FolderTreeModel::kRoot)[child], TreeHit::onItem);
  }

  std::size_t RowOf(const std::string& name) const {
    const auto names = view_.ListNames();
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) throw std::runtime_error("no row " + name);
    return static_cast<std::size_t>(found - names.begin());
  }

  TempDir dir_;
  std::filesystem::path image_;
  Session session_;
  FakeWizardView view_;
  SynchronousWorker worker_;
  FakeShell shell_;
  std::unique_ptr<wizard::WizardController> controller_;
};

TEST_F(WizardFlow, StandardScanFromTheDiskToTheItemsAndBack) {
  EXPECT_EQ(controller_->StepNumber(), 0);
  EXPECT_FALSE(view_.Visible(Control::next));
  EXPECT_TRUE(view_.CommandEnabled(Command::settings));
  EXPECT_FALSE(view_.CommandEnabled(Command::loadSnapshot));
  ClickImage();
  EXPECT_EQ(view_.panelValues["Capacity"], std::to_string(session_.disks.disks[session_.scan.diskIndex].totalSectors / 2048) +
                                               " MB ( Approx )");
  EXPECT_TRUE(view_.Visible(Control::next));

  session_.filters.Add("*.DOC");
  controller_->OnNext();
  EXPECT_EQ(session_.filters.FilterCount(), 0u);
  ASSERT_EQ(controller_->StepNumber(), 1);
  EXPECT_EQ(view_.trees.at(TreeKind::partitions)->Text(FolderTreeModel::kRoot),
            "Storage Device " + std::to_string(session_.scan.diskIndex));
  EXPECT_EQ(view_.TreeNodes(TreeKind::partitions),
            (std::vector<std::string>{"Partition 1 - FAT32", "Partition 2 - NTFS"}));
  EXPECT_EQ(view_.ShownLabels(),
            (std::vector<std::string>{"Partition Type", "Partition Start", "Partition End", "Partition Size"}));
  EXPECT_TRUE(view_.CommandEnabled(Command::loadSnapshot));
  EXPECT_FALSE(view_.Visible(Control::next));

  // The Standard Scan refuses NTFS and stays in the partition step.
  ClickNode(TreeKind::partitions, 1);
  controller_->OnNext();
  EXPECT_EQ(view_.LastBox(), "This is NTFS partition. If earlier it was FAT partition and you want to recover it,\n"
                             " use Advance Scan OR download the Salvex for NTFS.");
  EXPECT_EQ(controller_->StepNumber(), 1);

  ClickNode(TreeKind::partitions, 0);
  EXPECT_EQ(view_.panelValues["Partition Start"], std::to_string(kFatStart));
  // The first sector past the partition, as the range group's End Sector.
  EXPECT_EQ(view_.panelValues["Partition End"], std::to_string(kFatStart + kFatSectors));
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 3);
  EXPECT_EQ(view_.LastBox(), "If you don't find your file(s) or folder(s) here, you can use \"Advance scan\"");
  EXPECT_EQ(view_.boxes.back().kind, NoticeKind::information);
  EXPECT_EQ(view_.TreeNodes(TreeKind::items), (std::vector<std::string>{"Docs"}));
  EXPECT_EQ(view_.listLayout, wizard::ListLayout::itemsSizeRight);
  EXPECT_TRUE(view_.CommandEnabled(Command::recoverAll));
  EXPECT_FALSE(view_.CommandEnabled(Command::loadSnapshot));
  // Folders first, then files, in the order found; the deleted file is listed.
  const auto names = view_.ListNames();
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "Docs");
  EXPECT_EQ(view_.list->Row(RowOf("gone-away.txt")).type.rfind("Deleted ", 0), 0u);
  EXPECT_EQ(view_.list->Row(RowOf("readme.txt")).size, "1200");
  EXPECT_EQ(view_.list->Row(0).created, "02-06-2019 ");

  // Opening a folder row shows its contents and moves the tree to it; the
  // keys stay in the list, on its first row.
  view_.selectedRow = 0;
  controller_->OnListDoubleClick();
  EXPECT_EQ(view_.ListNames(), (std::vector<std::string>{"Letters", "report.doc"}));
  EXPECT_EQ(view_.trees.at(TreeKind::items)->Text(view_.selectedNode.at(TreeKind::items)), "Docs");
  EXPECT_FALSE(controller_->TreeIsActive());
  EXPECT_EQ(view_.focus, "list");
  EXPECT_EQ(view_.selectedRow, std::size_t{0});
  // A file row is extracted to a private folder and handed to the desktop.
  view_.selectedRow = 1;
  controller_->OpenSelectedItem(true);
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_TRUE(shell_.opened[0].second);
  EXPECT_EQ(ReadWholeFile(shell_.opened[0].first), HighBytes("report.doc", 40000));

  // Back asks before it throws the results away; No keeps them.
  const std::size_t items = session_.items.FatFiles().Size();
  controller_->OnBack();
  EXPECT_EQ(view_.LastBox(), "Going back discards the results of this scan. Go back ?");
  EXPECT_EQ(controller_->StepNumber(), 3);
  EXPECT_EQ(session_.items.FatFiles().Size(), items);
  view_.answers.push_back(true);
  controller_->OnBack();
  EXPECT_EQ(controller_->StepNumber(), 1);
  // The partition scanned is still chosen: its panel filled, Next shown.
  EXPECT_TRUE(view_.Visible(Control::next));
  EXPECT_EQ(view_.panelValues["Partition Start"], std::to_string(kFatStart));
  EXPECT_EQ(view_.listLayout, wizard::ListLayout::details);
  EXPECT_EQ(session_.items.FatFiles().Size(), 0u);

  controller_->OnBack();
  EXPECT_EQ(controller_->StepNumber(), 0);
  EXPECT_FALSE(session_.reader.IsOpen());
  // A second Next walks the tables again.
  session_.partitions.Clear();
  controller_->OnNext();
  EXPECT_EQ(session_.partitions.partitionCount, 2u);
}

TEST_F(WizardFlow, AdvanceScanFromTheRangeToTheMountedItemsAndBack) {
  controller_->OnScanType(ScanType::advance);
  ClickImage();
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 1);
  // The range group is preset from the first partition: start + count as its end.
  EXPECT_TRUE(view_.Visible(Control::rangeGroup));
  EXPECT_EQ(view_.range.fileSystemPosition, 1);
  EXPECT_EQ(view_.range.startSector, std::to_string(kFatStart));
  EXPECT_EQ(view_.range.endSector, std::to_string(kFatStart + kFatSectors));
  // Clicking the partition gives the same end: the first sector past it.
  ClickNode(TreeKind::partitions, 0);
  EXPECT_EQ(view_.range.endSector, std::to_string(kFatStart + kFatSectors));

  view_.range.endSector = view_.range.startSector;
  controller_->OnNext();
  EXPECT_EQ(view_.LastBox(), "      End sector should be bigger than start sector");
  EXPECT_EQ(controller_->StepNumber(), 1);

  view_.range.endSector = std::to_string(kFatStart + kFatSectors);
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 2);
  EXPECT_EQ(session_.scan.rangeSize, kFatSectors);
  const auto found = view_.TreeNodes(TreeKind::foundFileSystems);
  ASSERT_FALSE(found.empty());
  // Named by its boot sector, where the panel says it starts.
  EXPECT_EQ(found[0], "FAT32 @" + std::to_string(kFatStart));
  EXPECT_EQ(view_.ShownLabels(),
            (std::vector<std::string>{"File System Start", "Sectors Per Cluster", "File System Size"}));
  EXPECT_TRUE(view_.CommandEnabled(Command::loadSnapshot));
  EXPECT_FALSE(view_.CommandEnabled(Command::saveSnapshot));

  ClickNode(TreeKind::foundFileSystems, 0);
  EXPECT_EQ(view_.panelValues["File System Start"], std::to_string(kFatStart));
  EXPECT_EQ(view_.panelValues["Sectors Per Cluster"], "1");
  EXPECT_TRUE(view_.Visible(Control::next));
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 3);
  EXPECT_TRUE(view_.ShownLabels().empty());
  EXPECT_EQ(view_.listLayout, wizard::ListLayout::itemsSizeLeft);
  const auto names = view_.ListNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "readme.txt"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "Docs"), names.end());

  view_.answers.push_back(true);  // discard the mounted items
  controller_->OnBack();
  EXPECT_EQ(controller_->StepNumber(), 2);
  EXPECT_TRUE(view_.Visible(Control::next));  // the file system mounted is still chosen
  EXPECT_FALSE(view_.panelValues["File System Start"].empty());
  EXPECT_EQ(view_.trees.at(TreeKind::items), nullptr);
  view_.answers.push_back(true);  // discard what the sweep found
  controller_->OnBack();
  EXPECT_EQ(controller_->StepNumber(), 1);
  EXPECT_EQ(view_.trees.at(TreeKind::foundFileSystems), nullptr);
  EXPECT_EQ(session_.deepScan.FoundFileSystemCount(), 0u);
  EXPECT_TRUE(view_.Visible(Control::next));
}

TEST_F(WizardFlow, KeysInTheItemsStepAndDuringARename) {
  ClickImage();
  controller_->OnNext();
  ClickNode(TreeKind::partitions, 0);
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 3);
  EXPECT_TRUE(controller_->OnKey(Key::escape));
  EXPECT_FALSE(controller_->OnKey(Key::f1));

  // Tab moves between the list and the tree.
  EXPECT_FALSE(controller_->TreeIsActive());
  EXPECT_TRUE(controller_->OnKey(Key::tab));
  EXPECT_EQ(view_.focus, "tree");
  EXPECT_TRUE(controller_->OnKey(Key::tab));
  EXPECT_EQ(view_.focus, "list");

  // Backspace (or Alt+Up) shows the folder above; Home and End pick the
  // list's first and last rows.
  const std::size_t rootRows = view_.list->RowCount();
  const TreeNodeId docs = view_.trees.at(TreeKind::items)->Children(FolderTreeModel::kRoot)[0];
  controller_->OnTreeClick(docs, TreeHit::onItem);
  controller_->OnListClick();  // the keys go to the list
  ASSERT_NE(view_.list->RowCount(), rootRows);
  EXPECT_TRUE(controller_->OnKey(Key::parentFolder));
  EXPECT_EQ(view_.list->RowCount(), rootRows);
  EXPECT_EQ(view_.selectedNode.at(TreeKind::items), FolderTreeModel::kRoot);
  EXPECT_TRUE(controller_->OnKey(Key::end));
  EXPECT_EQ(view_.selectedRow, rootRows - 1);
  EXPECT_TRUE(controller_->OnKey(Key::home));
  EXPECT_EQ(view_.selectedRow, std::size_t{0});
  // In a list sorted the other way round, Home is the row shown first.
  for (std::size_t row = rootRows; row-- > 0;) view_.shownOrder.push_back(row);
  EXPECT_TRUE(controller_->OnKey(Key::home));
  EXPECT_EQ(view_.selectedRow, rootRows - 1);
  view_.shownOrder.clear();

  // F2 renames the selected row; the keys do nothing more until it ends.
  view_.selectedRow = RowOf("readme.txt");
  EXPECT_TRUE(controller_->OnKey(Key::f2));
  ASSERT_TRUE(controller_->RenameInProgress());
  EXPECT_EQ(view_.renamingRow, RowOf("readme.txt"));
  for (const Key key : {Key::tab, Key::enter, Key::f2}) EXPECT_FALSE(controller_->OnKey(key));
  EXPECT_EQ(view_.focus, "list");
  controller_->OnRenameEnded("");
  EXPECT_EQ(view_.list->Row(RowOf("readme.txt")).name, "readme.txt");  // empty: the old name stays
  view_.selectedRow = RowOf("readme.txt");
  controller_->OnRenameStarted();
  controller_->OnRenameEnded("../up.txt");
  EXPECT_EQ(view_.list->Row(RowOf("readme.txt")).name, "readme.txt");  // a slash: refused, said so
  EXPECT_EQ(view_.LastBox(), "A name cannot contain \"/\": the old name is kept.");

  view_.selectedRow = 0;  // the folder Docs
  controller_->OnRenameStarted();
  controller_->OnRenameEnded("Papers");
  EXPECT_EQ(view_.trees.at(TreeKind::items)->Text(view_.trees.at(TreeKind::items)->Children(1)[0]), "Papers");
  EXPECT_EQ(session_.items.FatFolders().Items()[0].name, "Papers");
}

TEST_F(WizardFlow, StopAndExitAskFirst) {
  controller_->OnStop();
  EXPECT_EQ(view_.LastBox(), "Do you want to stop the current process ?");
  EXPECT_FALSE(session_.scan.StopRequested());
  view_.answers = {true};
  controller_->OnStop();
  EXPECT_TRUE(session_.scan.StopRequested());

  controller_->OnExit();
  EXPECT_EQ(view_.LastBox(), "Do you really want to exit ?");
  EXPECT_FALSE(view_.quitStatus);
  view_.answers = {true};
  controller_->OnExit();
  EXPECT_EQ(view_.quitStatus, 0);
  EXPECT_TRUE(shell_.urls.empty());  // no home page is set
}

// What the wizard does when the disk gives it nothing to work with.
class WizardOnABlankDisk : public ::testing::Test {
 protected:
  void Start(const DiskPlan& plan) {
    image_ = dir_ / "blank.img";
    BuildDisk(image_, plan);
    controller_ = std::make_unique<wizard::WizardController>(
        session_, view_, worker_, shell_, wizard::WizardController::Options{{image_.string()}, "", "", {}});
    controller_->StartUp();
    const auto& nodes = view_.trees.at(TreeKind::disks)->Children(FolderTreeModel::kRoot);
    controller_->OnTreeClick(nodes.back(), TreeHit::onItem);
    controller_->OnNext();
  }

  TempDir dir_;
  std::filesystem::path image_;
  Session session_;
  FakeWizardView view_;
  SynchronousWorker worker_;
  FakeShell shell_;
  std::unique_ptr<wizard::WizardController> controller_;
};

TEST_F(WizardOnABlankDisk, NoTablesStartTheQuickSearchWhichSaysWhatToDoNext) {
  SALVEX_REQUIRE_TOOLS("sfdisk");
  DiskPlan plan;
  plan.totalSectors = 40960;
  Start(plan);
  ASSERT_EQ(controller_->StepNumber(), 1);
  ASSERT_GE(view_.boxes.size(), 2u);
  EXPECT_EQ(view_.boxes[view_.boxes.size() - 2].text,
            " No partitions found, going to make a quick search for missing partitions");
  EXPECT_EQ(view_.boxes[view_.boxes.size() - 2].kind, NoticeKind::information) << "what comes next, not an error";
  EXPECT_EQ(view_.LastBox(), "No partition found, use advance mode to recover the data");
  EXPECT_TRUE(view_.TreeNodes(TreeKind::partitions).empty());
  EXPECT_TRUE(view_.Visible(Control::searchPartitions));
  EXPECT_TRUE(view_.Visible(Control::back));
  EXPECT_FALSE(view_.Visible(Control::next));
  EXPECT_TRUE(view_.CommandEnabled(Command::loadSnapshot));
}

// A GPT basic-data partition nothing formatted: the tree names it Unknown,
// the Standard Scan says why it cannot read it and offers no Next, and the
// Advance Scan takes its range.
TEST_F(WizardOnABlankDisk, AnEmptyBasicDataPartitionIsUnknownInTheTree) {
  SALVEX_REQUIRE_TOOLS("sfdisk");
  DiskPlan plan;
  plan.totalSectors = 40960;
  plan.gpt = true;
  plan.partitions = {{VolumeKind::foreign, false, 2048, 32768, 0x07, 0, ""}};
  Start(plan);
  ASSERT_EQ(view_.TreeNodes(TreeKind::partitions), (std::vector<std::string>{"Partition 1 - Unknown"}));
  const auto click = [&] {
    controller_->OnTreeClick(view_.trees.at(TreeKind::partitions)->Children(FolderTreeModel::kRoot)[0],
                             TreeHit::onItem);
  };
  click();
  EXPECT_EQ(view_.LastBox().rfind("Partition 1 - Unknown holds no FAT, exFAT or NTFS boot sector", 0), 0u)
      << view_.LastBox();
  EXPECT_FALSE(view_.Visible(Control::next));
  EXPECT_EQ(controller_->StepNumber(), 1);

  controller_->OnBack();
  controller_->OnScanType(ScanType::advance);
  controller_->OnNext();
  click();
  EXPECT_TRUE(view_.Visible(Control::next));
  EXPECT_EQ(session_.scan.rangeStart, 2048u);
  EXPECT_EQ(session_.scan.rangeSize, 32768u);
}

TEST_F(WizardOnABlankDisk, AVolumeWithoutGeometryStaysInThePartitionStep) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat");
  DiskPlan plan;
  plan.totalSectors = 40960;
  plan.partitions = {{VolumeKind::foreign, false, 2048, 32768, 0x06, 0, ""}};
  Start(plan);
  ASSERT_EQ(view_.TreeNodes(TreeKind::partitions), (std::vector<std::string>{"Partition 1 - FAT16"}));
  controller_->OnTreeClick(view_.trees.at(TreeKind::partitions)->Children(FolderTreeModel::kRoot)[0],
                           TreeHit::onItem);
  controller_->OnNext();
  EXPECT_EQ(view_.LastBox(), "Recovery is not possible in Standard scan, use Advance scan");
  EXPECT_EQ(controller_->StepNumber(), 1);
  EXPECT_TRUE(view_.Visible(Control::back));
  EXPECT_TRUE(view_.Visible(Control::next));

  // The Advance Scan refuses NTFS chosen in its list as the Standard Scan does.
  controller_->OnBack();
  controller_->OnScanType(ScanType::advance);
  controller_->OnNext();
  view_.range.fileSystemPosition = 2;
  controller_->OnNext();
  EXPECT_EQ(view_.LastBox().rfind("This is NTFS partition.", 0), 0u);
  EXPECT_EQ(controller_->StepNumber(), 1);

  // A FAT16 sweep of the foreign volume finds nothing, and says so.
  view_.range.fileSystemPosition = 0;
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 2);
  EXPECT_TRUE(view_.TreeNodes(TreeKind::foundFileSystems).empty());
  EXPECT_EQ(view_.status, "No file system was found in the range: try a wider range or another file system type.");
  EXPECT_FALSE(view_.Visible(Control::next));
}

}  // namespace
}  // namespace salvex::testing
