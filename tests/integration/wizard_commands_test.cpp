// The window's commands as the wizard runs them, against fake views and
// dialogs, on an image made by sfdisk, mkfs.fat and mtools: which command
// acts in which step, the properties and drive-information rows, the find
// dialog's stop question, a recovery run and a snapshot saved and loaded
// again. The worker runs in place.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "session/session.h"
#include "session/recovery_choice.h"
#include "session/snapshot_files.h"
#include "session/worker.h"
#include "support/fake_command_view.h"
#include "support/fake_wizard_view.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "wizard/content_search_texts.h"
#include "wizard/information_rows.h"
#include "wizard/recovery_texts.h"
#include "wizard/row_menu.h"
#include "wizard/wizard_commands.h"
#include "wizard/list_summary.h"
#include "wizard/wizard_controller.h"

namespace salvex::testing {
namespace {

using wizard::Command;
using wizard::TreeHit;
using wizard::TreeKind;

constexpr std::uint32_t kFatStart = 2048;
constexpr std::uint32_t kFatSectors = 69632;

class WizardCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel");
    image_ = dir_ / "commands.img";
    DiskPlan plan;
    plan.totalSectors = 81920;
    plan.partitions = {{VolumeKind::fat32, false, kFatStart, kFatSectors, 0x0C, 1, "COMMANDS"}};
    BuildDisk(image_, plan);
    MtoolsVolume volume(image_, kFatStart, dir_.Path());
    const std::int64_t time = NoonUtc({2019, 6, 2});
    volume.MakeFolders({"Docs", "Docs/Letters", "Empty"}, time);
    volume.CopyFiles("", {PatternFile("kilo.bin", 1024, time), PatternFile("gone-away.txt", 3000, time)});
    volume.CopyFiles("Docs", {PatternFile("report.doc", 40000, time)});
    volume.Delete({"gone-away.txt"});

    controller_ = std::make_unique<wizard::WizardController>(
        session_, view_, worker_, shell_, wizard::WizardController::Options{{image_.string()}, "", "", {}});
    commands_ = std::make_unique<wizard::WizardCommands>(*controller_, session_, view_, dialogs_, shell_,
                                                         wizard::WizardCommands::Options{dir_.Path().string(), "", "test"});
    controller_->StartUp();
  }

  void ClickFirst(TreeKind kind, bool last = false) {
    const FolderTreeModel* tree = view_.trees.at(kind);
    ASSERT_NE(tree, nullptr);
    const auto& nodes = tree->Children(FolderTreeModel::kRoot);
    ASSERT_FALSE(nodes.empty());
    controller_->OnTreeClick(last ? nodes.back() : nodes.front(), TreeHit::onItem);
  }

  // The standard scan of the image's partition, to the items step.
  void ScanToTheItems() {
    ClickFirst(TreeKind::disks, true);
    controller_->OnNext();
    ASSERT_EQ(controller_->StepNumber(), 1);
    ClickFirst(TreeKind::partitions);
    controller_->OnNext();
    ASSERT_EQ(controller_->StepNumber(), 3);
  }

  void SelectRow(const std::string& name) {
    const auto names = view_.ListNames();
    const auto found = std::find(names.begin(), names.end(), name);
    ASSERT_NE(found, names.end()) << name;
    view_.SelectListRow(static_cast<std::size_t>(found - names.begin()));
  }

  // Every node of a tree below its root, depth first, as "parent/child".
  static std::vector<std::string> AllNodes(const FolderTreeModel& tree) {
    std::vector<std::string> paths;
    std::vector<std::pair<TreeNodeId, std::string>> pending{{FolderTreeModel::kRoot, ""}};
    while (!pending.empty()) {
      const auto [node, path] = pending.back();
      pending.pop_back();
      for (const TreeNodeId child : tree.Children(node)) {
        paths.push_back(path + "/" + tree.Text(child));
        pending.emplace_back(child, paths.back());
      }
    }
    return paths;
  }

  TempDir dir_;
  std::filesystem::path image_;
  Session session_;
  FakeWizardView view_;
  FakeCommandView dialogs_;
  SynchronousWorker worker_;
  FakeShell shell_;
  std::unique_ptr<wizard::WizardController> controller_;
  std::unique_ptr<wizard::WizardCommands> commands_;
};

