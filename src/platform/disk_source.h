#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace salvex {

// Something that holds a disk's bytes: a block device, an image file, a buffer.
// Sources are read-only by construction: there is no write operation.
class DiskSource {
 public:
  virtual ~DiskSource() = default;

  // Reads exactly out.size() bytes starting at byteOffset. Returns false when
  // the device reports an error or the range passes the end of the disk; the
  // contents of `out` are then unspecified.
  virtual bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) = 0;

  virtual std::uint64_t SizeBytes() const = 0;

  // A name for messages, such as the device or file path.
  virtual std::string Name() const = 0;
};

}  // namespace salvex
