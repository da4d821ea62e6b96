#include "fat/directory_entry.h"

#include <gtest/gtest.h>

#include <random>

#include "support/byte_image.h"

namespace salvex {
namespace {

using testing::DosDate;
using testing::EntryBytes;
using testing::MakeShortEntry;

constexpr EntryLimits kLimits{.lastCluster = 1000, .dataAreaBytes = 1000 * 512};

EntryBytes ValidFile() { return MakeShortEntry({"REPORT  DOC", 0x20, 77, 1234}); }

struct FaultCase {
  const char* what;
  std::size_t offset;
  std::uint8_t value;
  EntryFault fault;
  bool keptInADirectory;  // drivers write such entries: in a directory they stay files
};

class PlausibilityTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(PlausibilityTest, RejectsFieldsNoDriverWritesButKeepsOddFilesOfADirectory) {
  const FaultCase& c = GetParam();
  EntryBytes entry = ValidFile();
  ASSERT_EQ(CheckEntryPlausibility(entry, 77, kLimits), EntryFault::none);
  entry[c.offset] = c.value;
  EXPECT_EQ(CheckEntryPlausibility(entry, 77, kLimits), c.fault) << c.what;
  const DirectoryEntry decoded = DecodeDirectoryEntry(entry, 0, FsType::fat32, kLimits);
  EXPECT_EQ(decoded.verdict == EntryVerdict::item, c.keptInADirectory) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlausibilityTest,
    ::testing::Values(FaultCase{"attribute 0x40", 11, 0x60, EntryFault::reservedAttributeBits, true},
                      FaultCase{"attribute 0x80", 11, 0xA0, EntryFault::reservedAttributeBits, true},
                      // With clusters: a label entry, listed as a file (see below).
                      FaultCase{"volume label", 11, 0x08, EntryFault::volumeLabel, true},
                      FaultCase{"case flags", 12, 0x01, EntryFault::unknownCaseFlags, true},
                      FaultCase{"creation hundredths", 13, 200, EntryFault::invalidTime, true},
                      FaultCase{"write time hour 31", 23, 0xF8, EntryFault::invalidTime, true},
                      FaultCase{"write date month 0", 24, 0x01, EntryFault::invalidDate, true},
                      FaultCase{"access date month 15", 19, 0x01, EntryFault::invalidDate, true},
                      FaultCase{"size far beyond the volume", 31, 0x40, EntryFault::sizeBeyondVolume, false}));

TEST(Plausibility, ZeroDatesAreAllowedAndClustersAreBounded) {
  EntryBytes entry = MakeShortEntry({"A       TXT", 0x20, 5, 1, 0, 0});
  EXPECT_EQ(CheckEntryPlausibility(entry, 5, kLimits), EntryFault::none);
  EXPECT_EQ(CheckEntryPlausibility(entry, 1000, kLimits), EntryFault::none);
  EXPECT_EQ(CheckEntryPlausibility(entry, 1001, kLimits), EntryFault::clusterBeyondVolume);
  EXPECT_EQ(CheckEntryPlausibility(entry, 0x0FFFFFF8, EntryLimits{}), EntryFault::none) << "no limits known";
}

// A volume label entry is the volume's name, unless it holds clusters: then
// it is a file, marked as a label entry, so that data hidden there is found.
TEST(DecodeDirectoryEntry, ALabelEntryHoldingClustersIsAFile) {
  struct Case {
    const char* what;
    std::uint8_t attributes;
    std::uint32_t firstCluster;
    std::uint32_t size;
    EntryVerdict verdict;
  };
  const Case cases[] = {
      {"the volume's name", 0x08, 0, 0, EntryVerdict::implausible},
      {"a first cluster and a size", 0x08, 77, 1234, EntryVerdict::item},
      {"a size alone", 0x28, 0, 100, EntryVerdict::item},
      {"a label and folder bit", 0x18, 12, 0, EntryVerdict::item},
      {"a cluster past the volume", 0x08, 1001, 10, EntryVerdict::implausible},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const EntryBytes entry = MakeShortEntry({"HIDDEN  DAT", c.attributes, c.firstCluster, c.size});
    const DirectoryEntry decoded = DecodeDirectoryEntry(entry, 0, FsType::fat32, kLimits);
    EXPECT_EQ(decoded.verdict, c.verdict);
    if (decoded.verdict != EntryVerdict::item) continue;
    EXPECT_TRUE(decoded.labelEntry);
    EXPECT_FALSE(decoded.isFolder);
    EXPECT_EQ(decoded.name, "HIDDEN.DAT");
    EXPECT_EQ(decoded.firstCluster, c.firstCluster);
  }
}

// A sector holding `entries` from entry 0 on.
std::vector<std::uint8_t> Sector(const std::vector<EntryBytes>& entries) {
  std::vector<std::uint8_t> sector(512, 0);
  for (std::size_t i = 0; i < entries.size(); ++i) std::copy(entries[i].begin(), entries[i].end(), sector.begin() + i * 32);
  return sector;
}

TEST(DecodeDirectoryEntry, SortsEntriesByWhatTheyAre) {
  std::vector<EntryBytes> entries{
      MakeShortEntry({"EMPTY   TXT", 0x20, 0, 0}),       // empty file: no first cluster, still a file
      MakeShortEntry({"VOLUME     ", 0x08, 0, 0}),       // volume label
      MakeShortEntry({"WHAT\x01   TXT", 0x20, 9, 10}),   // a control character cannot stand in a name
      MakeShortEntry({"DOCS       ", 0x10, 12, 0}),
  };
  for (const EntryBytes& entry : testing::MakeLongNameEntries(u"Отчёт.doc", "_____   DOC")) entries.push_back(entry);
  EntryBytes shortOfLong = MakeShortEntry({"_____   DOC", 0x20, 0x00120034, 99, DosDate(2006, 12, 28), DosDate(2007, 1, 2)});
  entries.push_back(shortOfLong);
  const std::vector<std::uint8_t> sector = Sector(entries);

  const DirectoryEntry empty = DecodeDirectoryEntry(sector, 0, FsType::fat32, kLimits);
  EXPECT_EQ(empty.verdict, EntryVerdict::item);
  EXPECT_EQ(empty.firstCluster, 0u);
  EXPECT_EQ(DecodeDirectoryEntry(sector, 1, FsType::fat32, kLimits).fault, EntryFault::volumeLabel);
  EXPECT_EQ(DecodeDirectoryEntry(sector, 2, FsType::fat32, kLimits).verdict, EntryVerdict::unacceptableName);
  const DirectoryEntry folder = DecodeDirectoryEntry(sector, 3, FsType::fat32, kLimits);
  EXPECT_EQ(folder.verdict, EntryVerdict::item);
  EXPECT_TRUE(folder.isFolder);
  EXPECT_EQ(folder.name, "DOCS");
  EXPECT_EQ(DecodeDirectoryEntry(sector, 4, FsType::fat32, kLimits).verdict, EntryVerdict::longNameEntry);

  const DirectoryEntry file = DecodeDirectoryEntry(sector, 5, FsType::fat32, EntryLimits{});
  EXPECT_EQ(file.verdict, EntryVerdict::item);
  EXPECT_EQ(file.name, "Отчёт.doc");
  EXPECT_EQ(file.firstCluster, 0x00120034u);
  EXPECT_EQ(file.size, 99u);
  EXPECT_EQ(file.writeDate, DosDate(2006, 12, 28));
  EXPECT_EQ(file.accessDate, DosDate(2007, 1, 2));
  EXPECT_FALSE(file.deletedMark);
  // FAT16 ignores the high half of the cluster number.
  EXPECT_EQ(DecodeDirectoryEntry(sector, 5, FsType::fat16, EntryLimits{}).firstCluster, 0x34u);
  EXPECT_EQ(DecodeDirectoryEntry(sector, 6, FsType::fat32, kLimits).verdict, EntryVerdict::endOfDirectory);
}

TEST(DecodeDirectoryEntry, DeletedEntryKeepsItsLongName) {
  std::vector<EntryBytes> entries = testing::MakeLongNameEntries(u"old report.doc", "OLDREP~1DOC", true);
  EntryBytes deleted = MakeShortEntry({"OLDREP~1DOC", 0x20, 40, 100});
  deleted[0] = 0xE5;
  entries.push_back(deleted);
  entries.push_back(deleted);
  entries[entries.size() - 2][11] = 0x20;
  const std::vector<std::uint8_t> sector = Sector(entries);
  const DirectoryEntry withName = DecodeDirectoryEntry(sector, 2, FsType::fat32, kLimits);
  EXPECT_EQ(withName.name, "old report.doc");
  EXPECT_TRUE(withName.deletedMark);
  const DirectoryEntry withoutName = DecodeDirectoryEntry(sector, 3, FsType::fat32, kLimits);
  EXPECT_EQ(withoutName.name, "xLDREP~1.DOC");
}

struct HostileNameCase {
  std::u16string longName;  // empty: none
  std::string name11;
  const char* listedAs;     // nullptr: not an item
};

class HostileNameTest : public ::testing::TestWithParam<HostileNameCase> {};

// The short entry decides whether there is a file; the long name, when it is
// text at all, is its name, whatever characters it holds.
TEST_P(HostileNameTest, AnEntryWithASoundShortNameIsKept) {
  const HostileNameCase& c = GetParam();
  std::vector<EntryBytes> entries = testing::MakeLongNameEntries(c.longName, c.name11);
  if (c.longName.empty()) entries.clear();
  entries.push_back(MakeShortEntry({c.name11, 0x20, 40, 100}));
  const DirectoryEntry entry =
      DecodeDirectoryEntry(Sector(entries), static_cast<unsigned>(entries.size() - 1), FsType::fat32, kLimits);
  if (!c.listedAs) {
    EXPECT_EQ(entry.verdict, EntryVerdict::unacceptableName);
    return;
  }
  EXPECT_EQ(entry.verdict, EntryVerdict::item);
  EXPECT_EQ(entry.name, c.listedAs);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileNameTest,
    ::testing::Values(HostileNameCase{u"esc\x1b[31m.txt", "ESC31M~1TXT", "esc\x1b[31m.txt"},
                      HostileNameCase{u"two\nlines\t.txt", "TWOLIN~1TXT", "two\nlines\t.txt"},
                      HostileNameCase{u"a/b\\c.txt", "ABC~1   TXT", "a/b\\c.txt"},
                      // A lone surrogate is no text: the short name stands in.
                      HostileNameCase{std::u16string{u'x', char16_t(0xD800), u'.', u't'}, "X~1     T  ", "X~1.T"},
                      HostileNameCase{u"", "A/B     TXT", "A/B.TXT"},
                      // A live entry with a character FAT forbids is still a file.
                      HostileNameCase{u"", "A?B     TXT", "A?B.TXT"},
                      HostileNameCase{u"", "A\x01" "B     TXT", nullptr},
                      // A clean long name vouches for a short name no driver writes...
                      HostileNameCase{u"fine.txt", "A?B     TXT", "fine.txt"},
                      // ...one with control characters does not.
                      HostileNameCase{u"esc\x1b.txt", "A\x01" "B     TXT", nullptr}));

TEST(DecodeDirectoryEntry, RandomBytesRarelyPassForEntries) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<std::uint8_t> sector(512);
  int items = 0;
  int entries = 0;
  for (int round = 0; round < 2000; ++round) {
    for (auto& b : sector) b = static_cast<std::uint8_t>(byte(random));
    for (unsigned index = 0; index < 16; ++index, ++entries) {
      const EntryLimits limits{.lastCluster = 65000, .dataAreaBytes = 65000ull * 4096};
      if (DecodeDirectoryEntry(sector, index, FsType::fat32, limits).verdict == EntryVerdict::item) ++items;
    }
  }
  EXPECT_LT(items, entries / 10000) << items << " of " << entries << " random entries passed";
}

}  // namespace
}  // namespace salvex