TEST_F(WizardCommands, ACommandActsOnlyWhileItsMenuEntryIsEnabled) {
  // What each command opens: a dialog, or the chooser it asks first (all
  // choosers cancel here). Empty: nothing at all.
  const struct {
    Command command;
    const char* inDiskStep;
    const char* inItemsStep;
  } cases[] = {
      {Command::settings, "settings", "settings"},
      {Command::about, "about", "about"},
      {Command::fileFilters, "", "filters"},
      {Command::findFiles, "", "find"},
      {Command::driveInformation, "", "drive information"},
      {Command::recoverAll, "", "chooser folder"},
      {Command::saveSnapshot, "", "chooser save"},
      {Command::loadSnapshot, "", ""},
      {Command::openDiskImage, "chooser image", ""},
      {Command::createDiskImage, "", ""},  // no disk chosen yet: a box says so
  };
  const auto opened = [this](Command command) {
    dialogs_.opened.clear();
    dialogs_.choosers.clear();
    commands_->Run(command);
    if (!dialogs_.choosers.empty()) return "chooser " + dialogs_.choosers.front();
    return dialogs_.opened.empty() ? std::string() : dialogs_.opened.front();
  };
  for (const auto& c : cases) EXPECT_EQ(opened(c.command), c.inDiskStep) << static_cast<int>(c.command);
  ScanToTheItems();
  for (const auto& c : cases) EXPECT_EQ(opened(c.command), c.inItemsStep) << static_cast<int>(c.command);
}

TEST_F(WizardCommands, HelpOpensTheHelpFileElseTheManualElseSaysNeitherIsThere) {
  const struct {
    bool helpFile;
    bool manual;
    const char* opened;  // the dialog opened, if any
    const char* box;     // the box shown, if any
  } cases[] = {
      {false, true, "manual", ""},
      {false, false, "manual", " Brimora Salvex for FAT.chm not found"},
      {true, false, "", ""},
  };
  for (const auto& c : cases) {
    if (c.helpFile) std::ofstream(dir_ / "Brimora Salvex for FAT.chm") << "help";
    dialogs_.manualBundled = c.manual;
    dialogs_.opened.clear();
    view_.boxes.clear();
    commands_->Run(Command::helpContents);
    EXPECT_EQ(dialogs_.opened.empty() ? "" : dialogs_.opened.back(), std::string(c.opened));
    EXPECT_EQ(view_.LastBox(), c.box);
  }
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0].first, (dir_ / "Brimora Salvex for FAT.chm").string());
}

TEST_F(WizardCommands, OpenDiskImageAddsAStorageDeviceOnce) {
  const std::filesystem::path copy = dir_ / "copy.img";
  std::filesystem::copy_file(image_, copy);
  const std::size_t disks = view_.TreeNodes(TreeKind::disks).size();
  dialogs_.answers["image"] = copy.string();
  for (int time = 0; time < 2; ++time) {
    commands_->Run(Command::openDiskImage);
    EXPECT_EQ(view_.TreeNodes(TreeKind::disks).size(), disks + 1);
    EXPECT_EQ(session_.disks.disks[session_.scan.diskIndex].devicePath, copy.string());
    // Its number, then the image's file name.
    EXPECT_EQ(view_.TreeNodes(TreeKind::disks).back(),
              "Storage Device" + std::to_string(session_.scan.diskIndex) + " \u2014 copy.img");
  }
  dialogs_.answers["image"] = (dir_ / "missing.img").string();
  commands_->Run(Command::openDiskImage);
  EXPECT_EQ(view_.boxes.back().kind, NoticeKind::error);
  EXPECT_EQ(view_.TreeNodes(TreeKind::disks).size(), disks + 1);
}

// Refresh Disks lists the machine's disks again: an image added in the
// window stays, under its number, still chosen; an image's partitions are
// counted on its node.
TEST_F(WizardCommands, RefreshKeepsTheImagesAndTheirNumbers) {
  const std::filesystem::path copy = dir_ / "copy.img";
  std::filesystem::copy_file(image_, copy);
  dialogs_.answers["image"] = copy.string();
  commands_->Run(Command::openDiskImage);
  const auto lastRow = [this] {
    return view_.TreeRow(TreeKind::disks, view_.trees.at(TreeKind::disks)->Children(FolderTreeModel::kRoot).back());
  };
  const std::vector<std::string> row = lastRow();
  EXPECT_EQ(row.back(), "1");
  const std::size_t disks = view_.TreeNodes(TreeKind::disks).size();
  commands_->Run(Command::refreshDisks);
  EXPECT_EQ(view_.TreeNodes(TreeKind::disks).size(), disks);
  EXPECT_EQ(lastRow(), row);
  EXPECT_EQ(session_.disks.disks[session_.scan.diskIndex].devicePath, copy.string());
  EXPECT_EQ(view_.panelValues["Model"], "Disk image");
  EXPECT_TRUE(view_.Visible(wizard::Control::next));
}

