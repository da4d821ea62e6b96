// FAT volumes as mkfs.fat and mtools leave them after files came and went:
// a single FAT, deleted files whose clusters a folder or a later file took,
// FAT32 entries that keep their high words, a deleted file that wrapped
// round the volume's end, and a name no driver should write. Every live file
// comes back byte for byte, and every deleted one that cannot says so.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/sector.h"
#include "support/json_value.h"
#include "support/recovery_tool_disk.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kNoon2000 = 946728000;

class FatReuseTest : public ::testing::Test {
 protected:
  void SetUp() override { SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel"); }

  SalvexRun Salvex(const std::string& arguments) {
    return RunSalvexReading(SALVEX_BINARY, image, arguments, dir.Path());
  }

  // The items of `scan` (or `deep-scan ... --mount 1`) by path, deleted ones
  // under "DEL " + path.
  std::map<std::string, JsonValue> Items(const std::string& options) {
    const SalvexRun run = Salvex(options + " --json");
    EXPECT_EQ(run.status, 0) << run.err;
    lastJson = run.out;
    std::map<std::string, JsonValue> items;
    for (const JsonValue& item : ParseJson(run.out).items) {
      items[(item.At("deleted").Bool() ? "DEL " : "") + item.At("path").Str()] = item;
    }
    return items;
  }

  // Recovers everything into a new folder; its path.
  fs::path RecoverAll(const std::string& options, int expectedStatus = 0) {
    const fs::path out = dir / ("out" + std::to_string(++recoveries));
    const SalvexRun run = Salvex("recover " + ShellQuote(image.string()) + " " + options + " --all --out " +
                                 ShellQuote(out.string()));
    EXPECT_EQ(run.status, expectedStatus) << run.out << run.err;
    return out;
  }

  static bool Marked(const JsonValue& item, const std::string& mark) {
    return item.Has(mark) && (item.At(mark).kind != JsonValue::Kind::boolean || item.At(mark).Bool());
  }

  TempDir dir;
  fs::path image = dir / "disk.img";
  int recoveries = 0;
  std::string lastJson;  // what Items read last, for failure messages
};

struct OneFatCase {
  const char* name;
  FsType type;
  std::uint32_t sectors;
  const char* fs;
};

class OneFatTest : public FatReuseTest, public ::testing::WithParamInterface<OneFatCase> {};

// A file written into the hole another left, and on past the file after it,
// on a volume with one FAT: its chain is read from that FAT, in both scans,
// and again when the boot sector is lost and the geometry is worked out.
TEST_P(OneFatTest, LiveFilesComeBackFromTheOnlyFat) {
  const OneFatCase& c = GetParam();
  RecoveryToolDisk disk(image, c.type, 1, c.sectors, 0, 1);
  const std::string grown = PatternBytes("grown", 5000);
  const std::string kept = PatternBytes("kept", 1000);
  const std::string nested = PatternBytes("nested", 1700);
  disk.CopyFiles("", {{"hole.bin", PatternBytes("hole", 1500), kNoon2000}, {"kept.bin", kept, kNoon2000}});
  disk.Delete({"hole.bin"});
  if (c.type == FsType::fat32) disk.ForgetNextFreeCluster();
  disk.CopyFiles("", {{"grown.bin", grown, kNoon2000}});
  // Two folders: the geometry of a volume without its boot sector comes
  // from where their clusters lie.
  disk.MakeFolders({"sub", "sub/deeper"});
  disk.CopyFiles("sub/deeper", {{"nested.bin", nested, kNoon2000}});
  ASSERT_GT(disk.ClusterRuns("grown.bin").size(), 1u) << "grown.bin should be fragmented";

  const std::string partition = ShellQuote(image.string()) + " --partition 1";
  const std::string mount = "--fs " + std::string(c.fs) + " " + partition + " --mount 1";
  const auto check = [&](const std::string& options) {
    SCOPED_TRACE(options);
    const fs::path out = RecoverAll(options);
    EXPECT_EQ(ReadWholeFile(out / "grown.bin"), grown);
    EXPECT_EQ(ReadWholeFile(out / "kept.bin"), kept);
    bool nestedBack = false;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
      nestedBack = nestedBack || (entry.path().filename() == "nested.bin" && ReadWholeFile(entry.path()) == nested);
    }
    EXPECT_TRUE(nestedBack);
  };
  check(partition);
  check(mount);
  const std::uint64_t boot = RecoveryToolDisk::kPartitionStart;
  PatchImage(image, boot * kSectorSize, std::string(kSectorSize, '\0'));
  if (c.type == FsType::fat32) PatchImage(image, (boot + 6) * kSectorSize, std::string(kSectorSize, '\0'));
  check(partition);
  check(mount);
}

