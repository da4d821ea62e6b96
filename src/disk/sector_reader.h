#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/disk_source.h"

namespace salvex {

// The only way the engines read the selected disk: whole 512-byte sectors,
// with the bad-sector retry rule of direct reads. The reader never fills or
// clears the caller's buffer by itself: bytes of a sector it could not read are
// whatever the buffer held before. Callers that judge a sector by its
// contents use ReadSectorsZeroed instead.
class SectorReader {
 public:
  // `badSectorRetries` is read at every fallback, so a change of the setting
  // applies to the next read.
  explicit SectorReader(const std::uint16_t& badSectorRetries) : badSectorRetries_(badSectorRetries) {}

  void Open(std::unique_ptr<DiskSource> source) { source_ = std::move(source); }
  void Close() { source_.reset(); }
  // Hands the open source over to the caller; the reader is then closed.
  std::unique_ptr<DiskSource> Release() { return std::move(source_); }
  bool IsOpen() const { return source_ != nullptr; }
  const std::uint16_t& BadSectorRetries() const { return badSectorRetries_; }
  DiskSource* Source() const { return source_.get(); }

  // Reads `count` sectors from absolute sector `startSector` into `buffer`
  // (at least count × 512 bytes). The block is tried as one request; when that
  // fails, each sector is tried alone up to badSectorRetries times. The result
  // is that of the very last attempt: a failure on the last sector fails the
  // call, failures before it do not. False when no disk is open.
  bool ReadSectors(std::uint64_t startSector, std::uint32_t count, std::span<std::uint8_t> buffer);

  // One request for the whole block and nothing more: no single-sector
  // retries. For callers that read ahead and fall back to ReadSectors.
  bool TryReadSectors(std::uint64_t startSector, std::uint32_t count, std::span<std::uint8_t> buffer);

  // The same reads, for callers that write out what they read: a sector that
  // stays unreadable after the retries is filled with zeros (never left with
  // older bytes) and counted. Returns the number of such sectors; all of them
  // when no disk is open or the buffer is too small. `unreadable`, when
  // given, receives the positions (0-based within the block) of those sectors.
  std::uint32_t ReadSectorsFillingGaps(std::uint64_t startSector, std::uint32_t count, std::span<std::uint8_t> buffer,
                                       std::vector<std::uint32_t>* unreadable = nullptr);

 private:
  // The block request, then single sectors with retries. Returns whether the
  // very last attempt succeeded; zeroes the sectors that failed every
  // attempt, and lists their positions, when `unreadable` is given.
  bool ReadWithFallback(std::uint64_t startSector, std::uint32_t count, std::span<std::uint8_t> buffer,
                        std::vector<std::uint32_t>* unreadable);

  const std::uint16_t& badSectorRetries_;
  std::unique_ptr<DiskSource> source_;
};

// Clears the buffer, then reads: a sector that cannot be read reads as zeros,
// never as the bytes of an earlier read.
bool ReadSectorsZeroed(SectorReader& reader, std::uint64_t startSector, std::uint32_t count,
                       std::span<std::uint8_t> buffer);

}  // namespace salvex
