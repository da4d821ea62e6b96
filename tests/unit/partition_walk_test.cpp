#include "partition/partition_walk.h"

#include <gtest/gtest.h>

#include "partition/bare_volume.h"
#include "partition/partition_classifier.h"
#include "partition/partition_selection.h"
#include "platform/faulty_disk_source.h"
#include "session/captions.h"
#include "support/byte_image.h"
#include "wizard/step_panel_texts.h"

namespace salvex {
namespace {

using testing::ByteImage;

enum class BootText { none, fat32, fat16, ntfs, exfat };

void PutBootText(ByteImage& image, std::uint64_t sector, BootText text) {
  const std::uint64_t base = sector * kSectorSize;
  switch (text) {
    case BootText::fat32: image.PutText(base + 82, "FAT32   "); break;
    case BootText::fat16: image.PutText(base + 54, "FAT16   "); break;
    case BootText::ntfs: image.PutText(base + 3, "NTFS    "); break;
    case BootText::exfat: image.PutText(base + 3, "EXFAT   "); break;
    case BootText::none: break;
  }
  image.PutBootSignature(sector);
}

struct ClassifyCase {
  BootText text;
  std::uint8_t typeByte;
  TableKind table;
  FsType expected;
};

class ClassifyPartitionTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyPartitionTest, BootTextWinsOverTheTypeByte) {
  const ClassifyCase& c = GetParam();
  ByteImage image(1);
  PutBootText(image, 0, c.text);
  EXPECT_EQ(ClassifyPartition(image.Sector(0), c.typeByte, c.table), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClassifyPartitionTest,
    ::testing::Values(ClassifyCase{BootText::fat32, 0x0C, TableKind::primary, FsType::fat32},
                      ClassifyCase{BootText::fat32, 0x07, TableKind::primary, FsType::fat32},
                      ClassifyCase{BootText::ntfs, 0x83, TableKind::primary, FsType::ntfs},
                      ClassifyCase{BootText::exfat, 0x07, TableKind::primary, FsType::exfat},
                      ClassifyCase{BootText::exfat, 0x0C, TableKind::extended, FsType::exfat},
                      ClassifyCase{BootText::fat32, 0x1B, TableKind::primary, FsType::fat32},
                      ClassifyCase{BootText::none, 0x1B, TableKind::primary, FsType::none},
                      ClassifyCase{BootText::fat16, 0x83, TableKind::extended, FsType::fat16},
                      ClassifyCase{BootText::none, 0x04, TableKind::primary, FsType::fat16},
                      ClassifyCase{BootText::none, 0x06, TableKind::primary, FsType::fat16},
                      ClassifyCase{BootText::none, 0x0E, TableKind::primary, FsType::fat16},
                      ClassifyCase{BootText::none, 0x01, TableKind::primary, FsType::fat12},
                      ClassifyCase{BootText::none, 0x01, TableKind::extended, FsType::fat16},
                      ClassifyCase{BootText::none, 0x0B, TableKind::primary, FsType::fat32},
                      ClassifyCase{BootText::none, 0x07, TableKind::primary, FsType::ntfs},
                      ClassifyCase{BootText::none, 0x05, TableKind::primary, FsType::none},
                      ClassifyCase{BootText::none, 0x83, TableKind::primary, FsType::none}));

// Between FAT12 and FAT16 the count of data clusters decides, whatever the
// text at 54 says: under 4085 clusters is FAT12. Without a cluster size the
// text stands.
TEST(ClassifyPartition, TheCountOfClustersChoosesBetweenFat12AndFat16) {
  const struct {
    const char* text;
    std::uint8_t sectorsPerCluster;
    std::uint16_t sectorsPerFat;
    std::uint16_t rootEntries;
    std::uint16_t totalSectors;
    FsType expected;
  } cases[] = {
      {"FAT12   ", 1, 9, 224, 2880, FsType::fat12},    // a 1.44 MB floppy disk: 2,847 clusters
      {"FAT16   ", 1, 9, 224, 2880, FsType::fat12},    // the same, mislabelled
      {"FAT12   ", 1, 160, 512, 40000, FsType::fat16}, // 39,647 clusters
      {"FAT16   ", 1, 12, 512, 4141, FsType::fat12},   // 4,084 clusters
      {"FAT12   ", 1, 12, 512, 4142, FsType::fat16},   // 4,085 clusters
      {"FAT16   ", 2, 12, 512, 8226, FsType::fat12},   // 4,084 clusters of two sectors
      {"FAT12   ", 0, 9, 224, 2880, FsType::fat12},    // no cluster size: the text
      {"FAT16   ", 1, 9, 224, 20, FsType::fat16},      // no data area: the text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " " + std::to_string(c.totalSectors));
    ByteImage image(1);
    image.PutText(54, c.text);
    image.Put16(11, 512);
    image.Put8(13, c.sectorsPerCluster);
    image.Put16(14, 1);
    image.Put8(16, 2);
    image.Put16(17, c.rootEntries);
    image.Put16(19, c.totalSectors);
    image.Put8(21, 0xF0);
    image.Put16(22, c.sectorsPerFat);
    image.PutBootSignature(0);
    EXPECT_EQ(ClassifyPartition(image.Sector(0), 0x06, TableKind::primary), c.expected);
    EXPECT_EQ(ClassifyPartition(image.Sector(0), 0x01, TableKind::extended), c.expected);
    if (c.sectorsPerCluster != 0 && c.totalSectors > 100) {
      EXPECT_EQ(JudgeBootSector(image.Sector(0)),
                c.expected == FsType::fat12 ? BootSectorVerdict::fat12 : BootSectorVerdict::fat16);
    }
  }
}

class PartitionWalkTest : public ::testing::Test {
 protected:
  std::uint32_t Walk(const ByteImage& image, std::uint32_t tableSector = 0) {
    reader.Open(image.Source());
    return WalkPartitionTables(reader, tableSector, table);
  }

