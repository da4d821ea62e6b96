// The quick partition search on crafted disks: where it looks (one track
// after each cylinder's start, else the start itself, on 255 x 63 cylinders,
// and every 1 MiB boundary with its backups) and what it takes for a partition.

#include "partition/quick_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/deep_scan_disk.h"

namespace salvex {
namespace {

using testing::ByteImage;

constexpr std::uint32_t kCylinder = 255 * 63;  // 16065 sectors
constexpr std::uint32_t kCylinders = 3;

struct Found {
  SectorNumber start;
  SectorNumber count;
  FsType type;

  bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Found& found) {
  return out << FsTypeText(found.type) << " at " << found.start << " of " << found.count;
}

DiskInfo Disk(std::uint32_t cylinders, std::uint32_t heads, std::uint32_t sectorsPerTrack) {
  DiskInfo disk;
  disk.cylinders = cylinders;
  disk.heads = heads;
  disk.sectorsPerTrack = sectorsPerTrack;
  return disk;
}

struct SearchCase {
  const char* name;
  void (*craft)(ByteImage& image);
  std::vector<Found> found;
  DiskInfo disk;
};

void Fat32At(ByteImage& image, std::uint32_t sector) {
  testing::PutFatBootSector(image, sector, {.totalSectors = 20000});
}

// A sector with the signature and nothing else, as an extended boot record has.
void SignedAt(ByteImage& image, std::uint32_t sector) { image.PutBootSignature(sector); }

const SearchCase kSearchCases[] = {
    {"Fat32OneTrackIntoTheFirstCylinder", [](ByteImage& image) { Fat32At(image, 63); }, {{63, 20000, FsType::fat32}},
     Disk(kCylinders, 255, 63)},
    {"Fat32OnAMebibyteBoundary", [](ByteImage& image) { Fat32At(image, 2048); }, {{2048, 20000, FsType::fat32}},
     Disk(kCylinders, 255, 63)},
    // A damaged first sector: the backup six sectors in, which says it is one.
    {"Fat32KnownByItsBackupSixSectorsIn",
     [](ByteImage& image) {
       Fat32At(image, 4096 + 6);
       image.Put16((4096 + 6) * kSectorSize + 50, 6);
       Fat32At(image, 8192 + 6);  // a FAT32 boot sector that names no backup there
     },
     {{4096, 20000, FsType::fat32}},
     Disk(kCylinders, 255, 63)},
    // The copy in the volume's last sector, just before the next boundary,
    // counts the sectors back to the volume's start.
    {"NtfsKnownByTheCopyInItsLastSector",
     [](ByteImage& image) { testing::PutNtfsBootSector(image, 2 * 2048 - 1, 8, 2047, 4); },
     {{2048, 2047, FsType::ntfs}},
     Disk(kCylinders, 255, 63)},
    // Found on a boundary, by its backup and on a cylinder: listed once, in
    // the order of the disk.
    {"EachStartOnceInDiskOrder",
     [](ByteImage& image) {
       testing::PutNtfsBootSector(image, 2048, 8, 4095, 4);
       testing::PutNtfsBootSector(image, 2048 + 4095, 8, 4095, 4);
       Fat32At(image, 63);
       Fat32At(image, 63 + 6);
       image.Put16((63 + 6) * kSectorSize + 50, 6);
     },
     {{63, 20000, FsType::fat32}, {2048, 4095, FsType::ntfs}},
     Disk(kCylinders, 255, 63)},
    {"Fat16AtACylinderStart",
     [](ByteImage& image) {
       testing::PutFatBootSector(image, kCylinder, {.fat32 = false, .sectorsPerCluster = 4, .totalSectors = 70000});
     },
     {{kCylinder, 70000, FsType::fat16}},
     Disk(kCylinders, 255, 63)},
    // "FAT12" at 54 is found as "FAT16" is; the count of clusters (4,052)
    // makes both FAT12.
    {"Fat12ByItsClustersWhateverItsText",
     [](ByteImage& image) {
       const testing::FatBootPlan small{
           .fat32 = false, .sectorsPerFat = 12, .sectorsPerCluster = 2, .totalSectors = 8192, .totalIn16Bits = true};
       testing::PutFatBootSector(image, kCylinder, small);
       image.PutText(kCylinder * kSectorSize + 54, "FAT12   ");
       testing::PutFatBootSector(image, 2 * kCylinder, small);
     },
     {{kCylinder, 8192, FsType::fat12}, {2 * kCylinder, 8192, FsType::fat12}},
     Disk(kCylinders, 255, 63)},
    {"NtfsOneTrackIntoTheThirdCylinder",
     [](ByteImage& image) { testing::PutNtfsBootSector(image, 2 * kCylinder + 63, 8, 0x123456789ull, 4); },
     // NTFS counts its sectors in 64 bits: none is cut away.
     {{2 * kCylinder + 63, 0x123456789, FsType::ntfs}},
     Disk(kCylinders, 255, 63)},
    // The signed sector one track in is read first; it is no boot sector, and
    // the cylinder's start is then not looked at.
    {"ASignedSectorOneTrackInHidesTheCylinderStart",
     [](ByteImage& image) {
       Fat32At(image, kCylinder);
       SignedAt(image, kCylinder + 63);
     },
     {},
     Disk(kCylinders, 255, 63)},
    {"EveryCylinderInDiskOrder",
     [](ByteImage& image) {
       Fat32At(image, 2 * kCylinder);
       Fat32At(image, 63);
       // 8,864 clusters: FAT16 by their count.
       testing::PutFatBootSector(image, kCylinder + 63,
                                 {.fat32 = false, .sectorsPerFat = 36, .sectorsPerCluster = 1, .totalSectors = 9000});
     },
     {{63, 20000, FsType::fat32}, {kCylinder + 63, 9000, FsType::fat16}, {2 * kCylinder, 20000, FsType::fat32}},
     Disk(kCylinders, 255, 63)},
    // A disk described with 16 heads of 32 sectors is still searched on
    // cylinders of 255 x 63: 100 x 16 x 32 / 16065 = 3 of them.
    {"OtherGeometriesAreSearchedAs255By63",
     [](ByteImage& image) { Fat32At(image, 2 * kCylinder + 63); },
     {{2 * kCylinder + 63, 20000, FsType::fat32}},
     Disk(100, 16, 32)},
};

// Failures name the row, not its bytes.
void PrintTo(const SearchCase& row, std::ostream* out) { *out << row.name; }

class QuickSearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(QuickSearchTest, FindsTheBootSectorsWhereCylindersBegin) {
  const SearchCase& test = GetParam();
  ByteImage image(kCylinders * kCylinder);
  test.craft(image);
  RecoverySettings settings;
  SectorReader reader(settings.badSectorRetries);
  reader.Open(image.Source());
  ScanState scan;
  PartitionTable table;
  testing::RecordingUiPort ui;

