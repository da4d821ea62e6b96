// The image being read, placed where salvex writes: at the name of a file or
// folder the recovery creates (in every duplicate mode) and at the name of
// the snapshot a scan or deep scan saves. The image must come out unchanged
// and the run must say why nothing was written there.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/recovery_tool_disk.h"
#include "support/scan_results.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

struct PlacedSourceCase {
  const char* name;
  const char* placedAs;   // the image's second name inside the folder DEST
  const char* arguments;  // IMAGE and DEST stand for the paths
  int status;
  const char* said;       // a part of the output
};

const PlacedSourceCase kPlacedSourceCases[] = {
    {"OverwrittenFile", "readme.txt", "recover IMAGE --partition 1 --all --duplicates overwrite --out DEST", 1,
     "DEST/readme.txt: it is the disk, image or snapshot being read, which is never written"},
    {"RenamedFile", "readme.txt", "recover IMAGE --partition 1 --all --duplicates rename --out DEST", 0,
     "Recovered 2 file(s)"},
    {"SkippedFile", "readme.txt", "recover IMAGE --partition 1 --all --duplicates skip --out DEST", 0,
     "1 duplicate(s) skipped"},
    {"Folder", "Docs", "recover IMAGE --partition 1 --all --out DEST", 0, "Recovered 2 file(s)"},
    {"TreeSnapshot", "P1.RSNP", "scan IMAGE --partition 1 --save-snapshot DEST/p1", 1,
     "Unable to open the file: DEST/P1.RSNP: it is the disk, image or snapshot being read"},
    {"AdvanceSnapshot", "P1.RS2", "deep-scan IMAGE --fs fat16 --save-snapshot DEST/p1", 1,
     "File Creation Error, check for enough space or file system corruption: DEST/P1.RS2: it is the disk"},
};

void PrintTo(const PlacedSourceCase& placed, std::ostream* out) { *out << placed.name; }

class PlacedSourceTest : public ::testing::TestWithParam<PlacedSourceCase> {};

TEST_P(PlacedSourceTest, TheImageIsNeverWrittenWhereverItLies) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd");
  const PlacedSourceCase& placed = GetParam();
  TempDir dir;
  RecoveryToolDisk disk(dir / "disk.img", FsType::fat16, 1, 8192);
  disk.MakeFolders({"Docs"});
  disk.CopyFiles("", {{"readme.txt", PatternBytes("readme", 3000), 946728000}});
  disk.CopyFiles("Docs", {{"letter.txt", PatternBytes("letter", 700), 946728000}});
  const fs::path dest = dir / "dest";
  fs::create_directory(dest);
  // A hard link: the image itself under a name salvex writes, as a copy
  // moved there and given as the source would be.
  fs::create_hard_link(disk.Image(), dest / placed.placedAs);
  const std::string arguments = Substitute(Substitute(placed.arguments, "IMAGE", ShellQuote(disk.Image().string())),
                                           "DEST", ShellQuote(dest.string()));

  const SalvexRun run = RunSalvexReading(SALVEX_BINARY, disk.Image(), arguments, dir.Path());

  EXPECT_EQ(run.status, placed.status) << run.out << run.err;
  EXPECT_NE((run.out + run.err).find(Substitute(placed.said, "DEST", dest.string())), std::string::npos)
      << run.out << run.err;
}

INSTANTIATE_TEST_SUITE_P(Table, PlacedSourceTest, ::testing::ValuesIn(kPlacedSourceCases),
                         [](const ::testing::TestParamInfo<PlacedSourceCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace salvex::testing
