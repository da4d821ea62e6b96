// salvex recover counts what it wrote and leaves no failed file looking
// whole: on a destination with room for a part of the files (a file-size
// limit stands in for a full disk, as no file system can be mounted for a
// test) and from a snapshot that gives no cluster size.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/recovery_bench.h"
#include "support/recovery_tool_disk.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

class RecoverySummaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd");
    RecoveryToolDisk disk(image, FsType::fat16, 1, 8192);
    disk.MakeFolders({"Docs"});
    const std::int64_t noon2000 = 946728000;
    disk.CopyFiles("", {{"readme.txt", PatternBytes("readme", 3000), noon2000}, {"big.bin", big, noon2000}});
    disk.CopyFiles("Docs", {{"letter.txt", PatternBytes("letter", 700), noon2000}});
  }

  // stdout and stderr go into one pipe, which no file-size limit holds.
  CommandResult Recover(const std::string& limit, const std::string& options) const {
    return RunCommand(limit + ShellQuote(SALVEX_BINARY) + " recover " + ShellQuote(image.string()) + " " + options +
                      " --all --out " + ShellQuote(out.string()));
  }

  TempDir dir;
  fs::path image = dir / "disk.img";
  fs::path out = dir / "out";
  std::string big = PatternBytes("big", 200000);
};

TEST_F(RecoverySummaryTest, AFullDestinationCountsOnlyTheFilesWrittenWhole) {
  const std::string full = ": the data could not be written (is the destination full?)";
  const struct {
    int blocks;  // of 512 bytes, for each file
    std::string summary;
    std::vector<std::string> tree;
    std::string partial;  // what big.bin.partial holds
  } rooms[] = {
      {128,
       "Recovered 2 file(s), 3700 bytes, into " + out.string() + "\nNot recovered: 0 by the filters, 0 by the " +
           "deleted-file setting, 0 duplicate(s) skipped\nFailed (1):\n  " + (out / "big.bin").string() + full +
           "; the 65536 bytes written are kept as " + (out / "big.bin.partial").string() + "\n",
       {"Docs/", "Docs/letter.txt", "big.bin.partial", "readme.txt"},
       big.substr(0, 65536)},
      {0, "Recovered 0 file(s), 0 bytes, into " + out.string(), {"Docs/"}, ""},
  };
  for (const auto& room : rooms) {
    SCOPED_TRACE(room.blocks);
    fs::remove_all(out);

    const CommandResult run = Recover("trap '' XFSZ; ulimit -f " + std::to_string(room.blocks) + "; ", "--partition 1");

    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(room.summary), std::string::npos) << run.output;
    EXPECT_EQ(TreeBelow(out), room.tree);
    const std::vector<std::uint8_t> part = ReadHostFile(out / "big.bin.partial");
    EXPECT_EQ(std::string(part.begin(), part.end()), room.partial);
  }
}

TEST_F(RecoverySummaryTest, ASnapshotWithoutAClusterSizeRecoversNothing) {
  ASSERT_EQ(RunCommand(ShellQuote(SALVEX_BINARY) + " scan " + ShellQuote(image.string()) +
                       " --partition 1 --save-snapshot " + ShellQuote((dir / "p1").string()))
                .status,
            0);
  // The sectors-per-cluster field, after the magic, the version, the range
  // and the file-system type.
  std::fstream(dir / "P1.RSNP", std::ios::in | std::ios::out | std::ios::binary).seekp(32).write("\0\0\0\0", 4);

  const CommandResult run = Recover("", "--snapshot " + ShellQuote((dir / "P1.RSNP").string()));

  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("Recovered 0 file(s), 0 bytes"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Not recoverable (3):\n  " + (out / "readme.txt").string() +
                            ": the volume's cluster size is unknown (0 sectors per cluster)\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(TreeBelow(out), std::vector<std::string>{"Docs/"});
}

}  // namespace
}  // namespace salvex::testing