// The disk and partitions trees are tables: each node's name, size and
// partitions, or size, type and start, the whole disk's at the root.
TEST_F(WizardCommands, DiskAndPartitionTreesShowTheirFiguresInColumns) {
  ClickFirst(TreeKind::disks, true);
  const std::string number = std::to_string(session_.scan.diskIndex);
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 1);
  const FolderTreeModel& disks = *view_.trees.at(TreeKind::disks);
  const FolderTreeModel& partitions = *view_.trees.at(TreeKind::partitions);
  const struct {
    TreeKind kind;
    TreeNodeId node;
    std::vector<std::string> headings;
    std::vector<std::string> row;
  } cases[] = {
      {TreeKind::disks, FolderTreeModel::kRoot, {"Name", "Size", "Partitions"}, {"My Computer", "", ""}},
      {TreeKind::disks, disks.Children(FolderTreeModel::kRoot).back(), {"Name", "Size", "Partitions"},
       {"Storage Device" + number + " \u2014 commands.img", "40 MB", "1"}},
      {TreeKind::partitions, FolderTreeModel::kRoot, {"Name", "File System", "Size", "Start"},
       {"Storage Device " + number, "", "40 MB", "0"}},
      {TreeKind::partitions, partitions.Children(FolderTreeModel::kRoot).front(),
       {"Name", "File System", "Size", "Start"}, {"Partition 1 - FAT32", "FAT32", "34 MB", std::to_string(kFatStart)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row.front());
    std::vector<std::string> headings;
    for (const TreeColumn& column : view_.trees.at(c.kind)->Columns()) headings.push_back(column.heading);
    EXPECT_EQ(headings, c.headings);
    EXPECT_EQ(view_.TreeRow(c.kind, c.node), c.row);
  }
}

// Create Disk Image: a run stopped part way keeps its map and adds
// nothing; the same command again finishes the image, which is added and
// chosen with its map, and opening it reads the map too. The source is
// refused as its own image, and a cancelled chooser starts nothing.
TEST_F(WizardCommands, CreateDiskImageStopsKeepsTheMapThenFinishesAndAddsTheImage) {
  const std::string image = (dir_ / "copy.img").string();
  const std::size_t disks = view_.TreeNodes(TreeKind::disks).size();
  commands_->Run(Command::createDiskImage);
  ASSERT_FALSE(view_.boxes.empty());
  EXPECT_EQ(view_.boxes.back().text, wizard::kChooseDiskToImageMessage);

  const TreeNodeId sourceNode = view_.trees.at(TreeKind::disks)->Children(FolderTreeModel::kRoot).back();
  const struct {
    const char* target;  // "" cancels the chooser
    std::optional<int> stopAfter;
    NoticeKind box;
    const char* said;
    std::size_t disksAfter;
  } cases[] = {
      {"", std::nullopt, NoticeKind::information, "", disks},
      {"SOURCE", std::nullopt, NoticeKind::error, kProtectedFileMessage, disks},
      {"COPY", 3, NoticeKind::information, "Stopped. The map", disks},
      {"COPY", std::nullopt, NoticeKind::information, "The image is finished", disks + 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.target) + (c.stopAfter ? " stopped" : ""));
    controller_->OnTreeClick(sourceNode, TreeHit::onItem);
    view_.boxes.clear();
    dialogs_.opened.clear();
    dialogs_.answers.erase("image target");
    if (std::string(c.target) == "SOURCE") dialogs_.answers["image target"] = image_.string();
    if (std::string(c.target) == "COPY") dialogs_.answers["image target"] = image;
    dialogs_.imaging.calls = 0;
    dialogs_.imaging.stopAfter = c.stopAfter;
    commands_->Run(Command::createDiskImage);
    EXPECT_EQ(dialogs_.imagedSource, image_.string());
    if (std::string(c.target).empty()) {
      EXPECT_TRUE(dialogs_.opened.empty());
      continue;
    }
    EXPECT_EQ(dialogs_.opened, (std::vector<std::string>{"imaging", "imaging closed"}));
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes.back().kind, c.box);
    EXPECT_NE(view_.boxes.back().text.find(c.said), std::string::npos) << view_.boxes.back().text;
    EXPECT_EQ(view_.TreeNodes(TreeKind::disks).size(), c.disksAfter);
  }
  EXPECT_TRUE(ReadWholeFile(image) == ReadWholeFile(image_));
  const DiskInfo& added = session_.disks.disks[session_.scan.diskIndex];
  EXPECT_EQ(added.devicePath, image);
  EXPECT_EQ(added.mapPath, image + ".map");
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 1);
  ASSERT_TRUE(session_.imageMap.has_value());
  EXPECT_TRUE(session_.imageMap->AllTried());
}

