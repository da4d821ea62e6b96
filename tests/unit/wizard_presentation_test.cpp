// The wizard's step presentations, menu states and range rules, which are
// data: each table row against what the window must show.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "session/advance_range.h"
#include "wizard/device_numbers.h"
#include "wizard/menu_state.h"
#include "wizard/short_name_hint.h"
#include "wizard/size_text.h"
#include "wizard/step_panel_texts.h"
#include "wizard/step_presentation.h"
#include "wizard/tree_captions.h"

namespace salvex::wizard {
namespace {

std::vector<std::string> Shown(const PanelLabelSet& set, bool values) {
  std::vector<std::string> texts;
  for (const auto& row : set.rows) {
    if (row.shown) texts.push_back(values ? row.value : row.label);
  }
  return texts;
}

TEST(WizardPresentation, LabelSetsShowTheirRowsAndFirstValues) {
  using V = std::vector<std::string>;
  const struct {
    LabelSet set;
    FsType range;
    FsType volume;
    V labels;
    V values;
    bool statusShown;
    std::string status;
  } cases[] = {
      {LabelSet::disk, FsType::fat32, FsType::fat32,
       {"Model", "Capacity", "Cylinders", "Head", "Sectors Per Track"}, {"", "", "", "", ""}, false, ""},
      {LabelSet::partition, FsType::fat32, FsType::fat32,
       {"Partition Type", "Partition Start", "Partition End", "Partition Size"}, {"", "", "", ""}, false, ""},
      {LabelSet::standardScan, FsType::fat16, FsType::fat16,
       {"Folder(s) Found", "File(s) Found", "Current Sector", "Last File/Folder"}, {"", "", "", ""}, true,
       "Mounting volume, please wait..."},
      {LabelSet::standardScan, FsType::ntfs, FsType::ntfs,
       {"Folder(s) Found", "File(s) Found", "Current Sector", "Last File/Folder"}, {"", "", "", ""}, true, ""},
      {LabelSet::advanceScan, FsType::fat32, FsType::none, {"Boot Sector(s) Found", "Folder(s) Found", "Current Sector"},
       {"0", "0", "0"}, true, ""},
      {LabelSet::advanceScan, FsType::ntfs, FsType::none,
       {"Boot Sector(s) Found", "Index Entries Found", "File(s) Found", "Folder(s) Found", "Current Sector"},
       {"0", "0", "0", "0", ""}, true, ""},
      {LabelSet::fileSystem, FsType::fat16, FsType::fat16,
       {"File System Start", "Sectors Per Cluster", "File System Size"}, {"", "", ""}, true, ""},
      {LabelSet::fileSystem, FsType::ntfs, FsType::ntfs,
       {"File System Start", "Sectors Per Cluster", "MFT Start", "MFT Mirror Start", "File System Size"},
       {"", "", "", "", ""}, true, ""},
      {LabelSet::none, FsType::fat32, FsType::fat32, {}, {}, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.set));
    const PanelLabelSet set = MakeLabelSet(c.set, c.range, c.volume);
    EXPECT_EQ(Shown(set, false), c.labels);
    EXPECT_EQ(Shown(set, true), c.values);
    EXPECT_EQ(set.statusShown, c.statusShown);
    EXPECT_EQ(set.status, c.status);
  }
}

TEST(WizardPresentation, QuickHelpLinesStartOnANewLineIndentedBy16Blanks) {
  const std::string indent(16, ' ');
  const struct {
    QuickHelp help;
    std::size_t lines;
  } cases[] = {{QuickHelp::diskStep, 3},          {QuickHelp::partitionStep, 2},     {QuickHelp::standardScanStarted, 1},
               {QuickHelp::advanceScanStarted, 1}, {QuickHelp::quickSearchRunning, 1}, {QuickHelp::fileSystemStep, 2},
               {QuickHelp::mountStarted, 1},       {QuickHelp::itemsStep, 2}};
  for (const auto& c : cases) {
    const std::string text = QuickHelpText(c.help);
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), c.lines);
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
      EXPECT_EQ(text.substr(at + 1, 16), indent);
      EXPECT_NE(text[at + 17], ' ');
    }
  }
  // The runs of blanks inside a line are part of the text.
  EXPECT_EQ(QuickHelpText(QuickHelp::itemsStep),
            "\n" + indent +
                "Please select the file(s) and folder(s) to recover from the list and copy using   Recover Selected"
                "      or                             Recover All options from the Recovery Menu.\n" +
                indent + "You can open a file by Double Clicking it.");
}

