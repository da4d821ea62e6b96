#include "disk/sector_reader.h"

#include <algorithm>

#include "common/sector.h"

namespace salvex {

bool SectorReader::ReadSectors(std::uint64_t startSector, std::uint32_t count, std::span<std::uint8_t> buffer) {
  return ReadWithFallback(startSector, count, buffer, nullptr);
}

bool SectorReader::TryReadSectors(std::uint64_t startSector, std::uint32_t count, std::span<std::uint8_t> buffer) {
  const std::uint64_t length = static_cast<std::uint64_t>(count) * kSectorSize;
  if (!source_ || buffer.size() < length || startSector > UINT64_MAX / kSectorSize - count) return false;
  return source_->ReadAt(startSector * kSectorSize, buffer.first(length));
}

std::uint32_t SectorReader::ReadSectorsFillingGaps(std::uint64_t startSector, std::uint32_t count,
                                                   std::span<std::uint8_t> buffer,
                                                   std::vector<std::uint32_t>* unreadable) {
  std::vector<std::uint32_t> own;
  std::vector<std::uint32_t>& gaps = unreadable ? *unreadable : own;
  gaps.clear();
  if (!ReadWithFallback(startSector, count, buffer, &gaps) && gaps.empty()) {
    // Nothing was attempted (no disk, bad arguments): nothing is trustworthy.
    const std::size_t length = std::min<std::size_t>(buffer.size(), std::size_t{count} * kSectorSize);
    std::fill_n(buffer.begin(), length, std::uint8_t{0});
    for (std::uint32_t i = 0; i < count; ++i) gaps.push_back(i);
    return count;
  }
  return static_cast<std::uint32_t>(gaps.size());
}

bool SectorReader::ReadWithFallback(std::uint64_t startSector, std::uint32_t count, std::span<std::uint8_t> buffer,
                                    std::vector<std::uint32_t>* unreadable) {
  if (!source_) return false;
  const std::uint64_t length = static_cast<std::uint64_t>(count) * kSectorSize;
  if (buffer.size() < length) return false;
  if (startSector > UINT64_MAX / kSectorSize - count) return false;

  if (source_->ReadAt(startSector * kSectorSize, buffer.first(length))) return true;

  bool lastAttemptSucceeded = false;
  const std::uint16_t retries = badSectorRetries_;
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto sector = buffer.subspan(static_cast<std::size_t>(i) * kSectorSize, kSectorSize);
    bool read = false;
    for (std::uint16_t attempt = 0; attempt < retries && !read; ++attempt) {
      read = source_->ReadAt((startSector + i) * kSectorSize, sector);
      lastAttemptSucceeded = read;
    }
    if (!read && unreadable) {
      std::fill(sector.begin(), sector.end(), std::uint8_t{0});
      unreadable->push_back(i);
    }
  }
  return lastAttemptSucceeded;
}

bool ReadSectorsZeroed(SectorReader& reader, std::uint64_t startSector, std::uint32_t count,
                       std::span<std::uint8_t> buffer) {
  const std::size_t length = std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(count) * kSectorSize);
  std::fill_n(buffer.begin(), length, std::uint8_t{0});
  return reader.ReadSectors(startSector, count, buffer);
}

}  // namespace salvex
