#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/le_bytes.h"

namespace salvex {

// A text to look for in the bytes of files and of free space.
struct TextQuery {
  std::string text;  // UTF-8
  bool ignoreCase = false;
};

// The longest text looked for, in UTF-8 bytes: the matcher's state and
// tables stay a few kilobytes whatever is typed.
inline constexpr std::size_t kMaxQueryBytes = 256;

// Finds a text in a stream of bytes handed over in pieces, spelt in UTF-8
// (ASCII is its subset) and in UTF-16LE, at any byte offset. The state of a
// hit under way is carried from one piece to the next, so a text split
// across two reads (or two fragments of a file read in turn) is found,
// without holding any earlier piece.
//
// Each spelling is a row of byte classes matched by shift-and, word-parallel
// over 64 positions, so the work per byte is bounded whatever the data
// holds. Ignoring case, a character matches its other-case forms (by
// ToUpper: Latin, Greek, Cyrillic) whose encoding differs from its own in
// one byte only: every ASCII letter in both spellings, the Latin-1 letters
// in both, most Greek and Cyrillic letters in UTF-16LE. A partner that
// differs in more bytes would turn the classes into false hits, so it is
// left out.
class TextMatcher {
 public:
  // Matches nothing when the text is empty or longer than kMaxQueryBytes.
  explicit TextMatcher(const TextQuery& query);

  bool Valid() const { return !patterns_.empty(); }

  // A new stream whose first byte has offset `start`: nothing carried over.
  void Reset(std::uint64_t start = 0);

  // Hands over the stream's next piece: `onHit` gets the stream offset of
  // the first byte of each hit whose last byte lies in it, in order. A place
  // where both spellings end counts once.
  void Feed(Bytes piece, const std::function<void(std::uint64_t)>& onHit);

  // The stream offset of the next byte to come.
  std::uint64_t Position() const { return position_; }

 private:
  // One spelling: for each byte value, the positions it may stand at.
  struct Pattern {
    std::size_t length = 0;
    std::size_t words = 0;
    std::vector<std::uint64_t> masks;  // 256 × words
    std::vector<std::uint64_t> state;  // bit i: the last i + 1 bytes match the first i + 1
    std::uint64_t lastBit = 0;
  };
  void AddPattern(const std::vector<std::vector<std::uint8_t>>& classes);
  bool Idle() const;
  static bool Step(Pattern& pattern, std::uint8_t byte, std::uint64_t& live);
  void FeedSingleWords(Bytes piece, const std::function<void(std::uint64_t)>& onHit);
  void FeedWide(Bytes piece, const std::function<void(std::uint64_t)>& onHit);

  std::vector<Pattern> patterns_;
  std::array<bool, 256> leads_{};  // bytes that may start a hit
  bool singleWord_ = false;        // two spellings of 64 bytes or fewer
  std::uint64_t position_ = 0;
};

// The byte classes that spell `text` in UTF-8 (utf16 false) or UTF-16LE:
// one class per byte, each the bytes that may stand there. For the matcher
// and its tests.
std::vector<std::vector<std::uint8_t>> SpellingClasses(std::u32string_view text, bool ignoreCase, bool utf16);

}  // namespace salvex
