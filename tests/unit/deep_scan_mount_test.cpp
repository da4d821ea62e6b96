// Mounting what the Advance Scan found, on crafted disks: FAT folders named
// from their parents' directories (or "Dir" + cluster), the FATs found when
// no boot sector said where they are, and the NTFS files inside a found file
// system.

#include "deepscan/mount.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "items/item_paths.h"
#include "session/advance_scan.h"
#include "session/captions.h"
#include "support/deep_scan_disk.h"
#include "support/fat_volume_builder.h"

namespace salvex {
namespace {

using testing::DeepScanBench;
using testing::FatGeometry;
using testing::FatVolumeBuilder;
using testing::ShortEntryFields;

// "folder PATH" and "file PATH (SIZE)" for every item; "(unreachable) NAME"
// stands for the path of an item the tree does not reach.
template <typename Kind>
std::set<std::string> Listing(const ItemStore& store, const FolderTreeModel& tree) {
  const ItemPaths<Kind> paths(store, tree);
  std::set<std::string> listed;
  const auto& folders = Kind::Folders(store).Items();
  for (std::uint32_t i = 0; i < folders.size(); ++i) {
    const auto path = paths.FolderPath(i);
    listed.insert("folder " + (path ? *path : "(unreachable) " + folders[i].name));
  }
  const auto& files = Kind::Files(store).Items();
  for (std::uint32_t i = 0; i < files.size(); ++i) {
    const auto path = paths.FilePath(i);
    listed.insert("file " + (path ? *path : "(unreachable) " + files[i].name) + " (" +
                  std::to_string(files[i].size) + ")");
  }
  return listed;
}

// --- FAT -----------------------------------------------------------------------

// FAT32 from sector 63, one sector per cluster: FATs of 33 sectors at 95 and
// 128, cluster 2 (the root) at 161, so cluster c at 159 + c.
class FatMountTest : public ::testing::Test {
 protected:
  FatMountTest()
      : bench(63 + 4096),
        fat(bench.image, FatGeometry{.type = FsType::fat32, .startSector = 63, .totalSectors = 4096,
                                     .sectorsPerCluster = 1}) {
    const auto named = [&](std::uint32_t folder, unsigned index, std::u16string name, const char* name11,
                           std::uint8_t attributes, std::uint32_t cluster, std::uint32_t size) {
      return fat.PutNamed(folder, index, name, ShortEntryFields{name11, attributes, cluster, size});
    };
    unsigned at = named(FatVolumeBuilder::kRoot, 0, u"Docs", "DOCS       ", 0x10, 5, 0);
    named(FatVolumeBuilder::kRoot, at, u"top.txt", "TOP     TXT", 0x20, 20, 700);
    fat.InitDirectory(5, 0);
    at = named(5, 2, u"Reports", "REPORTS    ", 0x10, 6, 0);
    named(5, at, u"letter.txt", "LETTER  TXT", 0x20, 22, 1500);
    fat.InitDirectory(6, 5);
    at = named(6, 2, u"Year 2024", "YEAR20~1   ", 0x10, 7, 0);
    named(6, at, u"sum.txt", "SUM     TXT", 0x20, 25, 100);
    fat.InitDirectory(7, 6);
    named(7, 2, u"q1.bin", "Q1      BIN", 0x20, 27, 3000);
    // A folder whose parent, cluster 8, holds no directory.
    fat.InitDirectory(9, 8);
    named(9, 2, u"lost.txt", "LOST    TXT", 0x20, 30, 10);
  }

  // Sweeps the volume, classifies, and mounts found file system 1.
  std::set<std::string> DeepScanAndMount() {
    bench.Range(FsType::fat32, 0, 63 + 4096);
    bench.Open();
    RunAdvanceScan(bench.reader, bench.scan, bench.settings, bench.ui, bench.state);
    EXPECT_EQ(bench.state.found.size(), 1u);
    EXPECT_TRUE(SelectFoundFileSystem(bench.state, 1, volume));
    VolumeContext context{bench.reader, bench.scan, volume, bench.ui};
    MountContext mount{context, store, bench.state, tree, FolderTreeModel::kRoot};
    EXPECT_TRUE(RunMount(mount));
    return Listing<FatKind>(store, tree);
  }

