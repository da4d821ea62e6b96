// salvex scan and recover on exFAT volumes made by mkfs.exfat and filled by
// the test's own exFAT writer: files of each cluster layout, long and
// non-ASCII names, a file whose valid data ends before its size, deleted
// files and a deleted folder tree; bare, behind an MBR (type 0x07) and with
// a damaged main boot region. Every recovered byte is compared.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

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
constexpr std::uint64_t kPartitionOffset = 1ull << 20;  // sector 2048

struct PlantedFile {
  std::string path;  // from the root, without the leading "/"
  std::string bytes;
  ExfatFileOptions options = {};
  bool deleted = false;

  // What a reader must return: the valid bytes, zeros after them.
  std::string Expected() const {
    if (!options.validDataLength) return bytes;
    const auto valid = static_cast<std::size_t>(*options.validDataLength);
    return bytes.substr(0, valid) + std::string(bytes.size() - valid, '\0');
  }
};

ExfatFileOptions Laid(ExfatLayout layout, std::optional<std::uint64_t> validDataLength = std::nullopt) {
  ExfatFileOptions options;
  options.layout = layout;
  options.validDataLength = validDataLength;
  return options;
}

std::vector<std::uint8_t> AsVector(const std::string& bytes) { return {bytes.begin(), bytes.end()}; }

enum class Placement { bare, partitioned, damagedMainBootRegion };

struct Case {
  const char* name;
  Placement placement;
  std::uint32_t clusterBytes;
};

class ExfatScanRecoverTest : public ::testing::TestWithParam<Case> {
 protected:
  SalvexRun Salvex(const std::string& arguments) { return RunSalvexReading(SALVEX_BINARY, disk, arguments, dir.Path()); }
  std::string Disk() const { return ShellQuote(disk.string()); }
  // A bare volume fills the disk; behind a table it is partition 1.
  std::string Where() const { return GetParam().placement == Placement::partitioned ? " --partition 1" : ""; }

  TempDir dir;
  fs::path disk = dir / "exfat disk.img";
};

