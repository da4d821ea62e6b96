#include "search/match_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace salvex {
namespace {

// Lower case for the letters the rows use: ASCII, Latin-1 and Cyrillic.
std::string LowerCase(std::string_view text) {
  std::u32string codes = DecodeUtf8(text);
  for (char32_t& c : codes) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F)) {
      c += 0x20;
    } else if (c >= 0x400 && c <= 0x40F) {
      c += 0x50;
    }
  }
  return EncodeUtf8(codes);
}

struct MatchRow {
  const char* pattern;
  const char* name;
  bool matches;
};

// Names and patterns as callers pass them: upper case.
const std::vector<MatchRow> kRows = {
    // Nothing matches an empty name or an empty pattern.
    {"", "REPORT.DOC", false},
    {"*", "", false},
    {"", "", false},
    // No '*' and a name shorter than the pattern.
    {"ABCD", "ABC", false},
    {"A?CD", "ABC", false},
    // "*" takes any name, "*.*" any name holding a dot.
    {"*", "X", true},
    {"*", "README", true},
    {"*.*", "A.B", true},
    {"*.*", "README", false},
    {"*.*", "ARCHIVE.TAR.GZ", true},
    // Without wildcards: contains.
    {"PORT", "REPORT.DOC", true},
    {"REPORT.DOC", "REPORT.DOC", true},
    {"PORTS", "REPORT.DOC", false},
    // A prefix before '*'.
    {"REP*", "REPORT.DOC", true},
    {"REP*", "AREPORT", false},
    // Two or more trailing stars act as one.
    {"REP**", "REPORT.DOC", true},
    {"REP***", "AREPORT", false},
    // The literal run after '*' ends the name.
    {"*.DOC", "REPORT.DOC", true},
    {"*.DOC", "REPORT.DOCX", false},
    {"*.DOC", "REPORT.TXT", false},
    {"FI*E.TXT", "FILE.TXT", true},
    {"FI*E.TXT", "FILE.TXTX", false},
    {"*A", "BA", true},
    {"*A", "XYA", true},
    {"*A", "A", false},
    {"*A", "AB", false},
    // '?' takes exactly one character where the name must be used up...
    {"DATA?.XLS", "DATA1.XLS", true},
    {"DATA?.XLS", "DATA12.XLS", false},
    // ...but a pattern without '*' need not use the whole name.
    {"A?C", "ABC", true},
    {"A?C", "ABCD", true},
    {"A?C", "AB", false},
    // A '?' inside the run after '*' is not carried into its suffix test.
    {"*.D?C", "X.DOC", false},
    {"*?.DOC", "X.DOC", true},
    // '?' stands for one character, not one byte.
    {"CAF?.TXT", "CAFÉ.TXT", true},
    {"*.TXT", "CRÈME BRÛLÉE.TXT", true},
    {"ОТЧ*", "ОТЧЁТ.DOC", true},
    {"*Ё", "ОТЧЁТ.DOC", false},
};

TEST(MatchPattern, FollowsTheMatcherRules) {
  for (const MatchRow& row : kRows) {
    SCOPED_TRACE(std::string("pattern \"") + row.pattern + "\", name \"" + row.name + "\"");
    EXPECT_EQ(MatchPattern(DecodeUtf8(row.name), DecodeUtf8(row.pattern)), row.matches) << "code points";
    EXPECT_EQ(MatchPattern(std::string_view(row.name), std::string_view(row.pattern)), row.matches) << "UTF-8";
    // What a user types in lower case finds the same names once upper-cased.
    EXPECT_EQ(MatchPattern(UpperCase(LowerCase(row.name)), UpperCase(LowerCase(row.pattern))), row.matches)
        << "lower case";
  }
}

}  // namespace
}  // namespace salvex
