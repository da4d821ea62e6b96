// FAT12 volumes as mkfs.fat makes them: a 1.44 MB floppy disk image without
// a partition table, and a small disk with one partition of type 0x01.
// mtools fills them with files whose FAT entries straddle FAT sectors
// (cluster 341's entry spans bytes 511 and 512), a file written in turns with
// another (fragmented), a folder, and files deleted afterwards; every file
// must come back byte for byte, from the Standard Scan and, with the boot
// sector zeroed, from the Advance Scan.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/sector.h"
#include "support/json_value.h"
#include "support/recovery_bench.h"
#include "support/recovery_tool_disk.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kNoon2000 = 946728000;

struct Planted {
  std::string path;  // "/"-separated from the root
  std::string bytes;
  bool deleted = false;
};

struct Fat12Case {
  const char* name;
  bool floppy;              // else one partition of type 0x01 from sector 2048
  std::uint32_t sectorsPerCluster;
  const char* caption;      // of `salvex partitions`
  const char* chooser;      // the options that choose the volume
};

class Fat12VolumeTest : public ::testing::TestWithParam<Fat12Case> {
 protected:
  void SetUp() override { SALVEX_REQUIRE_TOOLS("mkfs.fat", "sfdisk", "mcopy", "mmd", "mdel", "mshowfat"); }

  SalvexRun Salvex(const std::string& arguments) {
    return RunSalvexReading(SALVEX_BINARY, image, arguments, dir.Path());
  }

  struct Zeroed {
    std::vector<Planted> files;
    std::uint64_t bootSector;
  };

  // The case's volume, filled, with its boot sector zeroed.
  Zeroed FilledWithItsBootSectorZeroed() {
    const Fat12Case& c = GetParam();
    RecoveryToolDisk disk = c.floppy ? RecoveryToolDisk(image, RecoveryToolDisk::Floppy{})
                                     : RecoveryToolDisk(image, FsType::fat12, c.sectorsPerCluster, 8192);
    Zeroed zeroed{Fill(disk, std::uint64_t{c.sectorsPerCluster} * kSectorSize),
                  c.floppy ? 0 : std::uint64_t{RecoveryToolDisk::kPartitionStart}};
    PatchImage(image, zeroed.bootSector * kSectorSize, std::string(kSectorSize, '\0'));
    return zeroed;
  }

  // Fills the volume: a file over clusters 2 to 501 (its chain passes the
  // entry of cluster 341, which straddles FAT sectors 0 and 1), a folder
  // with a folder in it (two folders give the Advance Scan its geometry), two
  // files written in turns (the second in the first's holes), and files
  // that are deleted again. Returns what a recovery must bring back.
  std::vector<Planted> Fill(RecoveryToolDisk& disk, std::uint64_t clusterBytes) {
    std::vector<Planted> planted;
    const auto copy = [&](const std::string& folder, const std::string& name, std::size_t size) {
      const std::string path = folder.empty() ? name : folder + "/" + name;
      planted.push_back({path, PatternBytes(path, size)});
      disk.CopyFiles(folder, {{name, planted.back().bytes, kNoon2000}});
    };
    copy("", "long straddling file.bin", static_cast<std::size_t>(clusterBytes * 500 - 100));
    disk.MakeFolders({"Letters", "Letters/Old"});
    for (int i = 1; i <= 3; ++i) copy("Letters", "letter " + std::to_string(i) + ".txt", 1000 * i + 7);
    copy("Letters/Old", "old letter.txt", 4321);
    // Written in turns: the holes left by the deleted gaps take the start of
    // the fragmented file.
    copy("", "gap one.bin", static_cast<std::size_t>(clusterBytes * 3));
    copy("", "keeper.bin", static_cast<std::size_t>(clusterBytes * 2 + 1));
    copy("", "gap two.bin", static_cast<std::size_t>(clusterBytes * 5));
    copy("", "tail keeper.bin", 300);
    disk.Delete({"gap one.bin", "gap two.bin"});
    planted.erase(std::remove_if(planted.begin(), planted.end(),
                                 [](const Planted& p) { return p.path.starts_with("gap "); }),
                  planted.end());
    copy("", "fragmented.bin", static_cast<std::size_t>(clusterBytes * 14 + 33));
    EXPECT_GE(disk.ClusterRuns("fragmented.bin").size(), 2u) << "the premise: the file lies in pieces";
    // Deleted files whose clusters nothing took again.
    copy("", "deleted first.bin", static_cast<std::size_t>(clusterBytes * 4 + 5));
    copy("Letters", "deleted letter.txt", 2222);
    disk.Delete({"deleted first.bin", "Letters/deleted letter.txt"});
    planted[planted.size() - 2].deleted = true;
    planted.back().deleted = true;
    return planted;
  }

