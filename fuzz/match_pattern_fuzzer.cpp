// The input is a name and a pattern, split at the first zero byte (all name
// when there is none). The matcher must stay inside both texts (ASan), give
// the same answer on UTF-8 and on code points, and keep the rules that need
// no walk: "*" takes any non-empty name, "*.*" any name with a dot, and a
// pattern without wildcards is a "contains" test.

#include <algorithm>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "search/match_pattern.h"

using namespace salvex;

namespace {

// A heap block of exactly the text's length: std::string keeps spare
// capacity (or an inline buffer) that a read past the end would not leave.
template <typename Char>
struct ExactText {
  explicit ExactText(std::basic_string_view<Char> text) : size(text.size()), data(new Char[text.size()]) {
    std::copy(text.begin(), text.end(), data.get());
  }
  std::basic_string_view<Char> View() const { return {data.get(), size}; }

  std::size_t size;
  std::unique_ptr<Char[]> data;
};

bool Match(const std::u32string& name, const std::u32string& pattern) {
  const ExactText<char32_t> exactName{std::u32string_view(name)};
  const ExactText<char32_t> exactPattern{std::u32string_view(pattern)};
  return MatchPattern(exactName.View(), exactPattern.View());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = std::min(input.find('\0'), input.size());
  const ExactText<char> name(input.substr(0, split));
  const ExactText<char> pattern(split < input.size() ? input.substr(split + 1) : std::string_view());
  const std::u32string name32 = DecodeUtf8(name.View());
  const std::u32string pattern32 = DecodeUtf8(pattern.View());

  const bool matches = Match(name32, pattern32);
  FUZZ_CHECK(MatchPattern(name.View(), pattern.View()) == matches);
  if (name32.empty() || pattern32.empty()) FUZZ_CHECK(!matches);
  if (!pattern32.empty() && pattern32.find_first_of(U"*?") == std::u32string::npos) {
    FUZZ_CHECK(matches == (!name32.empty() && name32.find(pattern32) != std::u32string::npos));
  }
  FUZZ_CHECK(Match(name32, U"*") == !name32.empty());
  FUZZ_CHECK(Match(name32, U"*.*") == (name32.find(U'.') != std::u32string::npos));
  // Callers upper-case both first.
  Match(UpperCase(std::u32string_view(name32)), UpperCase(std::u32string_view(pattern32)));
  return 0;
}