TEST(WizardPresentation, StepControlsAndColumns) {
  const StepControls* entering = FindStepControls(StepView::partition, Direction::entering);
  ASSERT_NE(entering, nullptr);
  EXPECT_NE(std::find(entering->advanceOnly.begin(), entering->advanceOnly.end(),
                      std::pair{Control::rangeGroup, Shown::Yes()}),
            entering->advanceOnly.end());
  EXPECT_EQ(FindStepControls(StepView::sweep, Direction::leaving), nullptr);
  EXPECT_EQ(FindStepControls(StepView::foundFileSystems, Direction::leaving)->listLayout, ListLayout::details);

  EXPECT_EQ(DetailsColumnTitle(), std::string(44, ' ') + "Details");
  const auto afterScan = ItemColumns(ListLayout::itemsSizeRight);
  const auto afterMount = ItemColumns(ListLayout::itemsSizeLeft);
  std::vector<std::pair<std::string, int>> columns;
  for (const ListColumn& column : afterScan) columns.emplace_back(column.title, column.width);
  EXPECT_EQ(columns, (std::vector<std::pair<std::string, int>>{
                         {"Name", 150}, {"Type", 100}, {"Size", 70}, {"Created", 100}, {"Modified", 70}, {"ID", 70}}));
  EXPECT_TRUE(afterScan[2].rightAligned);
  EXPECT_TRUE(afterMount[2].rightAligned) << "sizes line up after a mount too";
}

TEST(WizardPresentation, MenuStatesEnableTheirEntries) {
  using enum Command;
  using Step = WizardStep;
  const struct {
    MenuState state;
    WizardStep step;
    std::vector<Command> enabled;
  } cases[] = {
      {MenuState::startOrWorking, Step::disk, {settings, openDiskImage, createDiskImage, refreshDisks}},
      {MenuState::startOrWorking, Step::partition, {}},  // a scan or search has begun
      {MenuState::partitions, Step::range, {settings, loadSnapshot, viewSectors}},
      {MenuState::fileSystems, Step::foundFileSystems, {settings, loadSnapshot, viewSectors}},
      {MenuState::items, Step::items, {recoverSelected, recoverAll, recoverMarked, saveSnapshot, viewSectors, viewIcons, viewList, viewDetails,
                                       findFiles, fileFilters, settings, driveInformation}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.state));
    EXPECT_EQ(IdleMenuState(c.step) == c.state, c.step != Step::partition);
    std::vector<Command> enabled;
    for (const auto& [command, on] : MenuStateEntries(c.state, c.step)) {
      if (on) enabled.push_back(command);
      EXPECT_NE(command, exit);
    }
    std::sort(enabled.begin(), enabled.end());
    std::vector<Command> expected = c.enabled;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(enabled, expected);
  }
}

// Each name of the "Select File System" list chooses the file system it
// names, FAT12 among them, and a chosen type shows at its own place.
TEST(WizardPresentation, EveryFileSystemChoiceNamesItsType) {
  for (int position = 0; position < static_cast<int>(kFileSystemChoices.size()); ++position) {
    const FsType type = FileSystemAtPosition(position);
    EXPECT_STREQ(FsTypeText(type), kFileSystemChoices[static_cast<std::size_t>(position)]);
    EXPECT_EQ(FileSystemPosition(type), position);
    ScanState scan;
    ReadAdvanceRange(scan, position, "0", "2879");
    EXPECT_EQ(scan.selectedFsType, type);
  }
  EXPECT_EQ(FileSystemAtPosition(static_cast<int>(kFileSystemChoices.size())), FsType::none);
  EXPECT_STREQ(kFileSystemChoices[static_cast<std::size_t>(FileSystemPosition(FsType::fat12))], "FAT12");
}

