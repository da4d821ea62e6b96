#include "snapshot/tree_snapshot.h"

#include <algorithm>
#include <memory>
#include <type_traits>

#include "common/visible_text.h"
#include "snapshot/snapshot_bytes.h"

namespace salvex {

// exFAT's items are FAT's, in the same records; what FAT's records cannot
// hold follows them (see WriteExfatExtents).
bool HoldsFatRecords(FsType type) { return IsFatType(type) || type == FsType::exfat; }

namespace {

constexpr std::string_view kMagic = "rsn4.03";
constexpr std::string_view kVersion = "1.0";
// The same records with 64-bit sector numbers in the range and the volume
// parameters, for volumes that lie past 2 TiB. Readers of 1.0 refuse it
// with their version message.
constexpr std::string_view kWideVersion = "2.0";
// Either layout with the files a search by content found after the
// records: written only when there are some, so that older readers load
// every other snapshot, and refuse these with their version message
// rather than take found files for entries with no cluster.
constexpr std::string_view kFoundVersion = "1.1";
constexpr std::string_view kWideFoundVersion = "2.1";
static_assert(kMagic.size() + kVersion.size() == kTreeSnapshotHeadBytes);
static_assert(kWideVersion.size() == kVersion.size());
static_assert(kFoundVersion.size() == kVersion.size() && kWideFoundVersion.size() == kVersion.size());
constexpr std::size_t kFolderFields = 15;
constexpr std::size_t kFileFields = 21;

constexpr std::size_t kRunBytes = 8;
constexpr std::size_t kExtentFixedBytes = 8 + 8 + 1 + 4;
// A file record's deleted byte: bit 0 deleted, as it always was; bit 1 its
// first cluster was guessed (its high word cleared), bit 2 its high word was
// cleared. Older readers look at bit 0 alone, and older files leave the
// others clear.
constexpr std::uint8_t kDeletedFlag = 1;
constexpr std::uint8_t kClusterInferredFlag = 2;
constexpr std::uint8_t kHighWordClearedFlag = 4;
constexpr std::uint8_t kOverwrittenMark = 1;
constexpr std::uint8_t kChainAssumedMark = 2;
constexpr std::uint8_t kFragmentInferredMark = 4;
constexpr std::uint8_t kNameIncompleteMark = 8;

// After the file records of an exFAT volume, one extent per file in the
// same order: its 64-bit size, its valid data length, its marks (bit 0
// overwritten, bit 1 read as one run because the FAT is lost or its chain
// cleared, bit 2 its clusters worked out around other files, bit 3 its name
// made from damaged name entries) and its
// cluster runs (see FatFileItem::clusterRuns), so that a loaded snapshot
// reads the same bytes the scan would and warns as it did.
void WriteExfatExtents(SnapshotWriter& out, const ItemStore& store) {
  for (const FatFileItem& file : store.FatFiles().Items()) {
    out.U64(file.size);
    out.U64(file.validSize);
    out.U8((file.overwritten ? kOverwrittenMark : 0) | (file.chainAssumed ? kChainAssumedMark : 0) |
           (file.fragmentInferred ? kFragmentInferredMark : 0) | (file.nameIncomplete ? kNameIncompleteMark : 0));
    out.U32(static_cast<std::uint32_t>(file.clusterRuns.size()));
    for (const ClusterRun& run : file.clusterRuns) {
      out.U32(run.first);
      out.U32(run.count);
    }
  }
}

void ReadExfatExtents(SnapshotReader& in, std::vector<FatFileItem>& files) {
  for (FatFileItem& file : files) {
    if (in.Remaining() < kExtentFixedBytes) throw SnapshotError("an exFAT file's extent is cut short");
    file.size = in.U64();
    file.validSize = std::min(in.U64(), file.size);
    const std::uint8_t marks = in.U8();
    file.overwritten = (marks & kOverwrittenMark) != 0;
    file.chainAssumed = (marks & kChainAssumedMark) != 0;
    file.fragmentInferred = (marks & kFragmentInferredMark) != 0;
    file.nameIncomplete = (marks & kNameIncompleteMark) != 0;
    const std::uint32_t runs = in.Count(kRunBytes, "cluster runs");
    file.clusterRuns.reserve(runs);
    for (std::uint32_t i = 0; i < runs; ++i) {
      ClusterRun run;
      run.first = in.U32();
      run.count = in.U32();
      file.clusterRuns.push_back(run);
    }
  }
}

// After the records of a snapshot with found files, one record per such
// file, in file order: its position among the file records, its 64-bit
// size (a file found on a FAT volume may pass the 32 bits of its record), its verdict,
// why it was cut, its marks (bit 0 put together from pieces, bit 1 found
// inside another file), its family, its extents on the disk (first byte,
// length) and the stretches of it whose content fails (start, end).
constexpr std::uint8_t kJoinedMark = 1;
constexpr std::uint8_t kEmbeddedMark = 2;
constexpr std::size_t kMaxFamilyBytes = 32;
constexpr std::size_t kFoundFixedBytes = 4 + 8 + 1 + 1 + 1 + 2 + 4 + 4;
constexpr std::size_t kFoundPairBytes = 16;

bool HoldsFoundFiles(const ItemStore& store) {
  return std::any_of(store.FatFiles().Items().begin(), store.FatFiles().Items().end(),
                     [](const FatFileItem& file) { return file.carved != nullptr; });
}

void WriteFoundFiles(SnapshotWriter& out, const ItemStore& store) {
  const auto& files = store.FatFiles().Items();
  const auto found = static_cast<std::uint32_t>(
      std::count_if(files.begin(), files.end(), [](const FatFileItem& file) { return file.carved != nullptr; }));
  out.U32(found);
  for (std::uint32_t position = 0; position < files.size(); ++position) {
    const CarvedPlacement* placement = files[position].carved.get();
    if (!placement) continue;
    out.U32(position);
    out.U64(files[position].size);
    out.U8(static_cast<std::uint8_t>(placement->verdict));
    out.U8(static_cast<std::uint8_t>(placement->cut));
    out.U8((placement->joined ? kJoinedMark : 0) | (placement->embedded ? kEmbeddedMark : 0));
    const std::string_view family = std::string_view(placement->family).substr(0, kMaxFamilyBytes);
    out.U16(static_cast<std::uint16_t>(family.size()));
    out.Text(family);
    out.U32(static_cast<std::uint32_t>(placement->extents.size()));
    for (const DiskExtent& extent : placement->extents) {
      out.U64(extent.first);
      out.U64(extent.length);
    }
    out.U32(static_cast<std::uint32_t>(placement->damagedSpans.size()));
    for (const CarvedSpan& span : placement->damagedSpans) {
      out.U64(span.start);
      out.U64(span.end);
    }
  }
}

void ReadFoundFiles(SnapshotReader& in, std::vector<FatFileItem>& files) {
  const std::uint32_t count = in.Count(kFoundFixedBytes + kFoundPairBytes, "found files");
  // Written only with some: without any it would read back as another layout.
  if (count == 0) throw SnapshotError("it says it holds files found by their content, and holds none");
  std::uint64_t next = 0;  // positions ascend: each file is found once
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t position = in.U32();
    if (position < next || position >= files.size()) {
      throw SnapshotError("a found file names file record " + std::to_string(position) + " out of turn or beyond the " +
                          std::to_string(files.size()) + " records");
    }
    next = std::uint64_t{position} + 1;
    files[position].size = in.U64();
    auto placement = std::make_shared<CarvedPlacement>();
    const std::uint8_t verdict = in.U8();
    const std::uint8_t cut = in.U8();
    if (verdict > static_cast<std::uint8_t>(CarvedVerdict::partial) || cut > static_cast<std::uint8_t>(CarvedCut::areaEnd)) {
      throw SnapshotError("a found file's verdict or cut is unknown");
    }
    placement->verdict = static_cast<CarvedVerdict>(verdict);
    placement->cut = static_cast<CarvedCut>(cut);
    const std::uint8_t marks = in.U8();
    placement->joined = (marks & kJoinedMark) != 0;
    placement->embedded = (marks & kEmbeddedMark) != 0;
    const std::uint16_t familyBytes = in.U16();
    if (familyBytes > kMaxFamilyBytes) throw SnapshotError("a found file's family name is too long");
    placement->family = in.Text(familyBytes);
    const std::uint32_t extents = in.Count(kFoundPairBytes, "extents");
    if (extents == 0) throw SnapshotError("a found file lies nowhere on the disk");
    placement->extents.reserve(extents);
    for (std::uint32_t e = 0; e < extents; ++e) {
      DiskExtent extent;
      extent.first = in.U64();
      extent.length = in.U64();
      if (extent.length > UINT64_MAX - extent.first) throw SnapshotError("a found file's extent passes 64 bits");
      placement->extents.push_back(extent);
    }
    const std::uint32_t spans = in.Count(kFoundPairBytes, "damaged stretches");
    placement->damagedSpans.reserve(spans);
    for (std::uint32_t d = 0; d < spans; ++d) {
      CarvedSpan span;
      span.start = in.U64();
      span.end = in.U64();
      if (span.end < span.start) throw SnapshotError("a found file's damaged stretch ends before it starts");
      placement->damagedSpans.push_back(span);
    }
    files[position].carved = std::move(placement);
  }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

// The stored volume parameters in file order (rootDirStart is not stored):
// counts are 32-bit, sector numbers in the layout's width.
template <typename Volume, typename Field>
void ForEachVolumeField(Volume& volume, const Field& field) {
  field(volume.sectorsPerFat);
  field(volume.sectorsPerCluster);
  field(volume.rootDirSectors);
  field(volume.reservedSectors);
  field(volume.clusterBase);
  field(volume.fat1Start);
  field(volume.fat2Start);
  field(volume.mftStart);
  field(volume.mftMirrStart);
  field(volume.ntfsConst2);
  field(volume.indexBufferSectors);
  field(volume.volumeEnd);
}

SnapshotWriter EncodeIn(bool wideSectors, const ScanState& scan, const VolumeParameters& volume,
                        const ItemStore& store) {
  SnapshotWriter out(wideSectors);
  // NTFS snapshots hold no records, so no found files either.
  const bool found = volume.fsType != FsType::ntfs && HoldsFoundFiles(store);
  out.Text(kMagic);
  out.Text(found ? (wideSectors ? kWideFoundVersion : kFoundVersion) : (wideSectors ? kWideVersion : kVersion));
  WriteRange(out, RangeOf(scan));
  out.U16(static_cast<std::uint16_t>(volume.fsType));
  const auto write = [&](const auto& field) {
    if constexpr (std::is_same_v<std::decay_t<decltype(field)>, SectorNumber>) {
      out.Sector(field);
    } else {
      out.U32(field);
    }
  };
  ForEachVolumeField(volume, write);
  out.U16(volume.foundFsOrdinal);
  // Files found on no volume (a whole disk searched) are filed as FAT's are.
  if (!HoldsFatRecords(volume.fsType) && !found) return out;

  out.U32(static_cast<std::uint32_t>(store.FatFolders().Size()));
  for (const FatFolderItem& folder : store.FatFolders().Items()) {
    out.U16(static_cast<std::uint16_t>(folder.name.size() + kFolderFields));
    out.Text(folder.name);
    out.U32(folder.firstCluster);
    out.U32(folder.parentCluster);
    out.U16(folder.writeDate);
    out.U16(folder.accessDate);
    out.U8(folder.deleted ? 1 : 0);
    out.U16(0);
  }
  out.U32(static_cast<std::uint32_t>(store.FatFiles().Size()));
  for (const FatFileItem& file : store.FatFiles().Items()) {
    out.U16(static_cast<std::uint16_t>(file.name.size() + kFileFields));
    out.Text(file.name);
    out.U32(file.firstCluster);
    out.U32(file.parentCluster);
    out.U16(file.writeDate);
    out.U16(file.accessDate);
    out.U32(static_cast<std::uint32_t>(file.size));  // FAT sizes are 32-bit
    out.U8((file.deleted ? kDeletedFlag : 0) | (file.clusterInferred ? kClusterInferredFlag : 0) |
           (file.highWordCleared ? kHighWordClearedFlag : 0));
    out.U32(file.id);
  }
  if (volume.fsType == FsType::exfat) WriteExfatExtents(out, store);
  if (found) WriteFoundFiles(out, store);
  return out;
}

}  // namespace

// The first layout while every sector number fits in 32 bits, so that older
// readers load the file; the wide one otherwise.
std::vector<std::uint8_t> EncodeTreeSnapshot(const ScanState& scan, const VolumeParameters& volume,
                                             const ItemStore& store) {
  SnapshotWriter narrow = EncodeIn(false, scan, volume, store);
  if (!narrow.LostSectorBits()) return narrow.Bytes();
  return EncodeIn(true, scan, volume, store).Bytes();
}

void CheckTreeSnapshotHead(Bytes head) {
  SnapshotReader in(head);
  const std::string magic = in.Text(std::min<std::size_t>(kMagic.size(), in.Remaining()));
  if (!EqualsIgnoringCase(magic, kMagic)) {
    throw SnapshotError("    Invalid version of the file found : " + VisibleText(magic));
  }
  const std::string version = in.Text(std::min<std::size_t>(kVersion.size(), in.Remaining()));
  if (!EqualsIgnoringCase(version, kVersion) && version != kWideVersion && version != kFoundVersion &&
      version != kWideFoundVersion) {
    throw SnapshotError(kVersionMismatchMessage);
  }
}

TreeSnapshot DecodeTreeSnapshot(Bytes file) {
  CheckTreeSnapshotHead(file.first(std::min(file.size(), kTreeSnapshotHeadBytes)));
  SnapshotReader in(file);
  in.Text(kMagic.size());
  const std::string version = in.Text(kVersion.size());
  in.SetWideSectors(version == kWideVersion || version == kWideFoundVersion);
  const bool found = version == kFoundVersion || version == kWideFoundVersion;
  TreeSnapshot snapshot;
  snapshot.range = ReadRange(in);
  VolumeParameters& volume = snapshot.volume;
  volume.fsType = static_cast<FsType>(in.U16());
  if (found && !HoldsFatRecords(volume.fsType) && volume.fsType != FsType::none) {
    throw SnapshotError("it holds files found by their content on a file system of type " +
                        std::to_string(static_cast<unsigned>(volume.fsType)) + ", where no search files them");
  }
  if (!found && !HoldsFatRecords(volume.fsType) && volume.fsType != FsType::ntfs) {
    throw SnapshotError("it names a file system of type " + std::to_string(static_cast<unsigned>(volume.fsType)) +
                        ", which no scan makes (50 FAT12, 100 FAT16, 200 FAT32, 300 NTFS, 400 exFAT)");
  }
  const auto read = [&](auto& field) {
    if constexpr (std::is_same_v<std::decay_t<decltype(field)>, SectorNumber>) {
      field = in.Sector();
    } else {
      field = in.U32();
    }
  };
  ForEachVolumeField(volume, read);
  volume.foundFsOrdinal = in.U16();
  if (!HoldsFatRecords(volume.fsType) && !found) return snapshot;

  const std::uint32_t folders = in.Count(2 + kFolderFields, "folders");
  snapshot.folders.reserve(folders);
  for (std::uint32_t i = 0; i < folders; ++i) {
    FatFolderItem folder;
    folder.name = in.Name(kFolderFields);
    folder.firstCluster = in.U32();
    folder.parentCluster = in.U32();
    folder.writeDate = in.U16();
    folder.accessDate = in.U16();
    folder.deleted = (in.U8() & 1) != 0;
    in.U16();
    snapshot.folders.push_back(std::move(folder));
  }
  const std::uint32_t files = in.Count(2 + kFileFields, "files");
  snapshot.files.reserve(files);
  for (std::uint32_t i = 0; i < files; ++i) {
    FatFileItem item;
    item.name = in.Name(kFileFields);
    item.firstCluster = in.U32();
    item.parentCluster = in.U32();
    item.writeDate = in.U16();
    item.accessDate = in.U16();
    item.size = in.U32();
    const std::uint8_t flags = in.U8();
    item.deleted = (flags & kDeletedFlag) != 0;
    item.clusterInferred = (flags & kClusterInferredFlag) != 0;
    item.highWordCleared = (flags & kHighWordClearedFlag) != 0;
    in.U32();  // the stored id: files are numbered again
    snapshot.files.push_back(std::move(item));
  }
  if (volume.fsType == FsType::exfat) ReadExfatExtents(in, snapshot.files);
  if (found) ReadFoundFiles(in, snapshot.files);
  return snapshot;
}

void ApplyTreeSnapshot(const TreeSnapshot& snapshot, ScanState& scan, VolumeParameters& volume, ItemStore& store) {
  store.ClearFatItems();
  store.ClearNtfsItems();
  ApplyRange(snapshot.range, scan);
  const SectorNumber rootDirStart = volume.rootDirStart;
  volume = snapshot.volume;
  volume.rootDirStart = rootDirStart;
  for (const FatFolderItem& folder : snapshot.folders) {
    store.AddFatFolder(folder.name, folder.firstCluster, folder.parentCluster, folder.writeDate, folder.accessDate, 0,
                       folder.deleted);
  }
  for (const FatFileItem& file : snapshot.files) {
    store.AddFatFile(file);
    ++store.counters.fileCount;
  }
}

}  // namespace salvex
