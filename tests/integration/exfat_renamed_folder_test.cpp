// A folder renamed on an exFAT card, then filled: the rename leaves the old
// entry set, deleted, ahead of the new one, both naming the folder's first
// cluster, and the old one states the folder's length at the time. The live
// folder is read to its present length, so every file put in it after the
// rename is listed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "support/mounted_volume.h"
#include "support/scan_results.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

TEST(ExfatRenamedFolderTest, ListsEveryFileOfTheFolderAfterItGrew) {
  TempDir dir;
  std::string whyNot;
  std::set<std::string> expected;
  {
    const auto card = MountedVolume::Make(MountedKind::exfat, 8 << 20, dir.Path(), whyNot);
    if (!card) GTEST_SKIP() << whyNot;
    const fs::path before = card->Path() / "Photos" / "old";
    fs::create_directories(before);
    std::ofstream(before / "first.txt") << "written before the rename\n";
    expected.insert("first.txt");
    const fs::path after = card->Path() / "Photos" / "renamed to a name needing more entries";
    fs::rename(before, after);
    // Each long name takes five entries: forty of them fill more than one
    // 4 KiB cluster of directory.
    for (int i = 0; i < 40; ++i) {
      const std::string name = "holiday picture number " + std::to_string(i) + ".txt";
      std::ofstream(after / name) << "picture " << i << "\n";
      expected.insert(name);
    }
  }

  const SalvexRun run = RunSalvex(SALVEX_BINARY, "scan " + ShellQuote((dir / "exfat.img").string()) + " --json",
                                  dir.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  std::set<std::string> listed;
  for (const ListedItem& item : ItemsFromScanJson(run.out)) {
    if (!item.isFolder && !item.deleted && item.path &&
        item.path->starts_with("Photos/renamed to a name needing more entries/")) {
      listed.insert(item.name);
    }
  }
  EXPECT_EQ(listed, expected);
}

}  // namespace
}  // namespace salvex::testing
