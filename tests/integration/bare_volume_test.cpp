// Volumes formatted on a whole disk, with no partition table (USB sticks, SD
// cards, the copy of one partition): mkfs.fat and mkntfs on a plain file.
// The disk is listed as one volume, "Whole Disk - ...", and scanned and
// recovered without --partition; a table written over such a volume's boot
// sector by sfdisk is still read as the table it is.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/sector.h"
#include "partition/bare_volume.h"
#include "support/exfat_test_volume.h"
#include "support/json_value.h"
#include "support/ntfs_tool_volume.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "support/wizard_on_image.h"
#include "wizard/step_presentation.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kNoon = 1592222400;

enum class BareKind { fat12, fat16, fat32, ntfs };

struct BareCase {
  const char* name;
  BareKind kind;
  std::uint32_t sectors;
  // Boot code at 446 that reads as entries: type 06 from sector 0, far past
  // the disk's end, as Windows' boot code can read.
  bool tableLikeBootCode;
  const char* caption;
};

void MakeEmptyFile(const fs::path& image, std::uint32_t sectors) {
  { std::ofstream create(image, std::ios::binary); }
  fs::resize_file(image, std::uint64_t{sectors} * kSectorSize);
}

class BareVolumeTest : public ::testing::TestWithParam<BareCase> {};

TEST_P(BareVolumeTest, IsListedScannedAndRecoveredAsTheWholeDisk) {
  SALVEX_REQUIRE_TOOLS("mkfs.fat", "mcopy", "mkntfs", "ntfscp");
  const BareCase& c = GetParam();
  TempDir dir;
  const fs::path image = dir / "bare.img";
  const std::string name = c.kind == BareKind::ntfs ? "report.bin" : "NOTES.TXT";
  std::string bytes;
  if (c.kind == BareKind::ntfs) {
    NtfsToolVolume ntfs(image, c.sectors);
    bytes = HighBytes("report", 30000);
    ntfs.CopyIn(name, bytes);
  } else {
    MakeEmptyFile(image, c.sectors);
    RunChecked(std::string("SOURCE_DATE_EPOCH=946728000 mkfs.fat -s 1 -i 5a1e0001 -F ") +
               (c.kind == BareKind::fat32 ? "32 " : c.kind == BareKind::fat12 ? "12 " : "16 ") + ShellQuote(image.string()));
    MtoolsVolume(image, 0, dir.Path()).CopyFiles("", {PatternFile(name, 3000, kNoon)});
    bytes = HighBytes(name, 3000);
  }
  if (c.tableLikeBootCode) PatchImage(image, 446, std::string("\x00\x01\x01\x00\x06\xfe\xff\xff\x00\x00\x00\x00\x00\x00\xcb\xd8", 16));
  const std::string source = ShellQuote(image.string());

  const SalvexRun listed = RunSalvexReading(SALVEX_BINARY, image, "partitions " + source + " --json", dir.Path());
  ASSERT_EQ(listed.status, 0) << listed.err;
  const JsonValue records = ParseJson(listed.out);
  ASSERT_EQ(records.items.size(), 1u) << listed.out;
  EXPECT_EQ(records.items[0].At("caption").Str(), c.caption);
  EXPECT_EQ(records.items[0].At("startSector").Num(), 0u);
  EXPECT_EQ(records.items[0].At("sectorCount").Num(), c.sectors);
  EXPECT_TRUE(records.items[0].At("wholeDisk").Bool());

  const SalvexRun scanned = RunSalvexReading(SALVEX_BINARY, image, "scan " + source + " --json", dir.Path());
  ASSERT_EQ(scanned.status, 0) << scanned.err;
  EXPECT_NE(scanned.err.find(c.caption), std::string::npos) << scanned.err;
  EXPECT_NE(scanned.out.find("\"" + name + "\""), std::string::npos) << scanned.out;

  const fs::path out = dir / "out";
  const SalvexRun recovered =
      RunSalvexReading(SALVEX_BINARY, image, "recover " + source + " --all --out " + ShellQuote(out.string()), dir.Path());
  EXPECT_EQ(recovered.status, 0) << recovered.out << recovered.err;
  EXPECT_TRUE(ReadWholeFile(out / name) == bytes) << name << " came back with other bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Tools, BareVolumeTest,
    ::testing::Values(BareCase{"Fat12Floppy", BareKind::fat12, 2880, false, "Whole Disk - FAT12"},
                      BareCase{"Fat16", BareKind::fat16, 32768, false, "Whole Disk - FAT16"},
                      BareCase{"Fat16WithTableLikeBootCode", BareKind::fat16, 32768, true, "Whole Disk - FAT16"},
                      BareCase{"Fat32", BareKind::fat32, 81920, false, "Whole Disk - FAT32"},
                      BareCase{"Ntfs", BareKind::ntfs, 16384, false, "Whole Disk - NTFS"}),
    [](const ::testing::TestParamInfo<BareCase>& param) { return param.param.name; });

