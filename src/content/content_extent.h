#pragma once

#include <cstdint>
#include <vector>

namespace salvex {

// What a file's own structure says of its bytes, read from its first one.
enum class Soundness : std::uint8_t {
  // Not a file of this kind at all: its header fails.
  notThisKind,
  // The structure holds from the start to its end, and what it carries
  // checks out: coded data decodes, CRCs match.
  whole,
  // The structure holds to its end, but nothing in it can tell another
  // file's bytes from its own (raw pixels, PCM samples, plain text).
  unchecked,
  // The structure holds, but what it carries could not be judged: a member
  // compressed in a way not read here, a check past its budget, Stop.
  unjudged,
  // The bytes end before the structure does.
  cutShort,
  // The structure, or a check of what it carries, fails.
  damaged,
};

// A stretch of a file, from its first byte: [start, end).
struct FileSpan {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  bool operator==(const FileSpan&) const = default;
};

// The verdict with where it stands. A whole, unchecked or unjudged file
// ends at `end`; a file cut short or damaged holds together up to
// `soundUpTo` (0 when nothing past its header does), which is where a
// carver may cut it to keep what is good.
struct ContentExtent {
  Soundness soundness = Soundness::notThisKind;
  std::uint64_t end = 0;
  std::uint64_t soundUpTo = 0;
  // The usual extension of what was found, where the bytes tell more than
  // the family does ("docx" for a ZIP, "mov" for a QuickTime file); null
  // leaves it to the family.
  const char* extension = nullptr;
  // Why the verdict is not whole, for tests and for the curious.
  const char* why = "";
  // A damaged file whose structure still gives its end (`end`, then set):
  // the stretches whose content fails, so that a file still mostly there
  // (a video with one stretch overwritten) can be kept, marked.
  std::vector<FileSpan> damagedSpans = {};

  static ContentExtent Whole(std::uint64_t end) { return {Soundness::whole, end, end}; }
  static ContentExtent Unchecked(std::uint64_t end) { return {Soundness::unchecked, end, end}; }
  static ContentExtent Unjudged(std::uint64_t end, const char* why) {
    return {Soundness::unjudged, end, end, nullptr, why};
  }
  static ContentExtent NotThisKind(const char* why) { return {Soundness::notThisKind, 0, 0, nullptr, why}; }
  static ContentExtent CutShort(std::uint64_t soundUpTo, const char* why) {
    return {Soundness::cutShort, 0, soundUpTo, nullptr, why};
  }
  static ContentExtent Damaged(std::uint64_t soundUpTo, const char* why) {
    return {Soundness::damaged, 0, soundUpTo, nullptr, why};
  }
  // Damaged in `spans`, the structure whole to `end`.
  static ContentExtent DamagedIn(std::uint64_t end, std::vector<FileSpan> spans, const char* why) {
    const std::uint64_t sound = spans.empty() ? end : spans.front().start;
    return {Soundness::damaged, end, sound, nullptr, why, std::move(spans)};
  }

  // Whole, unchecked or unjudged: the structure gives an end.
  bool Ends() const {
    return soundness == Soundness::whole || soundness == Soundness::unchecked || soundness == Soundness::unjudged;
  }
};

}  // namespace salvex
