#include "snapshot/advance_snapshot.h"

#include <algorithm>

#include "snapshot/snapshot_bytes.h"

namespace salvex {
namespace {

constexpr std::string_view kHeader = "Brimora Salvex 4.03";
// The same lists with every sector number 64-bit, for ranges past 2 TiB;
// older readers refuse it as not an advance-scan snapshot.
constexpr std::string_view kWideHeader = "Brimora Salvex 5.00";
static_assert(kHeader.size() == kAdvanceSnapshotHeadBytes);
static_assert(kWideHeader.size() == kAdvanceSnapshotHeadBytes);
constexpr std::size_t kFolderClusterBytes = 18;
constexpr std::size_t kIndexBlockBytes = 15;
constexpr std::size_t kMftFolderFields = 35;
// A file record holds 39 bytes of fields, but its length field counts 31.
constexpr std::size_t kMftFileCounted = 31;
constexpr std::size_t kMftFileFields = 39;
// An exFAT folder record: sector, first cluster, data length, modified,
// accessed, flags, besides its name.
constexpr std::size_t kExfatFolderFields = 4 + 4 + 8 + 4 + 4 + 1;
constexpr std::uint8_t kExfatNoFatChain = 1;
constexpr std::uint8_t kExfatDeleted = 2;

void WriteNtfsVariant(SnapshotWriter& out, const HitLists& hits) {
  out.U32(static_cast<std::uint32_t>(hits.indexBlocks.size()));
  for (const IndexBlockHit& block : hits.indexBlocks) {
    out.Sector(block.sector);
    out.U32(block.ownerRecord);
    out.U32(block.vcn);
    out.U16(block.mark);
    out.U8(block.sectors);
  }
  out.U32(static_cast<std::uint32_t>(hits.mftFolders.size()));
  for (const MftFolderHit& folder : hits.mftFolders) {
    out.U16(static_cast<std::uint16_t>(folder.name.size() + kMftFolderFields + out.ExtraSectorBytes()));
    out.Text(folder.name);
    out.Sector(folder.sector);
    out.U32(folder.parentRecord);
    out.U32(folder.recordNumber);
    out.U16(folder.candidate);
    out.U64(folder.created);
    out.U64(folder.changed);
    out.U32(folder.indexCluster);
    out.U8(folder.deleted ? 1 : 0);
  }
  out.U32(static_cast<std::uint32_t>(hits.mftFiles.size()));
  for (const MftFileHit& file : hits.mftFiles) {
    out.U16(static_cast<std::uint16_t>(file.name.size() + kMftFileCounted + out.ExtraSectorBytes()));
    out.Text(file.name);
    out.Sector(file.sector);
    out.U32(file.parentRecord);
    out.U32(0);
    out.U64(file.size);
    out.U16(0);
    out.U64(file.created);
    out.U64(file.changed);
    out.U8(file.deleted ? 1 : 0);
  }
}

void ReadNtfsVariant(SnapshotReader& in, HitLists& hits) {
  const std::size_t extra = in.ExtraSectorBytes();
  const std::uint32_t blocks = in.Count(kIndexBlockBytes + extra, "index blocks");
  for (std::uint32_t i = 0; i < blocks; ++i) {
    IndexBlockHit block;
    block.sector = in.Sector();
    block.ownerRecord = in.U32();
    block.vcn = in.U32();
    block.mark = in.U16();
    block.sectors = in.U8();
    hits.indexBlocks.push_back(block);
  }
  const std::uint32_t folders = in.Count(2 + kMftFolderFields + extra, "folders");
  for (std::uint32_t i = 0; i < folders; ++i) {
    MftFolderHit folder;
    folder.name = in.Name(kMftFolderFields + extra);
    folder.sector = in.Sector();
    folder.parentRecord = in.U32();
    folder.recordNumber = in.U32();
    in.U16();  // the candidate: the classification runs again
    folder.created = in.U64();
    folder.changed = in.U64();
    folder.indexCluster = in.U32();
    folder.deleted = (in.U8() & 1) != 0;
    hits.mftFolders.push_back(std::move(folder));
  }
  const std::uint32_t files = in.Count(2 + kMftFileFields + extra, "files");
  for (std::uint32_t i = 0; i < files; ++i) {
    MftFileHit file;
    file.name = in.Name(kMftFileCounted + extra);
    file.sector = in.Sector();
    file.parentRecord = in.U32();
    in.U32();
    file.size = in.U64();
    in.U16();
    file.created = in.U64();
    file.changed = in.U64();
    file.deleted = (in.U8() & 1) != 0;
    hits.mftFiles.push_back(std::move(file));
  }
}

void WriteSectors(SnapshotWriter& out, const std::vector<SectorNumber>& sectors) {
  out.U32(static_cast<std::uint32_t>(sectors.size()));
  for (const SectorNumber sector : sectors) out.Sector(sector);
}

std::vector<SectorNumber> ReadSectors(SnapshotReader& in, const char* what) {
  const std::uint32_t count = in.Count(4 + in.ExtraSectorBytes(), what);
  std::vector<SectorNumber> sectors;
  sectors.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) sectors.push_back(in.Sector());
  std::sort(sectors.begin(), sectors.end());
  return sectors;
}

// Follows the (empty) FAT folder list of an exFAT range; a file saved
// before exFAT sweeps were kept ends there instead.
void WriteExfatVariant(SnapshotWriter& out, const HitLists& hits) {
  out.U32(hits.filesFound);
  out.U32(static_cast<std::uint32_t>(hits.exfatFolders.size()));
  for (const ExfatFolderHit& folder : hits.exfatFolders) {
    out.U16(static_cast<std::uint16_t>(folder.name.size() + kExfatFolderFields + out.ExtraSectorBytes()));
    out.Text(folder.name);
    out.Sector(folder.sector);
    out.U32(folder.firstCluster);
    out.U64(folder.dataLength);
    out.U32(folder.modified);
    out.U32(folder.accessed);
    out.U8(static_cast<std::uint8_t>((folder.noFatChain ? kExfatNoFatChain : 0) | (folder.deleted ? kExfatDeleted : 0)));
  }
  WriteSectors(out, hits.exfatDirectoryStarts);
  out.U32(static_cast<std::uint32_t>(hits.exfatRoots.size()));
  for (const ExfatRootHit& root : hits.exfatRoots) out.Sector(root.sector);
  WriteSectors(out, hits.exfatEntrySectors);
}

void ReadExfatVariant(SnapshotReader& in, HitLists& hits) {
  if (in.Remaining() == 0) return;
  hits.filesFound = in.U32();
  const std::size_t extra = in.ExtraSectorBytes();
  const std::uint32_t folders = in.Count(2 + kExfatFolderFields + extra, "folders");
  for (std::uint32_t i = 0; i < folders; ++i) {
    ExfatFolderHit folder;
    folder.name = in.Name(kExfatFolderFields + extra);
    folder.sector = in.Sector();
    folder.firstCluster = in.U32();
    folder.dataLength = in.U64();
    folder.modified = in.U32();
    folder.accessed = in.U32();
    const std::uint8_t flags = in.U8();
    folder.noFatChain = (flags & kExfatNoFatChain) != 0;
    folder.deleted = (flags & kExfatDeleted) != 0;
    hits.exfatFolders.push_back(std::move(folder));
  }
  hits.exfatDirectoryStarts = ReadSectors(in, "directory starts");
  for (const SectorNumber sector : ReadSectors(in, "root directories")) hits.exfatRoots.push_back({sector});
  hits.exfatEntrySectors = ReadSectors(in, "entry sectors");
}

template <typename Hit>
void SortBySector(std::vector<Hit>& hits) {
  std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.sector < b.sector; });
}

