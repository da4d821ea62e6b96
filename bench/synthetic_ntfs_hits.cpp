#include "synthetic_ntfs_hits.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace salvex::bench {
namespace {

constexpr std::uint32_t kRootRecord = 5;
constexpr std::uint64_t kCreatedBase = 0x01D9'0000'0000'0000;  // 2023, in 100 ns units since 1601
constexpr std::uint32_t kFolderAttributes = 0x1000'0000;      // the index entry's "directory" flag
constexpr std::size_t kFirstEntry = 64;

std::string FolderName(std::uint32_t folder) {
  char name[32];
  std::snprintf(name, sizeof name, "Folder %07u", folder);
  return name;
}

std::uint64_t Created(std::uint32_t folder) { return kCreatedBase + std::uint64_t{folder} * 10'000'000; }

std::uint32_t ParentRecord(const NtfsLayout& layout, std::uint32_t folder) {
  const std::uint32_t fanOut = layout.subfoldersPerFolder;
  return folder < fanOut ? kRootRecord : layout.RecordOf(folder / fanOut - 1);
}

void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}
void Put32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void Put64(std::uint8_t* at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The header of an index block; an update sequence count of 0 leaves the
// bytes as they are.
void PutIndexHeader(std::uint8_t* block, std::uint64_t vcn) {
  std::memcpy(block, "INDX", 4);
  Put16(block + 4, 0x28);
  Put64(block + 16, vcn);
  Put32(block + 24, kFirstEntry - 24);
  Put32(block + 32, 4096 - 24);
}

}  // namespace

SyntheticNtfsHits MakeSyntheticNtfsHits(const NtfsHitShape& shape) {
  SyntheticNtfsHits result;
  NtfsLayout& layout = result.layout;
  const std::uint32_t folders = shape.folders;
  layout.folders = folders;
  layout.subfoldersPerFolder = shape.subfoldersPerFolder;
  layout.noiseEvery = shape.noiseEvery;
  layout.withoutIndexEvery = shape.withoutIndexEvery;
  const std::uint32_t noise = folders / shape.noiseEvery;
  const std::uint32_t firstFileRecord = layout.RecordOf(folders - 1) + 2;
  const std::uint32_t records = firstFileRecord + folders * shape.filesPerFolder;
  const std::uint32_t mftClusters = (2 * records + layout.sectorsPerCluster - 1) / layout.sectorsPerCluster;
  layout.firstBlockCluster = layout.mftCluster + mftClusters + 16;
  layout.secondBlockCluster = layout.firstBlockCluster + folders;
  for (std::uint32_t k = 0; k < folders; ++k) {
    if (layout.HasIndex(k) && k % shape.secondBlockEvery == 0) ++layout.secondBlocks;
  }
  layout.noiseBlockCluster = layout.secondBlockCluster + layout.secondBlocks;
  layout.noiseBlocks = noise;
  layout.dataCluster = layout.noiseBlockCluster + noise;
  layout.volumeSectors = (layout.dataCluster + folders) * layout.sectorsPerCluster + 1;
  layout.diskSectors = std::uint64_t{layout.volumeStart} + layout.volumeSectors + 2048;

  HitLists& hits = result.hits;
  const std::uint32_t mftStart = layout.MftStart();
  std::uint32_t secondBlock = 0;
  std::vector<IndexBlockHit> seconds;
  std::vector<IndexBlockHit> noiseBlocks;
  for (std::uint32_t k = 0; k < folders; ++k) {
    const std::uint32_t record = layout.RecordOf(k);
    MftFolderHit folder;
    folder.name = FolderName(k);
    folder.sector = mftStart + 2 * record;
    folder.parentRecord = ParentRecord(layout, k);
    folder.recordNumber = k % shape.unnumberedEvery == shape.unnumberedEvery / 2 ? 0 : record;
    folder.created = folder.changed = Created(k);
    if (layout.HasIndex(k)) {
      folder.indexCluster = layout.firstBlockCluster + k;
      hits.indexBlocks.push_back({layout.ClusterSector(folder.indexCluster), record, 0, 0xFFFF, 8});
      ++result.indexedFolders;
      if (k % shape.secondBlockEvery == 0) {
        seconds.push_back({layout.ClusterSector(layout.secondBlockCluster + secondBlock++), record, 1, 0xFFFF, 8});
      }
    }
    hits.mftFolders.push_back(std::move(folder));
    if ((k + 1) % shape.noiseEvery == 0) {
      // Its geometry start, block - size x cluster, is its own for every
      // cluster size: (8 - 3 size) x j never repeats, and 8 / 3 is no size.
      const std::uint32_t j = (k + 1) / shape.noiseEvery - 1;
      MftFolderHit junk;
      junk.name = "Old " + FolderName(j);
      junk.sector = mftStart + 2 * (record + 1);
      junk.parentRecord = kRootRecord;
      junk.recordNumber = record + 1;
      junk.created = junk.changed = kCreatedBase;
      junk.indexCluster = layout.dataCluster + 3 * j;
      noiseBlocks.push_back({layout.ClusterSector(layout.noiseBlockCluster + j), record + 1, 0, 0xFFFF, 8});
      hits.mftFolders.push_back(std::move(junk));
    }
  }
  // Lists in sector order: first blocks, second blocks, noise blocks.
  hits.indexBlocks.insert(hits.indexBlocks.end(), seconds.begin(), seconds.end());
  hits.indexBlocks.insert(hits.indexBlocks.end(), noiseBlocks.begin(), noiseBlocks.end());
  for (std::uint32_t k = 0; k < folders; ++k) {
    for (std::uint32_t f = 0; f < shape.filesPerFolder; ++f) {
      const std::uint32_t record = firstFileRecord + k * shape.filesPerFolder + f;
      MftFileHit file;
      file.name = "Document " + std::to_string(record) + ".txt";
      file.sector = mftStart + 2 * record;
      file.parentRecord = layout.RecordOf(k);
      file.created = file.changed = Created(k);
      file.size = 1000 + record % 5000;
      hits.mftFiles.push_back(std::move(file));
    }
  }
  if (shape.bootSectors) {
    hits.bootSectors.push_back({layout.volumeStart});
    hits.bootSectors.push_back({layout.volumeStart + layout.volumeSectors - 1});
  }
  hits.bootSectorsFound = static_cast<std::uint32_t>(hits.bootSectors.size());
  hits.foldersFound = static_cast<std::uint32_t>(hits.mftFolders.size());
  hits.filesFound = static_cast<std::uint32_t>(hits.mftFiles.size());
  hits.indexBlocksFound = static_cast<std::uint32_t>(hits.indexBlocks.size());
  result.realFolders = folders;
  return result;
}

