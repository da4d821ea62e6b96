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

// UTF-8 to code points and back. Each byte that does not start a valid
// sequence (overlong forms and surrogates included) becomes U+FFFD, so no
// byte can turn into a character it does not spell, such as "/".
std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);

// `text` as valid UTF-8: itself when it is, with `replacement` for each bad
// byte.
std::string ValidUtf8(std::string_view text, char32_t replacement = 0xFFFD);

}  // namespace salvex
