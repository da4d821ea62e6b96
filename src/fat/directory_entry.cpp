#include "fat/directory_entry.h"

#include "common/utf.h"
#include "fat/long_name.h"
#include "fat/short_name.h"

namespace salvex {
namespace {

constexpr std::size_t kEntrySize = 32;
constexpr std::uint8_t kLongNameAttribute = 0x0F;
constexpr std::uint8_t kVolumeLabelBit = 0x08;
constexpr std::uint8_t kDirectoryBit = 0x10;
constexpr std::uint8_t kReservedAttributeBits = 0xC0;
constexpr std::uint8_t kCaseFlags = 0x18;

// Zero means "not recorded", which FAT allows for every time and date.
bool IsValidTime(std::uint16_t time) {
  return time == 0 || ((time >> 11) <= 23 && ((time >> 5) & 0x3F) <= 59 && (time & 0x1F) <= 29);
}

bool IsValidDate(std::uint16_t date) {
  const int month = (date >> 5) & 0x0F;
  const int day = date & 0x1F;
  return date == 0 || (month >= 1 && month <= 12 && day >= 1);
}

}  // namespace

EntryFault CheckEntryPlausibility(Bytes entry, std::uint32_t firstCluster, const EntryLimits& limits) {
  const std::uint8_t attributes = u8(entry, 11);
  if (attributes & kReservedAttributeBits) return EntryFault::reservedAttributeBits;
  if (attributes & kVolumeLabelBit) return EntryFault::volumeLabel;
  if (u8(entry, 12) & ~kCaseFlags) return EntryFault::unknownCaseFlags;
  if (u8(entry, 13) > 199 || !IsValidTime(u16le(entry, 14)) || !IsValidTime(u16le(entry, 22))) {
    return EntryFault::invalidTime;
  }
  if (!IsValidDate(u16le(entry, 16)) || !IsValidDate(u16le(entry, 18)) || !IsValidDate(u16le(entry, 24))) {
    return EntryFault::invalidDate;
  }
  return CheckEntryBounds(entry, firstCluster, limits);
}

EntryFault CheckEntryBounds(Bytes entry, std::uint32_t firstCluster, const EntryLimits& limits) {
  if ((u8(entry, 11) & kVolumeLabelBit) && firstCluster == 0 && u32le(entry, 28) == 0) {
    return EntryFault::volumeLabel;
  }
  if (limits.lastCluster != 0 && firstCluster > limits.lastCluster) return EntryFault::clusterBeyondVolume;
  if (limits.dataAreaBytes != 0 && u32le(entry, 28) > limits.dataAreaBytes) return EntryFault::sizeBeyondVolume;
  return EntryFault::none;
}

bool BeginsWithDotEntries(Bytes sector) {
  return u8(sector, 0) == '.' && u8(sector, 1) == ' ' && u8(sector, 32) == '.' && u8(sector, 33) == '.';
}

DirectoryEntry DecodeDirectoryEntry(Bytes entries, unsigned index, FsType fsType, const EntryLimits& limits) {
  DirectoryEntry result;
  const Bytes entry = Slice(entries, std::size_t{index} * kEntrySize, kEntrySize);
  if (entry.empty() || entry[0] == 0) {
    result.verdict = EntryVerdict::endOfDirectory;
    return result;
  }
  const std::uint8_t attributes = entry[11];
  if (attributes == kLongNameAttribute) {
    result.verdict = EntryVerdict::longNameEntry;
    return result;
  }
  const std::uint32_t low = u16le(entry, 26);
  result.firstCluster = fsType == FsType::fat32 ? (static_cast<std::uint32_t>(u16le(entry, 20)) << 16) | low : low;
  if (result.firstCluster == 0 && (attributes & kDirectoryBit)) {
    result.verdict = EntryVerdict::noFirstCluster;
    return result;
  }
  result.fault = CheckEntryBounds(entry, result.firstCluster, limits);
  if (result.fault != EntryFault::none) {
    result.verdict = EntryVerdict::implausible;
    return result;
  }
  result.deletedMark = entry[0] == 0xE5;
  result.highWordCleared = result.deletedMark && fsType == FsType::fat32 && u16le(entry, 20) == 0;
  const std::u16string shortName = DecodeShortName(entry);
  std::optional<std::u16string> longName = AssembleLongName(entries, index);
  // A long name that is no text leaves the file its short name.
  if (longName && !IsDecodableName(*longName)) longName.reset();
  // The short entry vouches for the entry; so does, as it always did, a long
  // name clean enough for any system. A live entry is the driver's own: a
  // character FAT forbids in its short name (a '?' a camera wrote) leaves
  // the file as real as any other, so only control characters refuse it.
  const bool shortNameVouches =
      IsAcceptableShortName(shortName) || (!result.deletedMark && IsListableLiveShortName(shortName));
  if (!shortNameVouches && !(longName && IsAcceptableName(*longName))) {
    result.verdict = EntryVerdict::unacceptableName;
    return result;
  }
  const std::u16string& name = longName ? *longName : shortName;
  result.verdict = EntryVerdict::item;
  result.name = Utf16ToUtf8(name);
  result.labelEntry = (attributes & kVolumeLabelBit) != 0;
  // A label entry is no folder, whatever else its attribute says.
  result.isFolder = (attributes & kDirectoryBit) != 0 && !result.labelEntry;
  result.size = u32le(entry, 28);
  result.writeDate = u16le(entry, 24);
  result.writeTime = u16le(entry, 22);
  result.accessDate = u16le(entry, 18);
  return result;
}

}  // namespace salvex