// Closing File Filters lists the folder shown again, through the filters,
// where it was: the status bar's count says how many files they hide.
TEST_F(WizardCommands, FiltersKeepTheFolderShownAndCountWhatTheyHide) {
  ScanToTheItems();
  const TreeNodeId docs = view_.trees.at(TreeKind::items)->Children(FolderTreeModel::kRoot).front();
  controller_->OnTreeClick(docs, TreeHit::onItem);
  controller_->OnListClick();
  view_.focus = "list";
  const struct {
    const char* filter;  // empty: none
    std::vector<std::string> names;
    const char* counts;
  } cases[] = {
      {"*.TXT", {"Letters"}, "1 folder, 0 files; 1 file hidden by File Filters"},
      {"", {"Letters", "report.doc"}, "1 folder, 1 file"},
  };
  for (const auto& c : cases) {
    dialogs_.editFilters = [&](FilterTable& filters) {
      filters.Clear();
      if (*c.filter != '\0') filters.Add(c.filter);
    };
    commands_->Run(Command::fileFilters);
    EXPECT_EQ(view_.ListNames(), c.names) << c.filter;
    EXPECT_EQ(wizard::ListCountsText(wizard::CountRows(*view_.list)), c.counts);
    EXPECT_EQ(view_.selectedNode.at(TreeKind::items), docs);
    EXPECT_EQ(view_.focus, "list");
    EXPECT_FALSE(controller_->TreeIsActive());
  }
}

