#include "fat/cluster_chain.h"

#include <gtest/gtest.h>

#include <numeric>
#include <optional>

#include "fat/fat_entry.h"
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
  const bool fat12 = GetParam() == FsType::fat12;
  // FAT12 entries hold 12 bits: 0xFF8 is its end mark, 0xFF7 its bad mark.
  const auto mark = [&](std::uint32_t fat32Value, std::uint32_t fat16Value) {
    return fat32 ? fat32Value : fat12 ? fat16Value & 0x0FFF : fat16Value;
  };
  struct Case {
    std::uint32_t link;  // the entry of the chain's second cluster
    ChainEnd end;
  };
  const Case cases[] = {
      {mark(0x0FFFFFF8u, 0xFFF8u), ChainEnd::endOfChain},
      {mark(0x0FFFFFFEu, 0xFFFEu), ChainEnd::endOfChain},
      {mark(0xFFFFFFF8u, 0xFFFFu), ChainEnd::endOfChain},  // FAT32's upper four bits are not the link's
      {mark(0x0FFFFFF7u, 0xFFF7u), ChainEnd::broken},      // a bad cluster
      {mark(0x0FFFFFF0u, 0xFFF0u), ChainEnd::broken},      // reserved
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
  // FAT12: the second FAT sector fails, which cluster 341's entry needs
  // for its second byte.
  const bool fat12 = GetParam() == FsType::fat12;
  const std::uint32_t perSector = GetParam() == FsType::fat32 ? 128 : 256;
  const std::uint32_t badFatSector = fat.Fat1Start() + (fat12 ? 1 : 300 / perSector);
  faulty->FailSector(badFatSector);
  reader.Open(std::move(faulty));
  volume = fat.Expected();
  cache.emplace(reader);
  const ClusterChain built = File(100, 300, 1);
  ASSERT_FALSE(built.empty());
  EXPECT_LT(built.size(), 300u);
  // The last cluster appended is the first whose own entry lies in the bad sector.
  EXPECT_EQ(built.back(), fat12 ? 341u : 300 / perSector * perSector);
}

// FAT12 entries straddle sectors: cluster 341's takes byte 511 of the
// FAT's first sector and byte 0 of its second, cluster 682's bytes 1023
// and 1024, cluster 1365's bytes 2047 and 2048. Chains through them read the same with and without the cache,
// and the entries beside them keep their own halves of the shared bytes.
TEST(Fat12Chain, EntriesThatStraddleFatSectorsLinkOn) {
  ByteImage image(4000);
  FatVolumeBuilder fat(image, {.type = FsType::fat12, .totalSectors = 4000, .reservedSectors = 1});
  struct Case {
    std::vector<std::uint32_t> clusters;
  };
  const Case cases[] = {
      {{340, 341, 342, 343}},
      {{1365, 682, 1023, 2}},
      {{683, 1366, 681, 3000}},
  };
  for (const Case& c : cases) fat.LinkChain(c.clusters);
  std::uint16_t retries = 1;
  SectorReader reader{retries};
  reader.Open(image.Source());
  const VolumeParameters volume = fat.Expected();
  FatSectorCache cache(reader);
  for (const Case& c : cases) {
    for (FatSectorCache* through : {static_cast<FatSectorCache*>(nullptr), &cache}) {
      ClusterChain chain;
      const ClusterChainBuild built =
          BuildFileChain(reader, volume, fat.LastCluster(), c.clusters.front(), 10, 1, {}, chain, through);
      EXPECT_EQ(built.end, ChainEnd::endOfChain) << c.clusters.front();
      EXPECT_EQ(chain, c.clusters) << (through ? "cached" : "uncached");
    }
  }
  // The decoder alone: bytes AB CD EF hold entry 0 = 0xDAB and entry 1 = 0xEFC.
  const std::uint8_t shared[] = {0xAB, 0xCD, 0xEF};
  EXPECT_EQ(FatEntryAt(shared, FatEntryOffset(0, FsType::fat12), 0, FsType::fat12), 0xDABu);
  EXPECT_EQ(FatEntryAt(shared, FatEntryOffset(1, FsType::fat12), 1, FsType::fat12), 0xEFCu);
  EXPECT_EQ(FatEntryAt(shared, 2, 1, FsType::fat12), 0u) << "a word past the end reads as 0";
}

INSTANTIATE_TEST_SUITE_P(EveryFat, ClusterChainTest, ::testing::Values(FsType::fat12, FsType::fat16, FsType::fat32),
                         [](const ::testing::TestParamInfo<FsType>& param) { return std::string(FsTypeText(param.param)); });

}  // namespace
}  // namespace salvex
