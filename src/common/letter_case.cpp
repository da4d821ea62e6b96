#include "common/letter_case.h"

#include "common/utf.h"

namespace salvex {
namespace {

// Latin Extended-A keeps each upper-case letter next to its lower-case one:
// lower on the odd code point in U+0100-0137 and U+014A-0177, on the even
// one in U+0139-0148 and U+0179-017E. ı, ĸ, ŉ and ſ have no partner here.
char32_t LatinExtendedAUpper(char32_t c) {
  const bool oddIsLower = (c <= 0x137) || (c >= 0x14A && c <= 0x177);
  const bool evenIsLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (c == 0x131) return c;
  if (oddIsLower && (c & 1)) return c - 1;
  if (evenIsLower && !(c & 1)) return c - 1;
  return c;
}

}  // namespace

char32_t ToUpper(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // Latin-1 letters
  if (c == 0xFF) return 0x178;                                // ÿ
  if (c >= 0x100 && c <= 0x17F) return LatinExtendedAUpper(c);
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;  // Greek
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;                // Cyrillic а-я
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;                // Cyrillic ѐ-џ
  return c;
}

std::u32string UpperCase(std::u32string_view text) {
  std::u32string out(text);
  for (char32_t& c : out) c = ToUpper(c);
  return out;
}

std::string UpperCase(std::string_view text) { return EncodeUtf8(UpperCase(DecodeUtf8(text))); }

}  // namespace salvex
