// The view filters above the item list: each criterion alone lets through
// what it names and holds back the rest, and what a person types for a size
// or a day is read as the list shows them.

#include <gtest/gtest.h>

#include "wizard/view_filter.h"

namespace salvex::wizard {
namespace {

TEST(ViewFilter, EachCriterionLetsThroughWhatItNames) {
  const FilteredFile photo{"IMG_0001.JPG", true, 2'000'000, 20230514};
  const FilteredFile letter{"letter.docx", false, 40'000, 20211203};
  const FilteredFile undated{"notes.txt", false, 100, std::nullopt};
  ViewFilter deleted;
  deleted.deleted = ShowDeleted::deletedOnly;
  ViewFilter live;
  live.deleted = ShowDeleted::liveOnly;
  ViewFilter pictures;
  pictures.type = TypeGroup::pictures;
  ViewFilter documents;
  documents.type = TypeGroup::documents;
  ViewFilter large;
  large.minBytes = 1'000'000;
  ViewFilter small;
  small.maxBytes = 50'000;
  ViewFilter year2023;
  year2023.fromDay = 20230101;
  year2023.toDay = 20231231;
  const struct {
    const char* name;
    ViewFilter filter;
    bool photo, letter, undated;
  } cases[] = {
      {"none", ViewFilter{}, true, true, true},    {"deleted", deleted, true, false, false},
      {"live", live, false, true, true},           {"pictures", pictures, true, false, false},
      {"documents", documents, false, true, true}, {"large", large, true, false, false},
      {"small", small, false, true, true},         {"2023", year2023, true, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PassesViewFilter(c.filter, photo), c.photo) << c.name;
    EXPECT_EQ(PassesViewFilter(c.filter, letter), c.letter) << c.name;
    EXPECT_EQ(PassesViewFilter(c.filter, undated), c.undated) << c.name;
    EXPECT_EQ(c.filter.Active(), std::string(c.name) != "none");
  }
  EXPECT_EQ(TypeGroupOf("movie.MKV"), TypeGroup::video);
  EXPECT_EQ(TypeGroupOf("backup.tar.gz"), TypeGroup::archives);
  EXPECT_EQ(TypeGroupOf("README"), TypeGroup::other);
  EXPECT_TRUE(ShowsEmptyFolder(deleted, true));
  EXPECT_FALSE(ShowsEmptyFolder(pictures, true));
}

TEST(ViewFilter, SizesAndDaysAreReadAsTyped) {
  const struct {
    const char* text;
    std::optional<std::uint64_t> bytes;
  } sizes[] = {{"1200", 1200}, {"10 KB", 10240}, {"2.5MB", 2621440}, {" 1 gb ", 1073741824},
               {"", std::nullopt}, {"ten", std::nullopt}, {"5 parsecs", std::nullopt}};
  for (const auto& s : sizes) EXPECT_EQ(ParseSizeText(s.text), s.bytes) << s.text;
  const struct {
    const char* text;
    std::optional<int> day;
  } days[] = {{"28-12-2006", 20061228}, {"1.3.2021", 20210301}, {"31-04-2021", std::nullopt},
              {"2021-03-01", std::nullopt}, {"", std::nullopt}, {"12-2006", std::nullopt}};
  for (const auto& d : days) EXPECT_EQ(ParseDayText(d.text), d.day) << d.text;
  EXPECT_EQ(DayOfDosDate(0x359C), 20061228);
  EXPECT_EQ(DayOfDosDate(0), std::nullopt);
  // 2006-12-07 09:05:03, in 100 ns units since 1601.
  EXPECT_EQ(DayOfFileTime((12'809'955'903ULL) * 10'000'000ULL), 20061207);
}

}  // namespace
}  // namespace salvex::wizard
