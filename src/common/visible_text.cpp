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

namespace {

// The code point of the well-formed UTF-8 sequence at the start of `text`
// and its length; length 1 and no code point for a byte that starts none.
struct Sequence {
  char32_t codePoint = 0;
  std::size_t length = 1;
  bool valid = false;
};

Sequence SequenceAt(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return {lead, 1, true};
  const std::size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0 || text.size() < length) return {};
  char32_t codePoint = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) != 0x80) return {};
    codePoint = (codePoint << 6) | (byte & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < kSmallest[length]) return {};
  return {codePoint, length, true};
}

}  // namespace

std::string HostVisibleName(std::string_view name) {
  std::string safe;
  safe.reserve(name.size());
  while (!name.empty()) {
    const Sequence sequence = SequenceAt(name);
    const std::string_view bytes = name.substr(0, sequence.length);
    if (sequence.valid && IsInvisibleControl(sequence.codePoint)) {
      for (const char byte : bytes) {
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned>(static_cast<unsigned char>(byte)));
        safe += escape;
      }
    } else {
      safe += bytes;
    }
    name.remove_prefix(sequence.length);
  }
  return safe;
}

}  // namespace salvex