TEST(BareVolume, ATableWrittenOverAFormattedDiskIsStillTheTable) {
  SALVEX_REQUIRE_TOOLS("mkfs.fat", "sfdisk");
  TempDir dir;
  const fs::path image = dir / "disk.img";
  MakeEmptyFile(image, 65536);
  RunChecked("SOURCE_DATE_EPOCH=946728000 mkfs.fat -F 16 -i 5a1e0001 " + ShellQuote(image.string()));
  // sfdisk writes only the entries and the signature: the old boot sector's
  // fields stay around them.
  RunChecked("printf 'label: dos\\nstart=2048, size=40960, type=6\\n' | sfdisk --quiet --wipe never --no-reread "
             "--no-tell-kernel " + ShellQuote(image.string()));
  RunChecked("SOURCE_DATE_EPOCH=946728000 mkfs.fat -F 16 -i 5a1e0002 --offset 2048 " + ShellQuote(image.string()) +
             " 20480");
  const std::string sector0 = ReadWholeFile(image).substr(0, kSectorSize);
  const Bytes bytes(reinterpret_cast<const std::uint8_t*>(sector0.data()), sector0.size());
  ASSERT_TRUE(WholeDiskVolume(bytes, 65536)) << "sector 0 no longer reads as a boot sector";

  const SalvexRun listed =
      RunSalvexReading(SALVEX_BINARY, image, "partitions " + ShellQuote(image.string()) + " --json", dir.Path());
  ASSERT_EQ(listed.status, 0) << listed.err;
  const JsonValue records = ParseJson(listed.out);
  ASSERT_EQ(records.items.size(), 1u) << listed.out;
  EXPECT_EQ(records.items[0].At("caption").Str(), "Partition 1 - FAT16");
  EXPECT_EQ(records.items[0].At("startSector").Num(), 2048u);
}

// The window's Standard Scan of a stick or card formatted whole, of each
// FAT kind: one node, from sector 0, and the file listed.
struct WindowCase {
  const char* name;
  const char* caption;
  std::uint32_t sectors;
};

class BareVolumeWindowTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(BareVolumeWindowTest, TheWindowShowsOneNodeAndScansIt) {
  const WindowCase& c = GetParam();
  const bool exfat = std::string(c.caption).ends_with("exFAT");
  if (exfat) {
    SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  } else {
    SALVEX_REQUIRE_TOOLS("mkfs.fat", "mcopy");
  }
  TempDir dir;
  const fs::path image = dir / "stick.img";
  if (exfat) {
    ExfatTestVolume volume = ExfatTestVolume::Create(image, std::uint64_t{c.sectors} * kSectorSize, 4096);
    const std::string text = HighBytes("NOTES.TXT", 3000);
    volume.AddFile("/NOTES.TXT", std::vector<std::uint8_t>(text.begin(), text.end()));
  } else {
    MakeEmptyFile(image, c.sectors);
    const char* bits = std::string(c.caption).ends_with("FAT12") ? "12" : "16";
    RunChecked(std::string("SOURCE_DATE_EPOCH=946728000 mkfs.fat -F ") + bits + " -s 1 -i 5a1e0001 " +
               ShellQuote(image.string()));
    MtoolsVolume(image, 0, dir.Path()).CopyFiles("", {PatternFile("NOTES.TXT", 3000, kNoon)});
  }
  WizardOnImage run(image);
  FakeWizardView& view = run.view;
  wizard::WizardController& controller = run.controller;
  run.Click(wizard::TreeKind::disks, -1);
  controller.OnNext();
  ASSERT_EQ(controller.StepNumber(), 1);
  ASSERT_EQ(view.TreeNodes(wizard::TreeKind::partitions), (std::vector<std::string>{c.caption}));
  run.Click(wizard::TreeKind::partitions, 0);
  EXPECT_EQ(view.panelValues["Partition Start"], "0");
  // The end as the range group has it: the first sector past the volume.
  EXPECT_EQ(view.panelValues["Partition End"], std::to_string(c.sectors));
  controller.OnNext();
  ASSERT_EQ(controller.StepNumber(), 3);
  EXPECT_EQ(view.ListNames(), (std::vector<std::string>{"NOTES.TXT"}));
}

INSTANTIATE_TEST_SUITE_P(Tools, BareVolumeWindowTest,
                         ::testing::Values(WindowCase{"Fat16", "Whole Disk - FAT16", 32768},
                                           WindowCase{"Fat12Floppy", "Whole Disk - FAT12", 2880},
                                           WindowCase{"Exfat", "Whole Disk - exFAT", 65536}),
                         [](const ::testing::TestParamInfo<WindowCase>& param) { return param.param.name; });

