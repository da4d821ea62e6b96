#include "deepscan/exfat_sector_tests.h"

#include "common/sector.h"
#include "exfat/exfat_entry_set.h"
#include "exfat/exfat_walk.h"
#include "volume/exfat_boot_region.h"

namespace salvex {
namespace {

using namespace exfat_entry;

constexpr std::uint8_t kDeletedFile = Deleted(kFile);
constexpr std::uint8_t kDeletedStream = Deleted(kStreamExtension);
constexpr std::size_t kEntriesPerSector = kSectorSize / kExfatEntrySize;
// The longest set: a File entry, a stream and 17 name entries.
constexpr std::size_t kLongestSet = 19 * kExfatEntrySize;

bool MayBeginSet(Bytes following, std::size_t offset) {
  const std::uint8_t type = u8(following, offset);
  const std::uint8_t next = u8(following, offset + kExfatEntrySize);
  return (type == kFile && next == kStreamExtension) || (type == kDeletedFile && next == kDeletedStream);
}

// A bitmap or up-case entry with a cluster and a length: what a formatter writes.
bool IsTableEntry(Bytes entry) { return u32le(entry, kFirstCluster) >= 2 && u64le(entry, kDataLength) != 0; }

}  // namespace

ExfatSectorFindings JudgeExfatSector(Bytes following) {
  ExfatSectorFindings findings;
  const Bytes sector = Slice(following, 0, kSectorSize);
  if (sector.empty()) return findings;
  if (IsExfatBootSector(sector)) {
    findings.bootSector = true;
    return findings;
  }
  bool bitmap = false;
  bool upcase = false;
  for (std::size_t slot = 0; slot < kEntriesPerSector; ++slot) {
    const std::size_t offset = slot * kExfatEntrySize;
    const Bytes entry = sector.subspan(offset, kExfatEntrySize);
    const std::uint8_t type = entry[0];
    if (type == kAllocationBitmap && IsTableEntry(entry)) {
      bitmap = true;
      findings.beginsDirectory = findings.beginsDirectory || slot == 0;
      continue;
    }
    if (type == kUpcaseTable && IsTableEntry(entry)) {
      upcase = true;
      findings.beginsDirectory = findings.beginsDirectory || slot == 0;
      continue;
    }
    if (slot == 0 && type == kVolumeLabel && u8(entry, 1) <= kMaxLabelUnits) {
      findings.beginsDirectory = true;
      continue;
    }
    if (!MayBeginSet(following, offset)) continue;
    const ExfatSetDecode decoded = DecodeExfatEntrySet(following, offset);
    if (!decoded.set || !decoded.set->checksumOk) continue;
    const ExfatEntrySet& set = *decoded.set;
    findings.beginsDirectory = findings.beginsDirectory || slot == 0;
    if (!set.IsFolder()) {
      ++findings.files;
      continue;
    }
    if (set.firstCluster < 2 || set.firstCluster >= 0xFFFFFFF6) continue;
    ExfatFolderHit hit;
    hit.name = ExfatItemName(set);
    hit.firstCluster = set.firstCluster;
    hit.dataLength = set.dataLength;
    hit.modified = set.modified;
    hit.accessed = set.accessed;
    hit.noFatChain = set.NoFatChain();
    hit.deleted = set.deleted;
    findings.folders.push_back(std::move(hit));
  }
  findings.holdsRootEntries = bitmap && upcase;
  return findings;
}

bool ExfatSetMayBeCut(Bytes following) {
  if (following.size() >= kSectorSize + kLongestSet) return false;
  for (std::size_t offset = 0; offset < kSectorSize; offset += kExfatEntrySize) {
    const std::uint8_t type = u8(following, offset);
    if (type != kFile && type != kDeletedFile) continue;
    // Its stream entry lies beyond the bytes given.
    if (!Fits(following, offset + kExfatEntrySize, kExfatEntrySize)) return true;
    if (MayBeginSet(following, offset) &&
        DecodeExfatEntrySet(following, offset).rejection == ExfatSetRejection::truncated) {
      return true;
    }
  }
  return false;
}

}  // namespace salvex
