// A Search by File Type driven as a person drives the window, against a
// fake view: a card made by sfdisk, mkfs.fat and mtools with a photo, a
// chart and a PDF on it, whose FATs and root directory are then zeroed.
// What is found is listed under "Found by Content/<type>/", recovers byte
// for byte, and comes back the same from a snapshot.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "session/item_bytes.h"
#include "session/recovery_choice.h"
#include "session/session.h"
#include "session/snapshot_files.h"
#include "session/worker.h"
#include "support/fake_wizard_view.h"
#include "support/format_writers.h"
#include "support/jpeg_writer.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "wizard/file_type_choices.h"
#include "wizard/wizard_controller.h"

namespace salvex::testing {
namespace {

using wizard::Control;
using wizard::TreeHit;
using wizard::TreeKind;

constexpr std::uint32_t kFatStart = 2048;
constexpr std::uint32_t kFatSectors = 65536;

std::string Text(const FileBytes& bytes) { return {bytes.begin(), bytes.end()}; }

class WizardContentSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "dd");
    image_ = dir_ / "card.img";
    DiskPlan plan;
    plan.totalSectors = kFatStart + kFatSectors;
    plan.partitions = {{VolumeKind::fat16, false, kFatStart, kFatSectors, 0x06, 4, "CARD"}};
    BuildDisk(image_, plan);
    originals_ = {{"jpg", Text(WriteJpeg({320, 240, true, 0, 85, 5}))},
                  {"png", Text(WritePng(200, 120, 6))},
                  {"pdf", Text(WritePdf(3, 7))}};
    MtoolsVolume volume(image_, kFatStart, dir_.Path());
    volume.CopyFiles("", {{"PHOTO.JPG", originals_[0].second, MtoolsVolume::kToolEpoch},
                          {"CHART.PNG", originals_[1].second, MtoolsVolume::kToolEpoch},
                          {"MINUTES.PDF", originals_[2].second, MtoolsVolume::kToolEpoch}});
    // Both FATs and the root directory become zeros; the boot sector stays.
    const std::string boot = ReadWholeFile(image_).substr(std::size_t{kFatStart} * 512, 512);
    const auto byte = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(boot[at])); };
    const unsigned reserved = byte(14) | byte(15) << 8;
    const unsigned tables = byte(16) * (byte(22) | byte(23) << 8) + (byte(17) | byte(18) << 8) * 32 / 512;
    RunChecked("dd if=/dev/zero of=" + ShellQuote(image_.string()) + " bs=512 seek=" +
               std::to_string(kFatStart + reserved) + " count=" + std::to_string(tables) +
               " conv=notrunc status=none");

    controller_ = std::make_unique<wizard::WizardController>(
        session_, view_, worker_, shell_, wizard::WizardController::Options{{image_.string()}, "", "", {}});
    controller_->StartUp();
  }

  void ClickNode(TreeKind kind, std::size_t child) {
    const FolderTreeModel* tree = view_.trees.at(kind);
    ASSERT_NE(tree, nullptr);
    ASSERT_LT(child, tree->Children(FolderTreeModel::kRoot).size());
    controller_->OnTreeClick(tree->Children(FolderTreeModel::kRoot)[child], TreeHit::onItem);
  }

  void Tick(const std::vector<std::string>& types) {
    for (wizard::FileTypeChoice& type : view_.fileTypes.types) {
      type.checked = std::find(types.begin(), types.end(), type.name) != types.end();
    }
  }

  // Every file the store lists, read as a recovery reads it, by its type
  // folder's name.
  std::multimap<std::string, std::string> FoundBytes() {
    std::multimap<std::string, std::string> found;
    RecoveryRunState run;
    const auto& files = session_.items.FatFiles().Items();
    for (std::uint32_t i = 0; i < files.size(); ++i) {
      const auto folder = session_.items.FindFatFolder(files[i].parentCluster);
      const ItemBytes read = ReadItemBytes(session_, i, SIZE_MAX, run);
      EXPECT_TRUE(read.whole) << files[i].name << ": " << read.error;
      found.emplace(folder ? session_.items.FatFolders().Items()[*folder].name : "?", Text(read.bytes));
    }
    return found;
  }

  TempDir dir_;
  std::filesystem::path image_;
  std::vector<std::pair<std::string, std::string>> originals_;  // by type
  Session session_;
  FakeWizardView view_;
  SynchronousWorker worker_;
  FakeShell shell_;
  std::unique_ptr<wizard::WizardController> controller_;
};