  // How many of `files` `out` holds byte for byte, each one checked.
  static int Exact(const fs::path& out, const std::vector<Planted>& files, const std::string& what) {
    int exact = 0;
    for (const Planted& file : files) {
      const bool same = fs::is_regular_file(out / file.path) && ReadWholeFile(out / file.path) == file.bytes;
      EXPECT_TRUE(same) << file.path << (file.deleted ? " (deleted)" : "") << " did not come back whole: " << what;
      exact += same ? 1 : 0;
    }
    return exact;
  }

  TempDir dir;
  fs::path image = dir / "fat12.img";
};


TEST_P(Fat12VolumeTest, IsListedAndEveryFileComesBackWhole) {
  const Fat12Case& c = GetParam();
  RecoveryToolDisk disk = c.floppy ? RecoveryToolDisk(image, RecoveryToolDisk::Floppy{})
                                   : RecoveryToolDisk(image, FsType::fat12, c.sectorsPerCluster, 8192);
  const std::vector<Planted> files = Fill(disk, std::uint64_t{c.sectorsPerCluster} * kSectorSize);
  const std::string source = ShellQuote(image.string());

  const SalvexRun listed = Salvex("partitions " + source + " --json");
  ASSERT_EQ(listed.status, 0) << listed.err;
  const JsonValue records = ParseJson(listed.out);
  ASSERT_EQ(records.items.size(), 1u) << listed.out;
  EXPECT_EQ(records.items[0].At("caption").Str(), c.caption);
  EXPECT_EQ(records.items[0].At("fsType").Str(), "FAT12");

  const fs::path out = dir / "out";
  const SalvexRun recovered =
      Salvex("recover " + source + " " + c.chooser + " --all --out " + ShellQuote(out.string()));
  ASSERT_EQ(recovered.status, 0) << recovered.out << recovered.err;
  EXPECT_EQ(Exact(out, files, "Standard Scan"), static_cast<int>(files.size())) << recovered.out;
}

// The geometry comes from the FATs and the folders: FAT #1 after the
// reserved sector, FAT #2 after it, the root (of 224 entries on a floppy
// disk) up to where the folders' clusters put the data area.
TEST_P(Fat12VolumeTest, WithItsBootSectorZeroedTheStandardScanInfersTheGeometry) {
  const auto [files, bootSector] = FilledWithItsBootSectorZeroed();
  const std::uint64_t sectors = fs::file_size(image) / kSectorSize - bootSector;
  const fs::path out = dir / "inferred";
  const SalvexRun recovered = Salvex("recover " + ShellQuote(image.string()) + " --start " +
                                     std::to_string(bootSector) + " --size " + std::to_string(sectors) +
                                     " --type fat12 --all --out " + ShellQuote(out.string()));
  ASSERT_EQ(recovered.status, 0) << recovered.out << recovered.err;
  EXPECT_EQ(Exact(out, files, "Standard Scan without a boot sector"), static_cast<int>(files.size())) << recovered.out;
}

TEST_P(Fat12VolumeTest, WithItsBootSectorZeroedTheAdvanceScanFindsTheFolder) {
  const auto [files, bootSector] = FilledWithItsBootSectorZeroed();
  const std::uint64_t sectors = fs::file_size(image) / kSectorSize;
  const std::string range = "--start " + std::to_string(bootSector) + " --end " + std::to_string(sectors - 1);
  const fs::path out = dir / "deep";
  const SalvexRun recovered = Salvex("recover " + ShellQuote(image.string()) + " --fs fat12 " + range +
                                     " --mount 1 --all --out " + ShellQuote(out.string()));
  ASSERT_EQ(recovered.status, 0) << recovered.out << recovered.err;
  // Without its boot sector the root is not known: the folder comes back
  // under the name its cluster gives it, with its files.
  std::vector<Planted> letters;
  for (const Planted& file : files) {
    if (file.path.starts_with("Letters/")) letters.push_back(file);
  }
  ASSERT_EQ(letters.size(), 5u);
  const std::vector<std::string> tree = TreeBelow(out);
  std::string folder;
  for (const std::string& path : tree) {
    if (path.ends_with("/letter 1.txt")) folder = path.substr(0, path.size() - std::string("letter 1.txt").size());
  }
  ASSERT_FALSE(folder.empty()) << "no folder holds letter 1.txt; " << recovered.out;
  for (Planted& letter : letters) letter.path = folder + letter.path.substr(std::string("Letters/").size());
  EXPECT_EQ(Exact(out, letters, "Advance Scan"), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, Fat12VolumeTest,
    ::testing::Values(Fat12Case{"Floppy", true, 1, "Whole Disk - FAT12", ""},
                      Fat12Case{"PartitionOfTypeOne", false, 2, "Partition 1 - FAT12", "--partition 1"}),
    [](const ::testing::TestParamInfo<Fat12Case>& param) { return param.param.name; });

}  // namespace
}  // namespace salvex::testing