SnapshotWriter EncodeIn(bool wideSectors, const ScanState& scan, const HitLists& hits) {
  SnapshotWriter out(wideSectors);
  out.Text(wideSectors ? kWideHeader : kHeader);
  WriteRange(out, RangeOf(scan));
  out.U32(static_cast<std::uint32_t>(hits.bootSectors.size()));
  for (const BootSectorHit& boot : hits.bootSectors) out.Sector(boot.sector);
  if (scan.selectedFsType == FsType::ntfs) {
    WriteNtfsVariant(out, hits);
    return out;
  }
  out.U32(static_cast<std::uint32_t>(hits.folderClusters.size()));
  for (const FolderClusterHit& hit : hits.folderClusters) {
    out.Sector(hit.sector);
    out.U32(hit.cluster);
    out.U32(hit.parentCluster);
    out.U16(hit.writeDate);
    out.U16(hit.accessDate);
    out.U16(hit.candidate);
  }
  if (scan.selectedFsType == FsType::exfat) WriteExfatVariant(out, hits);
  return out;
}

}  // namespace

// The first layout while every sector number fits in 32 bits, so that older
// readers load the file; the wide one otherwise.
std::vector<std::uint8_t> EncodeAdvanceSnapshot(const ScanState& scan, const HitLists& hits) {
  SnapshotWriter narrow = EncodeIn(false, scan, hits);
  if (!narrow.LostSectorBits()) return narrow.Bytes();
  return EncodeIn(true, scan, hits).Bytes();
}

