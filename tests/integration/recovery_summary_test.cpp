// salvex recover's summary counts what it wrote, and a file that could not
// be written whole is not left as if it were: on a destination with room for
// only a part of the files, and from a snapshot that gives no cluster size.
// A file-size limit stands in for a full disk: no file system can be mounted
// for a test.

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
    disk.CopyFiles("", {{"readme.txt", PatternBytes("readme", 3000), 946728000},
                        {"big.bin", big, 946728000}});
    disk.CopyFiles("Docs", {{"letter.txt", PatternBytes("letter", 700), 946728000}});
  }

  // salvex with stdout and stderr into one pipe, which no file-size limit holds.
  CommandResult Salvex(const std::string& prefix, const std::string& arguments) const {
    return RunCommand(prefix + ShellQuote(SALVEX_BINARY) + " " + arguments);
  }

  TempDir dir;
  fs::path image = dir / "disk.img";
  fs::path out = dir / "out";
  std::string big = PatternBytes("big", 200000);
};

TEST_F(RecoverySummaryTest, AFullDestinationCountsOnlyTheFilesWrittenWhole) {
  struct Room {
    int blocks;  // of 512 bytes, for each file
    std::string counted;
    std::vector<std::string> tree;
    std::string failure;
  };
  const std::string full = ": the data could not be written (is the destination full?)";
  const Room rooms[] = {
      {128, "Recovered 2 file(s), 3700 bytes",
       {"Docs/", "Docs/letter.txt", "big.bin.partial", "readme.txt"},
       "Failed (1):\n  " + (out / "big.bin").string() + full + "; the 65536 bytes written are kept as " +
           (out / "big.bin.partial").string() + "\n"},
      {0, "Recovered 0 file(s), 0 bytes", {"Docs/"}, "Failed (3):\n  " + (out / "readme.txt").string() + full + "\n"},
  };
  for (const Room& room : rooms) {
    SCOPED_TRACE(room.blocks);
    fs::remove_all(out);

    const CommandResult run = Salvex("trap '' XFSZ; ulimit -f " + std::to_string(room.blocks) + "; ",
                                     "recover " + ShellQuote(image.string()) + " --partition 1 --all --out " +
                                         ShellQuote(out.string()));

    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(room.counted + ", into"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(room.failure), std::string::npos) << run.output;
    EXPECT_EQ(TreeBelow(out), room.tree);
    if (room.blocks > 0) {
      const std::vector<std::uint8_t> part = ReadHostFile(out / "big.bin.partial");
      EXPECT_EQ(std::string(part.begin(), part.end()), big.substr(0, 65536));
    }
  }
}

TEST_F(RecoverySummaryTest, ASnapshotWithoutAClusterSizeRecoversNothing) {
  const fs::path snapshot = dir / "P1.RSNP";
  ASSERT_EQ(Salvex("", "scan " + ShellQuote(image.string()) + " --partition 1 --save-snapshot " +
                           ShellQuote((dir / "p1").string()) + " >/dev/null")
                .status,
            0);
  {
    // The sectors-per-cluster field: after the magic, the version, the range
    // and the file-system type.
    std::fstream file(snapshot, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(32);
    file.write("\0\0\0\0", 4);
  }

  const CommandResult run = Salvex("", "recover " + ShellQuote(image.string()) + " --snapshot " +
                                           ShellQuote(snapshot.string()) + " --all --out " + ShellQuote(out.string()));

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
