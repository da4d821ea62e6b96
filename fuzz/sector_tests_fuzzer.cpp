// The input is a sector number (its first four bytes) and a run of sectors:
// each judged the way the deep scan's sweeps judge what they read, each
// 1024 bytes read as an MFT record hit, and the whole run as an index block.
// The deep-scan harness reaches these only through whole disks; here they
// run thousands of times faster.

#include <algorithm>

#include "deepscan/mft_hits.h"
#include "deepscan/sector_tests.h"
#include "fat/directory_entry.h"
#include "fuzz_support.h"
#include "items/items.h"
#include "ntfs/mft_record.h"

using namespace salvex;

namespace {

constexpr std::uint32_t kExtendRecord = 11;
// The sweep reads index blocks of at most this size.
constexpr std::size_t kMaxIndexBlockBytes = 65536;

void CheckFatSector(Bytes sector, std::uint32_t number) {
  const FatSectorKind kind = ClassifyFatSector(sector);
  // A signed sector is never taken for a folder, whatever it begins with.
  FUZZ_CHECK((kind == FatSectorKind::bootSector || kind == FatSectorKind::signedOther) == HasBootSignature(sector));
  // Directory entries are never a folder's first sector, and the sweep's
  // quick test agrees with the whole one.
  if (kind == FatSectorKind::directoryEntries) FUZZ_CHECK(!BeginsWithDotEntries(sector) && HoldsDirectoryEntries(sector));
  if (kind == FatSectorKind::other && !HasBootSignature(sector)) FUZZ_CHECK(!HoldsDirectoryEntries(sector));
  if (kind != FatSectorKind::folderCluster) return;
  const std::optional<FolderClusterHit> hit = ReadFolderClusterHit(sector, number);
  if (!hit) return;
  FUZZ_CHECK(hit->sector == number);
  FUZZ_CHECK(hit->cluster >= 2 && hit->cluster < number && hit->parentCluster != 0xFFFFFFFF);
  FUZZ_CHECK(hit->candidate == kUnclaimed);
}

void CheckNtfsSector(Bytes sector) {
  switch (ClassifyNtfsSector(sector)) {
    case NtfsSectorKind::bootSector: FUZZ_CHECK(HasBootSignature(sector) && HasText(sector, 3, "NTFS")); break;
    case NtfsSectorKind::signedOther: FUZZ_CHECK(HasBootSignature(sector) && !HasText(sector, 3, "NTFS")); break;
    case NtfsSectorKind::fileRecord: FUZZ_CHECK(!HasBootSignature(sector) && HasText(sector, 0, "FILE")); break;
    case NtfsSectorKind::indexBlock: FUZZ_CHECK(!HasBootSignature(sector) && HasText(sector, 0, "INDX")); break;
    case NtfsSectorKind::other: break;
  }
}

// A hit is a folder for a folder record and a file for a file record, never
// both, and the counters follow the lists.
void CheckMftHit(Bytes record, std::uint32_t number) {
  HitLists hits;
  const bool added = RecordMftHitFrom(record, number, hits);
  FUZZ_CHECK(hits.foldersFound == hits.mftFolders.size() && hits.filesFound == hits.mftFiles.size());
  FUZZ_CHECK(hits.mftFolders.size() + hits.mftFiles.size() == (added ? 1u : 0u));
  if (!added) return;
  const std::uint8_t flags = u8(record, 22);
  if (!hits.mftFolders.empty()) {
    const MftFolderHit& hit = hits.mftFolders.front();
    FUZZ_CHECK(IsFolderRecord(flags) && hit.sector == number && hit.deleted == (flags == 2));
    FUZZ_CHECK(fuzz::IsValidUtf8(hit.name));
    FUZZ_CHECK(hit.name != "." || hit.recordNumber == kNtfsRootKey);
    FUZZ_CHECK(hit.name != "$Extend" || hit.recordNumber == kExtendRecord);
    return;
  }
  const MftFileHit& hit = hits.mftFiles.front();
  FUZZ_CHECK((flags == 0 || flags == 1) && hit.sector == number && hit.deleted == (flags == 0));
  FUZZ_CHECK(fuzz::IsValidUtf8(hit.name));
  FUZZ_CHECK(hit.size == FindDataSize(record).value_or(0));
}

void CheckIndexBlock(Bytes block, std::uint32_t number) {
  const std::optional<IndexBlockHit> hit = ReadIndexBlockHit(block, number);
  if (!hit) return;
  FUZZ_CHECK(hit->sector == number && hit->ownerRecord >= kNtfsRootKey && hit->ownerRecord != 0xFFFFFFFF);
  FUZZ_CHECK(block.size() > kMaxIndexBlockBytes || hit->sectors == block.size() / kSectorSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t first = u32le(Bytes(data, size), 0);
  const Bytes sectors(data + 4, size - 4);
  for (std::size_t offset = 0; offset < sectors.size(); offset += kSectorSize) {
    const Bytes sector = sectors.subspan(offset, std::min(kSectorSize, sectors.size() - offset));
    const auto number = static_cast<std::uint32_t>(first + offset / kSectorSize);
    CheckFatSector(sector, number);
    CheckNtfsSector(sector);
  }
  for (std::size_t offset = 0; offset < sectors.size(); offset += kMftRecordSize) {
    const Bytes record = sectors.subspan(offset, std::min(kMftRecordSize, sectors.size() - offset));
    CheckMftHit(record, static_cast<std::uint32_t>(first + offset / kSectorSize));
  }
  CheckIndexBlock(sectors, first);
  return 0;
}
