#include "volume/read_volume_parameters.h"

#include <gtest/gtest.h>

#include "support/byte_image.h"
#include "support/fat_volume_builder.h"
#include "support/volume_range_test.h"

namespace salvex {
namespace {

using testing::ByteImage;
using testing::FatGeometry;
using testing::FatVolumeBuilder;

void ExpectSameGeometry(const VolumeParameters& actual, const VolumeParameters& expected) {
  EXPECT_EQ(actual.fsType, expected.fsType);
  EXPECT_EQ(actual.sectorsPerFat, expected.sectorsPerFat);
  EXPECT_EQ(actual.sectorsPerCluster, expected.sectorsPerCluster);
  EXPECT_EQ(actual.rootDirSectors, expected.rootDirSectors);
  EXPECT_EQ(actual.rootDirStart, expected.rootDirStart);
  EXPECT_EQ(actual.reservedSectors, expected.reservedSectors);
  EXPECT_EQ(actual.clusterBase, expected.clusterBase);
  EXPECT_EQ(actual.fat1Start, expected.fat1Start);
  EXPECT_EQ(actual.fat2Start, expected.fat2Start);
}

class ReadVolumeParametersTest : public testing::VolumeRangeTest {
 protected:
  bool Read(const ByteImage& image, FsType type, std::uint32_t start, std::uint32_t size) {
    VolumeContext context = Context(image, type, start, size);
    return ReadVolumeParameters(context);
  }
};

TEST_F(ReadVolumeParametersTest, Fat32FromTheBootSector) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .startSector = 100, .totalSectors = 2900, .sectorsPerCluster = 4});
  ASSERT_TRUE(Read(image, FsType::fat32, 100, 2900));
  ExpectSameGeometry(volume, fat.Expected());
  EXPECT_EQ(volume.clusterBase, volume.fat1Start + 2 * volume.sectorsPerFat - 2 * 4);
}

TEST_F(ReadVolumeParametersTest, Fat32FallsBackToTheBackupBootSector) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .startSector = 100, .totalSectors = 2900});
  image.FillSector(100, 0);  // primary boot sector wiped
  ASSERT_TRUE(Read(image, FsType::fat32, 100, 2900));
  ExpectSameGeometry(volume, fat.Expected());
}

TEST_F(ReadVolumeParametersTest, Fat32TakesTheBackupWhenThePrimaryMissesFat2) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .startSector = 100, .totalSectors = 2900});
  image.Put32(100 * kSectorSize + 0x24, fat.Geometry().sectorsPerFat + 3);  // wrong FAT size in the primary
  ASSERT_TRUE(Read(image, FsType::fat32, 100, 2900));
  ExpectSameGeometry(volume, fat.Expected());
}

TEST_F(ReadVolumeParametersTest, RemovableMediaByteInFat2Fails) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .startSector = 100, .totalSectors = 2900});
  image.Put8(std::uint64_t{fat.Fat2Start()} * kSectorSize, 0xF0);
  EXPECT_FALSE(Read(image, FsType::fat32, 100, 2900));
}

TEST_F(ReadVolumeParametersTest, ZeroSectorsPerClusterIsNotAGeometry) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat32, .startSector = 100, .totalSectors = 2900});
  image.Put8(100 * kSectorSize + 0x0D, 0);
  image.Put8(106 * kSectorSize + 0x0D, 0);
  EXPECT_FALSE(Read(image, FsType::fat32, 100, 2900));

  ByteImage fat16Image(3000);
  FatVolumeBuilder fat16(fat16Image, {.type = FsType::fat16, .totalSectors = 3000, .reservedSectors = 1});
  fat16Image.Put8(0x0D, 0);
  EXPECT_FALSE(Read(fat16Image, FsType::fat16, 0, 3000));
}

TEST_F(ReadVolumeParametersTest, Fat32KeepsAFatLargerThan65535Sectors) {
  const std::uint32_t sectorsPerFat = 70000;
  ByteImage image(32 + 2 * sectorsPerFat + 64);
  FatVolumeBuilder fat(image, {.type = FsType::fat32,
                               .totalSectors = static_cast<std::uint32_t>(image.SectorCount()),
                               .sectorsPerFat = sectorsPerFat});
  ASSERT_TRUE(Read(image, FsType::fat32, 0, static_cast<std::uint32_t>(image.SectorCount())));
  EXPECT_EQ(volume.sectorsPerFat, sectorsPerFat);
  EXPECT_EQ(volume.fat2Start, 32u + sectorsPerFat);
}

