// Where salvex reads a deleted exFAT file from, on volumes made by
// mkfs.exfat and filled by the test's own exFAT writer, and the marks it
// shows when that is a guess or shared with other deleted files. Every
// recovered byte is compared.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/exfat_test_volume.h"
#include "support/json_value.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kVolumeBytes = 16ull << 20;
constexpr std::uint32_t kClusterBytes = 4096;
// Far enough into the heap to be past the bitmap, up-case table and root.
constexpr std::uint32_t kFirst = 100;

std::vector<std::uint8_t> AsVector(const std::string& bytes) { return {bytes.begin(), bytes.end()}; }

ExfatFileOptions At(std::vector<std::uint32_t> clusters, ExfatLayout layout = ExfatLayout::chained) {
  ExfatFileOptions options;
  options.layout = layout;
  options.clusters = std::move(clusters);
  return options;
}

// The marks `salvex scan --json` gives each file, by name.
std::map<std::string, std::vector<std::string>> MarksByName(const std::string& json) {
  std::map<std::string, std::vector<std::string>> marks;
  for (const JsonValue& item : ParseJson(json).items) {
    if (item.At("kind").Str() != "file") continue;
    std::vector<std::string>& named = marks[item.At("name").Str()];
    for (const char* key : {"overwritten", "fragmentInferred", "chainAssumed", "nameIncomplete"}) {
      if (item.Has(key) && item.At(key).Bool()) named.push_back(key);
    }
    if (item.Has("conflictsWith")) {
      for (const JsonValue& other : item.At("conflictsWith").items) named.push_back("conflictsWith " + other.Str());
    }
  }
  return marks;
}

using Marks = std::vector<std::string>;

struct LayoutCase {
  const char* name;
  ExfatLayout layout;
  bool clearFatChain;     // as exfat-fuse deletes; Windows leaves the chain
  bool gapsHeldByALiveFile;
  bool exact;             // the recovered bytes are the file's
  Marks marks;            // those of the deleted file
};

class ExfatDeletedLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

// A deleted file of four clusters with one cluster between each, which a
// live file holds or nobody does: it comes back whole wherever its clusters
// can be known (its entry, its surviving chain, the clusters in use around
// it), and marked wherever they are a guess.
TEST_P(ExfatDeletedLayoutTest, ComesBackWholeOrMarked) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  const LayoutCase& c = GetParam();
  TempDir dir;
  const fs::path disk = dir / "deleted.img";
  const std::string gone = HighBytes("gone", 4 * kClusterBytes - 100);
  const bool contiguous = c.layout == ExfatLayout::contiguous;
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, kVolumeBytes, kClusterBytes);
    const std::vector<std::uint32_t> own =
        contiguous ? std::vector<std::uint32_t>{kFirst, kFirst + 1, kFirst + 2, kFirst + 3}
                   : std::vector<std::uint32_t>{kFirst, kFirst + 2, kFirst + 4, kFirst + 6};
    volume.AddFile("/gone.bin", AsVector(gone), At(own, c.layout));
    if (c.gapsHeldByALiveFile) {
      volume.AddFile("/between.bin", AsVector(HighBytes("between", 3 * kClusterBytes)),
                     At({kFirst + 1, kFirst + 3, kFirst + 5}));
    }
    volume.Delete("/gone.bin", c.clearFatChain);
  }
  const SalvexRun scan = RunSalvexReading(SALVEX_BINARY, disk, "scan " + ShellQuote(disk.string()) + " --json", dir.Path());
  ASSERT_EQ(scan.status, 0) << scan.err;
  EXPECT_EQ(MarksByName(scan.out)["gone.bin"], c.marks);

  const fs::path out = dir / "out";
  const SalvexRun recover = RunSalvexReading(
      SALVEX_BINARY, disk, "recover " + ShellQuote(disk.string()) + " --all --out " + ShellQuote(out.string()), dir.Path());
  ASSERT_EQ(recover.status, 0) << recover.out << recover.err;
  EXPECT_EQ(ReadWholeFile(out / "gone.bin") == gone, c.exact);
}

INSTANTIATE_TEST_SUITE_P(
    Deletions, ExfatDeletedLayoutTest,
    ::testing::Values(
        LayoutCase{"noFatChain", ExfatLayout::contiguous, false, false, true, {}},
        LayoutCase{"chainLeftInTheFat", ExfatLayout::chained, false, true, true, {}},
        LayoutCase{"chainClearedAroundALiveFile", ExfatLayout::chained, true, true, true, {"fragmentInferred"}},
        // Nothing tells what held the free clusters between: read as one
        // run, and said to be a guess.
        LayoutCase{"chainClearedAroundFreeClusters", ExfatLayout::chained, true, false, false, {"chainAssumed"}}),
    [](const ::testing::TestParamInfo<LayoutCase>& param) { return std::string(param.param.name); });

