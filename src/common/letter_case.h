#pragma once

#include <string>
#include <string_view>

namespace salvex {

// Upper case for the letters of the Latin (Basic, Latin-1, Extended-A),
// Greek and Cyrillic alphabets; every other character stays as it is.
char32_t ToUpper(char32_t c);
std::u32string UpperCase(std::u32string_view text);
std::string UpperCase(std::string_view text);

}  // namespace salvex
