// The Advance Scan of exFAT volumes made by mkfs.exfat and filled by the
// test's exFAT writer (folders, a deleted folder, long and non-ASCII names,
// contiguous and FAT-chained files, a deleted file): with both boot regions
// and the FAT zeroed the volume is put together from its entry sets; with
// only the main boot region garbled it is found by its backup. Either way
// the file system is found where mkfs.exfat put its cluster heap, the
// folders and files are listed by name (an entry set in a root cluster no
// directory read reaches, under "Lost Files"), and every file comes back
// byte for byte. The sweep's hits saved as .RS2 and loaded again give the
// same file system and the same listing.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/sector.h"
#include "support/exfat_test_volume.h"
#include "support/json_value.h"
#include "support/ntfs_tool_volume.h"
#include "support/recovery_bench.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kVolumeBytes = 48ull << 20;

enum class Damage { bootRegionsAndFatZeroed, mainBootRegionGarbled };

struct Case {
  const char* name;
  Damage damage;
  std::uint32_t clusterBytes;
  // Where late.bin is listed: with 512-byte clusters the root is full when
  // it comes, and its entry set goes to a second root cluster that, with
  // the FAT gone, no directory read reaches.
  const char* lateFolder = "";
};

struct Planted {
  std::string path;  // from the root, without the leading "/"
  std::string bytes;
  ExfatLayout layout = ExfatLayout::contiguous;
  bool deleted = false;
};

std::vector<std::uint8_t> AsVector(const std::string& bytes) { return {bytes.begin(), bytes.end()}; }


class ExfatAdvanceScanTest : public ::testing::TestWithParam<Case> {
 protected:
  SalvexRun Salvex(const std::string& arguments) { return RunSalvexReading(SALVEX_BINARY, disk, arguments, dir.Path()); }
  std::string Disk() const { return ShellQuote(disk.string()); }

  TempDir dir;
  fs::path disk = dir / "lost exfat.img";
};

