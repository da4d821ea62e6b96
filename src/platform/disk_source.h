#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/protected_files.h"

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

  // Where the next bytes that may not be zeros begin, at or after
  // `byteOffset`: the holes of a sparse image file read as zeros without
  // being stored, and a sweep need not read them. SizeBytes() when only a
  // hole follows; `byteOffset` itself from a source that cannot tell.
  virtual std::uint64_t NextDataOffset(std::uint64_t byteOffset) const { return byteOffset; }

  // The device's logical sector size in bytes (512, or 4096 on a 4Kn disk),
  // or 0 when the source does not know: an image file says nothing of the
  // disk it was taken from.
  virtual std::uint32_t LogicalSectorBytes() const { return 0; }

  // A name for messages, such as the device or file path.
  virtual std::string Name() const = 0;

  // The host file behind the source, when there is one: what the run must
  // never write to, whatever name or link a destination gives it.
  virtual std::optional<FileIdentity> Identity() const { return std::nullopt; }
};

}  // namespace salvex
