#include "fat/fat_walk.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "fat/directory_decoder.h"
#include "session/standard_scan.h"
#include "items/folder_tree_model.h"
#include "platform/faulty_disk_source.h"
#include "support/byte_image.h"
#include "support/fat_volume_builder.h"
#include "support/recording_ui_port.h"

namespace salvex {
namespace {

using testing::ByteImage;
using testing::FatVolumeBuilder;
using testing::ShortEntryFields;

std::vector<std::string> Names(const auto& list) {
  std::vector<std::string> names;
  for (const auto& item : list.Items()) names.push_back(item.name + (item.deleted ? " (deleted)" : ""));
  return names;
}

class FatWalkTest : public ::testing::Test {
 protected:
  explicit FatWalkTest(FsType type = FsType::fat32)
      : image(4000),
        fat(image, {.type = type, .totalSectors = 4000, .reservedSectors = type == FsType::fat32 ? 32u : 1u}) {}

  // `rangeSize` as a partition entry gives it, right or not.
  void Walk(std::unique_ptr<DiskSource> source = nullptr, std::uint32_t rangeSize = 4000) {
    reader.Open(source ? std::move(source) : image.Source());
    scan.selectedFsType = fat.Geometry().type;
    scan.rangeStart = 0;
    scan.rangeSize = rangeSize;
    scan.rangeEnd = rangeSize - 1;
    volume = fat.Expected();
    VolumeContext context{reader, scan, volume, ui};
    completed = WalkFatVolume(context, store);
  }

