// A 4 TiB disk, a sparse image with a GUID partition table made by sfdisk: a
// FAT32 volume near its start, a FAT32 volume that crosses sector 2^32
// (2 TiB), and an exFAT volume at 3 TiB. salvex lists the three with their
// 64-bit extents, scans and recovers each byte for byte, and the snapshots
// of the far volume, which need 64-bit sectors, load back. The image is
// never read whole (it is 4 TiB): RunSalvex, not RunSalvexReading.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/exfat_test_volume.h"
#include "support/json_value.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"
#include "support/wizard_on_image.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kDiskSectors = std::uint64_t{1} << 33;  // 4 TiB
constexpr std::uint64_t kFatSectors = 69632;                     // 34 MiB: mtools takes no smaller FAT32
// 8 MiB before sector 2^32: the data of a 10 MiB file runs across it.
constexpr std::uint64_t kCrossingStart = (std::uint64_t{1} << 32) - 16384;
constexpr std::uint64_t kExfatStart = std::uint64_t{3} << 31;  // 3 TiB
constexpr std::uint64_t kExfatSectors = 131072;                // 64 MiB

struct Volume {
  std::uint64_t start;
  std::uint64_t sectors;
  const char* fsType;
  std::vector<HostFile> files;  // in the root
};

const std::vector<Volume>& Volumes() {
  static const std::vector<Volume> volumes = {
      {2048, kFatSectors, "FAT32", {PatternFile("near.bin", 70000, MtoolsVolume::kToolEpoch)}},
      {kCrossingStart,
       kFatSectors,
       "FAT32",
       {PatternFile("small.txt", 3000, MtoolsVolume::kToolEpoch),
        PatternFile("across.bin", 10u << 20, MtoolsVolume::kToolEpoch)}},
      {kExfatStart, kExfatSectors, "exFAT", {PatternFile("far.bin", 3u << 20, MtoolsVolume::kToolEpoch)}},
  };
  return volumes;
}

std::string Quoted(const fs::path& path) { return ShellQuote(path.string()); }

class PastTwoTibTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HaveTools({"mkfs.exfat", "mkfs.fat", "sfdisk", "mcopy"})) return;
    dir_ = new TempDir;
    disk_ = *dir_ / "four tib.img";
    const Volume& far = Volumes()[2];
    {
      ExfatTestVolume exfat = ExfatTestVolume::Create(disk_, (far.start + far.sectors) * 512, 4096, "FAR", far.start * 512);
      exfat.AddFolder("/Docs");
      for (const HostFile& file : far.files) {
        exfat.AddFile("/Docs/" + file.name, std::vector<std::uint8_t>(file.bytes.begin(), file.bytes.end()));
      }
      exfat.Flush();
    }
    fs::resize_file(disk_, kDiskSectors * 512);
    std::string script = "label: gpt\n";
    for (const Volume& volume : Volumes()) {
      script += "start=" + std::to_string(volume.start) + ", size=" + std::to_string(volume.sectors) +
                ", type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n";
    }
    std::ofstream(*dir_ / "table.sfdisk") << script;
    RunChecked("sfdisk --quiet --no-reread --no-tell-kernel --wipe never --wipe-partitions never " + Quoted(disk_) +
               " < " + Quoted(*dir_ / "table.sfdisk"));
    for (std::size_t i = 0; i < 2; ++i) {
      const Volume& volume = Volumes()[i];
      RunChecked("SOURCE_DATE_EPOCH=946728000 mkfs.fat -F 32 -s 1 -i 5A1E000" + std::to_string(i + 1) +
                 " --offset " + std::to_string(volume.start) + " " + Quoted(disk_) + " " +
                 std::to_string(volume.sectors / 2));
      MtoolsVolume(disk_, static_cast<std::uint32_t>(volume.start), *dir_ / ("scratch" + std::to_string(i)))
          .CopyFiles("", volume.files);
    }
  }

  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    if (dir_ == nullptr) GTEST_SKIP() << "needs mkfs.exfat, mkfs.fat, sfdisk and mtools (run scripts/setup.sh)";
  }

  SalvexRun Salvex(const std::string& arguments) {
    return RunSalvex(SALVEX_BINARY, arguments, dir_->Path());
  }

  static inline TempDir* dir_ = nullptr;
  static inline fs::path disk_;
};

TEST_F(PastTwoTibTest, EveryPartitionIsListedWithItsWholeExtent) {
  const SalvexRun listed = Salvex("partitions " + Quoted(disk_) + " --json");
  ASSERT_EQ(listed.status, 0) << listed.err;
  const JsonValue records = ParseJson(listed.out);
  ASSERT_EQ(records.items.size(), Volumes().size()) << listed.out;
  for (std::size_t i = 0; i < Volumes().size(); ++i) {
    SCOPED_TRACE(i);
    const JsonValue& record = records.items[i];
    EXPECT_EQ(record.At("startSector").Num(), Volumes()[i].start);
    EXPECT_EQ(record.At("sectorCount").Num(), Volumes()[i].sectors);
    EXPECT_EQ(record.At("fsType").Str(), Volumes()[i].fsType);
    EXPECT_FALSE(record.Has("beyondReach"));
  }
}