// A root whose last sector is partly used holds it whole: the data area
// begins after it.
TEST_F(ReadVolumeParametersTest, Fat16RootDirectoryTakesWholeSectors) {
  for (const auto& [entries, sectors] : {std::pair{512u, 32u}, std::pair{200u, 13u}}) {
    ByteImage image(3000);
    FatVolumeBuilder fat(image, {.type = FsType::fat16, .startSector = 63, .totalSectors = 2900,
                                 .sectorsPerCluster = 2, .reservedSectors = 4, .rootEntries = entries});
    ASSERT_TRUE(Read(image, FsType::fat16, 63, 2900));
    EXPECT_EQ(volume.rootDirSectors, sectors);
    EXPECT_EQ(volume.rootDirStart, fat.Fat16RootStart());
    EXPECT_EQ(volume.clusterBase, fat.Fat16RootStart() + sectors - 4);
  }
}

TEST_F(ReadVolumeParametersTest, Fat16HasNoBackup) {
  ByteImage image(3000);
  FatVolumeBuilder fat(image, {.type = FsType::fat16, .totalSectors = 3000, .reservedSectors = 8});
  image.Put8(510, 0);
  EXPECT_FALSE(Read(image, FsType::fat16, 0, 3000));
}

TEST_F(ReadVolumeParametersTest, OtherTypesOnlySetTheTypeCode) {
  ByteImage image(10);
  volume.sectorsPerCluster = 77;
  EXPECT_TRUE(Read(image, static_cast<FsType>(150), 0, 10));
  EXPECT_EQ(static_cast<int>(volume.fsType), 150);
  EXPECT_EQ(volume.sectorsPerCluster, 77u);
}

// An NTFS volume of 400 sectors at sector 0: boot sector, its copy in the
// last sector, $MFT at cluster 4 and $MFTMirr at cluster 20 (8 sectors each).
class NtfsVolumeParametersTest : public ReadVolumeParametersTest {
 protected:
  static void PutNtfsBoot(ByteImage& image, std::uint64_t sector, std::uint8_t sectorsPerCluster,
                          std::uint32_t indexBuffer = 0xF4) {
    const std::uint64_t base = sector * kSectorSize;
    image.PutText(base + 3, "NTFS    ");
    image.Put8(base + 0x0D, sectorsPerCluster);
    image.Put32(base + 0x30, 4);
    image.Put32(base + 0x38, 20);
    image.Put32(base + 0x44, indexBuffer);
    image.PutBootSignature(sector);
  }

  ByteImage MakeVolume() {
    ByteImage image(400);
    PutNtfsBoot(image, 0, 8);
    PutNtfsBoot(image, 399, 8);
    image.PutText(32 * kSectorSize, "FILE0");
    image.PutText(160 * kSectorSize, "FILE0");
    return image;
  }
};

TEST_F(NtfsVolumeParametersTest, LocatesMftAndMirror) {
  ASSERT_TRUE(Read(MakeVolume(), FsType::ntfs, 0, 400));
  EXPECT_EQ(volume.sectorsPerCluster, 8u);
  EXPECT_EQ(volume.clusterBase, 0u);
  EXPECT_EQ(volume.mftStart, 32u);
  EXPECT_EQ(volume.mftMirrStart, 160u);
  EXPECT_EQ(volume.ntfsConst2, 2u);
  EXPECT_EQ(volume.indexBufferSectors, 8u);
}

TEST_F(NtfsVolumeParametersTest, TakesTheCopyWhenThePrimaryClusterSizeIsInvalid) {
  ByteImage image = MakeVolume();
  image.Put8(0x0D, 3);
  PutNtfsBoot(image, 399, 8, 2);
  ASSERT_TRUE(Read(image, FsType::ntfs, 0, 400));
  EXPECT_EQ(volume.sectorsPerCluster, 8u);
  EXPECT_EQ(volume.indexBufferSectors, 16u) << "the index size comes from the copy read last";
}

TEST_F(NtfsVolumeParametersTest, MirrorAloneIsEnough) {
  ByteImage image = MakeVolume();
  image.FillSector(32, 0);
  ASSERT_TRUE(Read(image, FsType::ntfs, 0, 400));
  EXPECT_EQ(volume.mftStart, 0u);
  EXPECT_EQ(volume.mftMirrStart, 160u);

  image.FillSector(160, 0);
  EXPECT_FALSE(Read(image, FsType::ntfs, 0, 400));
}

}  // namespace
}  // namespace salvex
