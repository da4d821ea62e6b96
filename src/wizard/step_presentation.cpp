#include "wizard/step_presentation.h"

#include <initializer_list>

#include "session/advance_range.h"

namespace salvex::wizard {
namespace {

constexpr std::string_view kHelpIndent = "                ";  // 16 blanks

PanelLabelSet Rows(std::initializer_list<const char*> labels, bool statusShown, std::string status = "") {
  PanelLabelSet set;
  std::size_t row = 0;
  for (const char* label : labels) set.rows[row++] = {label, "", true};
  set.statusShown = statusShown;
  set.status = std::move(status);
  return set;
}

// The Advance Scan's counters start at "0"; the NTFS form's last row (the
// current sector) starts empty.
PanelLabelSet WithZeroCounters(PanelLabelSet set, bool lastEmpty) {
  std::size_t shown = 0;
  for (auto& row : set.rows) shown += row.shown ? 1 : 0;
  for (std::size_t i = 0; i < shown; ++i) set.rows[i].value.assign(lastEmpty && i + 1 == shown ? 0 : 1, '0');
  return set;
}

std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const std::string_view line : lines) {
    text += '\n';
    text += kHelpIndent;
    text += line;
  }
  return text;
}

}  // namespace

PanelLabelSet MakeLabelSet(LabelSet set, FsType rangeType, FsType volumeType) {
  const bool ntfsRange = rangeType == FsType::ntfs;
  switch (set) {
    case LabelSet::disk:
      return Rows({"Model", "Capacity", "Cylinders", "Head", "Sectors Per Track"}, false);
    case LabelSet::partition:
      return Rows({"Partition Type", "Partition Start", "Partition End", "Partition Size"}, false);
    case LabelSet::standardScan:
      return Rows({"Folder(s) Found", "File(s) Found", "Current Sector", "Last File/Folder"}, true,
                  volumeType == FsType::ntfs ? "" : "Mounting volume, please wait...");
    case LabelSet::advanceScan:
      return ntfsRange ? WithZeroCounters(Rows({"Boot Sector(s) Found", "Index Entries Found", "File(s) Found",
                                                "Folder(s) Found", "Current Sector"},
                                               true),
                                          true)
                       : WithZeroCounters(Rows({"Boot Sector(s) Found", "Folder(s) Found", "Current Sector"}, true),
                                          false);
    case LabelSet::fileSystem:
      return ntfsRange ? Rows({"File System Start", "Sectors Per Cluster", "MFT Start", "MFT Mirror Start",
                               "File System Size"},
                              true)
                       : Rows({"File System Start", "Sectors Per Cluster", "File System Size"}, true);
    case LabelSet::fileTypeSearch: {
      PanelLabelSet found = Rows({"File(s) Found", "Last File/Folder"}, true);
      found.rows[0].value = "0";
      return found;
    }
    case LabelSet::none:
      break;
  }
  return {};
}

std::string QuickHelpText(QuickHelp help) {
  switch (help) {
    case QuickHelp::diskStep:
      return Lines({"1. Select the disk to scan from left pane.", "2. Select the scan type.", "3. Click Next Button."});
    case QuickHelp::partitionStep:
      return Lines({"1. Select the partition to recover from left pane or use Search Partitions for a quick search "
                    "of missing partitions.",
                    "2. Click Next Button"});
    case QuickHelp::standardScanStarted:
      return Lines({"Salvex is searching the data of the selected partition, once this process is completed it will "
                    "show you the data."});
    case QuickHelp::advanceScanStarted:
      return Lines({"Salvex is searching the data in selected range. Once this process is completed it will show you "
                    "all the possible                      file systems."});
    case QuickHelp::quickSearchRunning:
      return Lines({"Please wait, Salvex is doing a quick search for partition(s), once this process is completed it "
                    "will show you all                        the partition(s) found."});
    case QuickHelp::fileSystemStep:
      return Lines({"1. Select the file system to recover from left pane.", "2. Click Next Button."});
    case QuickHelp::mountStarted:
      return Lines({"Salvex is mounting the selected file system. Once this process is completed, it will show you "
                    "the data."});
    case QuickHelp::itemsStep:
      // The list, not the "right pane": the preview holds the right.
      return Lines({"Please select the file(s) and folder(s) to recover from the list and copy using   Recover "
                    "Selected      or                             Recover All options from the Recovery Menu.",
                    "You can open a file by Double Clicking it."});
    case QuickHelp::fileTypeStep:
      return Lines({"1. Select a partition, or the whole disk, from left pane.", "2. Tick the file types to look for.",
                    "3. Click Next Button."});
    case QuickHelp::fileTypeSearchStarted:
      return Lines({"Salvex is looking for files of the chosen types by their content. Once this process is "
                    "completed it will show you the files found under \"Found by Content\"."});
  }
  return {};
}