namespace {

void FillBootSector(const NtfsLayout& layout, std::uint8_t* sector) {
  std::memcpy(sector + 3, "NTFS    ", 8);
  Put16(sector + 11, 512);
  sector[13] = static_cast<std::uint8_t>(layout.sectorsPerCluster);
  Put64(sector + 40, layout.volumeSectors);
  Put64(sector + 48, layout.mftCluster);
  Put64(sector + 56, 2);
  sector[68] = 1;  // clusters per index block
  sector[510] = 0x55;
  sector[511] = 0xAA;
}

// Folder k's first index block up to `size` bytes: one entry per
// subfolder, as the folder's index names it.
void FillFirstBlock(const NtfsLayout& layout, std::uint32_t folder, std::uint8_t* block, std::size_t size) {
  PutIndexHeader(block, 0);
  const std::uint32_t fanOut = layout.subfoldersPerFolder;
  const std::uint64_t first = std::uint64_t{fanOut} * (folder + 1);
  const std::uint64_t last = std::min<std::uint64_t>(first + fanOut, layout.folders);
  std::size_t offset = kFirstEntry;
  for (std::uint64_t child = first; child < last; ++child) {
    const auto k = static_cast<std::uint32_t>(child);
    const std::string name = FolderName(k);
    const std::size_t length = (82 + 2 * name.size() + 7) / 8 * 8;
    if (offset + length + 16 > size) throw std::logic_error("the subfolders' entries overflow the index block");
    std::uint8_t* entry = block + offset;
    Put64(entry, layout.RecordOf(k));
    Put16(entry + 8, static_cast<std::uint16_t>(length));
    Put16(entry + 10, static_cast<std::uint16_t>(66 + 2 * name.size()));
    Put64(entry + 16, layout.RecordOf(folder));
    Put64(entry + 24, Created(k));
    Put32(entry + 72, kFolderAttributes);
    entry[80] = static_cast<std::uint8_t>(name.size());
    entry[81] = 1;  // Win32 name
    for (std::size_t i = 0; i < name.size(); ++i) Put16(entry + 82 + 2 * i, static_cast<std::uint8_t>(name[i]));
    offset += length;
  }
}

}  // namespace

SyntheticNtfsDisk::SyntheticNtfsDisk(const NtfsLayout& layout) : layout_(layout) {
  auto blocks = std::make_shared<std::vector<std::uint8_t>>(std::size_t{layout.folders} * kKeptBytes, 0);
  for (std::uint32_t k = 0; k < layout.folders; ++k) {
    if (layout.HasIndex(k)) FillFirstBlock(layout, k, blocks->data() + std::size_t{k} * kKeptBytes, kKeptBytes);
  }
  firstBlocks_ = std::move(blocks);
}

void SyntheticNtfsDisk::ReadSector(std::uint64_t sector, std::uint8_t* out) const {
  std::memset(out, 0, 512);
  const NtfsLayout& l = layout_;
  const std::uint64_t volumeEnd = std::uint64_t{l.volumeStart} + l.volumeSectors;
  if (sector == l.volumeStart || sector + 1 == volumeEnd) {
    FillBootSector(l, out);
    return;
  }
  if (sector < l.volumeStart || sector >= volumeEnd) return;
  const std::uint64_t cluster = (sector - l.volumeStart) / l.sectorsPerCluster;
  const std::size_t within = static_cast<std::size_t>((sector - l.volumeStart) % l.sectorsPerCluster) * 512;
  if (cluster >= l.firstBlockCluster && cluster < l.secondBlockCluster) {
    if (within >= kKeptBytes) return;
    const std::size_t folder = cluster - l.firstBlockCluster;
    std::memcpy(out, firstBlocks_->data() + folder * kKeptBytes + within, std::min<std::size_t>(512, kKeptBytes - within));
  } else if (within == 0 && cluster >= l.secondBlockCluster && cluster < l.noiseBlockCluster) {
    PutIndexHeader(out, 1);
  } else if (within == 0 && cluster >= l.noiseBlockCluster && cluster < l.dataCluster) {
    PutIndexHeader(out, 0);
  }
}

bool SyntheticNtfsDisk::ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) {
  if (byteOffset % 512 != 0 || out.size() % 512 != 0) return false;
  if (byteOffset > SizeBytes() || out.size() > SizeBytes() - byteOffset) return false;
  for (std::size_t done = 0; done < out.size(); done += 512) ReadSector((byteOffset + done) / 512, out.data() + done);
  return true;
}

}  // namespace salvex::bench
