// Recovering onto a destination that folds case (an exFAT volume, mounted
// through FUSE as a camera card would be): a deleted "Report.txt" and a
// live "REPORT.TXT" are one name there. Whatever the duplicate mode, the
// summary's count is the count of files on the destination, and no file
// of the run replaces another file of the run.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "support/mounted_volume.h"
#include "support/scan_results.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

struct CaseFoldingCase {
  const char* name;
  const char* mode;
  std::size_t filesOnDisk;  // REPORT.TXT, Report.txt (or its copy), and the stray overwritten entry
};

class CaseFoldingDestinationTest : public ::testing::TestWithParam<CaseFoldingCase> {};

TEST_P(CaseFoldingDestinationTest, TheSummaryCountsTheFilesOnTheDestination) {
  SALVEX_REQUIRE_TOOLS("mkfs.fat", "mcopy", "mdel", "mren");
  TempDir dir;
  std::string whyNot;
  const auto destination = MountedVolume::Make(MountedKind::exfat, 8 << 20, dir.Path(), whyNot);
  if (!destination) GTEST_SKIP() << whyNot;

  const std::string image = ShellQuote((dir / "card.img").string());
  std::ofstream(dir / "live.txt") << "the live report\n";
  std::ofstream(dir / "old.txt") << "the deleted report, older\n";
  const std::string mtools = "MTOOLS_SKIP_CHECK=1 ";
  RunChecked("truncate -s 16M " + image + " && mkfs.fat -F 16 " + image + " >/dev/null");
  // The live file takes its upper-case name by a rename, which leaves the
  // deleted entry's slots (and its long name) alone.
  RunChecked(mtools + "mcopy -i " + image + " " + ShellQuote((dir / "live.txt").string()) + " ::/Other.txt");
  RunChecked(mtools + "mcopy -i " + image + " " + ShellQuote((dir / "old.txt").string()) + " ::/Report.txt");
  RunChecked(mtools + "mdel -i " + image + " ::/Report.txt");
  RunChecked(mtools + "mren -i " + image + " ::/Other.txt ::/REPORT.TXT");
  const fs::path out = destination->Path() / "out";
  fs::create_directories(out);

  const SalvexRun run = RunSalvex(SALVEX_BINARY,
                                  "recover " + image + " --all --duplicates " + GetParam().mode + " --out " +
                                      ShellQuote(out.string()),
                                  dir.Path());

  std::smatch said;
  ASSERT_TRUE(std::regex_search(run.out, said, std::regex("Recovered ([0-9]+) file")))
      << run.out << run.err;
  std::set<std::string> names;
  std::set<std::string> contents;
  for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
    names.insert(entry.path().filename().string());
    contents.insert(ReadWholeFile(entry.path()));
  }
  std::string listed;
  for (const std::string& name : names) listed += name + "\n";
  EXPECT_EQ(std::stoul(said[1].str()), names.size()) << run.out << "on disk:\n" << listed;
  EXPECT_EQ(names.size(), GetParam().filesOnDisk) << listed;
  EXPECT_TRUE(contents.contains("the live report\n")) << listed;
  if (std::string(GetParam().mode) != "skip") {
    EXPECT_TRUE(contents.contains("the deleted report, older\n")) << "a file of the run replaced another\n" << listed;
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, CaseFoldingDestinationTest,
                         ::testing::Values(CaseFoldingCase{"Overwrite", "overwrite", 3},
                                           CaseFoldingCase{"Rename", "rename", 3},
                                           CaseFoldingCase{"Skip", "skip", 2}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace salvex::testing
