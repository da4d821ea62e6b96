#include "content/gif_check.h"

#include <algorithm>
#include <array>

namespace salvex {
namespace {

constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kImage = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr int kMaxCodeBits = 12;

enum class BlockCheck { ok, cutShort, damaged };

// The LZW codes of one image, fed sub-block by sub-block: each code must
// name an entry the table holds (or the one being made), and the strings
// they stand for must add up to the image's pixels.
class LzwCounter {
 public:
  LzwCounter(int minimumBits, std::uint64_t pixels)
      : clear_(1u << minimumBits), minimumBits_(minimumBits), pixels_(pixels) {
    // A code below the clear code stands for one pixel.
    std::fill_n(lengths_.begin(), clear_, std::uint16_t{1});
    Reset();
  }

  // False when a code is one the table cannot hold.
  bool Feed(Bytes data) {
    for (const std::uint8_t byte : data) {
      if (ended_) return true;  // what follows the end code is padding
      bits_ |= std::uint32_t{byte} << count_;
      count_ += 8;
      while (count_ >= codeBits_ && !ended_) {
        const std::uint32_t code = bits_ & ((1u << codeBits_) - 1);
        bits_ >>= codeBits_;
        count_ -= codeBits_;
        if (!Code(code)) return false;
      }
    }
    return true;
  }

  // Every pixel of the image was coded (and no more).
  bool Complete() const { return decoded_ == pixels_; }

 private:
  void Reset() {
    codeBits_ = minimumBits_ + 1;
    next_ = clear_ + 2;
    previous_ = -1;
  }

  bool Code(std::uint32_t code) {
    if (code == clear_) {
      Reset();
      return true;
    }
    if (code == clear_ + 1) {
      ended_ = true;
      return true;
    }
    std::uint32_t length = 0;
    if (previous_ < 0) {
      if (code >= clear_) return false;  // the first code after a clear is a pixel's
      length = 1;
    } else if (code < next_ && code != clear_ + 1) {
      length = lengths_[code];
    } else if (code == next_ && next_ < lengths_.size()) {
      length = lengths_[static_cast<std::size_t>(previous_)] + 1;
    } else {
      return false;
    }
    if (previous_ >= 0 && next_ < lengths_.size()) {
      lengths_[next_] = static_cast<std::uint16_t>(std::min<std::uint32_t>(
          lengths_[static_cast<std::size_t>(previous_)] + 1u, 0xFFFF));
      ++next_;
      if (next_ == (1u << codeBits_) && codeBits_ < kMaxCodeBits) ++codeBits_;
    }
    previous_ = static_cast<std::int32_t>(code);
    decoded_ += length;
    return decoded_ <= pixels_;
  }

  const std::uint32_t clear_;
  const int minimumBits_;
  const std::uint64_t pixels_;
  std::array<std::uint16_t, 1 << kMaxCodeBits> lengths_{};
  int codeBits_ = 0;
  std::uint32_t next_ = 0;
  std::int32_t previous_ = -1;
  std::uint32_t bits_ = 0;
  int count_ = 0;
  bool ended_ = false;
  std::uint64_t decoded_ = 0;
};

// Walks the sub-blocks from `at` to their zero terminator, handing each to
// `feed`; `at` ends past the terminator.
template <typename Feed>
BlockCheck WalkSubBlocks(ContentSource& source, std::uint64_t& at, Feed feed) {
  while (true) {
    if (!SourceFits(source, at, 1)) return BlockCheck::cutShort;
    const std::uint8_t length = SourceU8(source, at);
    ++at;
    if (length == 0) return BlockCheck::ok;
    if (!SourceFits(source, at, length)) return BlockCheck::cutShort;
    if (!feed(source.Read(at, length))) return BlockCheck::damaged;
    at += length;
  }
}

std::uint64_t ColorTableBytes(std::uint8_t packed) { return (packed & 0x80) ? 3u << ((packed & 0x07) + 1) : 0; }

}  // namespace

bool LooksLikeGifStart(Bytes start) {
  return (HasText(start, 0, "GIF87a") || HasText(start, 0, "GIF89a")) && u16le(start, 6) != 0 && u16le(start, 8) != 0;
}

ContentExtent WalkGif(ContentSource& source) {
  if (!LooksLikeGifStart(source.Read(0, 13))) return ContentExtent::NotThisKind("no GIF header");
  std::uint64_t at = 13 + ColorTableBytes(SourceU8(source, 10));
  std::uint64_t sound = 0;
  bool imageSeen = false;
  const auto verdict = [&](BlockCheck check, const char* why) {
    return check == BlockCheck::cutShort ? ContentExtent::CutShort(sound, why) : ContentExtent::Damaged(sound, why);
  };
  while (true) {
    if (!SourceFits(source, at, 1)) return ContentExtent::CutShort(sound, "ends before its trailer");
    const std::uint8_t block = SourceU8(source, at);
    if (block == kTrailer) {
      if (!imageSeen) return ContentExtent::Damaged(sound, "a trailer before any image");
      return ContentExtent::Whole(at + 1);
    }
    if (block == kExtension) {
      at += 2;
      const BlockCheck check = WalkSubBlocks(source, at, [](Bytes) { return true; });
      if (check != BlockCheck::ok) return verdict(check, "an extension that does not end");
    } else if (block == kImage) {
      if (!SourceFits(source, at, 11)) return ContentExtent::CutShort(sound, "ends inside an image descriptor");
      const std::uint64_t pixels = std::uint64_t{SourceU16le(source, at + 5)} * SourceU16le(source, at + 7);
      at += 10 + ColorTableBytes(SourceU8(source, at + 9));
      const int minimumBits = SourceU8(source, at);
      if (minimumBits < 2 || minimumBits > 8) return ContentExtent::Damaged(sound, "an LZW code size out of its range");
      ++at;
      LzwCounter codes(minimumBits, pixels);
      const BlockCheck check = WalkSubBlocks(source, at, [&](Bytes data) { return codes.Feed(data); });
      if (check != BlockCheck::ok) return verdict(check, "image data that does not decode");
      if (!codes.Complete()) return ContentExtent::Damaged(sound, "image data for fewer pixels than the image has");
      imageSeen = true;
    } else {
      return ContentExtent::Damaged(sound, "a block of no kind GIF has");
    }
    sound = at;
  }
}

}  // namespace salvex