// Files marked in different folders are recovered together, each under the
// folders that lead to it (or side by side, as the settings say).
TEST_F(WizardCommands, RecoverMarkedTakesTheMarksOfEveryFolder) {
  ScanToTheItems();
  const auto rowOf = [this](const std::string& name) {
    const auto names = view_.ListNames();
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  commands_->Run(Command::recoverMarked);
  EXPECT_EQ(view_.LastBox(),
            "Nothing is marked: tick the boxes of the files and folders to recover, in the list or the tree.");
  controller_->MarkListRow(rowOf("kilo.bin"), true);
  const TreeNodeId docs = view_.trees.at(TreeKind::items)->Children(FolderTreeModel::kRoot).front();
  controller_->OnTreeClick(docs, TreeHit::onItem);
  controller_->MarkListRow(rowOf("report.doc"), true);
  EXPECT_EQ(controller_->ListRowMark(rowOf("report.doc")), wizard::MarkedItems::State::marked);
  EXPECT_EQ(controller_->TreeNodeMark(docs), wizard::MarkedItems::State::partly);
  EXPECT_EQ(controller_->CountMarked().files, 2u);
  EXPECT_EQ(controller_->CountMarked().bytes, 1024u + 40000u);
  EXPECT_GT(view_.marksChanged, 0);
  const struct {
    bool keepFolders;
    const char* folder;
    std::vector<std::string> written;
  } cases[] = {
      {true, "kept", {"kilo.bin", "Docs/report.doc"}},
      {false, "flat", {"kilo.bin", "report.doc"}},
  };
  for (const auto& c : cases) {
    session_.settings.keepFolders = c.keepFolders;
    const std::filesystem::path into = dir_ / c.folder;
    dialogs_.answers["folder"] = into.string();
    commands_->Run(Command::recoverMarked);
    for (const std::string& path : c.written) EXPECT_TRUE(std::filesystem::exists(into / path)) << path;
    EXPECT_FALSE(std::filesystem::exists(into / "gone-away.txt")) << "not marked";
  }
}

// The view filters narrow what the list and the tree show, say how much
// they hide, and leave what a recovery takes as it was.
TEST_F(WizardCommands, ViewFiltersNarrowTheListAndTheTreeNotTheRecovery) {
  ScanToTheItems();
  const FolderTreeModel& tree = *view_.trees.at(TreeKind::items);
  const TreeNodeId docs = tree.Children(FolderTreeModel::kRoot).front();
  wizard::ViewFilter deleted;
  deleted.deleted = wizard::ShowDeleted::deletedOnly;
  wizard::ViewFilter documents;
  documents.type = wizard::TypeGroup::documents;
  const struct {
    const char* name;
    wizard::ViewFilter filter;
    std::vector<std::string> names;
    bool docsShown;
    const char* counts;
  } cases[] = {
      {"deleted", deleted, {"gone-away.txt"}, false, "0 folders, 1 file, 1 deleted; 3 items hidden by the view filter"},
      {"documents", documents, {"Docs", "gone-away.txt"}, true,
       "1 folder, 1 file, 1 deleted; 2 items hidden by the view filter"},
      {"none", wizard::ViewFilter{}, {"Docs", "Empty", "kilo.bin", "gone-away.txt"}, true,
       "2 folders, 2 files, 1 deleted"},
  };
  for (const auto& c : cases) {
    controller_->SetViewFilter(c.filter);
    EXPECT_EQ(view_.ListNames(), c.names) << c.name;
    EXPECT_EQ(view_.NodeShown(TreeKind::items, docs), c.docsShown) << c.name;
    EXPECT_EQ(wizard::ListCountsText(wizard::CountRows(*view_.list)), c.counts) << c.name;
  }
  controller_->SetViewFilter(deleted);
  const std::filesystem::path into = dir_ / "all";
  dialogs_.answers["folder"] = into.string();
  commands_->Run(Command::recoverAll);
  EXPECT_TRUE(std::filesystem::exists(into / "kilo.bin")) << "the view filters change nothing a recovery takes";
  // Back and a new scan start without them.
  view_.answers.push_back(true);
  controller_->OnBack();
  EXPECT_FALSE(view_.viewFilter.Active());
}

// View Disk Sectors reads the disk being examined on the worker: the
// master boot record's signature where it lies, a count cut to the most a
// read shows, nothing past the disk's end.
TEST_F(WizardCommands, DiskSectorsAreReadFromTheDiskExamined) {
  ScanToTheItems();
  std::vector<wizard::SectorBytes> reads;
  dialogs_.diskSectors = [&reads](wizard::DiskSectorView& view) {
    const auto keep = [&reads](const wizard::SectorBytes& read) { reads.push_back(read); };
    view.ReadSectors(0, 1, keep);
    view.ReadSectors(kFatStart, 1000, keep);
    view.ReadSectors(view.DiskSectors() + 5, 1, keep);
  };
  commands_->Run(Command::viewSectors);
  ASSERT_EQ(reads.size(), 3u);
  ASSERT_EQ(reads[0].bytes.size(), 512u);
  EXPECT_EQ(reads[0].bytes[510], 0x55);
  EXPECT_EQ(reads[0].bytes[511], 0xAA);
  EXPECT_EQ(reads[1].firstSector, kFatStart);
  EXPECT_EQ(reads[1].bytes.size(), std::size_t{wizard::DiskSectorView::kMaxSectors} * 512);
  EXPECT_EQ(std::string(reads[1].bytes.begin() + 82, reads[1].bytes.begin() + 87), "FAT32") << "the boot sector";
  EXPECT_TRUE(reads[2].bytes.empty());
  EXPECT_NE(reads[2].error.find("lies past the disk's last"), std::string::npos);
}

TEST(WizardRowMenu, ListsItsEntriesAndGraysOpenWithForAFolder) {
  for (const bool folder : {false, true}) {
    std::vector<std::string> texts;
    bool openWithEnabled = false;
    for (const wizard::RowMenuItem& item : wizard::RowMenuItems(folder)) {
      texts.emplace_back(item.text.empty() ? "-" : item.text);
      if (item.command == Command::openWith && !item.text.empty()) openWithEnabled = item.enabled;
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"&Open", "Open &With...", "-", "&Recover Selected...",
                                               "Recover &All...", "-", "Ico&ns     ", "&List", "&Details", "-",
                                               "&Find Files...", "-", "Re&name", "-", "&Settings...", "-",
                                               "&Properties..."}));
    EXPECT_EQ(openWithEnabled, !folder);
  }
}

TEST_F(WizardCommands, PropertiesCountFilesAndFoldersBelowAFolder) {
  ScanToTheItems();
  const struct {
    const char* row;
    const char* size;
    const char* contains;
  } cases[] = {
      // Sizes as the list shows them, and to the byte.
      {"Empty", "0 bytes", "0 File(s) and 0 Folder(s)"},
      {"Docs", "39.1 KB (40000 bytes)", "1 File(s) and 1 Folder(s)"},
      {"kilo.bin", "1.0 KB (1024 bytes)", ""},
  };
  for (const auto& c : cases) {
    SelectRow(c.row);
    commands_->Run(Command::properties);
    ASSERT_EQ(dialogs_.opened.back(), "properties");
    ASSERT_EQ(dialogs_.shownRows.size(), 5u);
    EXPECT_EQ(dialogs_.shownRows[0].value, c.row);
    EXPECT_EQ(dialogs_.shownRows[1].label, "Size                            :");
    EXPECT_EQ(dialogs_.shownRows[1].value, c.size) << c.row;
    EXPECT_EQ(dialogs_.shownRows[2].value, c.contains) << c.row;
  }
}