TEST_F(PastTwoTibTest, EachVolumeIsRecoveredByteForByteFromTheScanAndFromItsSnapshot) {
  for (std::size_t i = 0; i < Volumes().size(); ++i) {
    const Volume& volume = Volumes()[i];
    SCOPED_TRACE(volume.start);
    const std::string partition = " --partition " + std::to_string(i + 1);
    const fs::path snapshot = dir_->Path() / ("TREE" + std::to_string(i) + ".RSNP");
    const SalvexRun scan = Salvex("scan " + Quoted(disk_) + partition + " --save-snapshot " + Quoted(snapshot));
    ASSERT_EQ(scan.status, 0) << scan.err;
    // The version: 1.0 while every sector fits 32 bits, 2.0 past them.
    const bool past32Bits = volume.start + volume.sectors > (std::uint64_t{1} << 32);
    EXPECT_EQ(ReadWholeFile(snapshot).substr(7, 3), past32Bits ? "2.0" : "1.0");
    const std::string folder = volume.fsType == std::string("exFAT") ? "Docs/" : "";
    for (const std::string& source : {partition, " --snapshot " + Quoted(snapshot)}) {
      const fs::path out = dir_->Path() / ("out" + std::to_string(i) + (source == partition ? "scan" : "loaded"));
      const SalvexRun recover = Salvex("recover " + Quoted(disk_) + source + " --all --out " + Quoted(out));
      ASSERT_EQ(recover.status, 0) << source << recover.err;
      for (const HostFile& file : volume.files) {
        EXPECT_TRUE(ReadWholeFile(out / (folder + file.name)) == file.bytes) << file.name << " from" << source;
      }
    }
  }
}

TEST_F(PastTwoTibTest, TheSweepOfTheFarVolumeFindsItAndItsSnapshotLoadsBack) {
  const fs::path saved = dir_->Path() / "FAR.RS2";
  const std::string disk = Quoted(disk_);
  const SalvexRun swept = Salvex("deep-scan " + disk + " --fs exfat --partition 3 --json --save-snapshot " +
                                 Quoted(dir_->Path() / "far"));
  ASSERT_EQ(swept.status, 0) << swept.err;
  EXPECT_EQ(ReadWholeFile(saved).substr(0, 19), "Brimora Salvex 5.00");
  const JsonValue found = ParseJson(swept.out);
  ASSERT_EQ(found.items.size(), 1u) << swept.out;
  EXPECT_EQ(found.items[0].At("firstSector").Num(), kExfatStart);
  const SalvexRun loaded = Salvex("deep-scan " + disk + " --fs exfat --json --snapshot " + Quoted(saved));
  ASSERT_EQ(loaded.status, 0) << loaded.err;
  EXPECT_EQ(loaded.out, swept.out);
  const fs::path out = dir_->Path() / "mounted";
  const SalvexRun recover =
      Salvex("recover " + disk + " --fs exfat --snapshot " + Quoted(saved) + " --mount 1 --all --out " + Quoted(out));
  ASSERT_EQ(recover.status, 0) << recover.err;
  for (const HostFile& file : Volumes()[2].files) {
    EXPECT_TRUE(ReadWholeFile(out / "Docs" / file.name) == file.bytes) << file.name;
  }
}

// The window's way: the partition at 3 TiB fills the panel and the range
// fields with its 64-bit sectors, and its scan lists the file it holds.
TEST_F(PastTwoTibTest, TheWizardShowsAndScansThePartitionAt3TiB) {
  for (const ScanType type : {ScanType::standard, ScanType::advance}) {
    SCOPED_TRACE(static_cast<int>(type));
    WizardOnImage wizard(disk_);
    wizard.controller.OnScanType(type);
    wizard.Click(wizard::TreeKind::disks, -1);
    wizard.controller.OnNext();
    ASSERT_EQ(wizard.controller.StepNumber(), 1);
    wizard.Click(wizard::TreeKind::partitions, 2);
    if (type == ScanType::standard) {
      EXPECT_EQ(wizard.view.panelValues["Partition Start"], std::to_string(kExfatStart));
      wizard.controller.OnNext();
      ASSERT_EQ(wizard.controller.StepNumber(), 3);
      const auto& files = wizard.session.items.FatFiles().Items();
      ASSERT_EQ(files.size(), 1u);
      EXPECT_EQ(files[0].name, "far.bin");
    } else {
      EXPECT_EQ(wizard.view.range.startSector, std::to_string(kExfatStart));
      EXPECT_EQ(wizard.view.range.endSector, std::to_string(kExfatStart + kExfatSectors));
      wizard.view.range.fileSystemPosition = 4;  // exFAT
      wizard.controller.OnNext();
      ASSERT_EQ(wizard.controller.StepNumber(), 2);
      ASSERT_FALSE(wizard.session.deepScan.found.empty());
      EXPECT_EQ(FirstSectorOf(wizard.session.deepScan.found[0]), kExfatStart);
    }
  }
}

}  // namespace
}  // namespace salvex::testing