INSTANTIATE_TEST_SUITE_P(Types, OneFatTest,
                         ::testing::Values(OneFatCase{"Fat12", FsType::fat12, 4000, "fat12"},
                                           OneFatCase{"Fat16", FsType::fat16, 16384, "fat16"},
                                           OneFatCase{"Fat32", FsType::fat32, 70000, "fat32"}),
                         [](const ::testing::TestParamInfo<OneFatCase>& param) { return param.param.name; });

// A folder made after a file was deleted takes its cluster: what is read for
// the file is the folder's directory, and the listing says so.
TEST_F(FatReuseTest, AFolderOverADeletedFilesClusterMarksItOverwritten) {
  RecoveryToolDisk disk(image, FsType::fat16, 1, 8192);
  disk.MakeFolders({"KEEP"});
  disk.CopyFiles("KEEP", {{"A.BIN", PatternBytes("a", 400), kNoon2000}});
  disk.Delete({"KEEP/A.BIN"});
  disk.MakeFolders({"NEWDIR"});
  std::map<std::string, JsonValue> items = Items("scan " + ShellQuote(image.string()) + " --partition 1");
  // A short name alone: its first letter is lost with the deletion.
  ASSERT_TRUE(items.contains("DEL KEEP/x.BIN")) << lastJson;
  EXPECT_TRUE(Marked(items["DEL KEEP/x.BIN"], "overwritten"));
  const SalvexRun listing = Salvex("scan " + ShellQuote(image.string()) + " --partition 1");
  EXPECT_NE(listing.out.find("DEL!    x.BIN"), std::string::npos) << listing.out;
}

// X (cluster 2) and OLD (3-5) deleted, then A written over 2-7 and deleted:
// A comes back whole, and OLD, whose clusters A took, and A name each other.
TEST_F(FatReuseTest, AFileWrittenOverDeletedOnesComesBackWhole) {
  RecoveryToolDisk disk(image, FsType::fat16, 1, 8192);
  const std::string a = PatternBytes("a", 6 * kSectorSize);
  disk.CopyFiles("", {{"X.BIN", PatternBytes("x", 500), kNoon2000}, {"OLD.BIN", PatternBytes("old", 1500), kNoon2000}});
  disk.Delete({"X.BIN", "OLD.BIN"});
  disk.CopyFiles("", {{"A.BIN", a, kNoon2000}});
  disk.Delete({"A.BIN"});
  const std::map<std::string, JsonValue> items = Items("scan " + ShellQuote(image.string()) + " --partition 1");
  std::vector<std::string> conflicting;
  for (const auto& [path, item] : items) {
    if (Marked(item, "conflictsWith")) conflicting.push_back(path);
  }
  EXPECT_EQ(conflicting.size(), 2u);
  const fs::path out = RecoverAll("--partition 1");
  bool aBack = false;
  for (const auto& entry : fs::directory_iterator(out)) aBack = aBack || ReadWholeFile(entry.path()) == a;
  EXPECT_TRUE(aBack);
}