  ByteImage image;
  FatVolumeBuilder fat;
  std::uint16_t retries = 1;
  SectorReader reader{retries};
  ScanState scan;
  VolumeParameters volume;
  testing::RecordingUiPort ui;
  ItemStore store;
  bool completed = false;
};

TEST_F(FatWalkTest, ListsLiveAndDeletedItemsFolderByFolder) {
  unsigned root = 0;
  root = fat.PutNamed(0, root, u"Documents", {"DOCUME~1   ", 0x10, 10});
  root = fat.PutNamed(0, root, u"", {"A       TXT", 0x20, 20, 100});
  root = fat.PutNamed(0, root, u"Old stuff", {"OLDSTU~1   ", 0x10, 30}, true);
  fat.InitDirectory(10, 0);
  unsigned docs = 2;
  docs = fat.PutNamed(10, docs, u"Deep", {"DEEP       ", 0x10, 11});
  docs = fat.PutNamed(10, docs, u"", {"B       TXT", 0x20, 21, 5});
  fat.InitDirectory(11, 10);
  fat.PutNamed(11, 2, u"", {"C       TXT", 0x20, 22, 7});
  fat.InitDirectory(30, 0);
  fat.PutNamed(30, 2, u"kept.txt", {"KEPT    TXT", 0x20, 23, 9});

  Walk();
  EXPECT_TRUE(completed);
  EXPECT_EQ(Names(store.FatFolders()),
            (std::vector<std::string>{"Documents", "Old stuff (deleted)", "Deep"}));
  // Live folders are read first, then the deleted ones.
  EXPECT_EQ(Names(store.FatFiles()),
            (std::vector<std::string>{"A.TXT", "B.TXT", "C.TXT", "kept.txt (deleted)"}));
  EXPECT_EQ(store.FatFiles().Items()[1].parentCluster, 10u);
  EXPECT_EQ(store.FatFiles().Items()[3].id, 3u);
  EXPECT_EQ(store.FatFolders().Items()[2].parentCluster, 10u);
  EXPECT_EQ(ui.panel["Folder(s) Found"], "3");
  EXPECT_EQ(ui.panel["File(s) Found"], "4");
  EXPECT_EQ(ui.panel["Last File/Folder"], "kept.txt");
  EXPECT_EQ(ui.panel["Current Sector"], std::to_string(fat.ClusterSector(30)));
  EXPECT_FALSE(ui.stopVisible);
}

TEST_F(FatWalkTest, EndMarkEndsAFolderAndItsLaterClusters) {
  fat.PutNamed(0, 0, u"", {"DIR        ", 0x10, 10});
  fat.InitDirectory(10, 0);
  const std::uint32_t chain[] = {10, 11};
  fat.LinkChain(chain);
  fat.PutNamed(10, 2, u"", {"SEEN    TXT", 0x20, 20, 1});
  // Entry 3 is left zero: the end. Entry 4 and cluster 11 are never read.
  fat.PutNamed(10, 4, u"", {"HIDDEN  TXT", 0x20, 21, 1});
  fat.PutNamed(11, 0, u"", {"LATER   TXT", 0x20, 22, 1});
  Walk();
  EXPECT_EQ(Names(store.FatFiles()), std::vector<std::string>{"SEEN.TXT"});
}

TEST_F(FatWalkTest, FolderWhoseClusterHoldsOtherDataIsListedEmpty) {
  fat.PutNamed(0, 0, u"", {"REUSED     ", 0x10, 10});
  fat.PutNamed(10, 2, u"", {"GHOST   TXT", 0x20, 20, 1});  // no "." and ".." before it
  Walk();
  EXPECT_EQ(Names(store.FatFolders()), std::vector<std::string>{"REUSED"});
  EXPECT_TRUE(Names(store.FatFiles()).empty());
}

TEST_F(FatWalkTest, AFolderClusterIsListedOnce) {
  fat.PutNamed(0, 0, u"", {"FIRST      ", 0x10, 10});
  fat.PutNamed(0, 1, u"", {"SECOND     ", 0x10, 10}, true);
  fat.InitDirectory(10, 0);
  fat.PutNamed(10, 2, u"", {"SELF       ", 0x10, 10});  // a folder entry pointing at its own folder
  Walk();
  // The deleted entry on the live folder's cluster is listed as overwritten;
  // the live entry naming its own folder is not listed again.
  EXPECT_EQ(Names(store.FatFolders()), (std::vector<std::string>{"FIRST", "xECOND (deleted)"}));
  EXPECT_EQ(store.counters.folderCount, 2u);
  EXPECT_TRUE(store.FatFolders().Items()[1].overwritten);
  EXPECT_EQ(store.FindFatFolder(10).value_or(99), 0u);
}

TEST_F(FatWalkTest, LongNameCrossingASectorBoundaryIsReadWhole) {
  fat.PutNamed(0, 0, u"", {"DIR        ", 0x10, 10});
  fat.InitDirectory(10, 0);
  const std::uint32_t chain[] = {10, 11};
  fat.LinkChain(chain);
  for (unsigned i = 2; i < 14; ++i) {
    fat.PutNamed(10, i, u"", {"F" + std::to_string(i) + std::string(7 - std::to_string(i).size(), ' ') + "TXT",
                              0x20, 100 + i, 1});
  }
  // Two long-name entries at the end of cluster 10, the short one in cluster 11.
  fat.PutNamed(10, 14, u"A long file name that spans.text", {"ALONGF~1TEX", 0x20, 50, 1});
  Walk();
  ASSERT_EQ(store.FatFiles().Size(), 13u);
  EXPECT_EQ(store.FatFiles().Items().back().name, "A long file name that spans.text");
}

TEST_F(FatWalkTest, LongestNameReachingBackTwoSectorsIsReadWhole) {
  fat.PutNamed(0, 0, u"", {"DIR        ", 0x10, 10});
  fat.InitDirectory(10, 0);
  const std::uint32_t chain[] = {10, 11, 12};
  fat.LinkChain(chain);
  for (unsigned i = 2; i < 12; ++i) fat.PutNamed(10, i, u"", {"F" + std::to_string(i) + "      TXT", 0x20, 100 + i, 1});
  // 20 long-name entries from entry 12 of cluster 10 to the end of cluster
  // 11; the short entry is the first of cluster 12.
  const std::u16string name = std::u16string(250, u'n') + u".txt";
  ASSERT_EQ(fat.PutNamed(10, 12, name, {"NNNNNN~1TXT", 0x20, 50, 1}), 33u);
  Walk();
  ASSERT_EQ(store.FatFiles().Size(), 11u);
  EXPECT_EQ(store.FatFiles().Items().back().name, std::string(250, 'n') + ".txt");
}

TEST_F(FatWalkTest, StopKeepsWhatWasFoundAndIsCleared) {
  fat.PutNamed(0, 0, u"", {"A       TXT", 0x20, 20, 1});
  scan.stopRequested = true;
  Walk();
  EXPECT_FALSE(completed);
  EXPECT_FALSE(scan.StopRequested());
}

class Fat16WalkTest : public FatWalkTest {
 protected:
  Fat16WalkTest() : FatWalkTest(FsType::fat16) {}
};

TEST_F(Fat16WalkTest, RootIsTheFixedAreaAfterTheFats) {
  fat.PutNamed(0, 0, u"Fotos", {"FOTOS      ", 0x10, 3});
  fat.InitDirectory(3, 0);
  fat.PutNamed(3, 2, u"", {"IMG     JPG", 0x20, 4, 1000});
  Walk();
  EXPECT_EQ(Names(store.FatFolders()), std::vector<std::string>{"Fotos"});
  EXPECT_EQ(Names(store.FatFiles()), std::vector<std::string>{"IMG.JPG"});
}

TEST_F(Fat16WalkTest, UnreadableDirectorySectorIsSkippedAndRecorded) {
  for (unsigned i = 0; i < 16; ++i) fat.PutNamed(0, i, u"", {"FILE" + std::to_string(10 + i) + "  TXT", 0x20, 10 + i, 1});
  fat.PutNamed(0, 32, u"", {"LAST    TXT", 0x20, 40, 1});  // third root sector
  auto faulty = std::make_unique<FaultyDiskSource>(image.Source());
  faulty->FailSector(fat.Fat16RootStart() + 1);
  Walk(std::move(faulty));
  EXPECT_EQ(store.FatFiles().Size(), 17u) << "the sector after the unreadable one is read";
  ASSERT_EQ(store.unreadableDirectorySectors.size(), 1u);
  EXPECT_EQ(store.unreadableDirectorySectors[0].folderKey, kFatRootKey);
  EXPECT_EQ(store.unreadableDirectorySectors[0].sector, fat.Fat16RootStart() + 1);
}

TEST_F(FatWalkTest, EntriesBeyondTheVolumeAreNotListed) {
  fat.PutNamed(0, 0, u"", {"GOOD    TXT", 0x20, 20, 1});
  fat.PutNamed(0, 1, u"", {"FAR     TXT", 0x20, 900000, 1});
  Walk();
  EXPECT_EQ(Names(store.FatFiles()), std::vector<std::string>{"GOOD.TXT"});
}

TEST_F(FatWalkTest, APartitionEntryShorterThanTheFileSystemLosesNoFiles) {
  // The FAT addresses about 3,900 clusters; the partition entry says 1,000
  // sectors. The file system's own size bounds the entries, not the entry's.
  fat.PutNamed(0, 0, u"", {"EARLY   TXT", 0x20, 20, 1});
  fat.PutNamed(0, 1, u"late.txt", {"LATE    TXT", 0x20, 2000, 600'000});
  Walk(nullptr, 1000);
  EXPECT_EQ(Names(store.FatFiles()), (std::vector<std::string>{"EARLY.TXT", "late.txt"}));
}

TEST(StandardScan, InfersTheGeometryWhenTheBootSectorsAreGone) {
  ByteImage image(4000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .totalSectors = 4000, .sectorsPerCluster = 2});
  fat.PutNamed(0, 0, u"", {"A         ", 0x10, 10});
  fat.InitDirectory(10, 0);
  fat.PutNamed(10, 2, u"", {"B          ", 0x10, 12});
  fat.InitDirectory(12, 10);
  fat.PutNamed(12, 2, u"", {"C       TXT", 0x20, 14, 3});
  image.FillSector(0, 0);
  image.FillSector(6, 0);

  std::uint16_t retries = 1;
  SectorReader reader{retries};
  reader.Open(image.Source());
  ScanState scan;
  scan.selectedFsType = FsType::fat32;
  scan.rangeSize = 4000;
  scan.rangeEnd = 3999;
  VolumeParameters volume;
  testing::RecordingUiPort ui;
  VolumeContext context{reader, scan, volume, ui};
  ItemStore store;
  FolderTreeModel tree;
  EXPECT_EQ(RunStandardScan(context, store, tree, FolderTreeModel::kRoot), StandardScanOutcome::completed);
  EXPECT_EQ(volume.clusterBase, fat.ClusterBase());
  EXPECT_EQ(ui.statuses, (std::vector<std::string>{"Calculating partition parameters", ""}));
  // The root (cluster 2) is found through the inferred geometry too.
  EXPECT_EQ(Names(store.FatFolders()), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(tree.Path(store.FatFolders().Items()[1].treeNode), "A/B");
  EXPECT_TRUE(ui.notices.empty());
}

TEST(StandardScan, SaysSoWhenNoGeometryCanBeFound) {
  ByteImage image(500);
  std::uint16_t retries = 1;
  SectorReader reader{retries};
  reader.Open(image.Source());
  ScanState scan;
  scan.selectedFsType = FsType::fat16;
  scan.rangeSize = 500;
  scan.rangeEnd = 499;
  VolumeParameters volume;
  testing::RecordingUiPort ui;
  VolumeContext context{reader, scan, volume, ui};
  ItemStore store;
  FolderTreeModel tree;
  EXPECT_EQ(RunStandardScan(context, store, tree, FolderTreeModel::kRoot), StandardScanOutcome::notPossible);
  ASSERT_EQ(ui.notices.size(), 1u);
  EXPECT_EQ(ui.notices[0].kind, NoticeKind::error);
  EXPECT_EQ(ui.notices[0].text, "Recovery is not possible in Standard scan, use Advance scan");
}

// A deleted file owns its clusters only along a chain of its own: one no
// other chain leads into. Deleted entries whose clusters lie on a cycle, or
// whose chain runs into another, are marked; and however many there are, the
// FAT is read once, not once per entry round its cycle.
TEST_F(FatWalkTest, DeletedFilesOnCyclesOrJoinedChainsAreMarkedInOnePassOverTheFat) {
  std::vector<std::uint32_t> rootClusters(100);
  std::iota(rootClusters.begin(), rootClusters.end(), 2u);
  fat.LinkChain(rootClusters);
  std::vector<std::uint32_t> cycle(3600);
  std::iota(cycle.begin(), cycle.end(), 200u);
  fat.LinkChain(cycle);
  fat.SetFatEntry(cycle.back(), cycle.front());
  const std::uint32_t own[] = {150, 151, 152};
  fat.LinkChain(own);
  fat.SetFatEntry(160, 300);  // runs into the cycle
  unsigned index = fat.PutNamed(0, 0, u"", {"OWN     TXT", 0x20, 150, 3 * 512}, true);
  index = fat.PutNamed(0, index, u"", {"JOINS   TXT", 0x20, 160, 2 * 512}, true);
  constexpr unsigned kOnTheCycle = 1590;
  for (unsigned i = 0; i < kOnTheCycle; ++i) {
    char name[12];
    std::snprintf(name, sizeof name, "C%07uTXT", i);
    index = fat.PutNamed(0, index, u"", {name, 0x20, 200 + 2 * i, 1'500'000}, true);
  }
  auto faulty = std::make_unique<FaultyDiskSource>(image.Source());
  const FaultyDiskSource& reads = *faulty;

  Walk(std::move(faulty));

  ASSERT_EQ(store.FatFiles().Size(), kOnTheCycle + 2);
  EXPECT_FALSE(store.FatFiles().Items()[0].overwritten) << "OWN's chain is its own";
  EXPECT_TRUE(store.FatFiles().Items()[1].overwritten) << "JOINS runs into the cycle";
  std::size_t marked = 0;
  for (const FatFileItem& file : store.FatFiles().Items()) marked += file.overwritten;
  EXPECT_EQ(marked, kOnTheCycle + 1);
  std::size_t fatReads = 0;
  const std::uint64_t fatBytes = std::uint64_t{fat.Fat1Start()} * kSectorSize;
  for (const FaultyDiskSource::Request& request : reads.Requests()) {
    fatReads += request.byteOffset >= fatBytes && request.byteOffset < std::uint64_t{fat.Fat2Start()} * kSectorSize;
  }
  EXPECT_LT(fatReads, 20u);
}

// Two deleted entries over the same clusters name each other; a deleted
// entry whose first cluster lies inside a live file's chain is overwritten,
// though the rest of that chain has just its length.
TEST_F(FatWalkTest, DeletedFilesOverOneAnothersClustersAreMarked) {
  fat.LinkChain(std::vector<std::uint32_t>{2});
  fat.LinkChain(std::vector<std::uint32_t>{400, 401, 402, 403});
  unsigned index = fat.PutNamed(0, 0, u"", {"SAME1   BIN", 0x20, 300, 2 * 512}, true);
  index = fat.PutNamed(0, index, u"", {"SAME2   BIN", 0x20, 300, 3 * 512}, true);
  index = fat.PutNamed(0, index, u"", {"LIVE    BIN", 0x20, 400, 4 * 512}, false);
  index = fat.PutNamed(0, index, u"", {"MIDDLE  BIN", 0x20, 401, 3 * 512}, true);
  fat.PutNamed(0, index, u"", {"ALONE   BIN", 0x20, 500, 2 * 512}, true);

  Walk();

  const auto& files = store.FatFiles().Items();
  ASSERT_EQ(files.size(), 5u);
  EXPECT_EQ(files[0].conflictsWith, std::vector<std::uint32_t>{1});
  EXPECT_EQ(files[1].conflictsWith, std::vector<std::uint32_t>{0});
  EXPECT_TRUE(files[3].overwritten) << "MIDDLE's clusters are LIVE's";
  for (const std::size_t unmarked : {2u, 4u}) {
    EXPECT_FALSE(files[unmarked].overwritten || !files[unmarked].conflictsWith.empty()) << files[unmarked].name;
  }
}

TEST(DecodeDirectorySectors, NamesFoundFoldersAndAddsEverythingElseAsFiles) {
  ItemStore store;
  store.AddFatFolder("Dir12", 12, 7, 0, 0, 0, false);
  store.AddFatFolder("Dir13", 13, 8, 0, 0, 0, false);  // another parent: not renamed
  std::vector<std::uint8_t> sectors(2 * kSectorSize, 0);
  const auto put = [&](std::size_t index, const ShortEntryFields& fields) {
    const testing::EntryBytes entry = testing::MakeShortEntry(fields);
    std::copy(entry.begin(), entry.end(), sectors.begin() + static_cast<std::ptrdiff_t>(index * 32));
  };
  put(0, {".          ", 0x10, 7});
  put(1, {"SKIPPED TXT", 0x20, 30, 1});  // before firstIndex in the first sector
  put(2, {"PHOTOS     ", 0x10, 12});
  put(3, {"OTHER      ", 0x10, 13});
  put(4, {"ODDDIR     ", 0x10, 14, 512});  // a directory with a size is taken for a file
  put(5, {"EMPTY   TXT", 0x20, 0, 0});      // an empty file: listed
  for (std::size_t i = 6; i < 16; ++i) put(i, {"\xE5" "ONE    TXT", 0x08, 0, 0});  // labels: skipped, not the end
  put(16, {"SECOND  TXT", 0x20, 31, 2});   // the second sector starts at entry 0
  DirectoryDecodeContext context{store, FsType::fat32, EntryLimits{}};
  EXPECT_TRUE(DecodeDirectorySectors(context, sectors, 7, true, 2)) << "entry 17 is the end mark";
  EXPECT_EQ(Names(store.FatFolders()), (std::vector<std::string>{"PHOTOS (deleted)", "Dir13"}));
  EXPECT_EQ(Names(store.FatFiles()),
            (std::vector<std::string>{"ODDDIR (deleted)", "EMPTY.TXT (deleted)", "SECOND.TXT (deleted)"}));
  EXPECT_EQ(store.counters.fileCount, 3u);
}

}  // namespace
}  // namespace salvex

namespace salvex {
namespace {

TEST(DecodeDirectorySectors, ADeletedEntryDoesNotRenameAFolderALiveOneNamed) {
  // Windows gave the deleted OLD's cluster to NEW, whose entry comes first
  // here; in the other order the live entry renames it last anyway.
  for (const bool liveFirst : {true, false}) {
    SCOPED_TRACE(liveFirst);
    ItemStore store;
    store.AddFatFolder("Dir12", 12, 0, 0, 0, 0, false);
    std::vector<std::uint8_t> sector(kSectorSize, 0);
    const testing::EntryBytes live = testing::MakeShortEntry({"NEW        ", 0x10, 12});
    const testing::EntryBytes dead = testing::MakeShortEntry({"\xE5" "LD        ", 0x10, 12});
    std::copy(live.begin(), live.end(), sector.begin() + (liveFirst ? 0 : 32));
    std::copy(dead.begin(), dead.end(), sector.begin() + (liveFirst ? 32 : 0));
    DirectoryDecodeContext context{store, FsType::fat32, EntryLimits{}};
    DecodeDirectorySectors(context, sector, 0, false, 0);
    EXPECT_EQ(Names(store.FatFolders()), std::vector<std::string>{"NEW"});
  }
}

}  // namespace
}  // namespace salvex
