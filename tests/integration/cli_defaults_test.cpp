// What salvex does when the command line leaves something out: the version,
// the volume to scan when the tables hold one FAT partition or several, and
// the file system of an advance-scan snapshot.

#include <gtest/gtest.h>

#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

class CliDefaults : public ::testing::Test {
 protected:
  void Build(std::vector<PartitionPlan> partitions) {
    DiskPlan plan;
    plan.totalSectors = 81920;
    plan.partitions = std::move(partitions);
    BuildDisk(dir_ / "disk.img", plan);
    // A folder, so that an Advance Scan has something to find.
    MtoolsVolume(dir_ / "disk.img", plan.partitions[0].startSector, dir_.Path()).MakeFolders({"Photos"}, 0);
  }
  SalvexRun Salvex(const std::string& arguments) {
    return RunSalvexReading(SALVEX_BINARY, dir_ / "disk.img",
                            arguments + " " + ShellQuote((dir_ / "disk.img").string()), dir_.Path());
  }

  TempDir dir_;
};

const PartitionPlan kFat32{VolumeKind::fat32, false, 2048, 69632, 0x0C, 1, "ONLY"};
const PartitionPlan kNtfs{VolumeKind::ntfsStub, false, 71680, 4096, 0x07, 0, ""};
const PartitionPlan kFat16{VolumeKind::fat16, false, 71680, 8192, 0x06, 1, "SECOND"};

TEST_F(CliDefaults, WithoutAPartitionTheOnlyFatOneIsScannedAndSeveralAreListed) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mmd");
  Build({kFat32, kNtfs});
  const SalvexRun only = Salvex("scan");
  EXPECT_EQ(only.status, 0) << only.err;
  EXPECT_NE(only.err.find("scanning Partition 1 - FAT32, the only FAT partition"), std::string::npos) << only.err;
  EXPECT_EQ(only.out.rfind("FAT32 volume, sectors 2048 to 71679", 0), 0u) << only.out;

  Build({kFat32, kFat16});
  const SalvexRun several = Salvex("scan");
  EXPECT_EQ(several.status, 2);
  EXPECT_NE(several.err.find("  Partition 2 - FAT16\n"), std::string::npos) << several.err;
  EXPECT_NE(several.err.find("choose one with --partition N"), std::string::npos) << several.err;
  EXPECT_TRUE(several.out.empty());
}

TEST_F(CliDefaults, AnAdvanceSnapshotSaysWhichFileSystemItsRangeWasSweptFor) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mmd");
  Build({kFat32, kNtfs});
  const std::string snapshot = ShellQuote((dir_ / "hits").string());
  ASSERT_EQ(Salvex("deep-scan --fs fat32 --partition 1 --save-snapshot " + snapshot).status, 0);
  const std::string load = "deep-scan --snapshot " + ShellQuote((dir_ / "HITS.RS2").string());
  const SalvexRun withoutFs = Salvex(load);
  EXPECT_EQ(withoutFs.status, 0) << withoutFs.err;
  EXPECT_NE(withoutFs.out.find("FAT32 @"), std::string::npos) << withoutFs.out;
  const SalvexRun conflicting = Salvex(load + " --fs ntfs");
  EXPECT_EQ(conflicting.status, 1);
  EXPECT_NE(conflicting.err.find("--fs ntfs does not match"), std::string::npos) << conflicting.err;

  const SalvexRun version = RunSalvex(SALVEX_BINARY, "--version", dir_.Path());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("salvex ", 0), 0u) << version.out;
}

}  // namespace
}  // namespace salvex::testing
