#include "search/text_matcher.h"

#include <algorithm>
#include <optional>

#include "common/letter_case.h"
#include "common/utf.h"

namespace salvex {
namespace {

// ToUpper changes nothing past Cyrillic: every other-case form of a
// character lies below this.
constexpr char32_t kCasedEnd = 0x460;

std::vector<std::uint8_t> Encode(char32_t c, bool utf16) {
  std::vector<std::uint8_t> bytes;
  if (!utf16) {
    std::string text;
    AppendUtf8(text, c);
    bytes.assign(text.begin(), text.end());
    return bytes;
  }
  const auto unit = [&](char32_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8 & 0xFF));
  };
  if (c > 0xFFFF) {
    unit(0xD800 + ((c - 0x10000) >> 10));
    unit(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    unit(c);
  }
  return bytes;
}

// The one byte at which `other` differs from `own`; none when they differ
// in length or in more than one byte.
std::optional<std::size_t> SingleDifference(const std::vector<std::uint8_t>& own, const std::vector<std::uint8_t>& other) {
  if (own.size() != other.size()) return std::nullopt;
  std::optional<std::size_t> at;
  for (std::size_t i = 0; i < own.size(); ++i) {
    if (own[i] == other[i]) continue;
    if (at) return std::nullopt;
    at = i;
  }
  return at;
}

void AddOnce(std::vector<std::uint8_t>& set, std::uint8_t byte) {
  if (std::find(set.begin(), set.end(), byte) == set.end()) set.push_back(byte);
}

}  // namespace

std::vector<std::vector<std::uint8_t>> SpellingClasses(std::u32string_view text, bool ignoreCase, bool utf16) {
  std::vector<std::vector<std::uint8_t>> classes;
  for (const char32_t c : text) {
    const std::vector<std::uint8_t> own = Encode(c, utf16);
    const std::size_t first = classes.size();
    for (const std::uint8_t byte : own) classes.push_back({byte});
    if (!ignoreCase) continue;
    const char32_t upper = ToUpper(c);
    // All partners must vary the same byte: two varied bytes would also
    // accept their mixtures, which spell neither form.
    std::optional<std::size_t> varied;
    for (char32_t other = 0; other < kCasedEnd; ++other) {
      if (other == c || ToUpper(other) != upper) continue;
      const std::vector<std::uint8_t> spelt = Encode(other, utf16);
      const std::optional<std::size_t> at = SingleDifference(own, spelt);
      if (!at || (varied && *varied != *at)) continue;
      varied = at;
      AddOnce(classes[first + *at], spelt[*at]);
    }
  }
  return classes;
}

TextMatcher::TextMatcher(const TextQuery& query) {
  if (query.text.empty() || query.text.size() > kMaxQueryBytes) return;
  const std::u32string text = DecodeUtf8(query.text);
  for (const bool utf16 : {false, true}) AddPattern(SpellingClasses(text, query.ignoreCase, utf16));
  singleWord_ = patterns_.size() == 2 && std::all_of(patterns_.begin(), patterns_.end(), [](const Pattern& p) { return p.words == 1; });
}

void TextMatcher::AddPattern(const std::vector<std::vector<std::uint8_t>>& classes) {
  if (classes.empty()) return;
  Pattern pattern;
  pattern.length = classes.size();
  pattern.words = (pattern.length + 63) / 64;
  pattern.masks.assign(256 * pattern.words, 0);
  pattern.state.assign(pattern.words, 0);
  pattern.lastBit = std::uint64_t{1} << ((pattern.length - 1) % 64);
  for (std::size_t position = 0; position < classes.size(); ++position) {
    for (const std::uint8_t byte : classes[position]) {
      pattern.masks[byte * pattern.words + position / 64] |= std::uint64_t{1} << (position % 64);
    }
  }
  for (const std::uint8_t byte : classes.front()) leads_[byte] = true;
  patterns_.push_back(std::move(pattern));
}

void TextMatcher::Reset(std::uint64_t start) {
  for (Pattern& pattern : patterns_) std::fill(pattern.state.begin(), pattern.state.end(), 0);
  position_ = start;
}

bool TextMatcher::Idle() const {
  for (const Pattern& pattern : patterns_) {
    for (const std::uint64_t word : pattern.state) {
      if (word != 0) return false;
    }
  }
  return true;
}

// Shift-and over several words: the bit that leaves one word enters the
// next. `live` gathers the words, to tell when nothing is under way.
bool TextMatcher::Step(Pattern& pattern, std::uint8_t byte, std::uint64_t& live) {
  const std::uint64_t* mask = &pattern.masks[std::size_t{byte} * pattern.words];
  std::uint64_t carry = 1;
  for (std::size_t word = 0; word < pattern.words; ++word) {
    const std::uint64_t out = pattern.state[word] >> 63;
    pattern.state[word] = ((pattern.state[word] << 1) | carry) & mask[word];
    live |= pattern.state[word];
    carry = out;
  }
  return (pattern.state.back() & pattern.lastBit) != 0;
}

void TextMatcher::Feed(Bytes piece, const std::function<void(std::uint64_t)>& onHit) {
  if (singleWord_) {
    FeedSingleWords(piece, onHit);
  } else if (!patterns_.empty()) {
    FeedWide(piece, onHit);
  }
  position_ += piece.size();
}

void TextMatcher::FeedWide(Bytes piece, const std::function<void(std::uint64_t)>& onHit) {
  const std::size_t size = piece.size();
  bool idle = Idle();
  for (std::size_t i = 0; i < size; ++i) {
    // Nothing under way: only a byte that starts a spelling can change that.
    if (idle) {
      while (i < size && !leads_[piece[i]]) ++i;
      if (i == size) break;
    }
    std::uint64_t live = 0;
    std::size_t longest = 0;
    for (Pattern& pattern : patterns_) {
      if (Step(pattern, piece[i], live)) longest = std::max(longest, pattern.length);
    }
    idle = live == 0;
    if (longest != 0) onHit(position_ + i + 1 - longest);
  }
}

// Both spellings fit one word each: the states stay in registers.
void TextMatcher::FeedSingleWords(Bytes piece, const std::function<void(std::uint64_t)>& onHit) {
  Pattern& a = patterns_.front();
  Pattern& b = patterns_.back();
  std::uint64_t stateA = a.state[0];
  std::uint64_t stateB = b.state[0];
  const std::uint64_t* const masksA = a.masks.data();
  const std::uint64_t* const masksB = b.masks.data();
  const std::uint8_t* const data = piece.data();
  const std::size_t size = piece.size();
  for (std::size_t i = 0; i < size; ++i) {
    if ((stateA | stateB) == 0) {
      while (i < size && !leads_[data[i]]) ++i;
      if (i == size) break;
    }
    const std::uint8_t byte = data[i];
    stateA = ((stateA << 1) | 1) & masksA[byte];
    stateB = ((stateB << 1) | 1) & masksB[byte];
    const bool hitA = (stateA & a.lastBit) != 0;
    const bool hitB = (stateB & b.lastBit) != 0;
    if (hitA || hitB) {
      const std::size_t length = std::max(hitA ? a.length : 0, hitB ? b.length : 0);
      onHit(position_ + i + 1 - length);
    }
  }
  a.state[0] = stateA;
  b.state[0] = stateB;
}

}  // namespace salvex
