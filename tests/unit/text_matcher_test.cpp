// The content search's matcher: a text spelt in UTF-8 and UTF-16LE, with
// or without letter case, found wherever the stream is cut into pieces.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "search/text_matcher.h"

namespace salvex {
namespace {

// `text` (ASCII or Latin-1 code points as single bytes) as UTF-16LE bytes.
std::string Utf16(std::string_view text) {
  std::string bytes;
  for (const char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

std::vector<std::uint64_t> HitsOf(TextMatcher& matcher, const std::string& stream, const std::vector<std::size_t>& cuts) {
  std::vector<std::uint64_t> hits;
  matcher.Reset(1000);
  std::size_t from = 0;
  const auto feed = [&](std::size_t to) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream.data());
    matcher.Feed(Bytes(data + from, to - from), [&](std::uint64_t at) { hits.push_back(at - 1000); });
    from = to;
  };
  for (const std::size_t cut : cuts) feed(cut);
  feed(stream.size());
  return hits;
}

TEST(TextMatcher, FindsEachSpellingWhereverTheStreamIsCut) {
  const std::string longText(70, 'q');  // past one 64-bit word in UTF-8, two in UTF-16LE
  const struct {
    const char* name;
    std::string text;
    bool ignoreCase;
    std::string stream;
    std::vector<std::uint64_t> hits;
  } cases[] = {
      {"ascii", "needle", false, "hay needle hay", {4}},
      {"case differs", "Needle", false, "hay nEEDLE hay", {}},
      {"case ignored", "Needle", true, "hay nEEDLE hay NEEDLE", {4, 15}},
      {"not a letter", "a-1", true, "A-1 a_1 A=1", {0}},
      {"utf16le", "needle", false, "xx" + Utf16("needle") + "x", {2}},
      {"utf16le at an odd offset", "ab", false, "x" + Utf16("ab"), {1}},
      {"utf16le, case ignored", "Ab", true, Utf16("aB") + Utf16("AB"), {0, 4}},
      {"utf-8 letters", "Grüße", false, "Die Grüße", {4}},
      {"latin-1 letters ignoring case, utf-8", "grüße", true, "GRÜßE", {0}},
      {"latin-1 letters ignoring case, utf-16le", "é", true, Utf16("\xC9") + Utf16("\xE9"), {0, 2}},
      {"latin-1 case kept", "é", false, Utf16("\xC9"), {}},
      // р (D1 80) and Р (D0 A0) differ in two bytes: folding both would take
      // Ѐ (D0 80) for either.
      {"no mixture of two forms", "р", true, "\xD0\x80", {}},
      {"overlapping hits", "aa", false, "aaaa", {0, 1, 2}},
      {"longer than a word", longText, false, "x" + longText + "x" + Utf16(longText), {1, 72}},
      {"longer than a word, case ignored", longText, true, std::string(71, 'Q'), {0, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TextMatcher matcher(TextQuery{c.text, c.ignoreCase});
    ASSERT_TRUE(matcher.Valid());
    EXPECT_EQ(HitsOf(matcher, c.stream, {}), c.hits);
    // Cut once at every place, and byte by byte: the same hits.
    for (std::size_t cut = 0; cut <= c.stream.size(); ++cut) {
      EXPECT_EQ(HitsOf(matcher, c.stream, {cut}), c.hits) << "cut at " << cut;
    }
    std::vector<std::size_t> everyByte;
    for (std::size_t at = 1; at < c.stream.size(); ++at) everyByte.push_back(at);
    EXPECT_EQ(HitsOf(matcher, c.stream, everyByte), c.hits);
  }
}

TEST(TextMatcher, NoTextOrTooLongATextMatchesNothing) {
  for (const std::string& text : {std::string(), std::string(kMaxQueryBytes + 1, 'a')}) {
    TextMatcher matcher(TextQuery{text, false});
    EXPECT_FALSE(matcher.Valid());
    EXPECT_TRUE(HitsOf(matcher, std::string(600, 'a'), {}).empty());
  }
}

TEST(TextMatcher, ResetForgetsAHitUnderWay) {
  TextMatcher matcher(TextQuery{"split", false});
  std::vector<std::uint64_t> hits;
  const std::string head = "spl";
  const std::string tail = "it";
  matcher.Feed(Bytes(reinterpret_cast<const std::uint8_t*>(head.data()), head.size()), [&](std::uint64_t) {});
  matcher.Reset(500);
  matcher.Feed(Bytes(reinterpret_cast<const std::uint8_t*>(tail.data()), tail.size()),
               [&](std::uint64_t at) { hits.push_back(at); });
  EXPECT_TRUE(hits.empty());
  EXPECT_EQ(matcher.Position(), 502u);
}

}  // namespace
}  // namespace salvex
