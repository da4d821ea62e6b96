#include "content/rtf_check.h"

#include <algorithm>

namespace salvex {
namespace {

constexpr int kMaxDepth = 10000;
constexpr std::uint64_t kMaxRtf = std::uint64_t{2} << 30;

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

}  // namespace

bool LooksLikeRtfStart(Bytes start) { return HasText(start, 0, "{\\rtf") && IsDigit(u8(start, 5)); }

ContentExtent WalkRtf(ContentSource& source, IntactCheckBudget& budget) {
  if (!LooksLikeRtfStart(source.Read(0, 6))) return ContentExtent::NotThisKind("no {\\rtf");
  int depth = 0;
  std::uint64_t at = 0;
  const std::uint64_t limit = std::min(source.Size(), kMaxRtf);
  std::uint64_t lastLine = 0;  // the last line end: what a cut document keeps
  while (at < limit) {
    if (budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    const Bytes window = source.Read(at, static_cast<std::size_t>(std::min<std::uint64_t>(65536, limit - at)));
    std::size_t i = 0;
    bool jumped = false;  // past \binN data: the next window starts there
    for (; i < window.size() && !jumped; ++i) {
      const std::uint8_t c = window[i];
      if (c >= 0x80 || c == 0) return ContentExtent::Damaged(lastLine, "a byte no RTF writer puts in its text");
      if (c == '\n') lastLine = at + i + 1;
      if (c == '{') {
        if (++depth > kMaxDepth) return ContentExtent::Damaged(lastLine, "groups nested deeper than any");
      } else if (c == '}') {
        if (--depth == 0) {
          // The line end writers put after the last brace is the file's.
          std::uint64_t end = at + i + 1;
          if (SourceU8(source, end) == '\r') ++end;
          if (SourceU8(source, end) == '\n') ++end;
          return ContentExtent::Unchecked(std::min(end, source.Size()));
        }
      } else if (c == '\\') {
        if (i + 16 >= window.size() && at + i + 16 < limit) break;  // read the control word whole
        const std::uint8_t next = u8(window, i + 1);
        if (next == '{' || next == '}' || next == '\\') {
          ++i;
        } else if (HasText(window, i + 1, "bin") && IsDigit(u8(window, i + 4))) {
          // \binN: N bytes of raw data follow the control word and its space.
          std::uint64_t length = 0;
          std::size_t j = i + 4;
          for (int digits = 0; j < window.size() && IsDigit(window[j]) && digits < 12; ++j, ++digits) {
            length = length * 10 + (window[j] - '0');
          }
          if (u8(window, j) == ' ') ++j;
          at += j + length;
          jumped = true;
        }
      }
    }
    if (!jumped) at += i;
  }
  return ContentExtent::CutShort(lastLine, "ends before its groups close");
}

}  // namespace salvex