  std::uint16_t retries = 3;
  SectorReader reader{retries};
  PartitionTable table;
};

TEST_F(PartitionWalkTest, OneFat32Partition) {
  ByteImage image(200);
  image.PutBootSignature(0);
  image.PutPartitionEntry(0, 0, 0x0C, 63, 100);
  PutBootText(image, 63, BootText::fat32);
  ASSERT_EQ(Walk(image), 1u);
  EXPECT_EQ(table.records[0].startSector, 63u);
  EXPECT_EQ(table.records[0].sectorCount, 100u);
  EXPECT_EQ(table.records[0].fsType, FsType::fat32);
  EXPECT_EQ(PartitionCaption(0, FsType::fat32), "Partition 1 - FAT32");
}

TEST_F(PartitionWalkTest, LogicalPartitionsFollowThePrimaryOnesInChainOrder) {
  ByteImage image(2000);
  image.PutBootSignature(0);
  image.PutPartitionEntry(0, 0, 0x0C, 63, 100);
  PutBootText(image, 63, BootText::fat32);
  image.PutPartitionEntry(0, 1, 0x0F, 1000, 900);  // extended base E = 1000
  // Each extended record: a logical partition relative to itself, and a link
  // relative to E.
  const std::uint32_t records[] = {1000, 1200, 1500};
  for (int i = 0; i < 3; ++i) {
    image.PutBootSignature(records[i]);
    image.PutPartitionEntry(records[i], 0, 0x06, 10, 50);
    PutBootText(image, records[i] + 10, BootText::fat16);
    if (i < 2) image.PutPartitionEntry(records[i], 1, 0x05, records[i + 1] - 1000, 200);
  }
  // A third entry in an extended record is not looked at.
  image.PutPartitionEntry(1500, 2, 0x0C, 100, 10);
  PutBootText(image, 1600, BootText::fat32);

  ASSERT_EQ(Walk(image), 4u);
  EXPECT_EQ(table.records[0].startSector, 63u);
  EXPECT_EQ(table.records[1].startSector, 1010u);
  EXPECT_EQ(table.records[2].startSector, 1210u);
  EXPECT_EQ(table.records[3].startSector, 1510u);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(table.records[i].fsType, FsType::fat16);
}

TEST_F(PartitionWalkTest, TypeOneIsFat12InTheMbrAndFat16InTheExtendedChain) {
  ByteImage image(400);
  image.PutBootSignature(0);
  image.PutPartitionEntry(0, 0, 0x01, 10, 20);
  image.PutPartitionEntry(0, 1, 0x05, 100, 200);
  image.PutPartitionEntry(100, 0, 0x01, 5, 20);
  ASSERT_EQ(Walk(image), 2u);
  EXPECT_EQ(table.records[0].startSector, 10u);
  EXPECT_EQ(table.records[0].fsType, FsType::fat12);
  EXPECT_EQ(table.records[1].startSector, 105u);
  EXPECT_EQ(table.records[1].fsType, FsType::fat16);
}

TEST_F(PartitionWalkTest, TableWithoutBothSignatureBytesRecordsNothing) {
  ByteImage image(200);
  image.Put8(510, 0x55);
  image.PutPartitionEntry(0, 0, 0x0C, 63, 100);
  PutBootText(image, 63, BootText::fat32);
  EXPECT_EQ(Walk(image), 0u);
}

TEST_F(PartitionWalkTest, StopsAtTwentyFiveRecords) {
  ByteImage image(200);
  image.PutBootSignature(0);
  image.PutPartitionEntry(0, 0, 0x05, 10, 100);
  for (std::uint32_t i = 0; i < 30; ++i) {
    const std::uint32_t ebr = 10 + i * 4;
    image.PutPartitionEntry(ebr, 0, 0x06, 1, 2);
    image.PutPartitionEntry(ebr, 1, 0x05, (i + 1) * 4, 4);
  }
  EXPECT_EQ(Walk(image), kMaxPartitions);
}

TEST_F(PartitionWalkTest, ExtendedChainThatLinksBackEnds) {
  ByteImage image(200);
  image.PutBootSignature(0);
  image.PutPartitionEntry(0, 0, 0x05, 50, 100);
  // A record linking to itself next to an unrecognised logical type...
  image.PutPartitionEntry(50, 0, 0x83, 1, 10);
  image.PutPartitionEntry(50, 1, 0x05, 0, 100);
  EXPECT_EQ(Walk(image), 0u);

  // ...and two records linking to each other, each with a FAT16 partition.
  ByteImage loop(200);
  loop.PutBootSignature(0);
  loop.PutPartitionEntry(0, 0, 0x05, 50, 100);
  loop.PutPartitionEntry(50, 0, 0x06, 1, 10);
  loop.PutPartitionEntry(50, 1, 0x05, 20, 10);
  loop.PutPartitionEntry(70, 0, 0x06, 1, 10);
  loop.PutPartitionEntry(70, 1, 0x05, 0, 10);
  EXPECT_EQ(Walk(loop), 2u);
}

TEST_F(PartitionWalkTest, UnreadableBootSectorIsNotJudgedByAnEarlierSector) {
  ByteImage image(300);
  image.PutBootSignature(0);
  image.PutPartitionEntry(0, 0, 0x0C, 63, 100);
  PutBootText(image, 63, BootText::fat32);
  image.PutPartitionEntry(0, 1, 0x83, 200, 50);  // a Linux partition whose boot sector cannot be read
  auto faulty = std::make_unique<FaultyDiskSource>(image.Source());
  faulty->FailSector(200);
  reader.Open(std::move(faulty));
  EXPECT_EQ(WalkPartitionTables(reader, 0, table), 1u);
}

TEST_F(PartitionWalkTest, FindPartitionsFallsBackToSectors61And62) {
  ByteImage image(200);
  image.PutBootSignature(62);
  image.PutPartitionEntry(62, 0, 0x06, 100, 50);
  reader.Open(image.Source());
  EXPECT_EQ(FindPartitions(reader, table), 1u);
  EXPECT_EQ(table.records[0].startSector, 100u);

  ByteImage empty(100);
  empty.PutBootSignature(0);
  reader.Open(empty.Source());
  EXPECT_EQ(FindPartitions(reader, table), 0u);
}

// Sector 0 holds a volume's boot sector: the entries at 446 decide whether
// it is also a partition table.
struct SectorZeroCase {
  const char* name;
  BootText text;
  std::uint8_t sectorsPerCluster;  // 3 makes the boot sector unsound
  std::uint8_t bootFlag;           // of entry 0
  std::uint8_t typeByte;           // of entry 0; 0 leaves it unused
  std::uint32_t entryStart;
  std::uint32_t entryCount;
  // What FindPartitions lists: the whole disk or the entry's partition.
  std::uint32_t found;
  bool wholeDisk;
  std::uint32_t sectorCount;
};

class SectorZeroTest : public ::testing::TestWithParam<SectorZeroCase> {};

TEST_P(SectorZeroTest, ABootSectorWithoutAPlausibleTableIsTheWholeDisk) {
  const SectorZeroCase& c = GetParam();
  ByteImage image(400);
  PutBootText(image, 0, c.text);
  image.Put16(11, 512);
  image.Put8(13, c.sectorsPerCluster);
  image.Put16(14, 1);                              // reserved sectors
  image.Put8(16, 2);                               // FATs
  image.Put16(17, 512);                            // FAT16 root entries
  image.Put16(19, std::uint16_t(c.text == BootText::fat32 ? 0 : 1000));  // more than the disk has
  image.Put8(21, 0xF8);
  image.Put16(22, 8);                              // FAT16 sectors per FAT
  image.Put32(32, c.text == BootText::fat32 ? 300 : 0);
  image.Put32(36, 8);                              // FAT32 sectors per FAT
  image.Put32(40, 299);                            // NTFS sectors, its copy not counted
  image.Put8(446, c.bootFlag);
  image.PutPartitionEntry(0, 0, c.typeByte, c.entryStart, c.entryCount);
  PutBootText(image, 100, BootText::fat16);
  PartitionTable table;
  std::uint16_t retries = 3;
  SectorReader reader{retries};
  reader.Open(image.Source());
  ASSERT_EQ(FindPartitions(reader, table), c.found);
  if (c.found == 0) return;
  const PartitionRecord& record = table.records[0];
  EXPECT_EQ(record.wholeDisk, c.wholeDisk);
  EXPECT_EQ(record.startSector, c.wholeDisk ? 0u : c.entryStart);
  EXPECT_EQ(record.sectorCount, c.sectorCount);
  if (c.wholeDisk) {
    EXPECT_EQ(PartitionCaption(0, record), std::string("Whole Disk - ") + FsTypeText(record.fsType));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SectorZeroTest,
    ::testing::Values(SectorZeroCase{"NoEntries", BootText::fat16, 4, 0, 0, 0, 0, 1, true, 400},
                      SectorZeroCase{"Fat32", BootText::fat32, 4, 0, 0, 0, 0, 1, true, 300},
                      SectorZeroCase{"NtfsWithItsCopy", BootText::ntfs, 8, 0, 0, 0, 0, 1, true, 300},
                      SectorZeroCase{"BootCodeAsFlag", BootText::fat16, 4, 0x4F, 0x06, 100, 50, 1, true, 400},
                      SectorZeroCase{"EntryFromSector0", BootText::fat16, 4, 0x00, 0x06, 0, 50, 1, true, 400},
                      SectorZeroCase{"EntryPastTheDisk", BootText::fat16, 4, 0x80, 0x06, 100, 4000, 1, true, 400},
                      SectorZeroCase{"PlausibleTable", BootText::fat16, 4, 0x80, 0x06, 100, 50, 1, false, 50},
                      SectorZeroCase{"TableOfNoPartition", BootText::fat16, 4, 0x00, 0x83, 200, 50, 1, true, 400},
                      SectorZeroCase{"UnsoundBootSector", BootText::fat16, 3, 0x4F, 0, 0, 0, 0, false, 0}),
    [](const ::testing::TestParamInfo<SectorZeroCase>& param) { return param.param.name; });

TEST(PartitionSelection, PartitionSetsTheRangeAndThePanel) {
  PartitionTable table;
  table.Add({63, 1000, FsType::fat16, 0});
  ScanState scan;
  ASSERT_TRUE(SelectPartition(scan, table, 0));
  EXPECT_EQ(scan.rangeStart, 63u);
  EXPECT_EQ(scan.rangeSize, 1000u);
  EXPECT_EQ(scan.rangeEnd, 1062u);
  EXPECT_EQ(scan.selectedFsType, FsType::fat16);
  const PanelRows rows = wizard::PartitionPanelRows(scan);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].value, "FAT16");
  // The panel names the first sector past the partition, as the range group does.
  EXPECT_EQ(rows[2].value, "1063");
  EXPECT_EQ(rows[3].value, "0 MB ( Aprox )");
  EXPECT_FALSE(SelectPartition(scan, table, 1));
}

TEST(PartitionSelection, WholeDiskOnlyInTheAdvanceScan) {
  DiskInfo disk;
  disk.totalSectors = 5000;
  ScanState scan;
  EXPECT_FALSE(SelectWholeDisk(scan, disk));
  EXPECT_EQ(scan.rangeSize, 0u);
  scan.scanType = ScanType::advance;
  ASSERT_TRUE(SelectWholeDisk(scan, disk));
  EXPECT_EQ(scan.selectedFsType, FsType::fat32);
  EXPECT_EQ(scan.rangeStart, 0u);
  EXPECT_EQ(scan.rangeSize, 5000u);
  EXPECT_EQ(scan.rangeEnd, 5000u);
}

}  // namespace
}  // namespace salvex
