// A FAT32 volume made by mkfs.fat, with directory clusters written on top of
// it the way a FAT driver writes them: a chain of folders 20,000 deep, and a
// root folder whose short name is ".." holding a file named "A/B.TXT".

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

#include "common/le_bytes.h"
#include "support/byte_image.h"
#include "support/scan_results.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

constexpr std::uint32_t kStart = 2048;
constexpr std::uint32_t kSectors = 81920;  // 40 MiB, one sector per cluster
constexpr std::uint32_t kDepth = 20000;

void WriteDeepTree(const std::filesystem::path& image, const std::string& fileBytes) {
  std::string disk = ReadWholeFile(image);
  const Bytes bytes(reinterpret_cast<const std::uint8_t*>(disk.data()), disk.size());
  const Bytes boot = Slice(bytes, std::size_t{kStart} * 512, 512);
  const std::uint32_t fatStart = kStart + u16le(boot, 14);
  const std::uint32_t fatSectors = u32le(boot, 36);
  const std::uint32_t fats = u8(boot, 16);
  const auto cluster = [&](std::uint32_t c) { return (std::size_t{fatStart} + fats * fatSectors + c - 2) * 512; };
  const auto put = [&](std::size_t offset, const std::string& name11, std::uint8_t attributes, std::uint32_t first,
                       std::uint32_t size = 0) {
    const EntryBytes entry = MakeShortEntry({name11, attributes, first, size});
    std::memcpy(&disk[offset], entry.data(), entry.size());
  };
  // A folder of its own cluster at `c`, named in its parent's entry at `entry`.
  const auto folder = [&](std::size_t entry, const std::string& name11, std::uint32_t c, std::uint32_t parent) {
    put(entry, name11, 0x10, c);
    put(cluster(c), ".          ", 0x10, c);
    put(cluster(c) + 32, "..         ", 0x10, parent);
  };
  std::size_t free = cluster(u32le(boot, 44));
  while (disk[free] != 0) free += 32;
  const std::uint32_t dots = kDepth + 3;
  folder(free, "..         ", dots, 0);
  put(cluster(dots) + 64, "A/B     TXT", 0x20, dots + 1, static_cast<std::uint32_t>(fileBytes.size()));
  disk.replace(cluster(dots + 1), fileBytes.size(), fileBytes);
  std::size_t entry = free + 32;
  for (std::uint32_t c = 3; c < dots; entry = cluster(c++) + 64) folder(entry, "D          ", c, c == 3 ? 0 : c - 1);
  // Every cluster used is a chain of one.
  for (std::uint32_t k = 0; k < fats; ++k) {
    const std::size_t fat = (fatStart + k * fatSectors) * std::size_t{512};
    for (std::uint32_t c = 3; c <= dots + 1; ++c) std::memcpy(&disk[fat + 4 * c], "\xff\xff\xff\x0f", 4);
  }
  std::ofstream(image, std::ios::binary) << disk;
}

TEST(DeepTree, OutputGrowsWithTheItemsAndPathsAreTheRecoveredNames) {
  SALVEX_REQUIRE_TOOLS("sfdisk", "mkfs.fat");
  TempDir dir;
  const auto image = dir / "deep.img";
  BuildDisk(image, {kStart + kSectors, 0, 0, {{VolumeKind::fat32, false, kStart, kSectors, 0x0C, 1, ""}}});
  const std::string content = HighBytes("A/B.TXT", 100);
  WriteDeepTree(image, content);
  const std::string source = ShellQuote(image.string()) + " --partition 1";
  constexpr std::size_t kItems = kDepth + 2;

  const SalvexRun scan = RunSalvexReading(SALVEX_BINARY, image, "scan " + source, dir.Path());
  ASSERT_EQ(scan.status, 0) << scan.err;
  // No line is indented deeper than the tree's limit: 2 columns a level.
  EXPECT_LT(scan.out.size(), kItems * (2 * 256 + 128));
  EXPECT_NE(scan.out.find("\n      Lost Files "), std::string::npos);
  // All but the first 256 folders of the chain.
  const std::string notice = std::to_string(kDepth - 256) +
                             " folder(s) lie deeper than 256 levels or 4096 bytes of path: they are listed under";
  EXPECT_NE(scan.err.find(notice + " \"Lost Files\""), std::string::npos) << scan.err;

  const SalvexRun json = RunSalvexReading(SALVEX_BINARY, image, "scan " + source + " --json", dir.Path());
  EXPECT_LT(json.out.size(), kItems * (2 * 256 + 256));
  const std::vector<ListedItem> items = ItemsFromScanJson(json.out);
  ASSERT_EQ(items.size(), kItems);
  std::map<std::string, std::string> pathOf;
  for (const ListedItem& item : items) {
    ASSERT_TRUE(item.path.has_value()) << Describe(item);
    if (item.name != "D") pathOf[item.name] = *item.path;
  }
  EXPECT_EQ(pathOf, (std::map<std::string, std::string>{{"..", "__"}, {"A/B.TXT", "__/A_B.TXT"}}));

  // The path JSON gives is the one recovery takes.
  const auto out = dir / "out";
  const SalvexRun recover = RunSalvexReading(
      SALVEX_BINARY, image, "recover " + source + " --out " + ShellQuote(out.string()) + " __/A_B.TXT", dir.Path());
  EXPECT_EQ(recover.status, 0) << recover.out << recover.err;
  EXPECT_TRUE(ReadWholeFile(out / "A_B.TXT") == content);

  // "Lost Files" is a folder of the listing like any other: it can be chosen.
  const auto lost = dir / "lost";
  const SalvexRun recoverLost = RunSalvexReading(
      SALVEX_BINARY, image, "recover " + source + " --out " + ShellQuote(lost.string()) + " 'Lost Files'", dir.Path());
  EXPECT_EQ(recoverLost.status, 0) << recoverLost.out << recoverLost.err;
  EXPECT_TRUE(std::filesystem::is_directory(lost / "Lost Files" / "D")) << recoverLost.out;
}

}  // namespace
}  // namespace salvex::testing
