#include "fat/cluster_chain.h"

#include <gtest/gtest.h>

#include <numeric>

#include "platform/faulty_disk_source.h"
#include "support/byte_image.h"
#include "support/fat_volume_builder.h"

namespace salvex {
namespace {

using testing::ByteImage;
using testing::FatVolumeBuilder;

class ClusterChainTest : public ::testing::TestWithParam<FsType> {
 protected:
  ClusterChainTest()
      : image(4000),
        fat(image, {.type = GetParam(), .totalSectors = 4000, .reservedSectors = GetParam() == FsType::fat32 ? 32u : 1u}) {}

  void Open() {
    reader.Open(image.Source());
    volume = fat.Expected();
  }

  ClusterChain File(std::uint32_t first, std::uint32_t maxLinks, int fatCopy) {
    ClusterChain built;
    BuildFileChain(reader, volume, first, maxLinks, fatCopy, cancel, built);
    return built;
  }

  ByteImage image;
  FatVolumeBuilder fat;
  std::uint16_t retries = 1;
  SectorReader reader{retries};
  VolumeParameters volume;
  ChainCancel cancel;
  ClusterChain chain;
};

TEST_P(ClusterChainTest, FollowsTheChainToItsEnd) {
  const std::uint32_t clusters[] = {5, 6, 300, 7};  // 300 lies in another FAT sector
  fat.LinkChain(clusters);
  Open();
  BuildDirectoryChain(reader, volume, 5, chain);
  EXPECT_EQ(chain, (ClusterChain{5, 6, 300, 7}));
  EXPECT_EQ(File(5, 4, 1), (ClusterChain{5, 6, 300, 7}));
}

TEST_P(ClusterChainTest, ClearedEntriesEndTheChainAtItsFirstCluster) {
  Open();
  EXPECT_EQ(File(40, 3, 1), ClusterChain{40});
  EXPECT_EQ(File(40, 3, 2), ClusterChain{40});
}

TEST_P(ClusterChainTest, DirectoryChainsStopAtOneHundredClusters) {
  std::vector<std::uint32_t> clusters(150);
  std::iota(clusters.begin(), clusters.end(), 10u);
  fat.LinkChain(clusters);
  Open();
  BuildDirectoryChain(reader, volume, 10, chain);
  ASSERT_EQ(chain.size(), kMaxDirectoryClusters);
  EXPECT_EQ(chain.back(), 109u);
}

TEST_P(ClusterChainTest, FileChainLongerThanExpectedShowsOneExtraCluster) {
  const std::uint32_t clusters[] = {5, 6, 7, 8, 9};
  fat.LinkChain(clusters);
  Open();
  EXPECT_EQ(File(5, 3, 1).size(), 4u);
  EXPECT_EQ(File(5, 5, 1).size(), 5u);
}

TEST_P(ClusterChainTest, CyclicChainsAreBounded) {
  fat.SetFatEntry(20, 21);
  fat.SetFatEntry(21, 20);
  fat.SetFatEntry(30, 30);
  Open();
  BuildDirectoryChain(reader, volume, 20, chain);
  EXPECT_EQ(chain, (ClusterChain{20, 21})) << "a directory's clusters are read once";
  BuildDirectoryChain(reader, volume, 30, chain);
  EXPECT_EQ(chain, ClusterChain{30});
  EXPECT_EQ(File(20, 1000, 1).size(), 1001u) << "a file's chain shows it is too long";
}

TEST_P(ClusterChainTest, SecondFatCopyIsReadOnRequest) {
  const std::uint32_t good[] = {50, 51, 52};
  fat.LinkChain(good, 2);
  fat.SetFatEntry(50, 0, 1);
  Open();
  EXPECT_EQ(File(50, 3, 1), ClusterChain{50});
  EXPECT_EQ(File(50, 3, 2), (ClusterChain{50, 51, 52}));
  volume.fat2Start = 0;
  EXPECT_EQ(File(50, 3, 2), ClusterChain{50});
  volume.fat1Start = 0;
  BuildDirectoryChain(reader, volume, 50, chain);
  EXPECT_EQ(chain, ClusterChain{50});
}

TEST_P(ClusterChainTest, StopOrSkipEndsAFileChainBuild) {
  const std::uint32_t clusters[] = {5, 6, 7};
  fat.LinkChain(clusters);
  Open();
  std::atomic<bool> skip{true};
  cancel.skipFile = &skip;
  EXPECT_EQ(File(5, 3, 1), ClusterChain{5});
}

TEST_P(ClusterChainTest, UnreadableFatSectorEndsTheChain) {
  std::vector<std::uint32_t> clusters(300);
  std::iota(clusters.begin(), clusters.end(), 100u);
  fat.LinkChain(clusters);
  auto faulty = std::make_unique<FaultyDiskSource>(image.Source());
  const std::uint32_t perSector = GetParam() == FsType::fat32 ? 128 : 256;
  const std::uint32_t badFatSector = fat.Fat1Start() + 300 / perSector;
  faulty->FailSector(badFatSector);
  reader.Open(std::move(faulty));
  volume = fat.Expected();
  const ClusterChain built = File(100, 300, 1);
  ASSERT_FALSE(built.empty());
  EXPECT_LT(built.size(), 300u);
  // The last cluster appended is the first whose own entry lies in the bad sector.
  EXPECT_EQ(built.back(), 300 / perSector * perSector);
}

INSTANTIATE_TEST_SUITE_P(BothFats, ClusterChainTest, ::testing::Values(FsType::fat16, FsType::fat32),
                         [](const ::testing::TestParamInfo<FsType>& param) { return std::string(FsTypeText(param.param)); });

TEST(EndOfChain, OnlyTheTopValuesAndClearedEntriesEndAChain) {
  EXPECT_TRUE(EndsChain(0, FsType::fat16));
  EXPECT_TRUE(EndsChain(1, FsType::fat32));
  EXPECT_TRUE(EndsChain(0xFFFF, FsType::fat16));
  EXPECT_FALSE(EndsChain(0xFFF8, FsType::fat16));
  EXPECT_TRUE(EndsChain(0x0FFFFFFF, FsType::fat32));
  EXPECT_TRUE(EndsChain(0xFFFFFFFF, FsType::fat32));
  EXPECT_FALSE(EndsChain(0x0FFFFFF8, FsType::fat32));
  EXPECT_FALSE(EndsChain(0xFFFF, FsType::fat32));
}

}  // namespace
}  // namespace salvex