void CheckAdvanceSnapshotHead(Bytes head) {
  SnapshotReader in(head);
  const std::string header = in.Text(std::min(kHeader.size(), in.Remaining()));
  if (header != kHeader && header != kWideHeader) {
    throw SnapshotError("not an advance-scan snapshot (it does not begin with \"" + std::string(kHeader) + "\")");
  }
}

AdvanceSnapshot DecodeAdvanceSnapshot(Bytes file) {
  CheckAdvanceSnapshotHead(file.first(std::min(file.size(), kAdvanceSnapshotHeadBytes)));
  SnapshotReader in(file);
  in.SetWideSectors(in.Text(kHeader.size()) == kWideHeader);
  AdvanceSnapshot snapshot;
  snapshot.range = ReadRange(in);
  const SectorRange& range = snapshot.range;
  HitLists& hits = snapshot.hits;
  const std::size_t extra = in.ExtraSectorBytes();
  const std::uint32_t boots = in.Count(4 + extra, "boot sectors");
  for (std::uint32_t i = 0; i < boots; ++i) hits.bootSectors.push_back({in.Sector()});
  if (range.selectedFsType == FsType::ntfs) {
    ReadNtfsVariant(in, hits);
  } else {
    const std::uint32_t folders = in.Count(kFolderClusterBytes + extra, "folders");
    for (std::uint32_t i = 0; i < folders; ++i) {
      FolderClusterHit hit;
      hit.sector = in.Sector();
      hit.cluster = in.U32();
      hit.parentCluster = in.U32();
      hit.writeDate = in.U16();
      hit.accessDate = in.U16();
      in.U16();  // the candidate: the classification runs again
      hits.folderClusters.push_back(hit);
    }
    if (range.selectedFsType == FsType::exfat) ReadExfatVariant(in, hits);
  }
  SortBySector(hits.bootSectors);
  SortBySector(hits.folderClusters);
  SortBySector(hits.mftFolders);
  SortBySector(hits.mftFiles);
  SortBySector(hits.indexBlocks);
  SortBySector(hits.exfatFolders);
  hits.bootSectorsFound = static_cast<std::uint32_t>(hits.bootSectors.size());
  const FsType type = range.selectedFsType;
  hits.foldersFound = static_cast<std::uint32_t>(type == FsType::ntfs    ? hits.mftFolders.size()
                                                 : type == FsType::exfat ? hits.exfatFolders.size()
                                                                         : hits.folderClusters.size());
  // The sweep counts exFAT files without keeping them: the file holds the count.
  if (type != FsType::exfat) hits.filesFound = static_cast<std::uint32_t>(hits.mftFiles.size());
  hits.indexBlocksFound = static_cast<std::uint32_t>(hits.indexBlocks.size());
  return snapshot;
}

}  // namespace salvex
