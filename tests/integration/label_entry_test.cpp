// A volume-label entry (attribute 0x08) that holds clusters, as a tool that
// hides data leaves one (made here by patching a file's attribute, which no
// tool does): listed as a file marked as a label entry, and recovered; the
// volume's own label, which holds none, is still no item.

#include <gtest/gtest.h>

#include <filesystem>
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

TEST(LabelEntry, HoldingClustersIsListedAsAMarkedFileAndRecovered) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy");
  TempDir dir;
  const fs::path image = dir / "label.img";
  DiskPlan plan;
  plan.totalSectors = kStart + kSectors;
  plan.partitions = {{VolumeKind::fat16, false, kStart, kSectors, 0x06, 1, "MYDISK"}};
  BuildDisk(image, plan);
  MtoolsVolume(image, kStart, dir.Path())
      .CopyFiles("", {PatternFile("HIDDEN.DAT", 5000, kNoon), PatternFile("NOTES.TXT", 300, kNoon)});
  ASSERT_EQ(PatchEntry(image, kStart, kSectors, "HIDDEN  DAT", 11, "\x08"), 1);
  const std::string source = ShellQuote(image.string());

  const SalvexRun json = RunSalvexReading(SALVEX_BINARY, image, "scan " + source + " --partition 1 --json", dir.Path());
  ASSERT_EQ(json.status, 0) << json.err;
  std::string listed;
  for (const JsonValue& item : ParseJson(json.out).items) {
    listed += item.At("name").Str() + (item.Has("labelEntry") && item.At("labelEntry").Bool() ? " (label)" : "") + ";";
  }
  EXPECT_EQ(listed, "HIDDEN.DAT (label);NOTES.TXT;") << json.out;

  const SalvexRun text = RunSalvexReading(SALVEX_BINARY, image, "scan " + source + " --partition 1", dir.Path());
  EXPECT_NE(text.out.find("(volume label entry)"), std::string::npos) << text.out;

  const fs::path out = dir / "out";
  const SalvexRun recovered = RunSalvexReading(
      SALVEX_BINARY, image, "recover " + source + " --partition 1 --all --out " + ShellQuote(out.string()), dir.Path());
  EXPECT_EQ(recovered.status, 0) << recovered.out << recovered.err;
  EXPECT_TRUE(ReadWholeFile(out / "HIDDEN.DAT") == HighBytes("HIDDEN.DAT", 5000));
}

}  // namespace
}  // namespace salvex::testing
