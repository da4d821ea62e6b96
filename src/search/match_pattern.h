#pragma once

#include <string>
#include <string_view>

namespace salvex {

// The program's own wildcard matcher, with '*' and '?'. Both texts are
// compared character by character as they are; callers upper-case both
// first (UpperCase below), so matching ignores case. Its rules are its own,
// quirks included: a pattern without wildcards is a "contains" test, a
// pattern without '*' need not use the whole name, and after a '*' the
// literal run up to the pattern's end must end the name.
bool MatchPattern(std::u32string_view name, std::u32string_view pattern);

// The same on UTF-8 texts.
bool MatchPattern(std::string_view name, std::string_view pattern);

// UTF-8 to code points and back; invalid bytes become U+FFFD.
std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);

// Upper case for the letters of the Latin, Greek and Cyrillic alphabets.
std::u32string UpperCase(std::u32string_view text);
std::string UpperCase(std::string_view text);

}  // namespace salvex