// Each line says what it names: the start is the boot sector's, not where
// the data begins; a FAT volume has no MFT line, an NTFS volume no FAT lines.
TEST(WizardDriveInformation, LinesSayOneThingAndOnlyWhatApplies) {
  VolumeParameters volume;
  volume.clusterBase = 2079;
  volume.reservedSectors = 32;
  volume.sectorsPerCluster = 8;
  volume.fat1Start = 95;
  volume.fat2Start = 1000;
  volume.mftStart = 4096;
  ItemCounters counters;
  counters.folderCount = 4;
  counters.fileCount = 7;
  HitLists hits;
  hits.filesFound = 11;
  const struct {
    FsType type;
    std::vector<std::string> values;
    const char* lastLabel;
  } cases[] = {
      {FsType::fat32, {"FAT32", "63", "4", "7", "8", "95", "1000"}, "Second FAT        :"},
      {FsType::ntfs, {"NTFS", "2079", "4", "11", "8", "4096"}, "MFT Start            :"},
  };
  for (const auto& c : cases) {
    volume.fsType = c.type;
    std::vector<std::string> values;
    const PanelRows rows = wizard::DriveInformationRows(volume, counters, hits);
    for (const PanelRow& row : rows) values.push_back(row.value);
    EXPECT_EQ(values, c.values);
    EXPECT_EQ(rows.back().label, c.lastLabel);
    EXPECT_EQ(rows[4].label, "Sectors Per Cluster :");
  }
}

// The find dialog without a screen: the stop question is asked at the first
// hit, while the search waits for the answer.
class StopAtFirstHit final : public wizard::FindFilesView {
 public:
  StopAtFirstHit(wizard::FindFilesFlow& flow, bool answer) : flow_(flow), answer_(answer) {}
  std::string Pattern() const override { return pattern; }
  std::string ContainingText() const override { return containing; }
  bool IgnoreCase() const override { return ignoreCase; }
  void ClearRows() override { rows.clear(); }
  void SetTextColumnsVisible(bool visible) override { textColumns = visible; }
  void SetProgress(int value) override { percent = value; }
  void SetStatus(std::string_view text) override { statuses.emplace_back(text); }
  void AddRow(const FoundFileRow& row, std::size_t) override {
    rows.push_back(row.name);
    found.push_back(row);
    if (rows.size() == 1) {
      mayCloseWhileSearching = flow_.MayClose();
      flow_.OnStop(*this);
    }
  }
  void SetStartEnabled(bool enabled) override { startEnabled = enabled; }
  void SetStopEnabled(bool enabled) override { stopEnabled = enabled; }
  bool Confirm(std::string_view text) override {
    asked.emplace_back(text);
    return answer_;
  }
  void Close() override {}

  std::string pattern = "*";
  std::string containing;
  bool ignoreCase = false;
  bool textColumns = false;
  int percent = -1;
  std::vector<std::string> statuses;
  std::vector<std::string> rows;
  std::vector<FoundFileRow> found;
  std::vector<std::string> asked;
  bool startEnabled = false;
  bool stopEnabled = true;
  bool mayCloseWhileSearching = true;

 private:
  wizard::FindFilesFlow& flow_;
  bool answer_;
};

TEST_F(WizardCommands, FindAsksBeforeItStopsAndKeepsTheRowsFound) {
  ScanToTheItems();
  for (const bool yes : {false, true}) {
    dialogs_.findFiles = [yes](wizard::FindFilesFlow& flow) {
      StopAtFirstHit view(flow, yes);
      flow.OnOpened(view);
      EXPECT_FALSE(view.stopEnabled);
      flow.OnStart(view);
      EXPECT_EQ(view.asked, std::vector<std::string>{"Do you want to stop file searching ?"});
      EXPECT_FALSE(view.mayCloseWhileSearching);
      // No: the search went on to every file; Yes: the first hit stays alone.
      EXPECT_EQ(view.rows.size(), yes ? 1u : 3u);
      // Named as the list names them, in folders as the tree has them.
      for (const FoundFileRow& row : view.found) {
        EXPECT_EQ(row.path, row.name == "report.doc" ? "/Docs" : "/") << row.name;
      }
      if (!yes) {
        EXPECT_EQ(view.rows, (std::vector<std::string>{"kilo.bin", "gone-away.txt", "report.doc"}));
      }
      EXPECT_TRUE(view.startEnabled);
      EXPECT_FALSE(view.stopEnabled);
      EXPECT_TRUE(flow.MayClose());
    };
    commands_->Run(Command::findFiles);
  }
}

