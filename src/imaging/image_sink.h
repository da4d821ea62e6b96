#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace salvex {

// Where the bytes read from the source go: the image file, or a buffer in
// tests. Every byte not written reads as zero.
class ImageSink {
 public:
  virtual ~ImageSink() = default;
  // Writes all of `bytes` at `pos`; false when the host refused them.
  virtual bool WriteAt(std::uint64_t pos, std::span<const std::uint8_t> bytes) = 0;
  // Makes what was written so far durable, before a map says it is there.
  virtual bool Sync() = 0;
  // Why the last write or sync failed ("No space left on device"), when known.
  virtual std::string FailureReason() const { return {}; }
};

}  // namespace salvex
