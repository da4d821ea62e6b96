// Disks laid out as current installers lay them out, made by sfdisk,
// mkfs.fat --offset and mkntfs: an EFI System FAT32, a basic-data FAT16 and
// a basic-data NTFS volume on 1 MiB boundaries. Behind a GUID partition table
// (its primary header intact or wiped) they are listed and recovered byte for
// byte; behind an MBR whose sector 0 is wiped, the quick search finds them,
// a volume whose own boot sector is gone too by its backup.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/sector.h"
#include "support/json_value.h"
#include "support/ntfs_tool_volume.h"
#include "support/recovery_bench.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

struct Volume {
  std::uint32_t start;
  std::uint32_t sectors;
  const char* type;
};

const Volume kFat32{2048, 69632, "FAT32"};
const Volume kFat16{71680, 40960, "FAT16"};
const Volume kNtfs{112640, 65536, "NTFS"};
constexpr std::uint32_t kDiskSectors = 112640 + 65536 + 2048;  // room for the backup GPT

// What each volume holds, path from its root to bytes.
using Contents = std::map<std::string, std::string>;

void WipeSector(const fs::path& image, std::uint64_t sector) {
  std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(sector * kSectorSize));
  const std::string zeros(kSectorSize, '\0');
  file.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  if (!file) throw ToolFailure("cannot write into " + image.string());
}

// The three volumes behind a GPT or an MBR, each with a few files.
std::vector<Contents> BuildThreeVolumeDisk(const TempDir& dir, const fs::path& image, bool gpt) {
  DiskPlan plan;
  plan.totalSectors = kDiskSectors;
  plan.gpt = gpt;
  plan.partitions = {{VolumeKind::fat32, false, kFat32.start, kFat32.sectors, std::uint8_t(gpt ? 0xEF : 0x0C), 1, ""},
                     {VolumeKind::fat16, false, kFat16.start, kFat16.sectors, 0x06, 0, ""},
                     {VolumeKind::foreign, false, kNtfs.start, kNtfs.sectors, 0x07, 0, ""}};
  BuildDisk(image, plan);
  constexpr std::int64_t kNoon = 1592222400;
  MtoolsVolume fat32(image, kFat32.start, dir.Path());
  fat32.MakeFolders({"EFI"}, kNoon);
  fat32.CopyFiles("EFI", {PatternFile("BOOTX64.EFI", 40000, kNoon)});
  MtoolsVolume(image, kFat16.start, dir.Path()).CopyFiles("", {PatternFile("NOTES.TXT", 3000, kNoon)});
  NtfsToolVolume ntfs(dir / "ntfs.vol", kNtfs.sectors);
  const std::string report = HighBytes("report", 70000);
  ntfs.CopyIn("report.bin", report);
  ntfs.WriteInto(image, kNtfs.start);
  return {{{"EFI/BOOTX64.EFI", HighBytes("BOOTX64.EFI", 40000)}},
          {{"NOTES.TXT", HighBytes("NOTES.TXT", 3000)}},
          {{"report.bin", report}}};
}

// "CAPTION start COUNT" for each record of `partitions --json` or
// `search-partitions --json`.
std::vector<std::string> Records(const SalvexRun& run) {
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines;
  for (const JsonValue& record : ParseJson(run.out).items) {
    lines.push_back(record.At("caption").Str() + " " + std::to_string(record.At("startSector").Num()) + " " +
                    std::to_string(record.At("sectorCount").Num()));
  }
  return lines;
}

struct GptCase {
  const char* name;
  bool wipePrimaryHeader;
};

class GptDiskTest : public ::testing::TestWithParam<GptCase> {};