// "containing text": a file is listed once, with its first hit and the
// count, named and placed as the list shows it; the stop question waits
// for its answer as in a search by name.
TEST_F(WizardCommands, FindByContentListsAFileOnceWithItsFirstHit) {
  MtoolsVolume volume(image_, kFatStart, dir_.Path());
  const std::string words = "one Needle, two NEEDLE, three needle";
  volume.CopyFiles("Docs", {{"words.txt", words, NoonUtc({2019, 6, 2})}});
  ScanToTheItems();
  dialogs_.findFiles = [&words](wizard::FindFilesFlow& flow) {
    StopAtFirstHit view(flow, false);
    view.pattern.clear();
    view.containing = "needle";
    view.ignoreCase = true;
    flow.OnStart(view);
    EXPECT_EQ(view.asked, std::vector<std::string>{"Do you want to stop file searching ?"});
    ASSERT_EQ(view.found.size(), 1u);
    const FoundFileRow& row = view.found.front();
    EXPECT_EQ(row.name, "words.txt");
    EXPECT_EQ(row.path, "/Docs");
    ASSERT_TRUE(row.text.has_value());
    EXPECT_EQ(row.text->offset, words.find("Needle"));
    EXPECT_EQ(row.text->count, 3u);
    EXPECT_TRUE(view.textColumns);
    EXPECT_EQ(view.percent, 100);
    EXPECT_EQ(view.statuses, (std::vector<std::string>{wizard::kSearchingContentsStatus,
                                                       "Searched 4 file(s) and the free space"}));
    EXPECT_TRUE(view.startEnabled);

    // A text longer than the matcher takes is refused before any search.
    view.containing.assign(kMaxQueryBytes + 1, 'x');
    view.statuses.clear();
    flow.OnStart(view);
    ASSERT_EQ(view.statuses.size(), 1u);
    EXPECT_EQ(view.statuses.front().rfind("The text is too long", 0), 0u);
    EXPECT_FALSE(flow.Searching());
  };
  commands_->Run(Command::findFiles);
}

TEST_F(WizardCommands, RecoverAllWritesEveryFileThenOffersTheFolder) {
  ScanToTheItems();
  view_.boxes.clear();
  const std::filesystem::path into = dir_ / "recovered";
  dialogs_.answers["folder"] = into.string();
  dialogs_.openFolderAfterSummary = true;
  commands_->Run(Command::recoverAll);
  EXPECT_EQ(dialogs_.opened, (std::vector<std::string>{"saving", "saving closed"}));
  // The image lies on the same file system as the folder chosen: said first.
  ASSERT_FALSE(view_.boxes.empty());
  EXPECT_NE(view_.boxes.front().text.find("is on the same file system as"), std::string::npos);
  for (const auto& [path, size] : {std::pair{"kilo.bin", 1024u}, {"gone-away.txt", 3000u}, {"Docs/report.doc", 40000u}}) {
    EXPECT_EQ(std::filesystem::file_size(into / path), size) << path;
  }
  ASSERT_EQ(dialogs_.summaries.size(), 1u);
  EXPECT_EQ(dialogs_.summaries[0].text.rfind("Recovered 3 file(s)", 0), 0u) << dialogs_.summaries[0].text;
  EXPECT_EQ(shell_.folders, std::vector<std::string>{into.string()});

  // A folder that cannot be made is refused with a box that says why.
  const std::size_t boxes = view_.boxes.size();
  dialogs_.answers["folder"] = (image_ / "inside").string();
  dialogs_.opened.clear();
  commands_->Run(Command::recoverAll);
  EXPECT_TRUE(dialogs_.opened.empty());
  ASSERT_EQ(view_.boxes.size(), boxes + 1);
  EXPECT_EQ(view_.boxes.back().kind, NoticeKind::error);
  EXPECT_EQ(view_.LastBox().rfind("cannot create the folder " + (image_ / "inside").string(), 0), 0u);
}

TEST_F(WizardCommands, TheSpaceNeededCountsTheFilesTheSettingsAdmit) {
  ScanToTheItems();
  const struct {
    const char* filter;  // empty: none
    DeletedMode deleted;
    std::uint64_t bytes;
  } cases[] = {
      {"", DeletedMode::includeDeleted, 1024 + 3000 + 40000},
      {"*.DOC", DeletedMode::includeDeleted, 40000},
      {"", DeletedMode::onlyDeleted, 3000},
      {"", DeletedMode::excludeDeleted, 1024 + 40000},
  };
  for (const auto& c : cases) {
    session_.filters.Clear();
    if (*c.filter != '\0') session_.filters.Add(c.filter);
    session_.settings.deletedMode = c.deleted;
    EXPECT_EQ(TotalsToRecover(session_, *controller_->Tree(TreeKind::items), RecoverySelection{true, {}, {}}).bytes, c.bytes)
        << c.filter;
  }
  EXPECT_EQ(wizard::FreeSpaceQuestion(44024, 2048, "/media/usb"),
            "The file(s) chosen need 43.0 KB, but only 2.0 KB are free in /media/usb.\nRecover as many as fit ?");
}

