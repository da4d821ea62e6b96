#include "items/item_rows.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/json_writer.h"
#include "items/date_format.h"
#include "items/file_type_names.h"

namespace salvex {
namespace {

// NTFS time of a calendar date and time: 100 ns units since 1601-01-01.
std::uint64_t NtfsTime(int year, int month, int day, int hour, int minute, int second) {
  // Days since 1970-01-01 (Hinnant's days_from_civil), then shift to 1601.
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = y / 400;
  const int yearOfEra = y - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t days = std::int64_t{era} * 146097 + dayOfEra - 719468;
  const std::int64_t seconds = (days + 134774) * 86400 + hour * 3600 + minute * 60 + second;
  return static_cast<std::uint64_t>(seconds) * 10'000'000;
}

TEST(DateFormat, DosDatesShowDayMonthYearAndOneBlank) {
  EXPECT_EQ(FormatDosDate(0x359C), "28-12-2006 ");
  EXPECT_EQ(FormatDosDate(static_cast<std::uint16_t>((24 << 9) | (3 << 5) | 5)), "05-03-2004 ");
  const CivilDate date = DecodeDosDate(0x359C);
  EXPECT_EQ(date.year, 2006);
  EXPECT_EQ(date.month, 12);
  EXPECT_EQ(date.day, 28);
  // A date that names no day is not shown as one; 0 ("not recorded") is.
  EXPECT_EQ(FormatDosDate(static_cast<std::uint16_t>((24 << 9) | (13 << 5) | 5)), "Unknown");
  EXPECT_EQ(FormatDosDate(static_cast<std::uint16_t>((24 << 9) | (4 << 5) | 31)), "Unknown");
  EXPECT_EQ(FormatDosDate(static_cast<std::uint16_t>((24 << 9) | (6 << 5))), "Unknown");
  EXPECT_EQ(FormatDosDate(0), "00-00-1980 ");
}

TEST(DateFormat, NtfsTimesHaveNoLeadingZeros) {
  EXPECT_EQ(FormatFileTime(NtfsTime(2004, 3, 5, 8, 7, 6)), "5-3-2004 8:7:6");
  EXPECT_EQ(FormatFileTime(NtfsTime(2006, 12, 7, 9, 5, 3)), "7-12-2006 9:5:3");
  EXPECT_EQ(FormatFileTime(NtfsTime(2000, 2, 29, 23, 59, 59)), "29-2-2000 23:59:59");
  EXPECT_EQ(FormatFileTime(0), "1-1-1601 0:0:0");
  // Past what 32-bit Unix times hold.
  EXPECT_EQ(FormatFileTime(NtfsTime(2040, 1, 2, 3, 4, 5)), "2-1-2040 3:4:5");
  EXPECT_EQ(FormatFileTime(NtfsTime(2106, 2, 8, 0, 0, 0)), "8-2-2106 0:0:0");
}

TEST(FileTypeNames, ByExtensionAlone) {
  EXPECT_EQ(FileTypeName("notes.txt"), "Text Document");
  EXPECT_EQ(FileTypeName("REPORT.DOC"), "Microsoft Word Document");
  EXPECT_EQ(FileTypeName("archive.tar.gz"), "Gzip Archive");
  EXPECT_EQ(FileTypeName("data.xyz"), "XYZ File");
  EXPECT_EQ(FileTypeName("README"), "File");
  EXPECT_EQ(FileTypeName("trailing."), "File");
}

TEST(ItemRows, ShowTheListColumns) {
  const FatFolderItem folder{"Old", 10, 0, 0x359C, 0x359C, 42, true};
  const ItemRow folderRow = FatFolderRow(folder);
  EXPECT_EQ(folderRow.type, "Deleted Folder");
  EXPECT_EQ(folderRow.size, "0");
  EXPECT_EQ(folderRow.id, "42");

  FatFileItem file{"x.txt", 20, 10, 0x359C, 0, 1234, true, 7};
  ItemRow fileRow = FatFileRow(file);
  EXPECT_EQ(fileRow.type, "Deleted Text Document");
  EXPECT_EQ(fileRow.size, "1234");
  EXPECT_EQ(fileRow.created, "28-12-2006 ");
  EXPECT_EQ(fileRow.id, "7");
  file.deleted = false;
  EXPECT_EQ(FatFileRow(file).type, "Text Document");
  file.labelEntry = true;
  EXPECT_EQ(FatFileRow(file).type, "Text Document (volume label entry)");

  const NtfsFileItem ntfs{"big.bin", 64, 5, 0, 0, 5'000'000'000ull, false, 123456};
  EXPECT_EQ(NtfsFileRow(ntfs).size, "5000000000");
  EXPECT_EQ(NtfsFileRow(ntfs).id, "123456");
}

TEST(JsonWriter, EscapesAndSeparates) {
  std::ostringstream out;
  cli::JsonWriter json(out);
  json.BeginArray();
  json.BeginObject();
  json.Key("name");
  json.String("a\"b\\c\n\x01Отчёт");
  json.Key("path");
  json.Null();
  json.Key("n");
  json.Number(5'000'000'000ull);
  json.EndObject();
  json.Bool(false);
  json.EndArray();
  EXPECT_EQ(out.str(), "[{\"name\":\"a\\\"b\\\\c\\n\\u0001Отчёт\",\"path\":null,\"n\":5000000000},false]");
}

}  // namespace
}  // namespace salvex
