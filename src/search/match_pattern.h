#pragma once

#include <string>
#include <string_view>

#include "common/letter_case.h"
#include "common/utf.h"

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

}  // namespace salvex