TEST(WizardPresentation, AdvanceRangeIsReadInOrderAndRefusedWithItsMessage) {
  const struct {
    int position;
    const char* start;
    const char* end;
    AdvanceRangeCheck check;
    std::uint64_t storedStart;
    std::uint64_t storedEnd;
  } cases[] = {
      {1, "100", "100", AdvanceRangeCheck::endNotAfterStart, 100, 100},
      {1, "100", "101", AdvanceRangeCheck::valid, 100, 101},
      {0, "-5", "100", AdvanceRangeCheck::startNotANumber, 0, 7},
      {1, "12a", "100", AdvanceRangeCheck::startNotANumber, 0, 7},
      {1, "", "100", AdvanceRangeCheck::startNotANumber, 0, 7},
      {1, "5", "36028797018963968", AdvanceRangeCheck::endNotANumber, 5, 0},
      {1, "5", "99999999999999999999999", AdvanceRangeCheck::endNotANumber, 5, 0},
      {1, "0", "4294967295", AdvanceRangeCheck::valid, 0, 4294967295u},
      {1, "4294967296", "6442450944", AdvanceRangeCheck::valid, 4294967296u, 6442450944u},
      {1, "0", "36028797018963967", AdvanceRangeCheck::valid, 0, 36028797018963967u},
      {2, "1", "9", AdvanceRangeCheck::ntfsChosen, 7, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.start) + " " + c.end);
    ScanState scan;
    scan.rangeStart = scan.rangeEnd = 7;
    EXPECT_EQ(ReadAdvanceRange(scan, c.position, c.start, c.end), c.check);
    EXPECT_EQ(scan.rangeStart, c.storedStart);
    EXPECT_EQ(scan.rangeEnd, c.storedEnd);
    if (c.check == AdvanceRangeCheck::valid) {
      EXPECT_EQ(scan.rangeSize, c.storedEnd - c.storedStart);
      EXPECT_EQ(AdvanceRangeMessage(c.check), nullptr);
    } else {
      EXPECT_NE(AdvanceRangeMessage(c.check), nullptr);
    }
  }
  EXPECT_STREQ(AdvanceRangeMessage(AdvanceRangeCheck::startNotANumber),
               "      Start sector value is not valid, It should be a positive number");
}

// A device keeps its number while the window is open: listed again, gone
// and back, or after others were added.
TEST(WizardPresentation, DeviceNumbersStayWhileTheWindowIsOpen) {
  DeviceNumbers numbers;
  const struct {
    const char* path;
    std::uint32_t number;
  } listings[] = {
      {"/dev/sda", 0}, {"/dev/sdb", 1}, {"/tmp/disk.img", 2},  // the first listing, in its order
      {"/dev/sdb", 1},                                         // a rescan without /dev/sda
      {"/dev/sdc", 3}, {"/dev/sda", 0},                        // a new device, and /dev/sda back
  };
  for (const auto& listing : listings) EXPECT_EQ(numbers.NumberOf(listing.path), listing.number) << listing.path;
  EXPECT_EQ(PartitionsRootCaption(1), "Storage Device 1");
}

