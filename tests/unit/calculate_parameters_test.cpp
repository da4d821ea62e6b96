#include "fat/calculate_partition_parameters.h"

#include <gtest/gtest.h>

#include <utility>

#include "support/byte_image.h"
#include "support/fat_volume_builder.h"
#include "support/sparse_disk_source.h"
#include "support/volume_range_test.h"

namespace salvex {
namespace {

using testing::ByteImage;
using testing::FatGeometry;
using testing::FatVolumeBuilder;

class CalculateParametersTest : public testing::VolumeRangeTest {
 protected:
  bool Calculate(const ByteImage& image, FsType type, std::uint32_t start, std::uint32_t size) {
    VolumeContext context = Context(image, type, start, size);
    return CalculatePartitionParameters(context);
  }
};

TEST_F(CalculateParametersTest, Fat32GeometryFromTwoDirectories) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .startSector = 100, .totalSectors = 2900,
                               .sectorsPerCluster = 4});
  fat.InitDirectory(7, 0);
  fat.InitDirectory(12, 7);
  image.FillSector(100, 0);
  image.FillSector(106, 0);
  ASSERT_TRUE(Calculate(image, FsType::fat32, 100, 2900));
  const VolumeParameters expected = fat.Expected();
  EXPECT_EQ(volume.sectorsPerCluster, 4u);
  EXPECT_EQ(volume.clusterBase, expected.clusterBase);
  EXPECT_EQ(volume.reservedSectors, 32u);
  EXPECT_EQ(volume.fat1Start, expected.fat1Start);
  EXPECT_EQ(volume.sectorsPerFat, expected.sectorsPerFat);
  EXPECT_EQ(volume.rootDirStart, 2u);
  EXPECT_FALSE(ui.progressVisible);
}

TEST_F(CalculateParametersTest, Fat16GeometryFromTwoDirectories) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat16, .startSector = 63, .totalSectors = 2900,
                               .sectorsPerCluster = 2, .reservedSectors = 1});
  fat.InitDirectory(3, 0);
  fat.InitDirectory(40, 3);
  image.FillSector(63, 0);
  ASSERT_TRUE(Calculate(image, FsType::fat16, 63, 2900));
  const VolumeParameters expected = fat.Expected();
  EXPECT_EQ(volume.sectorsPerCluster, 2u);
  EXPECT_EQ(volume.reservedSectors, 1u);
  EXPECT_EQ(volume.rootDirSectors, 32u);
  EXPECT_EQ(volume.rootDirStart, expected.rootDirStart);
  EXPECT_EQ(volume.clusterBase, expected.clusterBase);
  EXPECT_EQ(volume.sectorsPerFat, expected.sectorsPerFat);
}

TEST_F(CalculateParametersTest, ReservedSectorsComeFromTheFirstFatStartFound) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .totalSectors = 3000, .reservedSectors = 38});
  fat.InitDirectory(9, 0);
  fat.InitDirectory(10, 9);
  ASSERT_TRUE(Calculate(image, FsType::fat32, 0, 3000));
  EXPECT_EQ(volume.reservedSectors, 38u);
  EXPECT_EQ(volume.clusterBase, fat.ClusterBase());
}

TEST_F(CalculateParametersTest, ReservedSectorsFallBackWhenNoFatStartIsFound) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .totalSectors = 3000});
  fat.InitDirectory(9, 0);
  fat.InitDirectory(10, 9);
  image.FillSector(fat.Fat1Start(), 0);
  image.FillSector(fat.Fat2Start(), 0);
  ASSERT_TRUE(Calculate(image, FsType::fat32, 0, 3000));
  EXPECT_EQ(volume.reservedSectors, 32u);
  EXPECT_EQ(volume.clusterBase, fat.ClusterBase());
}

TEST_F(CalculateParametersTest, AReservedAreaOutsideTheUsualPlacesIsFoundFromBothFats) {
  // mkfs.fat reserves a cluster's worth (32 sectors) on a large FAT16
  // volume, and 64 or more on an aligned FAT32 one: beyond the usual probe,
  // so the FATs and, on FAT16, the root would be looked for in the wrong place.
  for (const auto& [type, reserved] : {std::pair{FsType::fat16, 32u}, std::pair{FsType::fat32, 64u}}) {
    SCOPED_TRACE(reserved);
    ByteImage image(3000);
    FatVolumeBuilder fat(image, {.type = type, .totalSectors = 3000, .sectorsPerCluster = 2,
                                 .reservedSectors = reserved});
    fat.InitDirectory(9, 0);
    fat.InitDirectory(12, 9);
    image.FillSector(0, 0);
    ASSERT_TRUE(Calculate(image, type, 0, 3000));
    const VolumeParameters expected = fat.Expected();
    EXPECT_EQ(volume.reservedSectors, reserved);
    EXPECT_EQ(volume.fat1Start, expected.fat1Start);
    EXPECT_EQ(volume.fat2Start, expected.fat2Start);
    EXPECT_EQ(volume.sectorsPerFat, expected.sectorsPerFat);
    EXPECT_EQ(volume.rootDirStart, expected.rootDirStart);
    EXPECT_EQ(volume.clusterBase, expected.clusterBase);
  }
}