// An exFAT card swept whole: the disk's root chooses exFAT, the type its
// volume holds; a sweep for FAT32 instead finds nothing and says that the
// range holds an exFAT volume.
TEST(BareVolumeWindow, TheWholeDiskOfAnExfatCardIsSweptForExfat) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  constexpr std::uint32_t kSectors = 65536;
  TempDir dir;
  const fs::path image = dir / "card.img";
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(image, std::uint64_t{kSectors} * kSectorSize, 4096);
    const std::string text = HighBytes("NOTES.TXT", 3000);
    volume.AddFile("/NOTES.TXT", std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  WizardOnImage run(image);
  FakeWizardView& view = run.view;
  run.controller.OnScanType(ScanType::advance);
  run.Click(wizard::TreeKind::disks, -1);
  run.controller.OnNext();
  ASSERT_EQ(run.controller.StepNumber(), 1);
  run.controller.OnTreeClick(FolderTreeModel::kRoot, wizard::TreeHit::onItem);
  EXPECT_EQ(view.panelValues["Partition Type"], "exFAT");
  EXPECT_EQ(wizard::kFileSystemChoices[static_cast<std::size_t>(view.range.fileSystemPosition)], std::string("exFAT"));

  view.range.fileSystemPosition = wizard::FileSystemPosition(FsType::fat32);
  run.controller.OnNext();
  ASSERT_EQ(run.controller.StepNumber(), 2);
  EXPECT_TRUE(view.TreeNodes(wizard::TreeKind::foundFileSystems).empty());
  const std::string said =
      "No FAT32 file system was found in the range, but it holds an exFAT volume (Whole Disk - exFAT): choose exFAT "
      "in Select File System and scan again.";
  EXPECT_EQ(view.LastBox(), said);
  EXPECT_EQ(view.status, said);
}

// A card whose boot regions and FAT were wiped, holding one folder or none,
// too few for the folders to tell the cluster size: the window's Advance
// Scan with exFAT chosen finds the volume from its root's tables and lists it.
struct WipedCardCase {
  const char* name;
  std::uint32_t clusterBytes;
  const char* folder;  // "" for a card with its files in the root
};

class WipedExfatCardTest : public ::testing::TestWithParam<WipedCardCase> {};

TEST_P(WipedExfatCardTest, TheAdvanceScanFindsItFromItsRoot) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  const WipedCardCase& c = GetParam();
  constexpr std::uint32_t kSectors = 65536;
  TempDir dir;
  const fs::path image = dir / "card.img";
  const std::string top = *c.folder != '\0' ? c.folder : "IMG_0001.JPG";
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(image, std::uint64_t{kSectors} * kSectorSize, c.clusterBytes);
    if (*c.folder != '\0') volume.AddFolder(std::string("/") + c.folder);
    const std::string photo = HighBytes("IMG_0001.JPG", 20000);
    const std::string folder = *c.folder != '\0' ? std::string("/") + c.folder : "";
    volume.AddFile(folder + "/IMG_0001.JPG", std::vector<std::uint8_t>(photo.begin(), photo.end()));
    volume.ZeroBootRegionsAndFat();
  }
  WizardOnImage run(image);
  FakeWizardView& view = run.view;
  wizard::WizardController& controller = run.controller;
  controller.OnScanType(ScanType::advance);
  run.Click(wizard::TreeKind::disks, -1);
  controller.OnNext();
  ASSERT_EQ(controller.StepNumber(), 1);
  view.range.startSector = "0";
  view.range.endSector = std::to_string(kSectors);
  view.range.fileSystemPosition = wizard::FileSystemPosition(FsType::exfat);
  controller.OnNext();
  ASSERT_EQ(controller.StepNumber(), 2);
  const auto found = view.TreeNodes(wizard::TreeKind::foundFileSystems);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].rfind("exFAT @", 0), 0u) << found[0];
  run.Click(wizard::TreeKind::foundFileSystems, 0);
  EXPECT_EQ(view.panelValues["Sectors Per Cluster"], std::to_string(c.clusterBytes / kSectorSize));
  controller.OnNext();
  ASSERT_EQ(controller.StepNumber(), 3);
  EXPECT_EQ(view.ListNames(), (std::vector<std::string>{top}));
}

INSTANTIATE_TEST_SUITE_P(Tools, WipedExfatCardTest,
                         ::testing::Values(WipedCardCase{"OneFolderSmallClusters", 512, "DCIM"},
                                           WipedCardCase{"OneFolder", 4096, "DCIM"},
                                           WipedCardCase{"FilesInTheRoot", 32768, ""}),
                         [](const ::testing::TestParamInfo<WipedCardCase>& param) { return param.param.name; });

}  // namespace
}  // namespace salvex::testing
