#include "content/pdf_check.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace salvex {
namespace {

// How far from the end "%%EOF" and "startxref" may lie.
constexpr std::uint64_t kTail = 1024;
// Objects a cross-reference table is checked for; a table may list millions.
constexpr std::uint64_t kMaxCheckedObjects = 1u << 20;
constexpr std::uint64_t kMaxPdf = std::uint64_t{4} << 30;
// Ends tried before the first one is taken.
constexpr int kMaxEndsTried = 8;

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == 0; }

// The position of the last `text` in [from, to), searched backwards.
std::optional<std::uint64_t> FindLast(ContentSource& source, std::uint64_t from, std::uint64_t to, std::string_view text) {
  if (to <= from || to - from < text.size()) return std::nullopt;
  const Bytes bytes = source.Read(from, static_cast<std::size_t>(std::min<std::uint64_t>(to - from, kMaxSourceRead)));
  for (std::size_t at = bytes.size() - text.size() + 1; at-- > 0;) {
    if (std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                   [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; })) {
      return from + at;
    }
  }
  return std::nullopt;
}

// A decimal number at `at` (leading blanks skipped); `at` moves past it.
std::optional<std::uint64_t> ReadNumber(Bytes bytes, std::size_t& at) {
  while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n')) ++at;
  std::uint64_t value = 0;
  std::size_t digits = 0;
  for (; at < bytes.size() && IsDigit(bytes[at]) && digits < 19; ++at, ++digits) value = value * 10 + (bytes[at] - '0');
  return digits == 0 ? std::nullopt : std::optional(value);
}

// Whether an object header "N G obj" starts at `at`, with N `number` when
// given.
bool ObjectStartsAt(ContentSource& source, std::uint64_t at, std::optional<std::uint64_t> number) {
  const Bytes bytes = source.Read(at, 40);
  std::size_t i = 0;
  if (bytes.empty() || !IsDigit(bytes[0])) return false;
  const std::optional<std::uint64_t> object = ReadNumber(bytes, i);
  const std::optional<std::uint64_t> generation = ReadNumber(bytes, i);
  while (i < bytes.size() && IsSpace(bytes[i])) ++i;
  return object && generation && (!number || *object == *number) && HasText(bytes, i, "obj");
}

// Each in-use entry of the cross-reference table at `at` names an object
// that starts where it says. The offset of the first that does not, or
// none when all do.
std::optional<std::uint64_t> FirstMisplacedObject(ContentSource& source, std::uint64_t at) {
  at += 4;  // "xref"
  std::uint64_t checked = 0;
  while (checked < kMaxCheckedObjects) {
    const Bytes line = source.Read(at, 64);
    std::size_t i = 0;
    while (i < line.size() && IsSpace(line[i])) ++i;
    if (HasText(line, i, "trailer") || i == line.size()) return std::nullopt;
    const std::optional<std::uint64_t> first = ReadNumber(line, i);
    const std::optional<std::uint64_t> count = ReadNumber(line, i);
    if (!first || !count) return at;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\r' || line[i] == '\n')) ++i;
    at += i;
    for (std::uint64_t n = 0; n < *count && checked < kMaxCheckedObjects; ++n, ++checked) {
      const Bytes entry = source.Read(at, 20);
      if (entry.size() < 18) return at;
      std::size_t j = 0;
      const std::optional<std::uint64_t> offset = ReadNumber(entry, j);
      if (!offset) return at;
      if (u8(entry, 17) == 'n' && *offset != 0 && !ObjectStartsAt(source, *offset, *first + n)) return *offset;
      at += 20;
    }
  }
  return std::nullopt;
}

// Where "%%EOF" ends with the line end after it.
std::uint64_t AfterEof(ContentSource& source, std::uint64_t eof) {
  std::uint64_t end = eof + 5;
  if (SourceU8(source, end) == '\r') ++end;
  if (SourceU8(source, end) == '\n') ++end;
  return std::min(end, source.Size());
}

