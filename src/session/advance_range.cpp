#include "session/advance_range.h"

namespace salvex {

std::optional<SectorNumber> ParseSectorNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  SectorNumber value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<SectorNumber>(c - '0');
    if (value > (kMaxSectorNumber - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

AdvanceRangeCheck ReadAdvanceRange(ScanState& scan, int fileSystemPosition, std::string_view startText,
                                   std::string_view endText) {
  // Each field is stored as it is read, so what was read before a refusal
  // stays, as the fields themselves do.
  SectorRange range = RangeOf(scan);
  const auto check = [&] {
    range.selectedFsType = AdvanceFileSystemAt(fileSystemPosition);
    if (range.selectedFsType == FsType::ntfs) return AdvanceRangeCheck::ntfsChosen;
    const auto start = ParseSectorNumber(startText);
    range.rangeStart = start.value_or(0);
    if (!start) return AdvanceRangeCheck::startNotANumber;
    const auto end = ParseSectorNumber(endText);
    range.rangeEnd = end.value_or(0);
    if (!end) return AdvanceRangeCheck::endNotANumber;
    if (*end <= *start) return AdvanceRangeCheck::endNotAfterStart;
    range.rangeSize = *end - *start;
    return AdvanceRangeCheck::valid;
  }();
  ApplyRange(range, scan);
  return check;
}

FsType WholeDiskFsType(const PartitionTable& table) {
  for (std::uint32_t i = 0; i < table.partitionCount && i < table.records.size(); ++i) {
    const FsType type = table.records[i].fsType;
    if (type != FsType::none && type != FsType::ntfs && AdvanceFileSystemPosition(type)) return type;
  }
  return FsType::fat32;
}

std::optional<std::uint32_t> OtherTypeInRange(const PartitionTable& table, const ScanState& scan) {
  const SectorNumber end = scan.rangeStart + scan.rangeSize;
  for (std::uint32_t i = 0; i < table.partitionCount && i < table.records.size(); ++i) {
    const PartitionRecord& record = table.records[i];
    // NTFS is not swept by the wizard: not a type to point the user to.
    if (record.fsType == FsType::none || record.fsType == FsType::ntfs || record.fsType == scan.selectedFsType) {
      continue;
    }
    if (record.startSector >= scan.rangeStart && record.startSector < end) return i;
  }
  return std::nullopt;
}

const char* AdvanceRangeMessage(AdvanceRangeCheck check) {
  switch (check) {
    case AdvanceRangeCheck::ntfsChosen:
      return kNtfsRefusalMessage;
    case AdvanceRangeCheck::startNotANumber:
      return "      Start sector value is not valid, It should be a positive number";
    case AdvanceRangeCheck::endNotANumber:
      return "      End sector value is not valid, It should be a positive number";
    case AdvanceRangeCheck::endNotAfterStart:
      return "      End sector should be bigger than start sector";
    case AdvanceRangeCheck::valid:
      break;
  }
  return nullptr;
}

}  // namespace salvex