TEST_F(WizardCommands, RecoverSelectedTakesTheSelectedRowsOnly) {
  ScanToTheItems();
  const std::filesystem::path into = dir_ / "selected";
  dialogs_.answers["folder"] = into.string();
  SelectRow("kilo.bin");
  const std::size_t kilo = *view_.selectedRow;
  SelectRow("Docs");
  view_.selectedRows = {kilo, *view_.selectedRow};
  commands_->Run(Command::recoverSelected);
  EXPECT_EQ(std::filesystem::file_size(into / "kilo.bin"), 1024u);
  EXPECT_EQ(std::filesystem::file_size(into / "Docs" / "report.doc"), 40000u);
  EXPECT_FALSE(std::filesystem::exists(into / "gone-away.txt"));
}

TEST_F(WizardCommands, AFoundFileLeadsToItsFolderWithItsRowSelected) {
  ScanToTheItems();
  dialogs_.findFiles = [](wizard::FindFilesFlow& flow) {
    StopAtFirstHit view(flow, false);
    flow.OnStart(view);
    const auto report = std::find_if(view.found.begin(), view.found.end(),
                                     [](const FoundFileRow& row) { return row.name == "report.doc"; });
    ASSERT_NE(report, view.found.end());
    EXPECT_EQ(report->path, "/Docs");
    flow.OnRowActivated(view, *report);
  };
  commands_->Run(Command::findFiles);
  ASSERT_TRUE(view_.selectedRow.has_value());
  EXPECT_EQ(view_.ListNames().at(*view_.selectedRow), "report.doc");
  EXPECT_EQ(view_.focus, "list");
}

TEST_F(WizardCommands, ASavedTreeSnapshotLoadsTheSameTree) {
  ScanToTheItems();
  const std::vector<std::string> scanned = AllNodes(*controller_->Tree(TreeKind::items));
  ASSERT_GE(scanned.size(), 3u);
  // The name typed is kept as it is; only the extension is added.
  dialogs_.answers["save"] = (dir_ / "demo-snap").string();
  commands_->Run(Command::saveSnapshot);
  ASSERT_TRUE(std::filesystem::exists(dir_ / "demo-snap.RSNP"));
  EXPECT_EQ(view_.LastBox(), "The snapshot is saved as " + (dir_ / "demo-snap.RSNP").string());

  view_.answers.push_back(true);  // discard the results
  controller_->OnBack();
  ASSERT_EQ(controller_->StepNumber(), 1);
  EXPECT_TRUE(session_.items.FatFiles().Items().empty());
  dialogs_.answers["load"] = (dir_ / "demo-snap.RSNP").string();
  commands_->Run(Command::loadSnapshot);
  ASSERT_EQ(controller_->StepNumber(), 3);
  EXPECT_EQ(AllNodes(*controller_->Tree(TreeKind::items)), scanned);
  EXPECT_TRUE(view_.CommandEnabled(Command::recoverAll));
  EXPECT_FALSE(view_.CommandEnabled(Command::loadSnapshot));
}

TEST_F(WizardCommands, AnAdvanceScanSnapshotLoadsIntoTheFileSystemStep) {
  controller_->OnScanType(ScanType::advance);
  ClickFirst(TreeKind::disks, true);
  controller_->OnNext();
  ASSERT_EQ(controller_->StepNumber(), 1);
  controller_->OnNext();  // the range preset from the partition
  ASSERT_EQ(controller_->StepNumber(), 2);
  const std::vector<std::string> found = view_.TreeNodes(TreeKind::foundFileSystems);
  ASSERT_FALSE(found.empty());
  EXPECT_FALSE(view_.CommandEnabled(Command::saveSnapshot));
  const SavedSnapshot saved = SaveAdvanceSnapshotFile(session_, (dir_ / "hits").string());
  ASSERT_EQ(saved.failure, SavedSnapshot::Failure::none);

  view_.answers.push_back(true);  // discard the results
  controller_->OnBack();
  ASSERT_EQ(controller_->StepNumber(), 1);
  dialogs_.answers["load"] = saved.path;
  commands_->Run(Command::loadSnapshot);
  ASSERT_EQ(controller_->StepNumber(), 2);
  EXPECT_EQ(view_.TreeNodes(TreeKind::foundFileSystems), found);
  EXPECT_TRUE(view_.CommandEnabled(Command::loadSnapshot));
}

}  // namespace
}  // namespace salvex::testing