// The first sector of a directory whose "." entry names `cluster`.
void PutDirectoryStart(ByteImage& image, std::uint64_t sector, std::uint32_t cluster) {
  image.PutBytes(sector * kSectorSize, testing::MakeShortEntry({".", 0x10, cluster}));
  image.PutBytes(sector * kSectorSize + 32, testing::MakeShortEntry({"..", 0x10, 0}));
}

TEST_F(CalculateParametersTest, FoldersPastSector2To32ArePairedAtTheirOwnSectors) {
  // A range crossing sector 2^32. The second folder lies at 0x100000010, not
  // at 0x10 as a 32-bit number would have it: with the first it gives 32
  // sectors per cluster, the base 3 clusters before the first.
  auto disk = std::make_unique<testing::SparseDiskSource>((std::uint64_t{1} << 32) + 4096);
  ByteImage directories(2);
  PutDirectoryStart(directories, 0, 3);
  PutDirectoryStart(directories, 1, 4);
  disk->Put(0xFFFFFFF0u, std::span(directories.Bytes()).first(kSectorSize));
  disk->Put(0x100000010u, std::span(directories.Bytes()).subspan(kSectorSize, kSectorSize));
  reader.Open(std::move(disk));
  scan.selectedFsType = FsType::fat32;
  scan.rangeStart = 0xFFFFFF00u;
  scan.rangeSize = 0x200;
  scan.rangeEnd = 0xFFFFFFFFu;
  VolumeContext context{reader, scan, volume, ui};

  ASSERT_TRUE(CalculatePartitionParameters(context));
  EXPECT_EQ(volume.sectorsPerCluster, 32u);
  EXPECT_EQ(volume.clusterBase, 0xFFFFFFF0u - 3 * 32);
}

TEST_F(CalculateParametersTest, PairsThatCannotFitAreSkipped) {
  ByteImage image(3000);
  PutDirectoryStart(image, 500, 30);
  PutDirectoryStart(image, 600, 10);   // cluster below the reference's
  PutDirectoryStart(image, 700, 30);   // same cluster as the reference
  PutDirectoryStart(image, 800, 900);  // cluster beyond its own sector
  EXPECT_FALSE(Calculate(image, FsType::fat32, 0, 3000));
  EXPECT_FALSE(ui.stopVisible);
  EXPECT_FALSE(ui.progressVisible);
}

TEST_F(CalculateParametersTest, ClusterSizeMustBeAPowerOfTwo) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .totalSectors = 3000, .sectorsPerCluster = 1});
  fat.InitDirectory(10, 0);
  // A directory claiming cluster 11 three sectors later: 3 sectors per cluster.
  image.PutBytes((fat.ClusterSector(10) + 3) * kSectorSize, image.Sector(fat.ClusterSector(10)));
  image.Put16((fat.ClusterSector(10) + 3) * kSectorSize + 0x1A, 11);
  EXPECT_FALSE(Calculate(image, FsType::fat32, 0, 3000));
}

TEST_F(CalculateParametersTest, StopEndsTheSweepAndNonFatTypesAreRefused) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .totalSectors = 3000});
  fat.InitDirectory(9, 0);
  fat.InitDirectory(10, 9);
  scan.stopRequested = true;
  EXPECT_FALSE(Calculate(image, FsType::fat32, 0, 3000));
  scan.stopRequested = false;
  EXPECT_FALSE(Calculate(image, FsType::ntfs, 0, 3000));
}

TEST(DirectoryStart, NeedsDotAndDotDotPaddedWithSpaces) {
  ByteImage image(1);
  image.PutText(0, ".          ");
  image.PutText(32, "..         ");
  EXPECT_TRUE(IsDirectoryStart(image.Sector(0)));
  image.Put8(40, 'X');
  EXPECT_FALSE(IsDirectoryStart(image.Sector(0)));
}

}  // namespace
}  // namespace salvex
