#include "search/match_pattern.h"

#include "common/utf.h"

namespace salvex {
namespace {

constexpr char32_t kStar = U'*';
constexpr char32_t kAny = U'?';

bool EndsWith(std::u32string_view text, std::u32string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The walk along the pattern, for patterns that hold a wildcard.
bool MatchWithWildcards(std::u32string_view name, std::u32string_view pattern) {
  const std::size_t n = name.size();
  const std::size_t p = pattern.size();
  std::size_t i = 0;
  std::size_t j = 0;
  std::u32string acc;
  bool star = false;
  while (i < p) {
    const char32_t c = pattern[i];
    if (c == kStar) {
      acc.clear();
      star = true;
      if (i + 1 >= p) return true;
      std::size_t k = 0;
      while (i + 1 + k < p && (pattern[i + 1 + k] == kStar || pattern[i + 1 + k] == kAny)) ++k;
      if (i + 1 + k >= p) return true;
      const std::size_t literal = i + 1 + k;  // position of L
      const char32_t l = pattern[literal];
      if (k >= 1 && literal == p - 1) return name[n - 1] == l;
      i += k;
      ++j;
      if (j < n) {
        ++i;
        continue;
      }
      if (literal != p - 1) return false;
      return name.find(l, literal) != std::u32string_view::npos;
    }
    if (c == kAny) {
      if (i == p - 1) {
        acc.push_back(kAny);
        std::u32string tail(name.substr(n > acc.size() ? n - acc.size() : 0));
        tail.back() = kAny;
        return tail == acc;
      }
      if (j + 1 > p && i + 1 < p) return false;
      if (i + 2 < p && j + 1 >= n) return false;
      ++j;
      ++i;
      continue;
    }
    if (!star) {
      if (i >= n || j >= n || name[j] != c) return false;
      ++j;
      ++i;
      continue;
    }
    if (j < n && name[j] == c) {
      if (i + 2 < p && j + 1 >= n) return false;
      acc.push_back(c);
      if (i == p - 1) return EndsWith(name, acc);
      ++j;
      ++i;
      continue;
    }
    acc.push_back(c);
    if (i == p - 1) return EndsWith(name, acc);
    const std::size_t from = j == 0 ? 0 : j - 1;
    const std::size_t found = name.find(acc, from);
    if (found == std::u32string_view::npos) return false;
    const std::size_t end = found + acc.size() - 1;
    if (end + 1 >= n) return false;
    j = end + 1;
    ++i;
  }
  return true;
}

}  // namespace

bool MatchPattern(std::u32string_view name, std::u32string_view pattern) {
  if (name.empty() || pattern.empty()) return false;
  const bool hasStar = pattern.find(kStar) != std::u32string_view::npos;
  const bool hasAny = pattern.find(kAny) != std::u32string_view::npos;
  if (!hasStar && name.size() < pattern.size()) return false;
  if (pattern == U"*") return true;
  if (pattern == U"*.*") return name.find(U'.') != std::u32string_view::npos;
  if (!hasStar && !hasAny) return name.find(pattern) != std::u32string_view::npos;
  // Two or more trailing stars act as one.
  while (pattern.size() >= 2 && pattern[pattern.size() - 1] == kStar && pattern[pattern.size() - 2] == kStar) {
    pattern.remove_suffix(1);
  }
  return MatchWithWildcards(name, pattern);
}

bool MatchPattern(std::string_view name, std::string_view pattern) {
  return MatchPattern(DecodeUtf8(name), DecodeUtf8(pattern));
}

}  // namespace salvex