TEST_P(ExfatScanRecoverTest, EveryLiveAndDeletedItemIsListedAndRecoveredByteForByte) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat", "sfdisk");
  const Case& c = GetParam();
  const bool partitioned = c.placement == Placement::partitioned;
  const std::uint64_t offset = partitioned ? kPartitionOffset : 0;
  ExfatTestVolume volume = ExfatTestVolume::Create(disk, kVolumeBytes + offset, c.clusterBytes, "SALVEX", offset);

  const std::uint32_t cluster = c.clusterBytes;
  const std::string longName =
      "Отчёт за второй квартал — окончательная версия, 日本語のファイル名 café.txt";
  std::vector<PlantedFile> files = {
      {"contiguous.bin", HighBytes("contiguous", 5 * cluster + 17), Laid(ExfatLayout::contiguous)},
      {"chained.bin", HighBytes("chained", 3 * cluster + 1), Laid(ExfatLayout::chained)},
      {"fragmented.bin", HighBytes("fragmented", 4 * cluster - 3), Laid(ExfatLayout::fragmented)},
      {"Docs/" + longName, HighBytes(longName, 1000), Laid(ExfatLayout::chained)},
      {"Docs/Deep/exact.bin", HighBytes("exact", 2 * cluster), Laid(ExfatLayout::fragmented)},
      {"Docs/valid.bin", HighBytes("valid", 3 * cluster + 100), Laid(ExfatLayout::contiguous, 1 * cluster + 300)},
      {"Docs/valid-chained.bin", HighBytes("valid2", 2 * cluster + 10), Laid(ExfatLayout::fragmented, 700)},
      {"gone-contiguous.bin", HighBytes("gone1", 3 * cluster + 5), Laid(ExfatLayout::contiguous), true},
      {"gone-chained.bin", HighBytes("gone2", 2 * cluster + 9), Laid(ExfatLayout::fragmented), true},
      // Its FAT entries cleared too: read from consecutive clusters.
      {"gone-cleared.bin", HighBytes("gone3", 3 * cluster + 2), Laid(ExfatLayout::chained), true},
      {"Trash/thrown.bin", HighBytes("thrown", cluster + 1), Laid(ExfatLayout::chained), true},
      {"Trash/Sub/deeper.txt", HighBytes("deeper", 400), Laid(ExfatLayout::contiguous), true},
  };
  const std::vector<std::pair<std::string, bool>> folders = {
      {"Docs", false}, {"Docs/Deep", false}, {"Trash", true}, {"Trash/Sub", true}};
  volume.AddFolder("/Docs");
  volume.AddFolder("/Docs/Deep", ExfatLayout::chained);
  volume.AddFolder("/Trash");
  volume.AddFolder("/Trash/Sub", ExfatLayout::chained);
  for (const PlantedFile& file : files) volume.AddFile("/" + file.path, AsVector(file.bytes), file.options);
  volume.AddFile("/empty.txt", {});
  volume.Delete("/gone-contiguous.bin");
  volume.Delete("/gone-chained.bin");
  volume.Delete("/gone-cleared.bin", true);
  volume.Delete("/Trash");
  if (c.placement == Placement::damagedMainBootRegion) volume.DamageMainBootRegion();
  volume.Flush();
  if (partitioned) {
    RunChecked("printf '2048,,7\\n' | sfdisk --no-reread --wipe never --wipe-partitions never -q " + Disk());
  }

  std::vector<std::string> expected = {"file empty.txt 0"};
  for (const auto& [path, deleted] : folders) expected.push_back("folder " + path + (deleted ? " deleted" : ""));
  for (const PlantedFile& file : files) {
    expected.push_back("file " + file.path + " " + std::to_string(file.bytes.size()) + (file.deleted ? " deleted" : ""));
  }
  std::sort(expected.begin(), expected.end());
  const std::string snapshot = ShellQuote((dir / "SCAN.RSNP").string());
  const SalvexRun scan = Salvex("scan " + Disk() + Where() + " --json --save-snapshot " + snapshot);
  ASSERT_EQ(scan.status, 0) << scan.err;
  EXPECT_EQ(LineDifference(ListingLines(ItemsFromScanJson(scan.out)), expected), "");

  std::vector<std::string> tree;
  for (const auto& [path, deleted] : folders) tree.push_back(path + "/");
  for (const PlantedFile& file : files) tree.push_back(file.path);
  tree.push_back("empty.txt");
  std::sort(tree.begin(), tree.end());
  // From the scan, and from the snapshot it saved.
  for (const std::string& source : {Where(), " --snapshot " + snapshot}) {
    const fs::path out = dir / (source == Where() ? "out" : "out-snapshot");
    const SalvexRun recover = Salvex("recover " + Disk() + source + " --all --out " + ShellQuote(out.string()));
    ASSERT_EQ(recover.status, 0) << recover.out << recover.err;
    for (const PlantedFile& file : files) {
      EXPECT_TRUE(ReadWholeFile(out / file.path) == file.Expected()) << file.path << " came back with other bytes"
                                                                     << source;
    }
    EXPECT_EQ(LineDifference(TreeBelow(out), tree), "") << recover.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, ExfatScanRecoverTest,
                         ::testing::Values(Case{"bare", Placement::bare, 4096},
                                           Case{"partitioned", Placement::partitioned, 32768},
                                           Case{"damagedMainBootRegion", Placement::damagedMainBootRegion, 512}),
                         [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// A deleted file whose clusters a later file took (the allocation wraps to
// the start of the heap once its end is full) is listed as overwritten; a
// deleted file whose clusters stayed free is not.
TEST(ExfatOverwritten, ADeletedFileWhoseClustersTheBitmapGivesToAnotherIsMarked) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  TempDir dir;
  const fs::path disk = dir / "reused.img";
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, 8ull << 20, 4096);
    const std::uint32_t cluster = volume.ClusterBytes();
    volume.AddFile("/first.bin", AsVector(HighBytes("first", 10 * cluster)));
    volume.AddFile("/kept.bin", AsVector(HighBytes("kept", 2 * cluster)));
    volume.AddFile("/filler.bin", AsVector(HighBytes("filler", (volume.ClusterCount() - 20) * std::size_t{cluster})));
    const std::uint32_t firstCluster = volume.FirstCluster("/first.bin");
    volume.Delete("/first.bin");
    volume.Delete("/kept.bin");
    volume.AddFile("/second.bin", AsVector(HighBytes("second", 10 * cluster)));
    ASSERT_EQ(volume.FirstCluster("/second.bin"), firstCluster) << "second.bin was meant to take first.bin's clusters";
  }
  const SalvexRun scan = RunSalvexReading(SALVEX_BINARY, disk, "scan " + ShellQuote(disk.string()) + " --json", dir.Path());
  ASSERT_EQ(scan.status, 0) << scan.err;
  std::map<std::string, bool> overwritten;
  for (const JsonValue& item : ParseJson(scan.out).items) {
    overwritten[item.At("name").Str()] = item.Has("overwritten") && item.At("overwritten").Bool();
  }
  const std::map<std::string, bool> expected = {
      {"first.bin", true}, {"kept.bin", false}, {"filler.bin", false}, {"second.bin", false}};
  EXPECT_EQ(overwritten, expected);
}

// With both boot regions and the FAT gone there is no geometry to read: the
// scan says so and lists nothing.
TEST(ExfatScanRefusal, AVolumeWithoutBootRegionsIsRefusedCleanly) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  TempDir dir;
  const fs::path disk = dir / "blank.img";
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, kVolumeBytes, 4096);
    volume.AddFile("/a.bin", AsVector(HighBytes("a", 5000)));
    volume.ZeroBootRegionsAndFat();
  }
  const SalvexRun scan = RunSalvexReading(SALVEX_BINARY, disk, "scan " + ShellQuote(disk.string()) + " --type exfat --start 0 --size " +
                                                                   std::to_string(kVolumeBytes / 512) + " --json",
                                          dir.Path());
  EXPECT_NE(scan.status, 0) << scan.out;
  EXPECT_EQ(scan.out.find("a.bin"), std::string::npos) << scan.out;
}

}  // namespace
}  // namespace salvex::testing
