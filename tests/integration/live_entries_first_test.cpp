// A live folder or file on the first cluster of a deleted one, as Windows
// leaves it when it reuses the clusters of what was deleted (mtools
// allocates the lowest free cluster as Windows does, and writes a long name
// after the deleted entries when their slots are too few): the live items
// are listed and walked, the deleted ones are listed as overwritten.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/json_value.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kStart = 2048;
constexpr std::uint32_t kSectors = 32768;
constexpr std::int64_t kNoon = 1592222400;

TEST(LiveEntriesFirst, ALiveFolderAfterADeletedOneOnItsClusterIsWalked) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mmd", "mdel", "mdeltree", "mshowfat");
  TempDir dir;
  const fs::path image = dir / "reused.img";
  DiskPlan plan;
  plan.totalSectors = kStart + kSectors;
  plan.partitions = {{VolumeKind::fat16, false, kStart, kSectors, 0x06, 1, ""}};
  BuildDisk(image, plan);
  MtoolsVolume volume(image, kStart, dir.Path());
  // Root slots: OLDDIR, KEEP1.TXT, OLD.TXT, KEEP2.TXT; each deleted one
  // leaves a single slot, too few for a long name.
  volume.MakeFolders({"OLDDIR"}, kNoon);
  volume.CopyFiles("", {PatternFile("KEEP1.TXT", 700, kNoon), PatternFile("OLD.TXT", 1500, kNoon),
                        PatternFile("KEEP2.TXT", 900, kNoon)});
  volume.CopyFiles("OLDDIR", {PatternFile("GONE.TXT", 2000, kNoon)});
  const auto before = volume.FirstClusters({"OLDDIR", "OLD.TXT"});

  volume.Delete({"OLD.TXT"});
  volume.CopyFiles("", {PatternFile("New Text Document.txt", 1200, kNoon)});
  volume.DeleteTree("OLDDIR");
  volume.MakeFolders({"New Folder"}, kNoon);
  volume.CopyFiles("New Folder", {PatternFile("B.TXT", 800, kNoon)});
  const auto after = volume.FirstClusters({"New Folder", "New Text Document.txt"});
  ASSERT_EQ(after.at("New Folder"), before.at("OLDDIR")) << "mtools chose another cluster: nothing is reused";
  ASSERT_EQ(after.at("New Text Document.txt"), before.at("OLD.TXT"));

  const SalvexRun scan =
      RunSalvexReading(SALVEX_BINARY, image, "scan " + ShellQuote(image.string()) + " --partition 1 --json", dir.Path());
  ASSERT_EQ(scan.status, 0) << scan.err;
  // "path deleted overwritten" per item, by name; a deleted entry has lost
  // its first letter.
  std::map<std::string, std::string> listed;
  for (const JsonValue& item : ParseJson(scan.out).items) {
    const std::string path = item.Has("path") && !item.At("path").IsNull() ? item.At("path").Str() : "-";
    listed[item.At("name").Str()] = path + (item.At("deleted").Bool() ? " deleted" : " live") +
                                    (item.Has("overwritten") ? " overwritten" : "");
  }
  const std::map<std::string, std::string> expected{
      {"New Folder", "New Folder live"},
      {"xLDDIR", "xLDDIR deleted overwritten"},
      {"B.TXT", "New Folder/B.TXT live"},
      {"KEEP1.TXT", "KEEP1.TXT live"},
      {"KEEP2.TXT", "KEEP2.TXT live"},
      {"New Text Document.txt", "New Text Document.txt live"},
      {"xLD.TXT", "xLD.TXT deleted overwritten"},
  };
  EXPECT_EQ(listed, expected) << scan.out;

  const fs::path out = dir / "out";
  const SalvexRun recovered = RunSalvexReading(
      SALVEX_BINARY, image, "recover " + ShellQuote(image.string()) + " --partition 1 --all --out " + ShellQuote(out.string()),
      dir.Path());
  EXPECT_EQ(recovered.status, 0) << recovered.out << recovered.err;
  EXPECT_TRUE(ReadWholeFile(out / "New Folder" / "B.TXT") == HighBytes("B.TXT", 800));
}

}  // namespace
}  // namespace salvex::testing
