#pragma once

// What every harness needs: the fuzz input as the disk of a fresh session,
// and checks that abort (which libFuzzer reports as a crash) when an
// invariant of the engine's output does not hold.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/host_folder.h"
#include "platform/memory_disk_source.h"
#include "session/session.h"

#define FUZZ_CHECK(condition)                                                             \
  do {                                                                                    \
    if (!(condition)) {                                                                   \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (false)

namespace salvex::fuzz {

inline void OpenInput(Session& session, const std::uint8_t* data, std::size_t size) {
  session.reader.Open(std::make_unique<MemoryDiskSource>(std::span<const std::uint8_t>(data, size)));
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
inline bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2, codePoint = lead & 0x1Fu, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, codePoint = lead & 0x0Fu, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, codePoint = lead & 0x07u, smallest = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// A name that can be one path component as it is.
inline bool IsCleanName(std::string_view name) {
  return !name.empty() && IsValidUtf8(name) && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

// Item names are kept as the disk spells them, so all they promise is valid
// UTF-8 text; what reaches the host goes through SafeHostName, which must then
// give one usable path component.
inline bool IsUsableName(std::string_view name) {
  if (name.empty() || !IsValidUtf8(name)) return false;
  const std::string host = SafeHostName(name);
  return IsCleanName(host) && host != "." && host != ".." && host.size() <= kMaxHostNameBytes;
}

}  // namespace salvex::fuzz
