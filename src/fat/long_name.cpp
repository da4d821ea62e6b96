#include "fat/long_name.h"

#include <array>

#include "common/utf.h"
#include "fat/short_name.h"

namespace salvex {
namespace {

constexpr std::size_t kEntrySize = 32;
constexpr std::uint8_t kLongNameAttribute = 0x0F;
constexpr std::uint8_t kLastEntryFlag = 0x40;
constexpr std::uint8_t kDeletedMark = 0xE5;
constexpr std::size_t kChecksumOffset = 13;
constexpr std::array<std::size_t, 13> kUnitOffsets{1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
// 20 entries of 13 units: the name stops once it passes 255 units.
constexpr std::size_t kMaxUnitsBeforeStop = 255;

bool IsLongNameEntry(Bytes entries, unsigned index) {
  return u8(entries, index * kEntrySize + 11) == kLongNameAttribute;
}

}  // namespace

std::uint8_t ShortNameChecksum(Bytes shortEntry) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 11; ++i) {
    sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + u8(shortEntry, i));
  }
  return sum;
}

std::optional<std::u16string> AssembleLongName(Bytes entries, unsigned entryIndex) {
  const Bytes shortEntry = Slice(entries, std::size_t{entryIndex} * kEntrySize, kEntrySize);
  const bool shortDeleted = u8(shortEntry, 0) == kDeletedMark;
  const std::uint8_t checksum = ShortNameChecksum(shortEntry);
  std::u16string name;
  unsigned count = 0;
  for (unsigned current = entryIndex; current > 0 && IsLongNameEntry(entries, current - 1); --current) {
    const std::size_t offset = (current - 1) * kEntrySize;
    const std::uint8_t sequence = u8(entries, offset);
    const std::uint8_t partChecksum = u8(entries, offset + kChecksumOffset);
    if ((sequence == kDeletedMark) != shortDeleted) {
      if (count == 0) return std::nullopt;
      break;
    }
    if (!shortDeleted && partChecksum != checksum) return std::nullopt;
    // Deleted parts no longer say which is a set's last: another checksum
    // begins another set.
    if (shortDeleted && count > 0 && partChecksum != u8(entries, offset + kEntrySize + kChecksumOffset)) break;
    for (const std::size_t unitOffset : kUnitOffsets) {
      const char16_t unit = u16le(entries, offset + unitOffset);
      if (unit == 0) return name.empty() ? std::nullopt : std::optional(name);
      name.push_back(unit);
    }
    ++count;
    if (sequence == kLastEntryFlag + count) break;
    if (name.size() > kMaxUnitsBeforeStop) break;
  }
  if (name.empty()) return std::nullopt;
  return name;
}

bool IsAcceptableName(std::u16string_view name) {
  // What a short name may hold, and no path separator either.
  return IsDecodableName(name) && IsAcceptableShortName(name) &&
         name.find_first_of(u"/\\") == std::u16string_view::npos;
}

bool IsDecodableName(std::u16string_view name) {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t unit = name[i];
    if (unit == 0xFFFE || unit == 0xFFFF || IsLowSurrogate(unit)) return false;
    if (IsHighSurrogate(unit)) {
      if (i + 1 == name.size() || !IsLowSurrogate(name[i + 1])) return false;
      ++i;
    }
  }
  return true;
}

}  // namespace salvex