// An incremental update (or the rest of a linearized file) follows `at`.
bool MoreFollows(ContentSource& source, std::uint64_t at) {
  const Bytes next = source.Read(at, 64);
  std::size_t i = 0;
  while (i < next.size() && next[i] != 0 && IsSpace(next[i])) ++i;
  return HasText(next, i, "xref") || (i < next.size() && IsDigit(next[i]) && ObjectStartsAt(source, at + i, std::nullopt));
}

}  // namespace

bool LooksLikePdfStart(Bytes start) {
  return HasText(start, 0, "%PDF-") && IsDigit(u8(start, 5)) && u8(start, 6) == '.' && IsDigit(u8(start, 7));
}

ContentExtent CheckPdf(ContentSource& source) {
  if (!SourceHasText(source, 0, "%PDF-")) return ContentExtent::NotThisKind("no PDF header");
  const std::uint64_t size = source.Size();
  const std::uint64_t tailStart = size > kTail ? size - kTail : 0;
  const std::optional<std::uint64_t> eof = FindLast(source, tailStart, size, "%%EOF");
  if (!eof) return ContentExtent::CutShort(0, "no %%EOF at its end");
  const std::uint64_t searchFrom = *eof > kTail ? *eof - kTail : 0;
  const std::optional<std::uint64_t> startxref = FindLast(source, searchFrom, *eof, "startxref");
  // Old writers end without saying where the table is: the end is all
  // there is to go by.
  if (!startxref) return ContentExtent::Whole(size);
  const Bytes number = source.Read(*startxref + 9, 32);
  std::size_t i = 0;
  const std::optional<std::uint64_t> table = ReadNumber(number, i);
  if (!table || *table >= size) return ContentExtent::Damaged(0, "a cross-reference table outside the file");
  if (SourceHasText(source, *table, "xref")) {
    if (const std::optional<std::uint64_t> misplaced = FirstMisplacedObject(source, *table)) {
      return ContentExtent::Damaged(std::min(*misplaced, *table), "an object not where its table says");
    }
    return ContentExtent::Whole(size);
  }
  if (!ObjectStartsAt(source, *table, std::nullopt)) {
    return ContentExtent::Damaged(0, "no cross-reference table where the trailer says");
  }
  return ContentExtent::Whole(size);
}

ContentExtent WalkPdf(ContentSource& source, IntactCheckBudget& budget) {
  if (!LooksLikePdfStart(source.Read(0, 8))) return ContentExtent::NotThisKind("no PDF header");
  const std::uint64_t limit = std::min(source.Size(), kMaxPdf);
  std::optional<ContentExtent> first;
  std::uint64_t lastObjectEnd = 0;
  int tried = 0;
  for (std::uint64_t at = 0; at < limit && tried < kMaxEndsTried;) {
    if (budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    const Bytes window = source.Read(at, static_cast<std::size_t>(std::min<std::uint64_t>(kMaxSourceRead, limit - at)));
    if (window.size() < 5) break;
    std::optional<std::uint64_t> eof;
    for (std::size_t i = 0; i + 5 <= window.size() && !eof; ++i) {
      if (window[i] == 'e' && HasText(window, i, "endobj")) lastObjectEnd = at + i + 6;
      if (window[i] == '%' && HasText(window, i, "%%EOF")) eof = at + i;
    }
    if (!eof) {
      // The last bytes are looked at again with the next window.
      if (at + window.size() >= limit) break;
      at += window.size() - 5;
      continue;
    }
    const std::uint64_t end = AfterEof(source, *eof);
    at = end;
    if (MoreFollows(source, end)) continue;
    ++tried;
    SliceSource file(source, 0, end);
    const ContentExtent checked = CheckPdf(file);
    if (checked.soundness == Soundness::whole) return checked;
    if (!first) first = checked;
  }
  if (first) return *first;
  return ContentExtent::CutShort(lastObjectEnd, "no %%EOF after it");
}

}  // namespace salvex