// A deleted file over some of the clusters of another deleted file (written
// after it was deleted, then deleted itself): each names the other, as at
// most one of them can come back right.
TEST(ExfatDeletedConflicts, DeletedFilesOverTheSameClustersNameEachOther) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  TempDir dir;
  const fs::path disk = dir / "conflicts.img";
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, kVolumeBytes, kClusterBytes);
    volume.AddFile("/older.bin", AsVector(HighBytes("older", 8 * kClusterBytes)),
                   At({kFirst, kFirst + 1, kFirst + 2, kFirst + 3, kFirst + 4, kFirst + 5, kFirst + 6, kFirst + 7},
                      ExfatLayout::contiguous));
    volume.Delete("/older.bin");
    volume.AddFile("/newer.bin", AsVector(HighBytes("newer", 2 * kClusterBytes)),
                   At({kFirst + 3, kFirst + 4}, ExfatLayout::contiguous));
    volume.Delete("/newer.bin");
    volume.AddFile("/apart.bin", AsVector(HighBytes("apart", kClusterBytes)), At({kFirst + 20}, ExfatLayout::contiguous));
    volume.Delete("/apart.bin");
  }
  const SalvexRun scan = RunSalvexReading(SALVEX_BINARY, disk, "scan " + ShellQuote(disk.string()) + " --json", dir.Path());
  ASSERT_EQ(scan.status, 0) << scan.err;
  const std::map<std::string, Marks> expected = {{"older.bin", {"conflictsWith newer.bin"}},
                                                 {"newer.bin", {"conflictsWith older.bin"}},
                                                 {"apart.bin", {}}};
  EXPECT_EQ(MarksByName(scan.out), expected);
}

// The allocation bitmap's entry says it is shorter than the heap: the
// clusters past its end that a live file holds are in use all the same, so
// the deleted file that lay there first is overwritten.
TEST(ExfatShortBitmap, ClustersLiveFilesHoldAreInUseWhateverTheBitmapSays) {
  SALVEX_REQUIRE_TOOLS("mkfs.exfat");
  TempDir dir;
  const fs::path disk = dir / "short-bitmap.img";
  const std::uint32_t late = 2000;  // past the first 1,024 clusters the cut bitmap keeps
  std::uint64_t bitmapEntry = 0;
  {
    ExfatTestVolume volume = ExfatTestVolume::Create(disk, kVolumeBytes, kClusterBytes);
    volume.AddFile("/earlier.bin", AsVector(HighBytes("earlier", 3 * kClusterBytes)),
                   At({late, late + 1, late + 2}, ExfatLayout::contiguous));
    volume.Delete("/earlier.bin");
    volume.AddFile("/later.bin", AsVector(HighBytes("later", 3 * kClusterBytes)),
                   At({late, late + 1, late + 2}, ExfatLayout::contiguous));
    volume.AddFile("/free.bin", AsVector(HighBytes("free", kClusterBytes)), At({late + 10}, ExfatLayout::contiguous));
    volume.Delete("/free.bin");
    bitmapEntry = volume.ClusterOffset(volume.FirstCluster("/"));
  }
  // The root's first cluster holds the bitmap entry (type 0x81) among its
  // first entries; its DataLength is cut to 128 bytes.
  std::string root(kClusterBytes, '\0');
  {
    std::ifstream in(disk, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(bitmapEntry));
    in.read(root.data(), static_cast<std::streamsize>(root.size()));
  }
  std::size_t slot = 0;
  while (slot < root.size() && static_cast<std::uint8_t>(root[slot]) != 0x81) slot += 32;
  ASSERT_LT(slot, root.size()) << "no allocation bitmap entry in the root";
  PatchImage(disk, bitmapEntry + slot + 24, std::string("\x80\0\0\0\0\0\0\0", 8));

  const SalvexRun scan = RunSalvexReading(SALVEX_BINARY, disk, "scan " + ShellQuote(disk.string()) + " --json", dir.Path());
  ASSERT_EQ(scan.status, 0) << scan.err;
  const std::map<std::string, Marks> expected = {{"earlier.bin", {"overwritten"}}, {"later.bin", {}}, {"free.bin", {}}};
  EXPECT_EQ(MarksByName(scan.out), expected);
}

}  // namespace
}  // namespace salvex::testing
