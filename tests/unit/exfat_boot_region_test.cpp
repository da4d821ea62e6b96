// The exFAT boot region: its checksum against what mkfs.exfat writes, and
// the choice between the main region and its backup, one row per way a
// region can be rejected.

#include "volume/exfat_boot_region.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fat/cluster_chain.h"
#include "support/tool_runner.h"

namespace salvex {
namespace {

constexpr std::size_t kRegionBytes = kExfatBootRegionSectors * 512;

// The first 24 sectors of a fresh 32 MiB mkfs.exfat volume; empty when the
// tool is missing.
std::vector<std::uint8_t> MkfsBootRegions() {
  testing::TempDir dir;
  const std::string image = (dir / "v.img").string();
  if (!testing::HaveTools({"mkfs.exfat"})) return {};
  const auto made = testing::RunCommand("truncate -s 32M " + testing::ShellQuote(image) + " && mkfs.exfat -L BOOT " +
                                        testing::ShellQuote(image));
  if (made.status != 0) return {};
  const std::string bytes = testing::ReadWholeFile(image).substr(0, 2 * kRegionBytes);
  return {bytes.begin(), bytes.end()};
}

// Writes a region's checksum into its sector 11, as a tool that changed a
// field on purpose would.
void Restamp(std::vector<std::uint8_t>& regions, std::size_t region) {
  const Bytes bytes = Bytes(regions).subspan(region * kRegionBytes, kRegionBytes);
  const std::uint32_t sum = ExfatBootChecksum(bytes);
  for (std::size_t at = region * kRegionBytes + 11 * 512; at < (region + 1) * kRegionBytes; at += 4) {
    for (std::size_t i = 0; i < 4; ++i) regions[at + i] = static_cast<std::uint8_t>(sum >> (8 * i));
  }
}

TEST(ExfatBootRegion, MkfsExfatsChecksumIsTheOneComputedForBothRegions) {
  const std::vector<std::uint8_t> regions = MkfsBootRegions();
  if (regions.empty()) GTEST_SKIP() << "needs mkfs.exfat";
  for (std::size_t region = 0; region < 2; ++region) {
    const Bytes bytes = Bytes(regions).subspan(region * kRegionBytes, kRegionBytes);
    EXPECT_EQ(ExfatBootChecksum(bytes), u32le(bytes, 11 * 512)) << "region " << region;
    EXPECT_EQ(JudgeExfatBootRegion(bytes), ExfatBootVerdict::sound) << "region " << region;
  }
}

struct ChoiceCase {
  const char* name;
  std::function<void(std::vector<std::uint8_t>&)> damage;
  ExfatBootVerdict mainVerdict;
  std::optional<bool> fromBackup;  // nothing: the volume is refused
};

void Set(std::vector<std::uint8_t>& regions, std::size_t offset, std::uint32_t value, std::size_t bytes,
         std::size_t region = 0) {
  for (std::size_t i = 0; i < bytes; ++i) regions[region * kRegionBytes + offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  Restamp(regions, region);
}

class ExfatBootChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ExfatBootChoiceTest, TheMainRegionIsTakenWhenSoundElseTheBackupElseNone) {
  std::vector<std::uint8_t> regions = MkfsBootRegions();
  if (regions.empty()) GTEST_SKIP() << "needs mkfs.exfat";
  const ExfatBootFields made = DecodeExfatBootFields(Bytes(regions).first(512));
  GetParam().damage(regions);
  EXPECT_EQ(JudgeExfatBootRegion(Bytes(regions).first(kRegionBytes)), GetParam().mainVerdict);
  const auto choice = ChooseExfatBootRegion(regions);
  ASSERT_EQ(choice.has_value(), GetParam().fromBackup.has_value());
  if (!choice) return;
  EXPECT_EQ(choice->fromBackup, *GetParam().fromBackup);
  EXPECT_EQ(choice->fields.clusterHeapOffset, made.clusterHeapOffset);
  EXPECT_EQ(choice->fields.clusterCount, made.clusterCount);
  EXPECT_EQ(choice->fields.rootCluster, made.rootCluster);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, ExfatBootChoiceTest,
    ::testing::Values(
        ChoiceCase{"intact", [](auto&) {}, ExfatBootVerdict::sound, false},
        // VolumeFlags and PercentInUse change without a new checksum.
        ChoiceCase{"flagsChanged", [](auto& r) { r[106] ^= 0x02; r[112] = 77; }, ExfatBootVerdict::sound, false},
        ChoiceCase{"badChecksum", [](auto& r) { r[300] ^= 0xFF; }, ExfatBootVerdict::badChecksum, true},
        ChoiceCase{"noSignature", [](auto& r) { r[510] = 0; }, ExfatBootVerdict::noSignature, true},
        ChoiceCase{"fatFieldsNotZero", [](auto& r) { Set(r, 20, 1, 1); }, ExfatBootVerdict::notZeroed, true},
        ChoiceCase{"sectorsOf8192", [](auto& r) { Set(r, 108, 13, 1); }, ExfatBootVerdict::badSectorSize, true},
        ChoiceCase{"clusterOf64MiB", [](auto& r) { Set(r, 109, 17, 1); }, ExfatBootVerdict::badClusterSize, true},
        ChoiceCase{"threeFats", [](auto& r) { Set(r, 110, 3, 1); }, ExfatBootVerdict::badFatCount, true},
        ChoiceCase{"heapPastTheEnd", [](auto& r) { Set(r, 88, 0x7FFFFFFF, 4); }, ExfatBootVerdict::badLayout, true},
        ChoiceCase{"noClusters", [](auto& r) { Set(r, 92, 0, 4); }, ExfatBootVerdict::badClusterCount, true},
        ChoiceCase{"moreClustersThanFit", [](auto& r) { Set(r, 92, 0x00FFFFFF, 4); }, ExfatBootVerdict::badClusterCount,
                   true},
        ChoiceCase{"rootCluster1", [](auto& r) { Set(r, 96, 1, 4); }, ExfatBootVerdict::badRootCluster, true},
        ChoiceCase{"bothChecksumsBad", [](auto& r) { r[300] ^= 0xFF; r[kRegionBytes + 300] ^= 0xFF; },
                   ExfatBootVerdict::badChecksum, std::nullopt},
        ChoiceCase{"backupSectorsOf8192Too",
                   [](auto& r) { Set(r, 108, 13, 1); Set(r, 108, 13, 1, 1); }, ExfatBootVerdict::badSectorSize,
                   std::nullopt}),
    [](const ::testing::TestParamInfo<ChoiceCase>& param) { return std::string(param.param.name); });

// exFAT's FAT entries are 32-bit with no bits kept for other uses.
TEST(ExfatFatLinks, AllThirtyTwoBitsCount) {
  const struct {
    std::uint32_t value;
    FatLink link;
  } cases[] = {{0, FatLink::free},           {1, FatLink::free},          {2, FatLink::next},
               {1000, FatLink::next},        {1001, FatLink::broken},     {0x1000'0005, FatLink::broken},
               {0xFFFFFFF6, FatLink::broken}, {0xFFFFFFF7, FatLink::broken}, {0xFFFFFFF8, FatLink::endOfChain},
               {0xFFFFFFFF, FatLink::endOfChain}};
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyFatLink(c.value, FsType::exfat, 1000), c.link) << std::hex << c.value;
    EXPECT_EQ(FatLinkCluster(c.value, FsType::exfat), c.value);
  }
  // A FAT32 reader would have taken the top bits off.
  EXPECT_EQ(ClassifyFatLink(0x1000'0005, FsType::fat32, 1000), FatLink::next);
}

}  // namespace
}  // namespace salvex
