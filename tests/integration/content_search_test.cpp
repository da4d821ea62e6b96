// `salvex find --containing` on FAT volumes made by mkfs.fat and mtools: a
// text split across two fragments of a file, a text in a deleted file, and
// texts in free clusters that no file lists, in UTF-8 and in UTF-16LE.

#include <gtest/gtest.h>

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
constexpr std::uint32_t kPartitionSectors = 8192;  // FAT16 in clusters of one sector

std::string Utf16(const std::string& ascii) {
  std::string units;
  for (const char c : ascii) units += std::string{c, '\0'};
  return units;
}

// `bytes` with `text` written over them at `offset`.
std::string WithText(std::string bytes, std::size_t offset, const std::string& text) {
  bytes.replace(offset, text.size(), text);
  return bytes;
}

class ContentSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mdel");
    disk = std::make_unique<RecoveryToolDisk>(image, FsType::fat16, 1, kPartitionSectors);
  }

  // The rows `salvex find` prints as JSON for these options.
  std::vector<JsonValue> Find(const std::string& options) {
    const SalvexRun run = RunSalvexReading(SALVEX_BINARY, image,
                                           "find " + ShellQuote(image.string()) + " --partition 1 " + options + " --json",
                                           dir.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    return ParseJson(run.out).items;
  }

  static std::vector<const JsonValue*> FileRows(const std::vector<JsonValue>& rows) {
    std::vector<const JsonValue*> files;
    for (const JsonValue& row : rows) {
      if (!row.Has("sector")) files.push_back(&row);
    }
    return files;
  }

  TempDir dir;
  fs::path image = dir / "disk.img";
  std::unique_ptr<RecoveryToolDisk> disk;
};

// The file takes the hole another left and goes on past the file after it;
// the text straddles that jump, so it lies nowhere on the disk in one piece.
TEST_F(ContentSearchTest, ATextAcrossTwoFragmentsOfAFileIsFound) {
  const std::string word = "QuokkaZephyr";
  disk->CopyFiles("", {{"hole.bin", HighBytes("hole", 512), kNoon2000}, {"wall.bin", HighBytes("wall", 512), kNoon2000}});
  disk->Delete({"hole.bin"});
  disk->CopyFiles("", {{"split.txt", WithText(HighBytes("split", 2000), 506, word), kNoon2000}});
  ASSERT_GT(disk->ClusterRuns("split.txt").size(), 1u) << "split.txt should be fragmented";
  ASSERT_EQ(ReadWholeFile(image).find(word), std::string::npos) << "the text should be cut in two on the disk";

  for (const char* options : {"--containing quokkazephyr --ignore-case", "'SPLIT*' --containing QuokkaZephyr"}) {
    SCOPED_TRACE(options);
    const std::vector<JsonValue> rows = Find(options);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].At("name").Str(), "SPLIT.TXT");
    EXPECT_EQ(rows[0].At("path").Str(), "\\");
    EXPECT_EQ(rows[0].At("offset").Num(), 506u);
    EXPECT_EQ(rows[0].At("hits").Num(), 1u);
    EXPECT_FALSE(rows[0].At("deleted").Bool());
  }
  // Letter case counts unless told otherwise.
  EXPECT_TRUE(Find("--containing quokkazephyr").empty());
}

TEST_F(ContentSearchTest, ADeletedFileIsReadThroughItsClusters) {
  const std::string word = "Gone but not forgotten";
  disk->CopyFiles("", {{"kept.bin", HighBytes("kept", 700), kNoon2000},
                       {"gone-for-good.txt", WithText(HighBytes("gone", 3000), 1000, Utf16(word) + word), kNoon2000}});
  disk->Delete({"gone-for-good.txt"});

  const std::vector<JsonValue> rows = Find("'*.TXT' --containing " + ShellQuote(word));
  // A name pattern keeps the search in the files named.
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].At("name").Str(), "GONE-FOR-GOOD.TXT");
  EXPECT_TRUE(rows[0].At("deleted").Bool());
  EXPECT_EQ(rows[0].At("offset").Num(), 1000u);  // the UTF-16LE spelling comes first
  EXPECT_EQ(rows[0].At("hits").Num(), 2u);
}

// Texts written where no file is: found by the sectors they lie in, one row
// per stretch of clusters that hold them, in either spelling.
TEST_F(ContentSearchTest, FreeSpaceIsSearchedByCluster) {
  disk->CopyFiles("", {{"kept.bin", HighBytes("kept", 700), kNoon2000}});
  const std::uint64_t freeSector = RecoveryToolDisk::kPartitionStart + kPartitionSectors - 100;
  const std::string word = "LostWords";
  // Across two free clusters that follow each other, twice more in the
  // second (one row for the three), and in UTF-16LE further on.
  PatchImage(image, freeSector * kSectorSize - 4, word);
  PatchImage(image, freeSector * kSectorSize + 30, word + "\xff" + word);
  PatchImage(image, (freeSector + 10) * kSectorSize + 17, Utf16(word));

  const std::vector<JsonValue> rows = Find("--containing lostwords --ignore-case");
  EXPECT_TRUE(FileRows(rows).empty());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].At("sector").Num(), freeSector - 1);
  EXPECT_EQ(rows[0].At("offset").Num(), kSectorSize - 4);
  EXPECT_EQ(rows[0].At("hits").Num(), 3u);
  EXPECT_EQ(rows[1].At("sector").Num(), freeSector + 10);
  EXPECT_EQ(rows[1].At("offset").Num(), 17u);
  EXPECT_EQ(rows[1].At("hits").Num(), 1u);

  // The listing names them under their own heading.
  const SalvexRun text = RunSalvexReading(
      SALVEX_BINARY, image, "find " + ShellQuote(image.string()) + " --partition 1 --containing LostWords", dir.Path());
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("In free space:\nSector\tOffset\tHits\n" + std::to_string(freeSector - 1) +
                          "\t508\t3\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("0 file(s) found, 2 place(s) in free space"), std::string::npos) << text.out;
}

TEST_F(ContentSearchTest, WithoutAPatternOrATextFindIsRefused) {
  const SalvexRun run = RunSalvexReading(SALVEX_BINARY, image, "find " + ShellQuote(image.string()), dir.Path());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("give a name pattern, or --containing TEXT"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace salvex::testing