// A disk node names what the number alone cannot: the model (a USB disk's
// own, not "USB Device"), or the image's file name, the USB bus; its size
// and partitions (when known) stand beside it.
TEST(WizardPresentation, DiskNodesSayWhichDiskTheyAre) {
  const auto disk = [](const char* model, const char* product, bool usb, bool image, const char* path,
                       std::uint64_t sectors) {
    DiskInfo info;
    info.model = model;
    info.product = product;
    info.usb = usb;
    info.isImage = image;
    info.devicePath = path;
    info.sizeSectors = sectors;
    return info;
  };
  const struct {
    DiskInfo disk;
    std::uint32_t number;
    std::optional<std::uint32_t> partitions;
    const char* caption;
    std::vector<std::string> cells;
    const char* path;
  } cases[] = {
      {disk("USB Device", "SanDisk Ultra   ", true, false, "/dev/sdb", 124'780'544), 2, std::nullopt,
       "Storage Device2 \u2014 SanDisk Ultra (USB)", {"59.5 GB", ""}, "Device: /dev/sdb"},
      {disk("Disk image", "", false, true, "/home/me/card.img", 524'288), 4, 1, "Storage Device4 \u2014 card.img",
       {"256 MB", "1"}, "Image: /home/me/card.img"},
      {disk("Samsung SSD 860 ", "Samsung SSD 860 ", false, false, "/dev/sda", 2'000'000), 0, 0,
       "Storage Device0 \u2014 Samsung SSD 860", {"976.6 MB", "0"}, "Device: /dev/sda"},
      {disk("", "", false, false, "/dev/vda", 2880), 1, std::nullopt, "Storage Device1", {"1.4 MB", ""},
       "Device: /dev/vda"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DiskNodeCaption(c.number, c.disk), c.caption);
    EXPECT_EQ(DiskNodeCells(c.disk, c.partitions), c.cells) << c.caption;
    EXPECT_EQ(DiskPathText(c.disk), c.path);
  }
}

// A partition's row: the extent its table gives, past 2 TiB too, and
// "Unknown" for a partition with no file system read here.
TEST(WizardPresentation, PartitionRowsGiveSizeTypeAndStart) {
  const auto record = [](FsType type, SectorNumber start, SectorNumber count, bool none) {
    PartitionRecord made;
    made.fsType = type;
    made.startSector = start;
    made.sectorCount = count;
    made.noFileSystem = none;
    return made;
  };
  const struct {
    PartitionRecord record;
    std::vector<std::string> cells;
  } cases[] = {
      {record(FsType::fat32, 2048, 69632, false), {"FAT32", "34 MB", "2048"}},
      {record(FsType::none, 4096, 2048, true), {"Unknown", "1 MB", "4096"}},
      {record(FsType::exfat, 5'000'000'000, 4'194'304, false), {"exFAT", "2 GB", "5000000000"}},
  };
  for (const auto& c : cases) EXPECT_EQ(PartitionNodeCells(c.record), c.cells) << c.cells.back();
}

// A found file system's start is its boot sector's where that is known;
// otherwise the number is where its data begins, and says so.
TEST(WizardPresentation, AFoundFileSystemsStartSaysWhatItIs) {
  const struct {
    std::uint32_t fat1Start;
    std::uint32_t reservedSectors;
    const char* start;
  } cases[] = {
      {2080, 32, "2048"},
      {0, 0, "3280 (its data; no boot sector found)"},
  };
  for (const auto& c : cases) {
    VolumeParameters volume;
    volume.fsType = FsType::fat32;
    volume.sectorsPerCluster = 8;
    volume.clusterBase = 3264;
    volume.fat1Start = c.fat1Start;
    volume.reservedSectors = c.reservedSectors;
    EXPECT_EQ(FoundFileSystemPanelRows(volume)[0].value, c.start);
  }
}

// The names whose first letter a deletion took: deleted 8.3 names that
// begin with the walk's 'x', each part in one case.
TEST(WizardPresentation, DeletedShortNamesAreTold) {
  const struct {
    const char* name;
    bool deleted;
    bool lost;
  } cases[] = {
      {"xEADME.TXT", true, true},   {"xeadme.txt", true, true},      {"xOTES", true, true},
      {"xEADME.TXT", false, false},  // live: its name is whole
      {"xmas card.txt", true, false}, {"xLongerName.txt", true, false}, {"xEADME.TEXT", true, false},
      {"README.TXT", true, false},    {"xMixed.txt", true, false},      {"xA.B.C", true, false},
  };
  for (const auto& c : cases) EXPECT_EQ(LooksLikeDeletedShortName(c.name, c.deleted), c.lost) << c.name;
}

TEST(WizardPresentation, SizesShowInBinaryUnitsWithOneDecimal) {
  constexpr std::uint64_t kKilo = 1024;
  const struct {
    std::uint64_t bytes;
    const char* text;      // SizeText
    const char* itemText;  // ItemSizeText, where it differs
  } cases[] = {
      {0, "0 bytes", "0"},
      {1, "1 byte", "1"},
      {976, "976 bytes", "976"},
      {kKilo - 1, "1023 bytes", "1023"},
      {kKilo, "1.0 KB", nullptr},
      {5000, "4.9 KB", nullptr},
      {kKilo * kKilo - 1, "1.0 MB", nullptr},  // rounds up into the next unit
      {kKilo * kKilo * 3 / 2, "1.5 MB", nullptr},
      {kKilo * kKilo * kKilo * 5 / 4, "1.3 GB", nullptr},
      {UINT64_MAX, "16777216.0 TB", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(ItemSizeText(c.bytes), c.itemText ? c.itemText : c.text) << c.bytes;
  }
  EXPECT_EQ(ExactSizeText(1572864), "1572864 bytes");
}

}  // namespace
}  // namespace salvex::wizard
