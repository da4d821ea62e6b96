// GUID partition tables on crafted bytes: which headers are refused and why,
// the backup taken when the primary is damaged, and partitions past 2 TiB.
// Tables made by sfdisk are read in tests/integration/partition_discovery_test.cpp.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "common/crc32.h"
#include "partition/gpt_table.h"
#include "partition/gpt_walk.h"
#include "partition/partition_selection.h"
#include "support/sparse_disk_source.h"

namespace salvex {
namespace {

using testing::SparseDiskSource;

constexpr std::uint32_t kEntryCount = 4;  // one sector of 128-byte entries

constexpr std::array<std::uint8_t, 16> kBasicData = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                                     0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
constexpr std::array<std::uint8_t, 16> kEfiSystem = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                                     0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
constexpr std::array<std::uint8_t, 16> kLinux = {0xAF, 0x3D, 0xC6, 0x0F, 0x83, 0x84, 0x72, 0x47,
                                                 0x8E, 0x79, 0x3D, 0x69, 0xD8, 0x47, 0x7D, 0xE4};

void Put32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Put64(std::span<std::uint8_t> bytes, std::size_t at, std::uint64_t value) {
  Put32(bytes, at, static_cast<std::uint32_t>(value));
  Put32(bytes, at + 4, static_cast<std::uint32_t>(value >> 32));
}

struct Entry {
  std::array<std::uint8_t, 16> type;
  std::uint64_t first;
  std::uint64_t last;
};

SectorBuffer EntriesSector(const std::vector<Entry>& entries) {
  SectorBuffer sector{};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::copy(entries[i].type.begin(), entries[i].type.end(), sector.begin() + 128 * i);
    Put64(sector, 128 * i + 32, entries[i].first);
    Put64(sector, 128 * i + 40, entries[i].last);
  }
  return sector;
}

// The header's CRC over its 92 bytes, with its own field zero.
void Seal(SectorBuffer& header) {
  Put32(header, 16, 0);
  Put32(header, 16, Crc32(std::span(header).first(92)));
}

SectorBuffer Header(std::uint64_t lba, std::uint64_t entriesLba, const SectorBuffer& entries) {
  SectorBuffer header{};
  std::copy_n("EFI PART", 8, header.begin());
  Put32(header, 8, 0x00010000);
  Put32(header, 12, 92);
  Put64(header, 24, lba);
  Put64(header, 72, entriesLba);
  Put32(header, 80, kEntryCount);
  Put32(header, 84, 128);
  Put32(header, 88, Crc32(entries));
  Seal(header);
  return header;
}

TEST(Crc32, GivesTheCheckValueOfZlibsCrc) {
  constexpr std::string_view kCheck = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(kCheck.data());
  EXPECT_EQ(Crc32({bytes, kCheck.size()}), 0xCBF43926u);
  EXPECT_EQ(Crc32({bytes + 4, 5}, Crc32({bytes, 4})), 0xCBF43926u);
}

struct HeaderCase {
  const char* name;
  void (*damage)(SectorBuffer& header);
  GptHeaderCheck expected;
};

const HeaderCase kHeaderCases[] = {
    {"Sound", [](SectorBuffer&) {}, GptHeaderCheck::valid},
    {"NoSignature", [](SectorBuffer& h) { h[0] = 'X'; }, GptHeaderCheck::noSignature},
    {"HeaderTooShort", [](SectorBuffer& h) { Put32(h, 12, 91); }, GptHeaderCheck::badHeaderSize},
    {"HeaderLongerThanItsSector", [](SectorBuffer& h) { Put32(h, 12, 513); }, GptHeaderCheck::badHeaderSize},
    {"ByteChangedUnderTheCrc", [](SectorBuffer& h) { h[60] ^= 1; }, GptHeaderCheck::badHeaderCrc},
    {"ClaimsAnotherLba", [](SectorBuffer& h) { Put64(h, 24, 7); Seal(h); }, GptHeaderCheck::wrongLocation},
    {"EntriesOfOddSize", [](SectorBuffer& h) { Put32(h, 84, 100); Seal(h); }, GptHeaderCheck::badEntryLayout},
    {"EntriesFillingGigabytes", [](SectorBuffer& h) { Put32(h, 80, 0x1000000); Seal(h); },
     GptHeaderCheck::badEntryLayout},
};

void PrintTo(const HeaderCase& row, std::ostream* out) { *out << row.name; }

class GptHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(GptHeaderTest, SaysWhyAHeaderIsRefused) {
  SectorBuffer header = Header(1, 2, EntriesSector({}));
  GetParam().damage(header);
  EXPECT_EQ(DecodeGptHeader(header, 1).check, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, GptHeaderTest, ::testing::ValuesIn(kHeaderCases),
                         [](const ::testing::TestParamInfo<HeaderCase>& param) { return param.param.name; });

// A 3 TiB disk whose primary header is gone and whose backup names an EFI
// System partition, a Linux one, a Linux one holding NTFS, and a basic-data
// partition past 2 TiB.
TEST(GptWalk, TakesTheBackupWhenThePrimaryIsDamagedAndKeepsWhatLiesPast2TiB) {
  constexpr std::uint64_t kSectors = std::uint64_t{3} << 31;  // 3 TiB
  constexpr std::uint64_t kFar = (std::uint64_t{1} << 32) + 2048;
  const SectorBuffer entries = EntriesSector({{kEfiSystem, 2048, 4095},
                                              {kLinux, 4096, 8191},
                                              {kLinux, 8192, 16383},
                                              {kBasicData, kFar, kFar + 999}});
  auto disk = std::make_unique<SparseDiskSource>(kSectors);
  SectorBuffer ntfs{};
  std::copy_n("NTFS    ", 8, ntfs.begin() + 3);
  ntfs[510] = 0x55;
  ntfs[511] = 0xAA;
  disk->Put(8192, ntfs);
  SectorBuffer damaged = Header(1, 2, entries);
  damaged[40] ^= 1;
  disk->Put(1, damaged);
  disk->Put(kSectors - 2, entries);
  disk->Put(kSectors - 1, Header(kSectors - 1, kSectors - 2, entries));
  const std::uint16_t retries = 0;
  SectorReader reader(retries);
  reader.Open(std::move(disk));
  PartitionTable table;

  ASSERT_TRUE(WalkGpt(reader, table));

  ASSERT_EQ(table.partitionCount, 3u);
  const PartitionRecord& efi = table.records[0];
  EXPECT_EQ(std::make_tuple(efi.startSector, efi.sectorCount, efi.fsType), std::make_tuple(2048u, 2048u, FsType::fat32));
  const PartitionRecord& linuxNtfs = table.records[1];
  EXPECT_EQ(std::make_tuple(linuxNtfs.startSector, linuxNtfs.sectorCount, linuxNtfs.fsType),
            std::make_tuple(8192u, 8192u, FsType::ntfs));
  const PartitionRecord& far = table.records[2];
  // Basic data without a boot sector says nothing of its file system.
  EXPECT_EQ(std::make_tuple(far.startSector, far.sectorCount, far.fsType, far.noFileSystem),
            std::make_tuple(kFar, std::uint64_t{1000}, FsType::none, true));
  ScanState scan;
  EXPECT_TRUE(SelectPartition(scan, table, 0));
  EXPECT_FALSE(SelectPartition(scan, table, 2));
  EXPECT_EQ(scan.rangeStart, 2048u);
  // Past 2 TiB, an Advance Scan sweeps it with its whole 64-bit extent.
  scan.scanType = ScanType::advance;
  ASSERT_TRUE(SelectPartition(scan, table, 2));
  EXPECT_EQ(std::make_tuple(scan.rangeStart, scan.rangeSize, scan.rangeEnd),
            std::make_tuple(kFar, std::uint64_t{1000}, kFar + 999));
}

TEST(GptWalk, EntriesThatFailTheirCrcInBothCopiesGiveNothing) {
  SectorBuffer entries = EntriesSector({{kBasicData, 2048, 4095}});
  const SectorBuffer primary = Header(1, 2, entries);
  entries[40] ^= 1;
  auto disk = std::make_unique<SparseDiskSource>(8192);
  disk->Put(1, primary);
  disk->Put(2, entries);
  disk->Put(8190, entries);
  disk->Put(8191, Header(8191, 8190, EntriesSector({{kBasicData, 2048, 4095}})));
  const std::uint16_t retries = 0;
  SectorReader reader(retries);
  reader.Open(std::move(disk));
  PartitionTable table;
  table.Add({63, 100, FsType::fat16, 0});

  EXPECT_FALSE(WalkGpt(reader, table));
  EXPECT_EQ(table.partitionCount, 0u);
}

}  // namespace
}  // namespace salvex
