#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/utf.h"
#include "fat/long_name.h"
#include "fat/short_name.h"
#include "support/byte_image.h"

namespace salvex {
namespace {

using testing::EntryBytes;
using testing::MakeLongNameEntries;
using testing::MakeShortEntry;

struct ShortNameCase {
  std::string name11;
  std::uint8_t caseFlags;
  std::string expected;  // UTF-8
};

class ShortNameTest : public ::testing::TestWithParam<ShortNameCase> {};

TEST_P(ShortNameTest, Decodes) {
  const ShortNameCase& c = GetParam();
  const EntryBytes entry = MakeShortEntry({.name11 = c.name11, .caseFlags = c.caseFlags});
  EXPECT_EQ(Utf16ToUtf8(DecodeShortName(entry)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShortNameTest,
    ::testing::Values(ShortNameCase{"REPORT  DOC", 0, "REPORT.DOC"},
                      ShortNameCase{"README     ", 0, "README"},
                      ShortNameCase{"MY FILE TXT", 0, "MYFILE.TXT"},           // inner blanks are dropped
                      ShortNameCase{"\xE5" "EPORT  TXT", 0, "xEPORT.TXT"},     // deleted entry
                      ShortNameCase{"README  TXT", 0x18, "readme.txt"},
                      ShortNameCase{"README  TXT", 0x08, "readme.TXT"},
                      ShortNameCase{"README  TXT", 0x10, "README.txt"},
                      ShortNameCase{"CAF\x90    TXT", 0x18, "café.txt"},       // code page 850 with case flags
                      ShortNameCase{"CAF\x90    TXT", 0, "CAFÉ.TXT"},
                      ShortNameCase{"\x05" "BC     TXT", 0, "ÕBC.TXT"},        // 0x05 stands for 0xE5
                      ShortNameCase{"\x9E" "       TXT", 0x18, "×.txt"}));      // no lower case for ×

TEST(Cp850, MapsTheHighHalf) {
  EXPECT_EQ(Cp850ToUnicode('A'), u'A');
  EXPECT_EQ(Cp850ToUnicode(0x82), u'é');
  EXPECT_EQ(Cp850ToUnicode(0xA5), u'Ñ');
  EXPECT_EQ(Cp850ToUnicode(0xE1), u'ß');
  EXPECT_EQ(Cp850ToUnicode(0xFF), u'\u00A0');
}

// Directory entries laid out one after the other, as in a sector.
std::vector<std::uint8_t> Entries(const std::vector<EntryBytes>& entries) {
  std::vector<std::uint8_t> bytes;
  for (const EntryBytes& entry : entries) bytes.insert(bytes.end(), entry.begin(), entry.end());
  return bytes;
}

constexpr const char* kShort = "SHORT   TXT";

std::vector<EntryBytes> WithShortEntry(std::vector<EntryBytes> longEntries) {
  longEntries.push_back(MakeShortEntry({kShort}));
  return longEntries;
}

std::string LongNameOf(const std::vector<EntryBytes>& entries) {
  const std::vector<std::uint8_t> bytes = Entries(entries);
  const auto name = AssembleLongName(bytes, static_cast<unsigned>(entries.size() - 1));
  return name ? Utf16ToUtf8(*name) : "<none>";
}

TEST(LongName, AssemblesWholeUnitsInOrder) {
  EXPECT_EQ(LongNameOf(WithShortEntry(MakeLongNameEntries(u"A long file name with spaces.text", kShort))),
            "A long file name with spaces.text");
  EXPECT_EQ(LongNameOf(WithShortEntry(MakeLongNameEntries(u"Отчёт.doc", kShort))), "Отчёт.doc");
  EXPECT_EQ(LongNameOf(WithShortEntry(MakeLongNameEntries(u"日本語のファイル.txt", kShort))), "日本語のファイル.txt");
  EXPECT_EQ(LongNameOf(WithShortEntry(MakeLongNameEntries(u"emoji \U0001F600.txt", kShort))), "emoji \xF0\x9F\x98\x80.txt");
  // U+0100 has a zero low byte but does not end the name.
  EXPECT_EQ(LongNameOf(WithShortEntry(MakeLongNameEntries(u"\u0100bc.txt", kShort))), "\xC4\x80" "bc.txt");
}

TEST(LongName, ThirteenCharacterNameTakesOnlyItsOwnEntry) {
  std::vector<EntryBytes> entries = MakeLongNameEntries(u"another file name.txt", kShort);
  entries.pop_back();  // keep just the other file's last part, without its own short entry
  for (const EntryBytes& entry : MakeLongNameEntries(u"exactly13.txt", kShort)) entries.push_back(entry);
  ASSERT_EQ(entries.back()[0], 0x41);
  EXPECT_EQ(LongNameOf(WithShortEntry(entries)), "exactly13.txt");
}

TEST(LongName, NoneWithoutLongNameEntriesOrAtTheRunsStart) {
  EXPECT_EQ(LongNameOf({MakeShortEntry({"A       TXT"}), MakeShortEntry({"B       TXT"})}), "<none>");
  EXPECT_EQ(LongNameOf({MakeShortEntry({"A       TXT"})}), "<none>");
}

TEST(LongName, DeletedSetsAreReadToTheirFirstPart) {
  // A deleted set has 0xE5 for every sequence byte: it ends at the entry
  // that is not a long-name entry.
  std::vector<EntryBytes> entries{MakeShortEntry({"OTHER   TXT"})};
  for (const EntryBytes& entry : MakeLongNameEntries(u"deleted report.doc", "DELETE~1DOC", true)) entries.push_back(entry);
  entries.push_back(MakeShortEntry({"\xE5" "ELETE~1DOC"}));
  EXPECT_EQ(LongNameOf(entries), "deleted report.doc");
}

// A long name belongs to its short entry only when the two agree: what a
// deleted file left in the slots before a live entry, or another entry's
// set, is not the live entry's name.
TEST(LongName, ASetThatIsNotTheShortEntrysIsNotItsName) {
  struct Case {
    const char* name;
    bool partsDeleted;
    std::string shortName11;  // the short entry as it stands on disk
    std::string checksummed;  // the short name the parts were made for
    const char* expected;
  };
  const Case cases[] = {
      {"live set, its own checksum", false, "SHORT   TXT", "SHORT   TXT", "a long name.txt"},
      {"live set, another entry's checksum", false, "SHORT   TXT", "OTHER   TXT", "<none>"},
      {"deleted set before a live entry", true, "SHORT   TXT", "SHORT   TXT", "<none>"},
      {"live set before a deleted entry", false, "\xE5" "HORT   TXT", "SHORT   TXT", "<none>"},
      {"deleted set before a deleted entry", true, "\xE5" "HORT   TXT", "SHORT   TXT", "a long name.txt"},
  };
  for (const Case& c : cases) {
    std::vector<EntryBytes> entries = MakeLongNameEntries(u"a long name.txt", c.checksummed, c.partsDeleted);
    entries.push_back(MakeShortEntry({c.shortName11}));
    EXPECT_EQ(LongNameOf(entries), c.expected) << c.name;
  }
  // Deleted parts of two sets: the one nearest the entry is its name.
  std::vector<EntryBytes> two = MakeLongNameEntries(u"first file name.txt", "FIRSTF~1TXT", true);
  for (const EntryBytes& entry : MakeLongNameEntries(u"second.txt", "SECOND  TXT", true)) two.push_back(entry);
  two.push_back(MakeShortEntry({"\xE5" "ECOND  TXT"}));
  EXPECT_EQ(LongNameOf(two), "second.txt");
}

TEST(LongName, StopsAfterTwentyEntries) {
  const std::u16string longest(300, u'n');
  std::vector<EntryBytes> entries = MakeLongNameEntries(longest, kShort);
  const std::vector<std::uint8_t> bytes = Entries(WithShortEntry(entries));
  const auto name = AssembleLongName(bytes, static_cast<unsigned>(entries.size()));
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(name->size(), 260u);
}

TEST(LongName, EmptyNameCountsAsNone) {
  EXPECT_EQ(LongNameOf(WithShortEntry(MakeLongNameEntries(u"", kShort))), "<none>");
}

struct NameCase {
  std::u16string name;
  bool acceptable;
};

class AcceptableNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(AcceptableNameTest, Judges) { EXPECT_EQ(IsAcceptableName(GetParam().name), GetParam().acceptable); }

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptableNameTest,
    ::testing::Values(NameCase{u"report.doc", true}, NameCase{u"café.txt", true}, NameCase{u"Отчёт.doc", true},
                      NameCase{u"a:b", true}, NameCase{u"...", true}, NameCase{u"\U0001F600", true},
                      NameCase{u"", false}, NameCase{u"tab\there", false}, NameCase{u"del\x7F", false},
                      NameCase{u"a\"b", false}, NameCase{u"a\\b", false}, NameCase{u"a/b", false},
                      NameCase{u"a?b", false}, NameCase{u"a*b", false}, NameCase{u"a<b", false},
                      NameCase{u"a>b", false}, NameCase{u"a|b", false}, NameCase{u"x\xFFFE", false},
                      NameCase{u"x\xFFFF", false}, NameCase{std::u16string{u'a', char16_t(0xD800)}, false},
                      NameCase{std::u16string{char16_t(0xDC00), u'a'}, false}));

}  // namespace
}  // namespace salvex
