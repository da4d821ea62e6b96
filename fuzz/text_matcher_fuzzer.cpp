// The input is a flag byte (bit 0: ignore case; the rest: where to cut the
// stream), a text up to the first zero byte, and the stream after it. The
// matcher must report the same hits whether the stream comes whole, cut in
// two or a byte at a time, and exactly those a plain scan of each spelling's
// byte classes finds; it must never read outside the pieces (ASan).

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/utf.h"
#include "fuzz_support.h"
#include "search/text_matcher.h"

using namespace salvex;

namespace {

std::vector<std::uint64_t> Hits(TextMatcher& matcher, Bytes stream, const std::vector<std::size_t>& cuts) {
  std::vector<std::uint64_t> hits;
  matcher.Reset(0);
  std::size_t from = 0;
  const auto feed = [&](std::size_t to) {
    // Each piece in a block of its own size, so ASan sees a read past it.
    const std::unique_ptr<std::uint8_t[]> piece(new std::uint8_t[to - from]);
    std::copy(stream.begin() + static_cast<std::ptrdiff_t>(from), stream.begin() + static_cast<std::ptrdiff_t>(to),
              piece.get());
    matcher.Feed(Bytes(piece.get(), to - from), [&](std::uint64_t at) { hits.push_back(at); });
    from = to;
  };
  for (const std::size_t cut : cuts) feed(cut);
  feed(stream.size());
  return hits;
}

// The hits by brute force: at every end, the longest spelling that ends there.
std::vector<std::uint64_t> Reference(const std::vector<std::vector<std::vector<std::uint8_t>>>& spellings, Bytes stream) {
  std::vector<std::uint64_t> hits;
  for (std::size_t end = 1; end <= stream.size(); ++end) {
    std::size_t longest = 0;
    for (const auto& classes : spellings) {
      if (classes.empty() || classes.size() > end) continue;
      const std::size_t start = end - classes.size();
      bool all = true;
      for (std::size_t i = 0; i < classes.size() && all; ++i) {
        all = std::find(classes[i].begin(), classes[i].end(), stream[start + i]) != classes[i].end();
      }
      if (all) longest = std::max(longest, classes.size());
    }
    if (longest != 0) hits.push_back(end - longest);
  }
  return hits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool ignoreCase = (data[0] & 1) != 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t split = std::min(rest.find('\0'), rest.size());
  const std::string text(rest.substr(0, split));
  const Bytes stream = split < rest.size() ? Bytes(data + 2 + split, rest.size() - split - 1) : Bytes();

  TextMatcher matcher(TextQuery{text, ignoreCase});
  FUZZ_CHECK(matcher.Valid() == (!text.empty() && text.size() <= kMaxQueryBytes));
  const std::vector<std::uint64_t> whole = Hits(matcher, stream, {});
  FUZZ_CHECK(matcher.Position() == stream.size());
  const std::size_t cut = stream.empty() ? 0 : (data[0] >> 1) % (stream.size() + 1);
  FUZZ_CHECK(Hits(matcher, stream, {cut}) == whole);
  if (stream.size() <= 1024) {
    std::vector<std::size_t> everyByte;
    for (std::size_t at = 1; at < stream.size(); ++at) everyByte.push_back(at);
    FUZZ_CHECK(Hits(matcher, stream, everyByte) == whole);
  }
  if (!matcher.Valid()) {
    FUZZ_CHECK(whole.empty());
    return 0;
  }
  const std::u32string points = DecodeUtf8(text);
  FUZZ_CHECK(whole == Reference({SpellingClasses(points, ignoreCase, false), SpellingClasses(points, ignoreCase, true)},
                                stream));
  return 0;
}
