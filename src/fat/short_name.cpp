#include "fat/short_name.h"

#include <array>

namespace salvex {
namespace {

constexpr std::array<char16_t, 128> kCp850High{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 0x80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 0x88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 0x90
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,  // 0x98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // 0xA0
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // 0xA8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,  // 0xB0
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,  // 0xB8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,  // 0xC0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,  // 0xC8
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,  // 0xD0
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,  // 0xD8
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,  // 0xE0
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,  // 0xE8
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,  // 0xF0
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,  // 0xF8
};

constexpr std::uint8_t kDeletedMark = 0xE5;
constexpr std::uint8_t kEscapedE5 = 0x05;
constexpr std::uint8_t kLowerCaseName = 0x08;
constexpr std::uint8_t kLowerCaseExtension = 0x10;

// Every upper-case letter code page 850 has lies in A-Z or U+00C0-U+00DE
// (but U+00D7, the multiplication sign); its lower case is 0x20 above.
char16_t ToLower(char16_t unit) {
  const bool isUpper = (unit >= u'A' && unit <= u'Z') || (unit >= 0x00C0 && unit <= 0x00DE && unit != 0x00D7);
  return isUpper ? static_cast<char16_t>(unit + 0x20) : unit;
}

void AppendPart(std::u16string& name, Bytes entry, std::size_t offset, std::size_t length, bool lowerCase) {
  for (std::size_t i = offset; i < offset + length; ++i) {
    std::uint8_t byte = u8(entry, i);
    if (byte == ' ') continue;
    char16_t unit;
    if (i == 0 && byte == kDeletedMark) {
      unit = u'x';
    } else {
      if (i == 0 && byte == kEscapedE5) byte = kDeletedMark;
      unit = Cp850ToUnicode(byte);
    }
    name.push_back(lowerCase ? ToLower(unit) : unit);
  }
}

}  // namespace

char16_t Cp850ToUnicode(std::uint8_t byte) { return byte < 0x80 ? byte : kCp850High[byte - 0x80]; }

std::u16string DecodeShortName(Bytes entry) {
  const std::uint8_t caseFlags = u8(entry, 12);
  std::u16string name;
  AppendPart(name, entry, 0, 8, (caseFlags & kLowerCaseName) != 0);
  if (u8(entry, 8) != ' ') {
    name.push_back(u'.');
    AppendPart(name, entry, 8, 3, (caseFlags & kLowerCaseExtension) != 0);
  }
  return name;
}

bool IsAcceptableShortName(std::u16string_view name) {
  if (name.empty()) return false;
  for (const char16_t unit : name) {
    if (unit < 0x20 || unit == 0x7F || std::u16string_view(u"\"*?<>|").find(unit) != std::u16string_view::npos) {
      return false;
    }
  }
  return true;
}

bool IsListableLiveShortName(std::u16string_view name) {
  if (name.empty()) return false;
  for (const char16_t unit : name) {
    if (unit < 0x20 || unit == 0x7F) return false;
  }
  return true;
}

}  // namespace salvex
