#include "fat/cluster_chain.h"

#include <gtest/gtest.h>

#include <numeric>
#include <optional>

#include "fat/fat_sector_cache.h"
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
    cache.emplace(reader);
  }

  // Every file chain is built twice, once through the FAT sector cache that
  // the fixture keeps across builds: both must agree.
  ClusterChain File(std::uint32_t first, std::uint32_t maxLinks, int fatCopy) {
    ClusterChain built;
    ClusterChain cached;
    const ClusterChainBuild end = BuildFileChain(reader, volume, fat.LastCluster(), first, maxLinks, fatCopy, cancel, built);
    const ClusterChainBuild cachedEnd =
        BuildFileChain(reader, volume, fat.LastCluster(), first, maxLinks, fatCopy, cancel, cached, &*cache);
    EXPECT_EQ(cached, built);
    EXPECT_EQ(cachedEnd.end, end.end);
    return built;
  }
  ClusterChainBuild Directory(std::uint32_t first) {
    return BuildDirectoryChain(reader, volume, fat.LastCluster(), first, chain);
  }

  ByteImage image;
  FatVolumeBuilder fat;
  std::uint16_t retries = 1;
  SectorReader reader{retries};
  VolumeParameters volume;
  ChainCancel cancel;
  ClusterChain chain;
  std::optional<FatSectorCache> cache;
};

TEST_P(ClusterChainTest, FollowsTheChainToItsEnd) {
  const std::uint32_t clusters[] = {5, 6, 300, 7};  // 300 lies in another FAT sector
  fat.LinkChain(clusters);
  Open();
  Directory(5);
  EXPECT_EQ(chain, (ClusterChain{5, 6, 300, 7}));
  EXPECT_EQ(File(5, 4, 1), (ClusterChain{5, 6, 300, 7}));
}

TEST_P(ClusterChainTest, ClearedEntriesEndTheChainAtItsFirstCluster) {
  Open();
  EXPECT_EQ(File(40, 3, 1), ClusterChain{40});
  EXPECT_EQ(File(40, 3, 2), ClusterChain{40});
}

TEST_P(ClusterChainTest, DirectoryChainsAreReadWhole) {
  std::vector<std::uint32_t> clusters(1500);
  std::iota(clusters.begin(), clusters.end(), 10u);
  fat.LinkChain(clusters);
  Open();
  EXPECT_EQ(Directory(10).end, ChainEnd::endOfChain);
  EXPECT_EQ(chain, clusters);
}

// Every end mark ends a chain, wherever it stands; a link out of the volume
// ends it too, and says so, rather than lead the reader into the next
// partition.
TEST_P(ClusterChainTest, EndMarksAndLinksOutOfTheVolumeEndTheChain) {
  const bool fat32 = GetParam() == FsType::fat32;
  struct Case {
    std::uint32_t link;  // the entry of the chain's second cluster
    ChainEnd end;
  };
  const Case cases[] = {
      {fat32 ? 0x0FFFFFF8u : 0xFFF8u, ChainEnd::endOfChain},
      {fat32 ? 0x0FFFFFFEu : 0xFFFEu, ChainEnd::endOfChain},
      {fat32 ? 0xFFFFFFF8u : 0xFFFFu, ChainEnd::endOfChain},  // FAT32's upper four bits are not the link's
      {fat32 ? 0x0FFFFFF7u : 0xFFF7u, ChainEnd::broken},      // a bad cluster
      {fat.LastCluster() + 1, ChainEnd::broken},
      {0, ChainEnd::free},
  };
  for (const Case& c : cases) {
    fat.SetFatEntry(60, 61);
    fat.SetFatEntry(61, c.link);
    Open();
    const ClusterChainBuild built = Directory(60);
    EXPECT_EQ(built.end, c.end) << std::hex << c.link;
    EXPECT_EQ(chain, (ClusterChain{60, 61})) << std::hex << c.link;
    EXPECT_EQ(File(60, 5, 1), (ClusterChain{60, 61})) << std::hex << c.link;
    if (c.end == ChainEnd::broken) {
      EXPECT_EQ(built.brokenLink, c.link);
    }
  }
  if (fat32) {
    // A link with reserved upper bits set still leads to its cluster.
    fat.SetFatEntry(61, 0xA0000000u | 62);
    fat.SetFatEntry(62, fat.EndOfChain());
    Open();
    Directory(60);
    EXPECT_EQ(chain, (ClusterChain{60, 61, 62}));
  }
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
  EXPECT_EQ(Directory(20).end, ChainEnd::loops);
  EXPECT_EQ(chain, (ClusterChain{20, 21})) << "a directory's clusters are read once";
  Directory(30);
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
  Directory(50);
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
  cache.emplace(reader);
  const ClusterChain built = File(100, 300, 1);
  ASSERT_FALSE(built.empty());
  EXPECT_LT(built.size(), 300u);
  // The last cluster appended is the first whose own entry lies in the bad sector.
  EXPECT_EQ(built.back(), 300 / perSector * perSector);
}

INSTANTIATE_TEST_SUITE_P(BothFats, ClusterChainTest, ::testing::Values(FsType::fat16, FsType::fat32),
                         [](const ::testing::TestParamInfo<FsType>& param) { return std::string(FsTypeText(param.param)); });

}  // namespace
}  // namespace salvex