// On a FAT32 volume past 65,536 clusters, mtools keeps a deleted entry's
// high word: a file whose clusters a later file took stays where its entry
// says, marked, and is not moved to free clusters 65,536 further on.
TEST_F(FatReuseTest, ADeletedFat32FileWhoseClustersWereTakenIsNotMoved) {
  RecoveryToolDisk disk(image, FsType::fat32, 1, 163840);
  disk.MakeFolders({"Docs"});
  disk.CopyFiles("Docs", {{"old.bin", PatternBytes("old", 1500), kNoon2000}});
  const std::uint32_t oldCluster = disk.FirstClusters({"Docs/old.bin"}).at("Docs/old.bin");
  disk.Delete({"Docs/old.bin"});
  disk.ForgetNextFreeCluster();
  // In the root, so that its entry does not take the deleted one's place.
  disk.CopyFiles("", {{"new.bin", PatternBytes("new", 2500), kNoon2000}});
  std::map<std::string, JsonValue> items = Items("scan " + ShellQuote(image.string()) + " --partition 1");
  // mtools keeps a lower-case short name without a long one: the deletion
  // takes its first letter.
  ASSERT_TRUE(items.contains("DEL Docs/xld.bin")) << lastJson;
  const JsonValue& old = items["DEL Docs/xld.bin"];
  EXPECT_EQ(old.At("firstCluster").Num(), oldCluster);
  EXPECT_TRUE(Marked(old, "overwritten"));
  EXPECT_FALSE(Marked(old, "clusterInferred"));
}

// The next-free hint makes mtools start a file in the last free clusters and
// go on at the volume's start: deleted, it cannot be read on from its first
// cluster past the volume's end. It is read as far as the end, marked, and
// the run ends without an unreadable sector.
TEST_F(FatReuseTest, ADeletedFileThatWrappedRoundStopsAtTheVolumesEnd) {
  RecoveryToolDisk disk(image, FsType::fat32, 1, 81920);
  disk.CopyFiles("", {{"early.bin", PatternBytes("early", 5120), kNoon2000}});
  const std::string free = RunChecked("MTOOLS_SKIP_CHECK=1 minfo -i " + ShellQuote(image.string()) + "@@" +
                                      std::to_string(RecoveryToolDisk::kPartitionStart * kSectorSize) +
                                      " :: | grep 'free clusters='");
  const std::uint64_t freeClusters = std::stoull(free.substr(free.find('=') + 1));
  disk.CopyFiles("", {{"filler.bin", std::string((freeClusters - 4) * kSectorSize, 'f'), kNoon2000}});
  disk.Delete({"early.bin"});
  const std::string wrap = PatternBytes("wrap", 8 * kSectorSize);
  disk.CopyFiles("", {{"wrap.bin", wrap, kNoon2000}});
  ASSERT_EQ(disk.ClusterRuns("wrap.bin").size(), 2u);
  disk.Delete({"wrap.bin"});

  std::map<std::string, JsonValue> items = Items("scan " + ShellQuote(image.string()) + " --partition 1");
  ASSERT_TRUE(items.contains("DEL xrap.bin")) << lastJson;
  EXPECT_TRUE(Marked(items["DEL xrap.bin"], "fragmentInferred")) << lastJson;
  const fs::path out = RecoverAll("--partition 1");
  const std::string back = ReadWholeFile(out / "xrap.bin");
  ASSERT_EQ(back.size(), wrap.size());
  EXPECT_EQ(back.substr(0, 4 * kSectorSize), wrap.substr(0, 4 * kSectorSize));
}

// A short name with a character FAT forbids, in a live entry: the file is
// listed and recovered.
TEST_F(FatReuseTest, ALiveEntryWithAForbiddenCharacterIsListed) {
  RecoveryToolDisk disk(image, FsType::fat16, 1, 8192);
  const std::string bytes = PatternBytes("cd", 700);
  disk.CopyFiles("", {{"CXD.TXT", bytes, kNoon2000}});
  std::string whole = ReadWholeFile(image);
  const std::size_t entry = whole.find("CXD     TXT");
  ASSERT_NE(entry, std::string::npos);
  std::fstream patch(image, std::ios::in | std::ios::out | std::ios::binary);
  patch.seekp(static_cast<std::streamoff>(entry + 1));
  patch.put('?');
  patch.close();
  const std::map<std::string, JsonValue> items = Items("scan " + ShellQuote(image.string()) + " --partition 1");
  EXPECT_TRUE(items.contains("C?D.TXT"));
  EXPECT_EQ(ReadWholeFile(RecoverAll("--partition 1") / "C?D.TXT"), bytes);
}

}  // namespace
}  // namespace salvex::testing
