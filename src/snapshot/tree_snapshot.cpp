#include "snapshot/tree_snapshot.h"

#include <algorithm>
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
static_assert(kMagic.size() + kVersion.size() == kTreeSnapshotHeadBytes);
static_assert(kWideVersion.size() == kVersion.size());
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
  out.Text(kMagic);
  out.Text(wideSectors ? kWideVersion : kVersion);
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
  if (!HoldsFatRecords(volume.fsType)) return out;

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
  if (!EqualsIgnoringCase(version, kVersion) && version != kWideVersion) throw SnapshotError(kVersionMismatchMessage);
}

TreeSnapshot DecodeTreeSnapshot(Bytes file) {
  CheckTreeSnapshotHead(file.first(std::min(file.size(), kTreeSnapshotHeadBytes)));
  SnapshotReader in(file);
  in.Text(kMagic.size());
  in.SetWideSectors(in.Text(kVersion.size()) == kWideVersion);
  TreeSnapshot snapshot;
  snapshot.range = ReadRange(in);
  VolumeParameters& volume = snapshot.volume;
  volume.fsType = static_cast<FsType>(in.U16());
  if (!HoldsFatRecords(volume.fsType) && volume.fsType != FsType::ntfs) {
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
  if (!HoldsFatRecords(volume.fsType)) return snapshot;

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
