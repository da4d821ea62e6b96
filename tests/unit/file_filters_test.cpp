#include "search/file_filters.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace salvex {
namespace {

using Result = FilterTable::AddResult;

std::string Repeat(std::string_view unit, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += unit;
  return text;
}

FilterTable Holding(const std::vector<std::string>& filters) {
  FilterTable table;
  for (const std::string& filter : filters) EXPECT_EQ(table.Add(filter), Result::added) << filter;
  return table;
}

std::vector<std::string> Numbered(std::size_t count) {
  std::vector<std::string> filters;
  for (std::size_t i = 1; i <= count; ++i) filters.push_back("F" + std::to_string(i) + ".*");
  return filters;
}

TEST(FilterTable, RefusesWhatItCannotTakeAndLeavesTheTableAsItWas) {
  struct Refusal {
    const char* what;
    std::vector<std::string> before;
    std::string filter;
    Result result;
    std::string message;
  };
  const std::vector<Refusal> refusals = {
      {"99 filters already", Numbered(99), "*.NEW", Result::tableFull, "      You cannot add more Filters     "},
      {"20 characters", {}, Repeat("A", 20), Result::tooLong, "      Filter too long     "},
      {"20 characters of two bytes each", {}, Repeat("É", 20), Result::tooLong, "      Filter too long     "},
      {"blank", {"*.DOC"}, "", Result::blank, "      You can not add a blank entry.     "},
      {"the same text", {"*.DOC", "*.TXT"}, "*.DOC", Result::alreadyListed,
       "      Filter already exists in the list     "},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    FilterTable table = Holding(refusal.before);
    const std::vector<std::string> listed = table.Filters();
    EXPECT_EQ(table.Add(refusal.filter), refusal.result);
    EXPECT_EQ(std::string(FilterRefusalMessage(refusal.result)), refusal.message);
    EXPECT_EQ(table.Filters(), listed);
  }
}

TEST(FilterTable, TakesWhatIsWithinTheLimits) {
  struct Acceptance {
    const char* what;
    std::vector<std::string> before;
    std::string filter;
  };
  const std::vector<Acceptance> acceptances = {
      {"the 99th filter", Numbered(98), "*.NEW"},
      {"19 characters", {}, Repeat("A", 19)},
      {"19 characters of two bytes each", {}, Repeat("É", 19)},
      {"another case of a listed filter", {"*.DOC"}, "*.doc"},
  };
  for (const Acceptance& acceptance : acceptances) {
    SCOPED_TRACE(acceptance.what);
    FilterTable table = Holding(acceptance.before);
    EXPECT_EQ(table.Add(acceptance.filter), Result::added);
    ASSERT_EQ(table.FilterCount(), acceptance.before.size() + 1);
    EXPECT_EQ(table.Filters().front(), acceptance.filter);
  }
  EXPECT_EQ(std::string(FilterRefusalMessage(Result::added)), "");
}

TEST(FilterTable, NewFiltersGoOnTopAndRemoveTakesAPosition) {
  FilterTable table = Holding({"A", "B", "C"});
  EXPECT_EQ(table.Filters(), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_TRUE(table.Remove(1));
  EXPECT_EQ(table.Filters(), (std::vector<std::string>{"C", "A"}));
  EXPECT_FALSE(table.Remove(2));
  EXPECT_EQ(table.FilterCount(), 2u);
  table.Clear();
  EXPECT_EQ(table.FilterCount(), 0u);
}

TEST(FilterTable, PassesNamesThatMatchAnyFilterIgnoringCase) {
  struct Case {
    std::vector<std::string> filters;
    const char* name;
    bool passes;
  };
  const std::vector<Case> cases = {
      // No filters: everything passes.
      {{}, "anything.bin", true},
      {{}, "", true},
      {{"*.doc"}, "REPORT.DOC", true},
      {{"*.DOC"}, "report.doc", true},
      {{"*.DOC"}, "report.docx", false},
      {{"*.DOC", "data?.xls"}, "Data1.xls", true},
      {{"*.DOC", "data?.xls"}, "notes.txt", false},
      {{"crème*"}, "CRÈME BRÛLÉE.TXT", true},
      {{"port"}, "Report.doc", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("name \"") + c.name + "\", " + std::to_string(c.filters.size()) + " filter(s)");
    EXPECT_EQ(Holding(c.filters).PassesFilters(c.name), c.passes);
  }
}

}  // namespace
}  // namespace salvex
