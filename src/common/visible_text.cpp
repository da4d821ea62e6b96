#include "common/visible_text.h"

#include <algorithm>
#include <cstdio>

#include "common/utf.h"

namespace salvex {

std::string VisibleText(std::string_view text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7F;
  });
  if (plain) return std::string(text);
  std::string shown;
  shown.reserve(text.size());
  for (const char32_t c : DecodeUtf8(text)) {
    if (!IsInvisibleControl(c)) {
      AppendUtf8(shown, c);
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, c < 0x80 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(c));
    shown += escape;
  }
  return shown;
}

}  // namespace salvex
