#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "disk/scan_state.h"
#include "partition/partition_record.h"

namespace salvex {

// Why the Advance Scan's range fields were refused, in the order they are
// checked.
enum class AdvanceRangeCheck { valid, ntfsChosen, startNotANumber, endNotANumber, endNotAfterStart };

// The largest sector number a byte offset of 64 bits can reach.
inline constexpr SectorNumber kMaxSectorNumber = UINT64_MAX / kSectorSize;

// An unsigned decimal number up to kMaxSectorNumber: digits only, no sign,
// no blanks, not empty.
std::optional<SectorNumber> ParseSectorNumber(std::string_view text);

// The file systems of the range group's list, by position. FAT12 and exFAT
// came last, so the older positions keep their meaning.
inline constexpr std::array<FsType, 5> kAdvanceFileSystems = {FsType::fat16, FsType::fat32, FsType::ntfs,
                                                              FsType::fat12, FsType::exfat};

// The file system at `position` of that list; FsType::none outside it.
constexpr FsType AdvanceFileSystemAt(int position) {
  return position >= 0 && static_cast<std::size_t>(position) < kAdvanceFileSystems.size()
             ? kAdvanceFileSystems[static_cast<std::size_t>(position)]
             : FsType::none;
}

// The position of a file system in that list; none for one it does not hold.
constexpr std::optional<int> AdvanceFileSystemPosition(FsType type) {
  for (std::size_t i = 0; i < kAdvanceFileSystems.size(); ++i) {
    if (kAdvanceFileSystems[i] == type) return static_cast<int>(i);
  }
  return std::nullopt;
}

// Reads the range group into the scan state, as the wizard's Next does: the
// file system from its list position (kAdvanceFileSystems), then the
// start and end sectors. Values read before a failure stay stored, a field
// that fails stores 0; a valid range gets rangeSize = end - start.
AdvanceRangeCheck ReadAdvanceRange(ScanState& scan, int fileSystemPosition, std::string_view startText,
                                   std::string_view endText);

// The file system a sweep of the whole disk looks for: that of the disk's
// first partition (or of the volume that fills a disk without a table) of a
// type the Advance Scan sweeps, else FAT32. An exFAT card is swept for
// exFAT, not for the FAT32 that would find nothing there.
FsType WholeDiskFsType(const PartitionTable& table);

// The first partition inside the range swept whose type is not the one swept
// for: why a sweep found nothing, most likely. None when there is none.
std::optional<std::uint32_t> OtherTypeInRange(const PartitionTable& table, const ScanState& scan);

// The error box's text for a refusal; null for `valid`.
const char* AdvanceRangeMessage(AdvanceRangeCheck check);

// The box shown when either scan is asked to work on an NTFS volume.
inline constexpr const char* kNtfsRefusalMessage =
    "This is NTFS partition. If earlier it was FAT partition and you want to recover it,\n"
    " use Advance Scan OR download the Salvex for NTFS.";

}  // namespace salvex