TEST_F(WizardContentSearch, FoundFilesAreListedByTypeRecoverByteForByteAndSurviveASnapshot) {
  controller_->OnScanType(ScanType::byFileType);
  const FolderTreeModel* disks = view_.trees.at(TreeKind::disks);
  controller_->OnTreeClick(disks->Children(FolderTreeModel::kRoot).back(), TreeHit::onItem);
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 1);
  EXPECT_TRUE(view_.Visible(Control::fileTypeGroup));
  EXPECT_FALSE(view_.Visible(Control::rangeGroup));
  EXPECT_EQ(view_.fileTypes.types.size(), wizard::DefaultFileTypeChoices().types.size());
  EXPECT_NE(view_.quickHelp.find("Tick the file types to look for."), std::string::npos);

  // Nothing ticked: the step stays, and says why.
  ClickNode(TreeKind::partitions, 0);
  Tick({});
  controller_->OnNext();
  EXPECT_EQ(view_.LastBox(), wizard::kNoFileTypeMessage);
  EXPECT_EQ(controller_->StepNumber(), 1);

  Tick({"jpg", "png", "pdf"});
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 3);
  EXPECT_EQ(view_.LastBox(), "3 file(s) found by their content are listed under \"Found by Content\", by type.");
  EXPECT_FALSE(view_.Visible(Control::fileTypeGroup));
  EXPECT_EQ(view_.panelValues["File(s) Found"], "3");
  ASSERT_EQ(view_.TreeNodes(TreeKind::items), std::vector<std::string>{"Found by Content"});
  // The types in the order found, on the card's clusters as mcopy laid them.
  EXPECT_EQ(view_.ListNames(), (std::vector<std::string>{"jpg", "png", "pdf"}));
  EXPECT_TRUE(view_.CommandEnabled(wizard::Command::recoverAll));
  EXPECT_TRUE(view_.CommandEnabled(wizard::Command::saveSnapshot));

  using ByType = std::multimap<std::string, std::string>;
  const ByType found = FoundBytes();
  EXPECT_EQ(found, ByType(originals_.begin(), originals_.end()));

  // Recover All writes them under the folders the tree shows.
  const Destination destination = OpenRecoveryDestination(session_, (dir_ / "out").string());
  ASSERT_TRUE(destination.outcome.Ok()) << destination.outcome.error;
  RecoveryRunState run;
  SilentSavingView saving;
  const RecoverySelection all{true, {}, {}};
  const RecoverySummary summary =
      RecoverItems(session_, *controller_->Tree(TreeKind::items), all, *destination.folder, view_, saving, run);
  EXPECT_TRUE(summary.AllWritten());
  ASSERT_EQ(summary.files.size(), 3u);
  for (const RecoveredFile& file : summary.files) {
    const auto& item = session_.items.FatFiles().Items()[file.position];
    const auto folder = session_.items.FindFatFolder(item.parentCluster);
    ASSERT_TRUE(folder);
    const std::string& type = session_.items.FatFolders().Items()[*folder].name;
    EXPECT_EQ(file.hostPath, (dir_ / "out" / "Found by Content" / type / item.name).string());
    const auto original =
        std::find_if(originals_.begin(), originals_.end(), [&](const auto& o) { return o.first == type; });
    ASSERT_NE(original, originals_.end());
    EXPECT_EQ(ReadWholeFile(file.hostPath), original->second) << file.hostPath;
  }

  // A snapshot of it, in the found files' version, loads in the partition
  // step as the search left them.
  const SavedSnapshot saved = SaveTreeSnapshotFile(session_, (dir_ / "found").string());
  ASSERT_EQ(saved.failure, SavedSnapshot::Failure::none);
  EXPECT_EQ(ReadWholeFile(saved.path).substr(7, 3), "1.1");
  view_.answers.push_back(true);
  controller_->OnBack();
  ASSERT_EQ(controller_->StepNumber(), 1);
  EXPECT_TRUE(view_.Visible(Control::fileTypeGroup));
  EXPECT_EQ(session_.items.FatFiles().Size(), 0u);
  controller_->LoadSnapshot(saved.path);
  ASSERT_EQ(controller_->StepNumber(), 3);
  ASSERT_EQ(view_.TreeNodes(TreeKind::items), std::vector<std::string>{"Found by Content"});
  EXPECT_EQ(FoundBytes(), found);
}

}  // namespace
}  // namespace salvex::testing
