// UTF-8 decoding of untrusted bytes and the upper-casing that case-blind
// matching relies on.

#include <gtest/gtest.h>

#include <string>

#include "common/letter_case.h"
#include "common/utf.h"

namespace salvex {
namespace {

TEST(DecodeUtf8, EveryByteOfABadSequenceBecomesTheReplacementCharacter) {
  const struct {
    const char* name;
    std::string bytes;
    std::u32string expected;
  } cases[] = {
      {"valid", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", U"a\u00E9\u20AC\U0001F600"},
      {"overlong slash", "\xC0\xAF", U"\uFFFD\uFFFD"},
      {"overlong NUL", "\xE0\x80\x80", U"\uFFFD\uFFFD\uFFFD"},
      {"surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"cut short", "ab\xE2\x82", U"ab\uFFFD\uFFFD"},
      {"stray continuation", "\x80x", U"\uFFFDx"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(DecodeUtf8(test.bytes), test.expected) << test.name;
  }
}

TEST(ValidUtf8, KeepsValidTextAndReplacesEachBadByte) {
  EXPECT_EQ(ValidUtf8("Отчёт.doc"), "Отчёт.doc");
  EXPECT_EQ(ValidUtf8("a\xFF\xC0\xAF" "b", U'_'), "a___b");
  EXPECT_EQ(ValidUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
}

TEST(UpperCase, LatinGreekAndCyrillicLetters) {
  const struct {
    std::u32string lower;
    std::u32string upper;
  } cases[] = {
      {U"readme", U"README"},
      {U"café ÿ", U"CAFÉ Ÿ"},
      {U"ā ą ć ğ", U"Ā Ą Ć Ğ"},       // lower on the odd code point
      {U"ĺ ľ ł ń ň", U"Ĺ Ľ Ł Ń Ň"},   // lower on the even code point
      {U"ŋ ő ś ű", U"Ŋ Ő Ś Ű"},
      {U"ź ż ž", U"Ź Ż Ž"},
      {U"ı ĸ ŉ ſ", U"ı ĸ ŉ ſ"},       // no partner in the block
      {U"αβγ ς", U"ΑΒΓ ς"},
      {U"отчёт ђ", U"ОТЧЁТ Ђ"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(UpperCase(test.lower), test.upper);
    EXPECT_EQ(UpperCase(test.upper), test.upper) << "upper case is left alone";
  }
}

}  // namespace
}  // namespace salvex