TEST_P(GptDiskTest, ListsItsFatAndNtfsPartitionsAndRecoversThem) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mkntfs", "ntfscp", "dd");
  TempDir dir;
  const fs::path image = dir / "gpt.img";
  const std::vector<Contents> contents = BuildThreeVolumeDisk(dir, image, true);
  if (GetParam().wipePrimaryHeader) WipeSector(image, 1);

  const SalvexRun listed = RunSalvexReading(SALVEX_BINARY, image, "partitions " + ShellQuote(image.string()) + " --json",
                                            dir.Path());

  // The protective MBR's own entry is no partition.
  EXPECT_EQ(Records(listed), (std::vector<std::string>{"Partition 1 - FAT32 2048 69632",
                                                       "Partition 2 - FAT16 71680 40960",
                                                       "Partition 3 - NTFS 112640 65536"}));
  for (std::size_t i = 0; i < contents.size(); ++i) {
    const fs::path out = dir / ("out" + std::to_string(i + 1));
    const SalvexRun recovered =
        RunSalvexReading(SALVEX_BINARY, image,
                         "recover " + ShellQuote(image.string()) + " --partition " + std::to_string(i + 1) +
                             " --all --out " + ShellQuote(out.string()),
                         dir.Path());
    EXPECT_EQ(recovered.status, 0) << recovered.out << recovered.err;
    std::vector<std::string> expected;
    for (const auto& [path, bytes] : contents[i]) {
      expected.push_back(path);
      if (path.find('/') != std::string::npos) expected.push_back(path.substr(0, path.find('/') + 1));
      EXPECT_TRUE(ReadWholeFile(out / path) == bytes) << path << " came back with other bytes";
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> tree = TreeBelow(out);
    std::erase_if(tree, IsNtfsMetadataPath);
    EXPECT_EQ(LineDifference(tree, expected), "") << "partition " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, GptDiskTest,
                         ::testing::Values(GptCase{"Intact", false}, GptCase{"PrimaryHeaderWiped", true}),
                         [](const ::testing::TestParamInfo<GptCase>& param) { return param.param.name; });

struct WipedMbrCase {
  const char* name;
  std::vector<std::uint32_t> bootSectorsWiped;
};

class WipedMbrTest : public ::testing::TestWithParam<WipedMbrCase> {};

TEST_P(WipedMbrTest, TheQuickSearchFindsThePartitionsOnMebibyteBoundaries) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy", "mkntfs", "ntfscp", "dd");
  TempDir dir;
  const fs::path image = dir / "mbr.img";
  BuildThreeVolumeDisk(dir, image, false);
  WipeSector(image, 0);
  for (const std::uint32_t sector : GetParam().bootSectorsWiped) WipeSector(image, sector);
  const std::string source = ShellQuote(image.string());

  EXPECT_NE(RunSalvexReading(SALVEX_BINARY, image, "partitions " + source, dir.Path()).status, 0);
  const SalvexRun found = RunSalvexReading(SALVEX_BINARY, image, "search-partitions " + source + " --json", dir.Path());

  // Sizes as the boot sectors give them: NTFS counts one sector less than
  // its partition, keeping the last one for its copy.
  EXPECT_EQ(Records(found), (std::vector<std::string>{"Partition 1 - FAT32 2048 69632",
                                                      "Partition 2 - FAT16 71680 40960",
                                                      "Partition 3 - NTFS 112640 65535"}));
}

// A basic-data partition that sfdisk made and nothing formatted holds zeros
// where a boot sector would be: it is listed for what it is, not as NTFS,
// no Standard Scan takes it, and the disk's only FAT partition is still the
// one chosen when none is named.
TEST(GptDisk, AnEmptyBasicDataPartitionIsListedAsUnknown) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat", "mcopy");
  TempDir dir;
  const fs::path image = dir / "gpt.img";
  DiskPlan plan;
  plan.totalSectors = kDiskSectors;
  plan.gpt = true;
  plan.partitions = {{VolumeKind::fat16, false, kFat16.start, kFat16.sectors, 0x06, 0, ""},
                     {VolumeKind::foreign, false, kNtfs.start, kNtfs.sectors, 0x07, 0, ""}};
  BuildDisk(image, plan);
  const std::string source = ShellQuote(image.string());

  const SalvexRun listed = RunSalvexReading(SALVEX_BINARY, image, "partitions " + source + " --json", dir.Path());
  EXPECT_EQ(Records(listed), (std::vector<std::string>{"Partition 1 - FAT16 71680 40960",
                                                       "Partition 2 - Unknown 112640 65536"}));
  const JsonValue records = ParseJson(listed.out);
  ASSERT_EQ(records.items.size(), 2u);
  EXPECT_EQ(records.items[1].At("fsType").Str(), "unknown");
  const SalvexRun table = RunSalvexReading(SALVEX_BINARY, image, "partitions " + source, dir.Path());
  EXPECT_NE(table.out.find("Partition 2 - Unknown  start 112640"), std::string::npos) << table.out;
  EXPECT_EQ(table.out.find("- NTFS"), std::string::npos) << table.out;

  const SalvexRun refused = RunSalvexReading(SALVEX_BINARY, image, "scan " + source + " --partition 2", dir.Path());
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("holds no FAT, exFAT or NTFS boot sector"), std::string::npos) << refused.err;
  const SalvexRun chosen = RunSalvexReading(SALVEX_BINARY, image, "scan " + source, dir.Path());
  EXPECT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_NE(chosen.err.find("Partition 1 - FAT16"), std::string::npos) << chosen.err;
}

INSTANTIATE_TEST_SUITE_P(Table, WipedMbrTest,
                         ::testing::Values(WipedMbrCase{"BootSectorsIntact", {}},
                                           WipedMbrCase{"FirstBootSectorWiped", {kFat32.start}},
                                           WipedMbrCase{"NtfsBootSectorWiped", {kNtfs.start}}),
                         [](const ::testing::TestParamInfo<WipedMbrCase>& param) { return param.param.name; });

}  // namespace
}  // namespace salvex::testing
