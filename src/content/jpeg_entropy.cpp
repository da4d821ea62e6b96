#include "content/jpeg_entropy.h"

#include <algorithm>
#include <cstring>

namespace salvex {
namespace {

// Bytes asked of the source at a time.
constexpr std::size_t kWindowBytes = 64 * 1024;

}  // namespace

bool BuildHuffmanTable(Bytes counts, Bytes symbols, HuffmanTable& table) {
  table = HuffmanTable{};
  if (counts.size() != 16) return false;
  std::int32_t code = 0;
  int index = 0;
  for (int length = 1; length <= 16; ++length) {
    const int n = counts[static_cast<std::size_t>(length - 1)];
    table.maxCode[static_cast<std::size_t>(length)] = -1;
    if (n > 0) {
      // More codes than the length holds (the all-ones code is not one).
      if (code + n >= (std::int32_t{1} << length)) return false;
      table.valueOffset[static_cast<std::size_t>(length)] = index - code;
      for (int i = 0; i < n && length <= kJpegFastBits; ++i) {
        // Every prefix that starts with this code decodes to it.
        const int shift = kJpegFastBits - length;
        const auto first = static_cast<std::size_t>((code + i) << shift);
        const auto entry = static_cast<std::uint16_t>(length << 8 | u8(symbols, static_cast<std::size_t>(index + i)));
        std::fill_n(table.fast.begin() + static_cast<std::ptrdiff_t>(first), std::size_t{1} << shift, entry);
      }
      code += n;
      index += n;
      table.maxCode[static_cast<std::size_t>(length)] = code - 1;
    }
    code <<= 1;
  }
  if (static_cast<std::size_t>(index) > symbols.size()) return false;
  std::copy_n(symbols.begin(), index, table.symbols.begin());
  table.count = index;
  table.defined = true;
  return true;
}

EntropyReader::EntropyReader(ContentSource& source, EntropyPosition from) : source_(source), next_(from.byte) {
  const int skip = std::clamp(from.bit, 0, 7);
  if (skip == 0) return;
  Fill();
  if (count_ >= skip) Consume(skip);
}

bool EntropyReader::LoadWindow() {
  window_ = source_.Read(next_, kWindowBytes);
  windowAt_ = next_;
  return !window_.empty();
}

void EntropyReader::Push(std::uint8_t byte, std::uint64_t at) {
  buffer_ |= std::uint64_t{byte} << (56 - count_);
  count_ += 8;
  loadedAt_[loaded_ % loadedAt_.size()] = at;
  ++loaded_;
}

void EntropyReader::Fill() {
  while (count_ <= 56 && !stopped_) {
    std::size_t index = static_cast<std::size_t>(next_ - windowAt_);
    if (next_ < windowAt_ || index >= window_.size()) {
      if (!LoadWindow()) {
        stopped_ = atEnd_ = true;
        return;
      }
      index = 0;
    }
    // Most of the time none of the next bytes is 0xFF: they go in at once.
    const int wanted = (64 - count_) / 8;
    if (index + 8 <= window_.size()) {
      std::uint64_t raw = 0;
      std::memcpy(&raw, window_.data() + index, 8);
      const std::uint64_t all = __builtin_bswap64(raw);  // the next eight bytes, the first one highest
      const std::uint64_t word = wanted == 8 ? all : all >> (64 - 8 * wanted);
      const std::uint64_t mask = wanted == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * wanted)) - 1;
      // A byte of `word` is 0xFF when its complement is zero; the bytes
      // above the wanted ones are made non-zero.
      constexpr std::uint64_t kLow = 0x0101010101010101;
      constexpr std::uint64_t kHigh = 0x8080808080808080;
      const std::uint64_t padded = (~word & mask) | ~mask;
      if (((padded - kLow) & ~padded & kHigh) == 0) {
        buffer_ |= word << (64 - 8 * wanted - count_);
        count_ += 8 * wanted;
        for (int i = 0; i < wanted; ++i) {
          loadedAt_[loaded_ % loadedAt_.size()] = next_ + static_cast<std::uint64_t>(i);
          ++loaded_;
        }
        next_ += static_cast<std::uint64_t>(wanted);
        continue;
      }
    }
    const std::uint8_t byte = window_[index];
    if (byte != 0xFF) {
      Push(byte, next_);
      ++next_;
      continue;
    }
    // 0xFF: data when a stuffed zero follows, else a marker.
    if (index + 1 >= window_.size()) {
      if (!LoadWindow() || window_.size() < 2) {
        stopped_ = true;
        atEnd_ = window_.size() < 2;
        return;
      }
      index = 0;
    }
    if (window_[index + 1] != 0x00) {
      stopped_ = true;
      return;
    }
    Push(0xFF, next_);
    next_ += 2;
  }
}