const char* ButtonBarTooltip(Command command) {
  switch (command) {
    case Command::recoverSelected:
      return "Copy the selected file(s) and folder(s) to your computer";
    case Command::recoverAll:
      return "Copy all the file(s) and folder(s) to your computer";
    case Command::saveSnapshot:
      return "Saves the snapshot of scan information, so that later on you need not to scan the disk again";
    case Command::loadSnapshot:
      return "Loads the data from previously saved scan information";
    case Command::findFiles:
      return "Search the file(s) in the recovered data";
    case Command::settings:
      return "Configures the software";
    default:
      return nullptr;
  }
}

HelpPanel ScanTypeHelpPanel() {
  return {"SCAN TYPE",
          {{"Standard Scan",
            {"This is fast mode for recovering data.", "select this for cases like:- File deletion,",
             "Partition deletion, Bad Sectors etc."}},
           {"Advance Mode",
            {"This is deep and more efficient method", "for recovering data, select this for",
             "cases like drive format, OS Reload", "or where Standard Scan fails to recover the data."}},
           {"Search by File Type",
            {"This finds photos, documents, music and", "other files by their content, where no",
             "folder names them any more: a card or disk", "formatted, or its file system destroyed."}}}};
}

HelpPanel RangeHelpPanel() {
  return {"Scan Control", {{"", {"Here select the file system to recover and", "the range of the disk area to scan."}}}};
}

