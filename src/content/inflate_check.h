#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "content/content_source.h"

namespace salvex {

// What inflating a deflate stream that lies in a source came to.
struct InflateResult {
  enum class End { streamEnd, damaged, cutShort, stopped, tooLong } end = End::damaged;
  std::uint64_t packed = 0;    // bytes of the stream read up to its end
  std::uint64_t produced = 0;  // bytes it gave
  std::uint32_t crc = 0;       // their CRC-32
};

// Inflates the stream from `offset` (raw deflate, or zlib-wrapped with its
// Adler-32 checked when `zlibWrapped`), giving up past `maxProduced` bytes
// out. Stop is looked at after every 64 KiB inflated.
InflateResult InflateFrom(ContentSource& source, std::uint64_t offset, bool zlibWrapped, std::uint64_t maxProduced,
                          const std::atomic<bool>* stop);

// The CRC-32 of `length` bytes from `offset`, read in pieces; nothing when
// they are not all there or Stop was raised.
std::optional<std::uint32_t> SourceCrc32(ContentSource& source, std::uint64_t offset, std::uint64_t length,
                                         const std::atomic<bool>* stop = nullptr);

}  // namespace salvex