int EntropyReader::SlowSymbol(const HuffmanTable& table) {
  for (int length = kJpegFastBits + 1; length <= 16; ++length) {
    const auto code = static_cast<std::int32_t>(buffer_ >> (64 - length));
    const std::int32_t max = table.maxCode[static_cast<std::size_t>(length)];
    if (max < 0 || code > max) continue;
    if (length > count_) return -1;
    const std::int32_t index = table.valueOffset[static_cast<std::size_t>(length)] + code;
    if (index < 0 || index >= table.count) return -1;
    Consume(length);
    return table.symbols[static_cast<std::size_t>(index)];
  }
  return -1;
}

void EntropyReader::SkipMarker(std::uint64_t at) {
  buffer_ = 0;
  count_ = 0;
  next_ = at + 2;
  stopped_ = atEnd_ = false;
}

namespace {

std::int32_t Extend(std::int32_t value, int size) {
  return value < (std::int32_t{1} << (size - 1)) ? value - (std::int32_t{1} << size) + 1 : value;
}

}  // namespace

bool EntropyReader::SkipBlock(const HuffmanTable& dc, const HuffmanTable& ac, std::int32_t& predictor,
                              std::int32_t dcLimit, int precision) {
  const int maxDcSize = precision + 3;
  const int maxAcSize = precision + 2;
  // The whole block runs on locals, written back around the rare refills
  // and slow lookups: the loop nearly all of a check's time goes to.
  std::uint64_t buffer = buffer_;
  int count = count_;
  const auto sync = [&] {
    buffer_ = buffer;
    count_ = count;
  };
  const auto reload = [&] {
    buffer = buffer_;
    count = count_;
  };
  if (count < 32) {
    sync();
    Fill();
    reload();
  }
  int dcSize = 0;
  const auto dcEntry = dc.fast[static_cast<std::size_t>(buffer >> (64 - kJpegFastBits))];
  if (dcEntry != 0) {
    const int length = dcEntry >> 8;
    if (length > count) {
      sync();
      return false;
    }
    buffer <<= length;
    count -= length;
    dcSize = dcEntry & 0xFF;
  } else {
    sync();
    dcSize = SlowSymbol(dc);
    reload();
  }
  if (dcSize < 0 || dcSize > maxDcSize || dcSize > count) {
    sync();
    return false;
  }
  if (dcSize > 0) {
    const auto raw = static_cast<std::int32_t>(buffer >> (64 - dcSize));
    buffer <<= dcSize;
    count -= dcSize;
    predictor += Extend(raw, dcSize);
  }
  if (predictor > dcLimit || predictor < -dcLimit) {
    sync();
    return false;
  }
  bool ok = true;
  for (int k = 1; k < 64;) {
    if (count < 32) {
      buffer_ = buffer;
      count_ = count;
      Fill();
      buffer = buffer_;
      count = count_;
    }
    int symbol = 0;
    int length = 0;
    const auto entry = ac.fast[static_cast<std::size_t>(buffer >> (64 - kJpegFastBits))];
    if (entry != 0) {
      symbol = entry & 0xFF;
      length = (entry >> 8) + (symbol & 0x0F);
    } else {
      buffer_ = buffer;
      count_ = count;
      symbol = SlowSymbol(ac);
      buffer = buffer_;
      count = count_;
      if (symbol < 0) {
        ok = false;
        break;
      }
      length = symbol & 0x0F;
    }
    if (length > count) {
      ok = false;
      break;
    }
    buffer = length >= 64 ? 0 : buffer << length;
    count -= length;
    const int run = symbol >> 4;
    const int size = symbol & 0x0F;
    if (size == 0) {
      if (run == 0) break;  // end of block
      if (run != 15) {      // no such symbol
        ok = false;
        break;
      }
      k += 16;  // sixteen zeros
      if (k > 64) {
        ok = false;
        break;
      }
      continue;
    }
    k += run;
    if (k > 63 || size > maxAcSize) {
      ok = false;
      break;
    }
    ++k;
  }
  buffer_ = buffer;
  count_ = count;
  return ok;
}

EntropyPosition EntropyReader::Position() const {
  if (count_ == 0) return {next_, 0};
  const auto unusedBytes = static_cast<std::uint64_t>((count_ + 7) / 8);
  const std::uint64_t index = loaded_ - unusedBytes;
  return {loadedAt_[index % loadedAt_.size()], (8 - count_ % 8) % 8};
}

}  // namespace salvex