const StepControls* FindStepControls(StepView view, Direction direction) {
  using enum Control;
  using enum TreeKind;
  static const StepControls kPartitionEntering = [] {
    StepControls row;
    row.controls = {{scanTypeGroup, Shown::Hidden()}, {scanTypeHelp, Shown::Hidden()},
                    {searchPartitions, Shown::Yes()}, {back, Shown::Yes()}};
    row.advanceOnly = {{rangeGroup, Shown::Yes()}, {rangeHelp, Shown::Yes()}, {next, Shown::Yes()}};
    row.fileTypeOnly = {{fileTypeGroup, Shown::Yes()}};
    row.trees = {{disks, Shown::No()}};
    row.emptyList = true;
    return row;
  }();
  static const StepControls kPartitionLeaving = [] {
    StepControls row;
    row.controls = {{scanTypeGroup, Shown::Yes()}, {scanTypeHelp, Shown::Yes()}, {searchPartitions, Shown::No()},
                    {back, Shown::No()}, {fileTypeGroup, Shown::Hidden()}};
    row.advanceOnly = {{rangeGroup, Shown::Hidden()}, {rangeHelp, Shown::Hidden()}};
    row.trees = {{disks, Shown::Yes()}, {partitions, Shown::No()}};
    row.emptyList = true;
    return row;
  }();
  static const StepControls kStandardItemsEntering = [] {
    StepControls row;
    row.trees = {{partitions, Shown::No()}, {items, Shown::Disabled()}};
    row.listLayout = ListLayout::itemsSizeRight;
    row.emptyList = true;
    return row;
  }();
  static const StepControls kStandardItemsLeaving = [] {
    StepControls row;
    row.controls = {{searchPartitions, Shown::Yes()}};
    row.fileTypeOnly = {{fileTypeGroup, Shown::Yes()}};
    row.trees = {{partitions, Shown::Yes()}, {items, Shown::Hidden()}};
    row.listLayout = ListLayout::details;
    row.emptyList = true;
    return row;
  }();
  static const StepControls kSweepEntering = [] {
    StepControls row;
    row.controls = {{rangeGroup, Shown::Hidden()}, {searchPartitions, Shown::No()}, {rangeHelp, Shown::Hidden()},
                    {fileTypeGroup, Shown::Hidden()}};
    row.trees = {{partitions, Shown::Disabled()}};
    row.clearStatus = true;
    row.resetProgress = true;
    return row;
  }();
  static const StepControls kContentSearchEntering = [] {
    StepControls row;
    row.controls = {{fileTypeGroup, Shown::Hidden()}, {searchPartitions, Shown::No()}, {back, Shown::No()}};
    row.trees = {{partitions, Shown::Disabled()}};
    row.clearStatus = true;
    row.resetProgress = true;
    return row;
  }();
  static const StepControls kFoundFileSystemsEntering = [] {
    StepControls row;
    row.controls = {{back, Shown::Yes()}};
    row.trees = {{partitions, Shown::Hidden()}, {foundFileSystems, Shown::Yes()}};
    row.emptyList = true;
    row.clearStatus = true;
    row.hideFirstLabel = true;
    row.resetProgress = true;
    return row;
  }();
  static const StepControls kMountedItemsEntering = [] {
    StepControls row;
    row.trees = {{partitions, Shown::No()}, {items, Shown::Disabled()}, {foundFileSystems, Shown::No()}};
    row.listLayout = ListLayout::itemsSizeLeft;
    row.emptyList = true;
    return row;
  }();
  static const StepControls kMountedItemsLeaving = [] {
    StepControls row;
    row.trees = {{items, Shown::Hidden()}, {foundFileSystems, Shown::Yes()}};
    row.listLayout = ListLayout::details;
    row.emptyList = true;
    return row;
  }();
  static const StepControls kFoundFileSystemsLeaving = [] {
    StepControls row;
    row.controls = {{searchPartitions, Shown::Yes()}, {rangeHelp, Shown::Yes()}, {rangeGroup, Shown::Yes()},
                    {next, Shown::Yes()}};
    // The emptied tree of the file systems goes with them.
    row.trees = {{partitions, Shown::Yes()}, {foundFileSystems, Shown::No()}};
    row.listLayout = ListLayout::details;
    row.emptyList = true;
    return row;
  }();
  const bool entering = direction == Direction::entering;
  switch (view) {
    case StepView::partition:
      return entering ? &kPartitionEntering : &kPartitionLeaving;
    case StepView::standardItems:
      return entering ? &kStandardItemsEntering : &kStandardItemsLeaving;
    case StepView::sweep:
      return entering ? &kSweepEntering : nullptr;
    case StepView::foundFileSystems:
      return entering ? &kFoundFileSystemsEntering : &kFoundFileSystemsLeaving;
    case StepView::mountedItems:
      return entering ? &kMountedItemsEntering : &kMountedItemsLeaving;
    case StepView::contentSearch:
      return entering ? &kContentSearchEntering : nullptr;
  }
  return nullptr;
}

int FileSystemPosition(FsType type) {
  for (std::size_t i = 0; i < kAdvanceFileSystems.size(); ++i) {
    if (kAdvanceFileSystems[i] == type) return static_cast<int>(i);
  }
  return FileSystemPosition(FsType::fat32);
}

FsType FileSystemAtPosition(int position) { return AdvanceFileSystemAt(position); }

std::string DetailsColumnTitle() { return std::string(44, ' ') + "Details"; }

std::array<ListColumn, 6> ItemColumns(ListLayout) {
  // Sizes line up on their last digit after a mount too: a left-aligned
  // column of numbers cannot be compared at a glance.
  return {{{"Name", 150, false},
           {"Type", 100, false},
           {"Size", 70, true},
           {"Created", 100, false},
           {"Modified", 70, false},
           {"ID", 70, false}}};
}

}  // namespace salvex::wizard
