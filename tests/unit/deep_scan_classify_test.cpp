// The Advance Scan's classification on crafted hits: which FAT and NTFS file
// systems they form, which hits each claims, and how NTFS folder hits get
// their record numbers.

#include "deepscan/classify_fat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deepscan/classify_ntfs.h"
#include "session/captions.h"
#include "support/deep_scan_disk.h"

namespace salvex {
namespace {

using testing::DeepScanBench;
using testing::FatBootPlan;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
  return param.param.name;
}

std::vector<std::uint16_t> CandidatesOf(const std::vector<FolderClusterHit>& hits) {
  std::vector<std::uint16_t> candidates;
  for (const FolderClusterHit& hit : hits) candidates.push_back(hit.candidate);
  return candidates;
}

std::vector<std::uint16_t> CandidatesOf(const std::vector<MftFolderHit>& hits) {
  std::vector<std::uint16_t> candidates;
  for (const MftFolderHit& hit : hits) candidates.push_back(hit.candidate);
  return candidates;
}

std::vector<std::string> CaptionsOf(const DeepScanState& state) {
  std::vector<std::string> captions;
  for (const FoundFileSystem& found : state.found) captions.push_back(FoundFileSystemCaption(found));
  return captions;
}

void Classify(DeepScanBench& bench) {
  bench.Open();
  ClassifyContext context{bench.reader, bench.scan, bench.ui, bench.state};
  ClassifyHits(context);
}

// --- FAT ---------------------------------------------------------------------

constexpr std::uint16_t kU = kUnplaced;

struct BootAt {
  std::uint32_t sector;
  FatBootPlan plan;
};

struct FoundFat {
  std::string caption;        // named by the boot sector, or where the data begins
  std::uint32_t clusterBase;
  std::uint32_t sectorsPerCluster;
  std::uint32_t rootDirStart;
  std::uint32_t volumeEnd;  // its last sector; 0: unknown
};

struct FatCase {
  const char* name;
  FsType selected;
  std::vector<BootAt> boots;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> hits;  // sector, cluster; ascending sectors
  std::vector<FoundFat> found;
  std::vector<std::uint16_t> candidates;
};

// FAT32 at 63: 32 reserved sectors, two FATs of 1000, 8 sectors per cluster:
// cluster 2 starts at 63 + 32 + 2000 = 2095, so cluster 0 would at 2079.
const FatBootPlan kFat32At63{};

const FatCase kFatCases[] = {
    {"BootSectorClaimsTheFoldersItPutsInPlace",
     FsType::fat32,
     {{63, kFat32At63}},
     // 2079 + 8 x 5 and 2079 + 8 x 6 fit; 2120 does not; cluster 13000 would
     // fit but lies past the volume's end at 63 + 100000.
     {{2119, 5}, {2120, 5}, {2127, 6}, {2079 + 8 * 13000, 13000}},
     {{"FAT32 @63", 2079, 8, 2, 100062}},
     {1, kU, 1, kU}},
    {"TheBackupBootSectorSixSectorsOnPlacesNothing",
     FsType::fat32,
     // The backup's geometry starts 6 sectors later: 2085 + 8 x cluster
     // meets none of the folders.
     {{63, kFat32At63}, {69, kFat32At63}},
     {{2119, 5}, {2127, 6}},
     {{"FAT32 @63", 2079, 8, 2, 100062}},
     {1, 1}},
    {"ABootSectorWhoseClustersStartBelowSector63YieldsNothing",
     FsType::fat16,
     // FAT16 at 0: root at 1 + 2 x 10 = 21, 32 root sectors, so cluster 0
     // would be at 21 + 32 - 2 x 4 = 45.
     {{0, {.fat32 = false, .reservedSectors = 1, .sectorsPerFat = 10, .sectorsPerCluster = 4, .totalSectors = 20000}}},
     {{45 + 4 * 5, 5}},
     {},
     {kU}},
    {"ABootSectorWithAnImpossibleClusterSizeYieldsNothing",
     FsType::fat32,
     {{63, {.sectorsPerCluster = 3}}},
     {{63 + 32 + 2000 - 6 + 3 * 5, 5}},
     {},
     {kU}},
    {"ASmallFat16BootSectorCountsItsSectorsIn16Bits",
     FsType::fat16,
     // FAT16 at 63 of 30000 sectors, a count mkfs.fat keeps at offset 19
     // (the 32-bit field stays 0): root at 63 + 4 + 2 x 32 = 131, 32 root
     // sectors, cluster 0 at 131 + 32 - 2 x 4 = 155.
     {{63,
       {.fat32 = false, .reservedSectors = 4, .sectorsPerFat = 32, .sectorsPerCluster = 4, .totalSectors = 30000,
        .totalIn16Bits = true}}},
     {{155 + 4 * 5, 5}},
     {{"FAT16 @63", 155, 4, 131, 63 + 30000 - 1}},
     {1}},
    {"TwoFoldersGiveTheClusterSizeAndTheStart",
     FsType::fat16,
     {},
     // (10400 - 10000) / (150 - 100) = 8 sectors per cluster, cluster 0 at
     // 10000 - 8 x 100 = 9200; 11600 = 9200 + 8 x 300 joins them, 11601 not.
     {{10000, 100}, {10400, 150}, {11600, 300}, {11601, 300}},
     {{"FAT16 @9216", 9200, 8, 0, 0}},
     {1, 1, 1, kU}},
    {"AClusterPast0xFFFFMakesItFat32",
     FsType::fat16,
     {},
     {{10000, 100}, {9200 + 8 * 0x10000, 0x10000}},
     {{"FAT32 @9216", 9200, 8, 2, 0}},
     {1, 1}},
    {"TheChosenTypeFat32IsKept",
     FsType::fat32,
     {},
     {{10000, 100}, {10400, 150}},
     {{"FAT32 @9216", 9200, 8, 2, 0}},
     {1, 1}},
    {"AFolderThatPairsWithNothingIsUnplaced",
     FsType::fat16,
     {},
     {{5000, 10}},
     {},
     {kU}},
    {"FoldersWhoseClustersRunAgainstTheirSectorsPairWithNothing",
     FsType::fat16,
     {},
     // In 32-bit arithmetic both give cluster 0 at 98848 for 128 sectors per
     // cluster: 100000 - 128 x 33554441 wraps to 100000 - 1152, and
     // 100128 - 128 x 10 = 98848. A later sector with a smaller cluster is
     // no geometry.
     {{100000, 33554441}, {100128, 10}},
     {},
     {kU, kU}},
};

// Failures name the row, not its bytes.
void PrintTo(const FatCase& row, std::ostream* out) { *out << row.name; }

class FatClassificationTest : public ::testing::TestWithParam<FatCase> {};

TEST_P(FatClassificationTest, FindsTheFileSystemsAndTheirFolders) {
  const FatCase& test = GetParam();
  DeepScanBench bench(2000 + 64);
  bench.Range(test.selected, 0, 2000 + 64);
  for (const BootAt& boot : test.boots) {
    testing::PutFatBootSector(bench.image, boot.sector, boot.plan);
    bench.state.hits.bootSectors.push_back({boot.sector});
    ++bench.state.hits.bootSectorsFound;
  }
  for (const auto& [sector, cluster] : test.hits) {
    FolderClusterHit hit;
    hit.sector = sector;
    hit.cluster = cluster;
    bench.state.hits.folderClusters.push_back(hit);
    ++bench.state.hits.foldersFound;
  }

  Classify(bench);

  std::vector<std::string> captions;
  for (const FoundFat& found : test.found) captions.push_back(found.caption);
  EXPECT_EQ(CaptionsOf(bench.state), captions);
  for (std::size_t i = 0; i < std::min(test.found.size(), bench.state.found.size()); ++i) {
    const FoundFileSystem& found = bench.state.found[i];
    EXPECT_EQ(found.clusterBase, test.found[i].clusterBase);
    EXPECT_EQ(found.sectorsPerCluster, test.found[i].sectorsPerCluster);
    EXPECT_EQ(found.rootDirStart, test.found[i].rootDirStart);
    EXPECT_EQ(found.volumeEnd, test.found[i].volumeEnd);
  }
  EXPECT_EQ(CandidatesOf(bench.state.hits.folderClusters), test.candidates);
}

INSTANTIATE_TEST_SUITE_P(Table, FatClassificationTest, ::testing::ValuesIn(kFatCases), CaseName<FatCase>);

TEST(FatClassification, ABootSectorKnowsWhereItsFatsAre) {
  DeepScanBench bench(64);
  bench.Range(FsType::fat32, 0, 64);
  testing::PutFatBootSector(bench.image, 63, kFat32At63);
  bench.state.hits.bootSectors.push_back({63});
  bench.state.hits.folderClusters.push_back({.sector = 2119, .cluster = 5});

  Classify(bench);

  ASSERT_EQ(bench.state.found.size(), 1u);
  EXPECT_EQ(bench.state.found[0].fat1Start, 63u + 32);
  EXPECT_EQ(bench.state.found[0].fat2Start, 63u + 32 + 1000);
  EXPECT_EQ(bench.state.found[0].sectorsPerFat, 1000u);
}

// --- NTFS: record numbers ------------------------------------------------------

struct NumberingCase {
  const char* name;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> hits;  // sector, record number (0: unknown)
  std::vector<std::uint32_t> numbers;
};

// Records are two sectors each: an even distance from the last numbered hit
// counts records, an odd one cannot, and the next number is taken instead.
const NumberingCase kNumberingCases[] = {
    {"SixSectorsOnIsThreeRecordsOn", {{1000, 40}, {1006, 0}}, {40, 43}},
    {"AnOddDistanceTakesTheNextNumber", {{1000, 40}, {1007, 0}}, {40, 41}},
    {"TheFirstHitUnnumberedIsRecord2", {{900, 0}, {1000, 40}}, {2, 40}},
    {"EachCountsFromTheHitBeforeIt", {{900, 0}, {902, 0}, {1000, 40}, {1002, 0}, {1005, 0}}, {2, 3, 40, 41, 42}},
};

// Failures name the row, not its bytes.
void PrintTo(const NumberingCase& row, std::ostream* out) { *out << row.name; }

class NtfsNumberingTest : public ::testing::TestWithParam<NumberingCase> {};

TEST_P(NtfsNumberingTest, UnnumberedHitsAreNumberedByPosition) {
  DeepScanBench bench(16);
  bench.Range(FsType::ntfs, 0, 16);
  for (const auto& [sector, number] : GetParam().hits) {
    bench.state.hits.mftFolders.push_back({.name = "f", .sector = sector, .parentRecord = 5, .recordNumber = number});
  }
  bench.Open();
  ClassifyContext context{bench.reader, bench.scan, bench.ui, bench.state};

  AssignMftNumbers(context);

  std::vector<std::uint32_t> numbers;
  for (const MftFolderHit& hit : bench.state.hits.mftFolders) numbers.push_back(hit.recordNumber);
  EXPECT_EQ(numbers, GetParam().numbers);
}

INSTANTIATE_TEST_SUITE_P(Table, NtfsNumberingTest, ::testing::ValuesIn(kNumberingCases), CaseName<NumberingCase>);

TEST(NtfsNumbering, AnIndexEntryNumbersTheFolderItNamesAndThePositionsFollowOn) {
  DeepScanBench bench(600);
  bench.Range(FsType::ntfs, 0, 600);
  // The entry names Docs (created 777, in the root) as record 64. The second
  // "Docs" was created at another time: the entry is not about it.
  testing::PutIndexBlock(bench.image, 500, 1, 0,
                         {{.record = 64, .parent = 5, .created = 777, .folder = true, .name = u"Docs"},
                          {.record = 90, .parent = 5, .created = 999, .folder = false, .name = u"Music"}});
  bench.state.hits.indexBlocks.push_back({.sector = 500, .ownerRecord = 5, .vcn = 0, .sectors = 1});
  bench.state.hits.indexBlocksFound = 1;
  auto& folders = bench.state.hits.mftFolders;
  folders.push_back({.name = "Docs", .sector = 2000, .parentRecord = 5, .created = 777});
  folders.push_back({.name = "Docs", .sector = 2002, .parentRecord = 5, .created = 888});
  // A file's entry never numbers a folder, even with the same name and date.
  folders.push_back({.name = "Music", .sector = 2010, .parentRecord = 5, .created = 999});
  bench.Open();
  ClassifyContext context{bench.reader, bench.scan, bench.ui, bench.state};

  AssignMftNumbers(context);

  EXPECT_EQ(folders[0].recordNumber, 64u);
  EXPECT_EQ(folders[1].recordNumber, 65u);
  EXPECT_EQ(folders[2].recordNumber, 69u);
}

// --- NTFS: file systems ------------------------------------------------------

TEST(NtfsClassification, BootSectorsClaimFoldersThroughTheirFirstIndexBlock) {
  // Boot sectors at 50 and 100, 8 sectors per cluster. H1's index cluster
  // 200 puts an index block at 100 + 1600 = 1700 (not at 50 + 1600); H3's
  // cluster 300 puts one at 50 + 2400 = 2450 (not at 2500). H0, H2 and H4
  // have no index allocation: each joins the file system of the hit before
  // it, the first the first file system.
  DeepScanBench bench(3000);
  bench.Range(FsType::ntfs, 0, 3000);
  for (const std::uint32_t boot : {50u, 100u}) {
    testing::PutNtfsBootSector(bench.image, boot, 8, 100000, 4);
    bench.state.hits.bootSectors.push_back({boot});
  }
  testing::PutIndexBlock(bench.image, 1700, 8, 0, {});
  testing::PutIndexBlock(bench.image, 2450, 8, 0, {});
  auto& folders = bench.state.hits.mftFolders;
  const std::pair<std::uint32_t, std::uint32_t> sectorAndIndexCluster[] = {
      {900, 0}, {1000, 200}, {1050, 0}, {1100, 300}, {1200, 0}};
  for (const auto& [sector, indexCluster] : sectorAndIndexCluster) {
    folders.push_back({.name = "f", .sector = sector, .parentRecord = 5, .indexCluster = indexCluster});
  }
  bench.state.hits.foldersFound = 5;

  Classify(bench);

  EXPECT_EQ(CaptionsOf(bench.state), (std::vector<std::string>{"NTFS @50", "NTFS @100"}));
  EXPECT_EQ(CandidatesOf(folders), (std::vector<std::uint16_t>{1, 2, 2, 1, 1}));
  ASSERT_EQ(bench.state.found.size(), 2u);
  EXPECT_EQ(bench.state.found[0].mftStart, 50u + 8 * 4);
  EXPECT_EQ(bench.state.found[0].volumeEnd, 50u + 100000);
  EXPECT_EQ(bench.state.found[0].indexBufferSectors, 8u);
}

TEST(NtfsClassification, TwoFoldersAndTheirIndexBlocksGiveTheGeometry) {
  // Index clusters 100 and 150 with first blocks at 1800 and 2200: 400
  // sectors for 50 clusters is 8 per cluster, cluster 0 at 1800 - 800 = 1000.
  // The third folder's cluster 200 lands on the block at 2600 (no block hit
  // of its own); the fourth's cluster 250 lands on nothing, so it is not
  // claimed but joins the file system of the hit before it.
  DeepScanBench bench(3200);
  bench.Range(FsType::ntfs, 0, 3200);
  for (const std::uint32_t block : {1800u, 2200u, 2600u}) testing::PutIndexBlock(bench.image, block, 8, 0, {});
  auto& hits = bench.state.hits;
  hits.indexBlocks = {{.sector = 1800, .ownerRecord = 64, .vcn = 0, .sectors = 8},
                      {.sector = 2200, .ownerRecord = 65, .vcn = 0, .sectors = 8},
                      // A later block of record 64: not its first.
                      {.sector = 2208, .ownerRecord = 64, .vcn = 1, .sectors = 8}};
  hits.indexBlocksFound = 3;
  hits.mftFolders = {{.name = "a", .sector = 3000, .parentRecord = 5, .recordNumber = 64, .indexCluster = 100},
                     {.name = "b", .sector = 3002, .parentRecord = 5, .recordNumber = 65, .indexCluster = 150},
                     {.name = "c", .sector = 3004, .parentRecord = 5, .recordNumber = 66, .indexCluster = 200},
                     {.name = "d", .sector = 3006, .parentRecord = 5, .recordNumber = 67, .indexCluster = 250}};
  hits.foldersFound = 4;

  Classify(bench);

  EXPECT_EQ(CaptionsOf(bench.state), std::vector<std::string>{"NTFS @1000"});
  ASSERT_EQ(bench.state.found.size(), 1u);
  EXPECT_EQ(bench.state.found[0].sectorsPerCluster, 8u);
  EXPECT_EQ(bench.state.found[0].volumeEnd, bench.scan.rangeEnd);
  EXPECT_EQ(CandidatesOf(hits.mftFolders), (std::vector<std::uint16_t>{1, 1, 1, 1}));
  EXPECT_EQ(hits.indexBlocks.size(), 2u) << "only first blocks are kept";
}

TEST(NtfsClassification, FoldersBeforeTheVolumeStartAreNotClaimed) {
  // The same geometry as above, but the records lie before cluster 0.
  DeepScanBench bench(3200);
  bench.Range(FsType::ntfs, 0, 3200);
  for (const std::uint32_t block : {1800u, 2200u}) testing::PutIndexBlock(bench.image, block, 8, 0, {});
  auto& hits = bench.state.hits;
  hits.indexBlocks = {{.sector = 1800, .ownerRecord = 64, .vcn = 0, .sectors = 8},
                      {.sector = 2200, .ownerRecord = 65, .vcn = 0, .sectors = 8}};
  hits.mftFolders = {{.name = "a", .sector = 900, .parentRecord = 5, .recordNumber = 64, .indexCluster = 100},
                     {.name = "b", .sector = 902, .parentRecord = 5, .recordNumber = 65, .indexCluster = 150}};

  Classify(bench);

  EXPECT_TRUE(bench.state.found.empty());
}

}  // namespace
}  // namespace salvex
