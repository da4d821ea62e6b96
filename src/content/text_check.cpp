#include "content/text_check.h"

#include <algorithm>
#include <string>

namespace salvex {
namespace {

constexpr std::uint64_t kMaxText = std::uint64_t{256} << 20;

bool IsControl(std::uint8_t c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f'; }

// The length of the UTF-8 sequence at `at` (1 for ASCII), 0 when it is
// not one, -1 when the bytes end inside it.
int SequenceLength(Bytes bytes, std::size_t at) {
  const std::uint8_t lead = bytes[at];
  if (lead < 0x80) return 1;
  int length = 0;
  if ((lead & 0xE0) == 0xC0 && lead >= 0xC2) length = 2;
  else if ((lead & 0xF0) == 0xE0) length = 3;
  else if ((lead & 0xF8) == 0xF0 && lead <= 0xF4) length = 4;
  else return 0;
  for (int i = 1; i < length; ++i) {
    if (at + static_cast<std::size_t>(i) >= bytes.size()) return -1;
    if ((bytes[at + static_cast<std::size_t>(i)] & 0xC0) != 0x80) return 0;
  }
  return length;
}

// How many bytes from the start of `bytes` are text (a sequence cut by
// the end counts as text).
std::size_t TextPrefix(Bytes bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::uint8_t c = bytes[at];
    if (c == 0 || IsControl(c) || c == 0x7F) return at;
    const int length = SequenceLength(bytes, at);
    if (length == 0) return at;
    if (length < 0) return bytes.size();
    at += static_cast<std::size_t>(length);
  }
  return at;
}

bool StartsWithNoCase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
    return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
  });
}

const char* ExtensionOf(Bytes head) {
  std::string text(head.begin(), head.end());
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  text.erase(0, first == std::string::npos ? text.size() : first);
  if (StartsWithNoCase(text, "<?xml")) return "xml";
  if (StartsWithNoCase(text, "<!doctype html") || StartsWithNoCase(text, "<html")) return "html";
  if ((text.rfind('{', 0) == 0 || text.rfind('[', 0) == 0) && text.find('"') != std::string::npos &&
      text.find(':') != std::string::npos) {
    return "json";
  }
  // CSV: three lines or more with the same number (one or more) of one separator.
  for (const char separator : {',', ';', '\t'}) {
    std::size_t lines = 0;
    std::size_t count = 0;
    bool same = true;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos && lines < 8; end = text.find('\n', start)) {
      const std::size_t n = static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(start),
                                                                text.begin() + static_cast<std::ptrdiff_t>(end), separator));
      if (lines == 0) count = n;
      same = same && n == count;
      ++lines;
      start = end + 1;
    }
    if (lines >= 3 && same && count >= 1) return "csv";
  }
  return "txt";
}

}  // namespace

bool LooksLikeTextStart(Bytes start) {
  const Bytes sample = start.first(std::min<std::size_t>(start.size(), 512));
  if (sample.size() < kMinTextBytes) return false;
  const std::size_t text = TextPrefix(sample);
  // All of it text, or text up to the NUL that ends a short file.
  if (text < kMinTextBytes || (text < sample.size() && sample[text] != 0)) return false;
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text; ++i) {
    const std::uint8_t c = sample[i];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '\n' ||
        c == ',' || c == '.' || c == '\t' || c == '\r' || c >= 0x80) {
      ++plain;
    }
  }
  return plain * 4 >= text * 3;
}

ContentExtent WalkText(ContentSource& source, IntactCheckBudget& budget) {
  if (!LooksLikeTextStart(source.Read(0, 512))) return ContentExtent::NotThisKind("no text at the start");
  const char* extension = ExtensionOf(source.Read(0, 4096));
  std::uint64_t at = 0;
  bool lineEnd = false;
  const std::uint64_t limit = std::min(source.Size(), kMaxText);
  while (at < limit) {
    if (budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    const Bytes window = source.Read(at, static_cast<std::size_t>(std::min<std::uint64_t>(65536, limit - at)));
    const std::size_t text = TextPrefix(window);
    lineEnd = lineEnd || std::find(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(text), '\n') !=
                             window.begin() + static_cast<std::ptrdiff_t>(text);
    if (text < window.size()) {
      at += text;
      if (window[text] != 0) return ContentExtent::NotThisKind("text that runs into other bytes");
      break;
    }
    // A sequence cut at the window's end is read again with the next one.
    const std::size_t whole = text > 4 ? text - 4 : text;
    at += std::max<std::size_t>(whole, 1);
    if (window.size() < 65536) {
      at = std::min(limit, at + (text - whole));
      break;
    }
  }
  if (at < kMinTextBytes || !lineEnd) return ContentExtent::NotThisKind("too little text to be a file");
  ContentExtent extent = ContentExtent::Unchecked(at);
  extent.extension = extension;
  return extent;
}

}  // namespace salvex
