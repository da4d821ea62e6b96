#include "common/utf.h"

namespace salvex {

void AppendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) codePoint = 0xFFFD;
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size() * 3);
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (IsHighSurrogate(unit) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      const char32_t high = unit - 0xD800;
      const char32_t low = units[i + 1] - 0xDC00;
      AppendUtf8(out, 0x10000 + (high << 10) + low);
      ++i;
    } else {
      AppendUtf8(out, unit);  // lone surrogates become U+FFFD there
    }
  }
  return out;
}

namespace {

std::u32string Decode(std::string_view text, char32_t replacement) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80            ? 1
                               : (lead >> 5) == 0x6   ? 2
                               : (lead >> 4) == 0xE   ? 3
                               : (lead >> 3) == 0x1E  ? 4
                                                      : 0;
    if (length == 0 || length > text.size() - i) {
      out.push_back(replacement);
      ++i;
      continue;
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    bool valid = true;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid || code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      out.push_back(replacement);
      ++i;
      continue;
    }
    out.push_back(code);
    i += length;
  }
  return out;
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) { return Decode(text, 0xFFFD); }

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char32_t c : text) AppendUtf8(out, c);
  return out;
}

std::string ValidUtf8(std::string_view text, char32_t replacement) { return EncodeUtf8(Decode(text, replacement)); }

}  // namespace salvex
