#include "disk/sector_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/faulty_disk_source.h"
#include "support/byte_image.h"

namespace salvex {
namespace {

using testing::ByteImage;

// A 16-sector disk whose sector n is filled with the byte n + 1.
class SectorReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ByteImage image(16);
    for (std::uint64_t sector = 0; sector < 16; ++sector) image.FillSector(sector, static_cast<std::uint8_t>(sector + 1));
    auto faulty = std::make_unique<FaultyDiskSource>(image.Source());
    disk = faulty.get();
    reader.Open(std::move(faulty));
  }

  std::vector<std::uint8_t> Buffer(std::uint32_t sectors, std::uint8_t fill = 0xEE) {
    return std::vector<std::uint8_t>(sectors * kSectorSize, fill);
  }

  static bool SectorHolds(const std::vector<std::uint8_t>& buffer, std::size_t index, std::uint8_t value) {
    return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(index * kSectorSize),
                       buffer.begin() + static_cast<std::ptrdiff_t>((index + 1) * kSectorSize),
                       [&](std::uint8_t b) { return b == value; });
  }

  std::uint16_t retries = 3;
  SectorReader reader{retries};
  FaultyDiskSource* disk = nullptr;
};

TEST_F(SectorReaderTest, ReadsABlockInOneRequest) {
  auto buffer = Buffer(4);
  EXPECT_TRUE(reader.ReadSectors(2, 4, buffer));
  for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(SectorHolds(buffer, i, static_cast<std::uint8_t>(3 + i)));
  EXPECT_EQ(disk->Requests().size(), 1u);
}

TEST_F(SectorReaderTest, ZeroSectorsSucceed) {
  auto buffer = Buffer(1);
  EXPECT_TRUE(reader.ReadSectors(5, 0, buffer));
  EXPECT_TRUE(SectorHolds(buffer, 0, 0xEE));
}

TEST_F(SectorReaderTest, UnreadableMiddleSectorIsSkippedAndTheResultFollowsTheLastSector) {
  disk->FailSector(5);
  auto buffer = Buffer(3);
  EXPECT_TRUE(reader.ReadSectors(4, 3, buffer));
  EXPECT_TRUE(SectorHolds(buffer, 0, 5));
  EXPECT_TRUE(SectorHolds(buffer, 1, 0xEE)) << "the unreadable sector's bytes are left as they were";
  EXPECT_TRUE(SectorHolds(buffer, 2, 7));
  // One block request, then sector 4 once, sector 5 three times, sector 6 once.
  EXPECT_EQ(disk->Requests().size(), 1u + 1 + 3 + 1);
}

TEST_F(SectorReaderTest, UnreadableLastSectorFailsTheWholeCall) {
  disk->FailSector(6);
  auto buffer = Buffer(3);
  EXPECT_FALSE(reader.ReadSectors(4, 3, buffer));
  EXPECT_TRUE(SectorHolds(buffer, 0, 5));
  EXPECT_TRUE(SectorHolds(buffer, 1, 6));
}

TEST_F(SectorReaderTest, NoRetriesMeansNoSingleSectorReads) {
  retries = 0;
  disk->FailSector(5);
  auto buffer = Buffer(3);
  EXPECT_FALSE(reader.ReadSectors(4, 3, buffer));
  EXPECT_EQ(disk->Requests().size(), 1u);
}

TEST_F(SectorReaderTest, RetriesFollowTheSettingAtTheMomentOfTheRead) {
  // The block request uses up the first failure; each single attempt one more.
  disk->FailSectorTimes(8, 3);
  auto buffer = Buffer(1);
  retries = 1;
  EXPECT_FALSE(reader.ReadSectors(8, 1, buffer));
  retries = 3;
  EXPECT_TRUE(reader.ReadSectors(8, 1, buffer));
  EXPECT_TRUE(SectorHolds(buffer, 0, 9));
}

TEST_F(SectorReaderTest, ReadsPastTheEndOfTheDiskFail) {
  auto buffer = Buffer(2);
  EXPECT_FALSE(reader.ReadSectors(15, 2, buffer));
  EXPECT_TRUE(SectorHolds(buffer, 0, 16)) << "the sector that exists is still read";
}

TEST_F(SectorReaderTest, FailsWithoutAnOpenDiskOrWithATooSmallBuffer) {
  auto small = Buffer(1);
  EXPECT_FALSE(reader.ReadSectors(0, 2, small));
  reader.Close();
  EXPECT_FALSE(reader.ReadSectors(0, 1, small));
  EXPECT_TRUE(SectorHolds(small, 0, 0xEE));
}

TEST_F(SectorReaderTest, ZeroedReadTurnsAnUnreadableSectorIntoZeros) {
  disk->FailSector(3);
  auto buffer = Buffer(1);
  EXPECT_FALSE(ReadSectorsZeroed(reader, 3, 1, buffer));
  EXPECT_TRUE(SectorHolds(buffer, 0, 0));
}

}  // namespace
}  // namespace salvex