  DeepScanBench bench;
  FatVolumeBuilder fat;
  VolumeParameters volume;
  ItemStore store;
  FolderTreeModel tree;
};

TEST_F(FatMountTest, EveryFolderIsNamedFromItsParentsDirectory) {
  const std::set<std::string> listed = DeepScanAndMount();

  EXPECT_EQ(FoundFileSystemCaption(bench.state.found[0]), "FAT32 @63") << "named by its boot sector";
  const std::set<std::string> expected = {
      "folder Docs",
      "folder Docs/Reports",
      "folder Docs/Reports/Year 2024",
      "folder Dir8",  // the missing parent of cluster 9's folder
      "folder Dir8/Dir9",
      "file top.txt (700)",
      "file Docs/letter.txt (1500)",
      "file Docs/Reports/sum.txt (100)",
      "file Docs/Reports/Year 2024/q1.bin (3000)",
      "file Dir8/Dir9/lost.txt (10)",
  };
  EXPECT_EQ(listed, expected);
}

TEST_F(FatMountTest, WithoutBootSectorsAndRootTheTopFoldersKeepTheirClusterNames) {
  for (const std::uint64_t sector : {std::uint64_t{63}, std::uint64_t{69}, fat.ClusterSector(2)}) bench.image.FillSector(sector, 0);

  const std::set<std::string> listed = DeepScanAndMount();

  // The folders' pairs put cluster 0 at 159 with one sector per cluster; with
  // no boot sector the name is where the data begins, cluster 2.
  EXPECT_EQ(FoundFileSystemCaption(bench.state.found[0]), "FAT32 @161");
  const std::set<std::string> expected = {
      "folder Dir5",
      "folder Dir5/Reports",
      "folder Dir5/Reports/Year 2024",
      "folder Dir8",
      "folder Dir8/Dir9",
      "file Dir5/letter.txt (1500)",
      "file Dir5/Reports/sum.txt (100)",
      "file Dir5/Reports/Year 2024/q1.bin (3000)",
      "file Dir8/Dir9/lost.txt (10)",
  };
  EXPECT_EQ(listed, expected);
  // The FATs were looked for, and found, from the first possible sector.
  EXPECT_EQ(volume.fat1Start, fat.Fat1Start());
  EXPECT_EQ(volume.fat2Start, fat.Fat2Start());
  EXPECT_EQ(volume.sectorsPerFat, fat.Geometry().sectorsPerFat);
}

TEST(FindFats, Fat16PutsTheRootAfterTheSecondFat) {
  testing::ByteImage image(3000);
  // Two FATs of 120 sectors from 100, each starting F8 FF FF.
  for (const std::uint32_t start : {100u, 220u}) {
    image.Put8(start * kSectorSize, 0xF8);
    image.Put16(start * kSectorSize + 1, 0xFFFF);
  }
  RecoverySettings settings;
  SectorReader reader(settings.badSectorRetries);
  reader.Open(image.Source());
  ScanState scan;
  testing::RecordingUiPort ui;
  VolumeParameters volume;
  volume.fsType = FsType::fat16;
  volume.clusterBase = 500;  // within 550 sectors of both FATs
  VolumeContext context{reader, scan, volume, ui};

  FindFats(context);

  EXPECT_EQ(volume.fat1Start, 100u);
  EXPECT_EQ(volume.fat2Start, 220u);
  EXPECT_EQ(volume.sectorsPerFat, 120u);
  EXPECT_EQ(volume.rootDirStart, 340u);
}

TEST(FindFats, EndsBelowAClusterBaseNearTheLastSector) {
  // A base inferred from damaged hits, just short of 2^32: the search below
  // it must end there rather than wrap round to sector 0 and go on.
  testing::ByteImage image(64);
  RecoverySettings settings;
  SectorReader reader(settings.badSectorRetries);
  reader.Open(image.Source());
  ScanState scan;
  testing::RecordingUiPort ui;
  VolumeParameters volume;
  volume.fsType = FsType::fat16;
  volume.clusterBase = 0xFFFFFFF0;
  VolumeContext context{reader, scan, volume, ui};

  FindFats(context);

  EXPECT_EQ(volume.fat1Start, 0u);
  EXPECT_EQ(volume.fat2Start, 0u);
}

// --- NTFS ------------------------------------------------------------------------

TEST(NtfsMount, ListsTheClaimedFoldersAndTheFileRecordsInsideTheFileSystem) {
  DeepScanBench bench(16);
  bench.scan.scanType = ScanType::advance;
  FoundFileSystem found;
  found.fsType = FsType::ntfs;
  found.sectorsPerCluster = 8;
  found.clusterBase = 1000;
  found.volumeEnd = 5000;
  bench.state.found = {found, found};
  bench.state.found[1].clusterBase = 8000;
  bench.state.found[1].volumeEnd = 20000;
  bench.state.hits.mftFolders = {
      // A freed record 64 found first: the record in use is the folder.
      {.name = "Docs gone", .sector = 1006, .parentRecord = 5, .recordNumber = 64, .candidate = 1, .deleted = true},
      {.name = "Docs", .sector = 1010, .parentRecord = 5, .recordNumber = 64, .candidate = 1},
      {.name = ".", .sector = 1012, .parentRecord = 5, .recordNumber = 5, .candidate = 1},
      {.name = "Lost", .sector = 1020, .parentRecord = 99, .recordNumber = 65, .candidate = 1},
      // A second record numbered 64 (a stale copy): one folder per number.
      {.name = "Docs copy", .sector = 1030, .parentRecord = 5, .recordNumber = 64, .candidate = 1},
      {.name = "Other", .sector = 9000, .parentRecord = 5, .recordNumber = 70, .candidate = 2},
  };
  // Inside means after the first sector and not after the last.
  bench.state.hits.mftFiles = {
      {.name = "a.txt", .sector = 1000, .parentRecord = 64, .size = 1},
      {.name = "b.txt", .sector = 1002, .parentRecord = 64, .size = 2},
      {.name = "e.txt", .sector = 1004, .parentRecord = 77, .size = 5},
      {.name = "c.txt", .sector = 5000, .parentRecord = 99, .size = 3},
      {.name = "d.txt", .sector = 5002, .parentRecord = 64, .size = 4},
  };
  bench.Open();
  VolumeParameters volume;
  ASSERT_TRUE(SelectFoundFileSystem(bench.state, 1, volume));
  VolumeContext context{bench.reader, bench.scan, volume, bench.ui};
  ItemStore store;
  FolderTreeModel tree;
  MountContext mount{context, store, bench.state, tree, FolderTreeModel::kRoot};

  EXPECT_TRUE(RunMount(mount));

  // A file whose parent was never seen is not hung under a "Dir" folder in
  // an Advance Scan: it is in "Lost Files".
  const std::set<std::string> expected = {
      "folder Docs",      "folder Dir0",      "folder Dir0/Lost",
      "file Docs/b.txt (2)", "file Dir0/c.txt (3)", "file Lost Files/e.txt (5)",
  };
  EXPECT_EQ(Listing<NtfsKind>(store, tree), expected);
  std::map<std::string, SectorNumber> sectors;
  for (const NtfsFileItem& file : store.NtfsFiles().Items()) sectors[file.name] = file.recordSector;
  EXPECT_EQ(sectors, (std::map<std::string, SectorNumber>{{"b.txt", 1002}, {"c.txt", 5000}, {"e.txt", 1004}}));
}

}  // namespace
}  // namespace salvex