  QuickPartitionSearch(reader, test.disk, scan, table, ui);

  std::vector<Found> found;
  for (std::uint32_t i = 0; i < table.partitionCount; ++i) {
    found.push_back({table.records[i].startSector, table.records[i].sectorCount, table.records[i].fsType});
  }
  EXPECT_EQ(found, test.found);
  // Nothing found: the user is told, in the Standard Scan's words.
  ASSERT_EQ(ui.notices.size(), test.found.empty() ? 1u : 0u);
  if (test.found.empty()) {
    EXPECT_EQ(ui.notices[0].text, kNoPartitionStandardMessage);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, QuickSearchTest, ::testing::ValuesIn(kSearchCases),
                         [](const ::testing::TestParamInfo<SearchCase>& param) { return param.param.name; });

TEST(QuickSearch, ASmallFat16VolumeHasItsSizeInTheSixteenBitField) {
  // mkfs.fat keeps the count of a volume below 65536 sectors at offset 19
  // and leaves the 32-bit field at 32 zero.
  ByteImage image(kCylinders * kCylinder);
  testing::PutFatBootSector(image, 63, {.fat32 = false, .sectorsPerCluster = 1, .totalSectors = 8000,
                                        .totalIn16Bits = true});
  RecoverySettings settings;
  SectorReader reader(settings.badSectorRetries);
  reader.Open(image.Source());
  ScanState scan;
  PartitionTable table;
  testing::RecordingUiPort ui;

  QuickPartitionSearch(reader, Disk(kCylinders, 255, 63), scan, table, ui);

  ASSERT_EQ(table.partitionCount, 1u);
  EXPECT_EQ(table.records[0].startSector, 63u);
  EXPECT_EQ(table.records[0].sectorCount, 8000u);
}

}  // namespace
}  // namespace salvex
