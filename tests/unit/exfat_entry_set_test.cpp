// exFAT entry sets decoded from crafted directory bytes: live and deleted
// sets (and their checksums), one row per way a set is rejected or found
// incomplete, and a directory walk over a set that crosses a cluster
// boundary.

#include "exfat/exfat_entry_set.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace salvex {
namespace {

using Entries = std::vector<std::uint8_t>;

void Put(Entries& e, std::size_t at, std::uint64_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) e[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A live entry set for `name` (ASCII or BMP characters), with a correct
// checksum: File, Stream Extension, then File Name entries.
Entries LiveSet(const std::u16string& name, std::uint16_t attributes = 0x20, std::uint8_t flags = 0x03,
                std::uint32_t firstCluster = 7, std::uint64_t dataLength = 10000, std::uint64_t valid = 9000) {
  const std::size_t nameEntries = (name.size() + 14) / 15;
  Entries e((2 + nameEntries) * 32, 0);
  e[0] = 0x85;
  e[1] = static_cast<std::uint8_t>(1 + nameEntries);
  Put(e, 4, attributes, 2);
  Put(e, 8, 0x5A8C6B2Du, 4);
  Put(e, 12, 0x5A8D0000u, 4);
  Put(e, 16, 0x5A8E0000u, 4);
  e[32] = 0xC0;
  e[33] = flags;
  e[35] = static_cast<std::uint8_t>(name.size());
  Put(e, 40, valid, 8);
  Put(e, 52, firstCluster, 4);
  Put(e, 56, dataLength, 8);
  for (std::size_t i = 0; i < nameEntries; ++i) e[64 + 32 * i] = 0xC1;
  for (std::size_t i = 0; i < name.size(); ++i) Put(e, 64 + 32 * (i / 15) + 2 + 2 * (i % 15), name[i], 2);
  Put(e, 2, ExfatSetChecksum(e), 2);
  return e;
}

void ClearInUse(Entries& e) {
  for (std::size_t at = 0; at < e.size(); at += 32) e[at] &= 0x7F;
}

struct SetCase {
  const char* name;
  std::function<void(Entries&)> change;
  ExfatSetRejection rejection;
  bool deleted = false;
  bool checksumOk = true;
  bool incomplete = false;
  std::size_t entryCount = 4;
  const char* listedName = "Отчёт квартальный-2024.txt";
};

class ExfatEntrySetTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(ExfatEntrySetTest, DecodesOrNamesWhyNot) {
  const std::u16string name = u"Отчёт квартальный-2024.txt";  // 26 units: two name entries
  Entries entries = LiveSet(name);
  GetParam().change(entries);
  const ExfatSetDecode decoded = DecodeExfatEntrySet(entries, 0);
  EXPECT_EQ(decoded.rejection, GetParam().rejection);
  ASSERT_EQ(decoded.set.has_value(), GetParam().rejection == ExfatSetRejection::none);
  if (!decoded.set) return;
  const ExfatEntrySet& set = *decoded.set;
  EXPECT_EQ(set.name, GetParam().listedName);
  EXPECT_EQ(set.entryCount, GetParam().entryCount);
  EXPECT_EQ(set.incomplete, GetParam().incomplete);
  EXPECT_EQ(set.deleted, GetParam().deleted);
  EXPECT_EQ(set.checksumOk, GetParam().checksumOk);
  EXPECT_EQ(set.firstCluster, 7u);
  EXPECT_EQ(set.dataLength, 10000u);
  EXPECT_EQ(set.validDataLength, 9000u);
  EXPECT_TRUE(set.NoFatChain());
  EXPECT_FALSE(set.IsFolder());
  EXPECT_EQ(set.modified, 0x5A8D0000u);
  EXPECT_EQ(set.accessed, 0x5A8E0000u);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, ExfatEntrySetTest,
    ::testing::Values(
        SetCase{"live", [](Entries&) {}, ExfatSetRejection::none},
        // A reserved byte of the stream entry: the checksum alone tells.
        SetCase{"liveDamaged", [](Entries& e) { e[34] ^= 1; }, ExfatSetRejection::none, false, false},
        // Deleting clears the in-use bits and leaves the checksum as it was.
        SetCase{"deleted", ClearInUse, ExfatSetRejection::none, true, true},
        SetCase{"deletedRestamped",
                [](Entries& e) {
                  ClearInUse(e);
                  Put(e, 2, ExfatSetChecksum(e), 2);
                },
                ExfatSetRejection::none, true, true},
        SetCase{"deletedDamaged",
                [](Entries& e) {
                  ClearInUse(e);
                  e[34] ^= 1;
                },
                ExfatSetRejection::none, true, false},
        SetCase{"noSecondary", [](Entries& e) { e[1] = 0; }, ExfatSetRejection::badSecondaryCount},
        SetCase{"nineteenSecondariesPastTheEnd", [](Entries& e) { e[1] = 19; }, ExfatSetRejection::truncated},
        SetCase{"truncated", [](Entries& e) { e.resize(e.size() - 32); }, ExfatSetRejection::truncated},
        SetCase{"noStream", [](Entries& e) { e[32] = 0xC1; }, ExfatSetRejection::noStream},
        SetCase{"deletedNameEntryInALiveSet", [](Entries& e) { e[96] = 0x41; }, ExfatSetRejection::none, false, false,
                true, 3, "Отчёт квартальн"},
        SetCase{"liveNameEntryInADeletedSet",
                [](Entries& e) {
                  ClearInUse(e);
                  e[96] = 0xC1;
                },
                ExfatSetRejection::mixedState},
        SetCase{"primaryInADeletedSet",
                [](Entries& e) {
                  ClearInUse(e);
                  e[96] = 0x85;
                },
                ExfatSetRejection::notSecondary},
        // A live set is kept whatever its entries say of its name.
        SetCase{"primaryInALiveSet", [](Entries& e) { e[96] = 0x85; }, ExfatSetRejection::none, false, false, true, 3,
                "Отчёт квартальн"},
        SetCase{"streamOnly", [](Entries& e) { e[1] = 1; }, ExfatSetRejection::none, false, false, true, 2, ""},
        SetCase{"nameLengthZero", [](Entries& e) { e[35] = 0; }, ExfatSetRejection::none, false, false, true},
        SetCase{"nameLongerThanItsEntries", [](Entries& e) { e[35] = 31; }, ExfatSetRejection::none, false, false, true},
        SetCase{"vendorEntryForAName", [](Entries& e) { e[96] = 0xE0; }, ExfatSetRejection::none, false, false, true,
                4, "Отчёт квартальн"},
        // Vendor entries after the name are secondaries like any other.
        SetCase{"vendorEntryAfterTheName",
                [](Entries& e) {
                  e.resize(e.size() + 32, 0);
                  e[1] = 4;
                  e[128] = 0xE0;
                  Put(e, 2, ExfatSetChecksum(e), 2);
                },
                ExfatSetRejection::none, false, true, false, 5}),
    [](const ::testing::TestParamInfo<SetCase>& param) { return std::string(param.param.name); });

TEST(ExfatDirectory, SetsAcrossClustersAndAfterGarbageAreFoundUpToTheEnd) {
  // A 512-byte "cluster" pair: the bitmap and a label first, a broken File
  // entry, a deleted folder's set, then a live set that starts in the last
  // entry of the first cluster; after the end mark one more set that was
  // never used.
  Entries directory(1024, 0);
  directory[0] = 0x81;
  Put(directory, 20, 2, 4);
  Put(directory, 24, 128, 8);
  directory[32] = 0x83;
  directory[33] = 3;
  Put(directory, 34, u'S', 2);
  Put(directory, 36, u'D', 2);
  Put(directory, 38, u'1', 2);
  directory[64] = 0x85;  // a File entry with no secondaries
  Entries folder = LiveSet(u"Old", 0x10, 0x01, 9, 4096, 4096);
  ClearInUse(folder);
  std::copy(folder.begin(), folder.end(), directory.begin() + 96);
  for (std::size_t at = 192; at < 480; at += 32) directory[at] = 0x41;  // stray deleted name entries
  const Entries crossing = LiveSet(u"crossing.bin");
  std::copy(crossing.begin(), crossing.end(), directory.begin() + 480);
  const Entries unused = LiveSet(u"never.bin");
  std::copy(unused.begin(), unused.end(), directory.begin() + 608);

  const ExfatDirectoryContents all = DecodeExfatDirectory(directory, true);
  ASSERT_TRUE(all.bitmap.has_value());
  EXPECT_EQ(all.bitmap->firstCluster, 2u);
  EXPECT_EQ(all.bitmap->dataLength, 128u);
  EXPECT_EQ(all.label, "SD1");
  EXPECT_TRUE(all.endSeen);
  ASSERT_EQ(all.sets.size(), 2u);
  EXPECT_EQ(all.sets[0].name, "Old");
  EXPECT_TRUE(all.sets[0].deleted && all.sets[0].IsFolder() && all.sets[0].checksumOk);
  EXPECT_EQ(all.sets[1].name, "crossing.bin");
  EXPECT_EQ(all.sets[1].offset, 480u);
  EXPECT_FALSE(all.sets[1].deleted);

  const ExfatDirectoryContents live = DecodeExfatDirectory(directory, false);
  ASSERT_EQ(live.sets.size(), 1u);
  EXPECT_EQ(live.sets[0].name, "crossing.bin");
}

}  // namespace
}  // namespace salvex
