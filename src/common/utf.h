#pragma once

#include <string>
#include <string_view>

namespace salvex {

// Names on disk are UTF-16 (FAT long names, NTFS) or code-page bytes (FAT
// short names); the engine holds every name as UTF-8.

void AppendUtf8(std::string& out, char32_t codePoint);

constexpr bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Joins surrogate pairs; an unpaired surrogate becomes U+FFFD, so the result
// is always valid UTF-8.
std::string Utf16ToUtf8(std::u16string_view units);

}  // namespace salvex