TEST_P(ExfatAdvanceScanTest, TheVolumeIsFoundListedAndRecoveredByteForByte) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  const Case& c = GetParam();
  const std::uint32_t cluster = c.clusterBytes;
  const std::string longName = "Überweisung — Ιανουάριος, 日本語のファイル名 and a name longer than thirty units.txt";
  const std::vector<Planted> files = {
      {"contiguous.bin", HighBytes("contiguous", 5 * cluster + 17)},
      {"chained-file.bin", HighBytes("chained", 3 * cluster + 1), ExfatLayout::chained},
      {"Docs/" + longName, HighBytes(longName, 2 * cluster + 100)},
      {"Docs/Deep/exact.bin", HighBytes("exact", 2 * cluster), ExfatLayout::chained},
      {"Docs/gone.bin", HighBytes("gone", 3 * cluster + 5), ExfatLayout::contiguous, true},
      {"Trash/thrown.bin", HighBytes("thrown", cluster + 1), ExfatLayout::contiguous, true},
      {"late.bin", HighBytes("late", cluster + 3)},
  };
  const std::vector<std::pair<std::string, bool>> folders = {{"Docs", false}, {"Docs/Deep", false}, {"Trash", true}};
  std::uint32_t clusterBase = 0;
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, kVolumeBytes, cluster, "LOST");
    volume.AddFolder("/Docs");
    volume.AddFolder("/Docs/Deep", ExfatLayout::chained);
    volume.AddFolder("/Trash");
    for (const Planted& file : files) {
      ExfatFileOptions options;
      options.layout = file.layout;
      volume.AddFile("/" + file.path, AsVector(file.bytes), options);
    }
    volume.Delete("/Docs/gone.bin");
    volume.Delete("/Trash");
    if (c.damage == Damage::bootRegionsAndFatZeroed) {
      volume.ZeroBootRegionsAndFat();
    } else {
      volume.DamageMainBootRegion();
    }
    clusterBase = static_cast<std::uint32_t>(volume.ClusterOffset(2) / kSectorSize - 2 * (cluster / kSectorSize));
  }

  const SalvexRun found =
      Salvex("deep-scan " + Disk() + " --fs exfat --json --save-snapshot " + ShellQuote((dir / "sweep").string()));
  ASSERT_EQ(found.status, 0) << found.err;
  const std::string snapshot = " --snapshot " + ShellQuote((dir / "SWEEP.RS2").string());
  const SalvexRun loaded = Salvex("deep-scan " + Disk() + snapshot + " --json");
  ASSERT_EQ(loaded.status, 0) << loaded.err;
  EXPECT_EQ(loaded.out, found.out) << "the saved sweep's hits classify to other file systems";
  const JsonValue systems = ParseJson(found.out);
  ASSERT_EQ(systems.items.size(), 1u) << found.out;
  EXPECT_EQ(systems.items[0].At("fsType").Str(), "exFAT");
  EXPECT_EQ(systems.items[0].At("clusterBase").Num(), clusterBase);
  EXPECT_EQ(systems.items[0].At("sectorsPerCluster").Num(), cluster / kSectorSize);
  // Only a boot region (here the backup) tells where the FAT is.
  EXPECT_EQ(systems.items[0].At("fat1Start").Num() == 0, c.damage == Damage::bootRegionsAndFatZeroed);

  std::vector<std::string> expected;
  std::vector<std::string> tree;
  for (const auto& [path, deleted] : folders) {
    expected.push_back("folder " + path + (deleted ? " deleted" : ""));
    tree.push_back(path + "/");
  }
  for (const Planted& file : files) {
    const std::string path = file.path == "late.bin" ? c.lateFolder + file.path : file.path;
    expected.push_back("file " + path + " " + std::to_string(file.bytes.size()) + (file.deleted ? " deleted" : ""));
    tree.push_back(path);
  }
  if (*c.lateFolder != '\0') tree.push_back(c.lateFolder);
  std::sort(expected.begin(), expected.end());
  std::sort(tree.begin(), tree.end());
  const SalvexRun mounted = Salvex("deep-scan " + Disk() + " --fs exfat --mount 1 --json");
  ASSERT_EQ(mounted.status, 0) << mounted.err;
  EXPECT_EQ(LineDifference(ListingLines(ItemsFromScanJson(mounted.out)), expected), "");
  // Without the FAT, a chained file is read as one run, and says so.
  for (const JsonValue& item : ParseJson(mounted.out).items) {
    if (item.At("kind").Str() != "file") continue;
    const std::string& name = item.At("name").Str();
    const bool chained = name == "chained-file.bin" || name == "exact.bin";
    EXPECT_EQ(item.Has("chainAssumed"), chained && c.damage == Damage::bootRegionsAndFatZeroed) << name;
  }
  const SalvexRun remounted = Salvex("deep-scan " + Disk() + snapshot + " --mount 1 --json");
  ASSERT_EQ(remounted.status, 0) << remounted.err;
  EXPECT_EQ(LineDifference(ListingLines(ItemsFromScanJson(remounted.out)), expected), "") << "mounted from the snapshot";

  const fs::path out = dir / "out";
  const SalvexRun recover = Salvex("recover " + Disk() + " --fs exfat --mount 1 --all --out " + ShellQuote(out.string()));
  ASSERT_EQ(recover.status, 0) << recover.out << recover.err;
  for (const Planted& file : files) {
    const std::string path = file.path == "late.bin" ? c.lateFolder + file.path : file.path;
    EXPECT_TRUE(ReadWholeFile(out / path) == file.bytes) << path << " came back with other bytes";
  }
  EXPECT_EQ(LineDifference(TreeBelow(out), tree), "") << recover.out;
}

INSTANTIATE_TEST_SUITE_P(
    Damages, ExfatAdvanceScanTest,
    ::testing::Values(Case{"bootRegionsAndFatZeroed4K", Damage::bootRegionsAndFatZeroed, 4096, ""},
                      Case{"bootRegionsAndFatZeroed32K", Damage::bootRegionsAndFatZeroed, 32768, ""},
                      Case{"bootRegionsAndFatZeroed512", Damage::bootRegionsAndFatZeroed, 512, "Lost Files/"},
                      Case{"mainBootRegionGarbled", Damage::mainBootRegionGarbled, 4096, ""}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace salvex::testing
