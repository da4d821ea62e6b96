#include "support/exfat_test_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "common/le_bytes.h"
#include "support/exfat_entry_sets.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

// Main boot sector fields.
constexpr std::size_t kFileSystemName = 3;
constexpr std::size_t kPartitionOffset = 64;
constexpr std::size_t kFatOffset = 80;
constexpr std::size_t kFatLength = 84;
constexpr std::size_t kClusterHeapOffset = 88;
constexpr std::size_t kClusterCount = 92;
constexpr std::size_t kFirstClusterOfRoot = 96;
constexpr std::size_t kVolumeSerialNumber = 100;
constexpr std::size_t kBytesPerSectorShift = 108;
constexpr std::size_t kSectorsPerClusterShift = 109;
constexpr std::size_t kBootRegionSectors = 12;  // boot, 8 extended, OEM, reserved, checksum
constexpr std::size_t kBootChecksumSector = 11;
// Allocation Bitmap and Up-case Table entries.
constexpr std::size_t kEntryFirstCluster = 20;
constexpr std::size_t kEntryDataLength = 24;

constexpr std::uint32_t kSerialNumber = 0x5A1E0E8F;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFF;
constexpr std::uint32_t kFirstDataCluster = 2;

void PutLe(std::uint8_t* at, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> ReadAt(const fs::path& image, std::uint64_t offset, std::size_t size) {
  std::ifstream in(image, std::ios::binary);
  std::vector<std::uint8_t> bytes(size);
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  if (!in) throw std::runtime_error("cannot read " + image.string());
  return bytes;
}

std::pair<std::string, std::string> SplitParent(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

ExfatTestVolume ExfatTestVolume::Create(const fs::path& image, std::uint64_t bytes, std::uint32_t clusterBytes,
                                        const std::string& label, std::uint64_t volumeOffset) {
  if (volumeOffset >= bytes || volumeOffset % 512 != 0) throw std::invalid_argument("bad exFAT volume offset");
  fs::remove(image);
  { std::ofstream create(image, std::ios::binary); }
  fs::resize_file(image, bytes);
  // mkfs.exfat has no offset option: a volume behind a partition table is
  // made in a file of its own and copied in, keeping the image sparse.
  const fs::path volume = volumeOffset == 0 ? image : fs::path(image.string() + ".exfat-volume");
  if (volumeOffset != 0) {
    { std::ofstream create(volume, std::ios::binary); }
    fs::resize_file(volume, bytes - volumeOffset);
  }
  std::string command = "mkfs.exfat -c " + std::to_string(clusterBytes);
  if (!label.empty()) command += " -L " + ShellQuote(label);
  RunChecked(command + " " + ShellQuote(volume.string()));
  if (volumeOffset != 0) {
    RunChecked("dd if=" + ShellQuote(volume.string()) + " of=" + ShellQuote(image.string()) +
               " bs=64K oflag=seek_bytes conv=notrunc,sparse status=none seek=" + std::to_string(volumeOffset));
    fs::remove(volume);
  }
  ExfatTestVolume result(image, volumeOffset);
  result.Load();
  result.StampBootRegions();
  return result;
}

ExfatTestVolume::ExfatTestVolume(fs::path image, std::uint64_t volumeOffset)
    : image_(std::move(image)), volumeOffset_(volumeOffset) {}

ExfatTestVolume::~ExfatTestVolume() {
  if (!owner_.owns) return;
  try {
    Flush();
  } catch (const std::exception& error) {
    ADD_FAILURE() << error.what();
  }
}

void ExfatTestVolume::Load() {
  const std::vector<std::uint8_t> boot = ReadAt(image_, volumeOffset_, 512);
  if (!HasText(boot, kFileSystemName, "EXFAT   ")) throw std::runtime_error("mkfs.exfat wrote no exFAT boot sector");
  sectorBytes_ = 1u << std::min<unsigned>(u8(boot, kBytesPerSectorShift), 12);
  clusterBytes_ = sectorBytes_ << std::min<unsigned>(u8(boot, kSectorsPerClusterShift), 13);
  fatOffset_ = std::uint64_t{u32le(boot, kFatOffset)} * sectorBytes_;
  fatBytes_ = std::uint64_t{u32le(boot, kFatLength)} * sectorBytes_;
  heapOffset_ = std::uint64_t{u32le(boot, kClusterHeapOffset)} * sectorBytes_;
  clusterCount_ = u32le(boot, kClusterCount);
  if (fatOffset_ + fatBytes_ > heapOffset_ || fatBytes_ < 4 * (std::uint64_t{clusterCount_} + 2)) {
    throw std::runtime_error("unexpected exFAT geometry from mkfs.exfat");
  }
  head_ = ReadAt(image_, volumeOffset_, heapOffset_);

  Node root;
  root.folder = true;
  root.layout = ExfatLayout::chained;
  root.clusters = ChainFrom(u32le(boot, kFirstClusterOfRoot));
  nodes_.push_back(std::move(root));

  std::uint32_t bitmapFirst = 0, upcaseFirst = 0;
  std::uint64_t bitmapLength = 0, upcaseLength = 0;
  const std::size_t slots = nodes_[0].clusters.size() * (clusterBytes_ / kExfatEntryBytes);
  for (std::size_t slot = 0; slot < slots; ++slot) {
    const Bytes entry(Entry(0, slot), kExfatEntryBytes);
    if (entry[0] == 0) break;
    nodes_[0].usedSlots = slot + 1;
    if (entry[0] == kExfatAllocationBitmap) {
      bitmapFirst = u32le(entry, kEntryFirstCluster);
      bitmapLength = u64le(entry, kEntryDataLength);
    } else if (entry[0] == kExfatUpcaseTable) {
      upcaseFirst = u32le(entry, kEntryFirstCluster);
      upcaseLength = u64le(entry, kEntryDataLength);
    }
  }
  auto contents = [this](std::uint32_t first, std::uint64_t length, std::vector<std::uint32_t>* chain) {
    const std::vector<std::uint32_t> clusters = ChainFrom(first);
    std::vector<std::uint8_t> bytes;
    for (const std::uint32_t cluster : clusters) {
      const std::vector<std::uint8_t>& data = Cluster(cluster);
      bytes.insert(bytes.end(), data.begin(), data.end());
    }
    if (bytes.size() < length) throw std::runtime_error("exFAT system file shorter than its entry says");
    bytes.resize(length);
    if (chain) *chain = clusters;
    return bytes;
  };
  bitmap_ = contents(bitmapFirst, bitmapLength, &bitmapClusters_);
  if (bitmap_.size() * 8 < clusterCount_) throw std::runtime_error("exFAT bitmap too short");
  const std::vector<std::uint8_t> upcase = contents(upcaseFirst, upcaseLength, nullptr);
  upcase_ = ExpandUpcaseTable(upcase);
}

void ExfatTestVolume::StampBootRegions() {
  for (const std::size_t region : {std::size_t{0}, kBootRegionSectors}) {
    std::uint8_t* sector = head_.data() + region * sectorBytes_;
    PutLe(sector + kPartitionOffset, volumeOffset_ / sectorBytes_, 8);
    PutLe(sector + kVolumeSerialNumber, kSerialNumber, 4);
    const std::uint32_t sum = ExfatBootChecksum({sector, kBootChecksumSector * sectorBytes_});
    for (std::size_t at = 0; at < sectorBytes_; at += 4) PutLe(sector + kBootChecksumSector * sectorBytes_ + at, sum, 4);
  }
}

std::uint64_t ExfatTestVolume::ClusterOffset(std::uint32_t cluster) const {
  return volumeOffset_ + heapOffset_ + std::uint64_t{cluster - kFirstDataCluster} * clusterBytes_;
}

std::vector<std::uint8_t>& ExfatTestVolume::Cluster(std::uint32_t cluster) {
  if (cluster < kFirstDataCluster || cluster - kFirstDataCluster >= clusterCount_) {
    throw std::out_of_range("exFAT cluster " + std::to_string(cluster) + " outside the heap");
  }
  auto found = clusters_.find(cluster);
  if (found == clusters_.end()) found = clusters_.emplace(cluster, ReadAt(image_, ClusterOffset(cluster), clusterBytes_)).first;
  return found->second;
}

std::uint32_t ExfatTestVolume::Fat(std::uint32_t cluster) const { return u32le(head_, fatOffset_ + 4 * std::uint64_t{cluster}); }

void ExfatTestVolume::SetFat(std::uint32_t cluster, std::uint32_t value) {
  PutLe(head_.data() + fatOffset_ + 4 * std::uint64_t{cluster}, value, 4);
}

void ExfatTestVolume::LinkChain(const std::vector<std::uint32_t>& clusters) {
  for (std::size_t i = 0; i < clusters.size(); ++i) SetFat(clusters[i], i + 1 < clusters.size() ? clusters[i + 1] : kEndOfChain);
}

std::vector<std::uint32_t> ExfatTestVolume::ChainFrom(std::uint32_t first) const {
  std::vector<std::uint32_t> chain;
  for (std::uint32_t cluster = first; cluster >= kFirstDataCluster && cluster - kFirstDataCluster < clusterCount_;
       cluster = Fat(cluster)) {
    if (chain.size() >= clusterCount_) throw std::runtime_error("exFAT chain loops");
    chain.push_back(cluster);
  }
  return chain;
}

bool ExfatTestVolume::Free(std::uint32_t cluster) const {
  const std::uint32_t bit = cluster - kFirstDataCluster;
  return (bitmap_[bit / 8] & (1u << (bit % 8))) == 0;
}

void ExfatTestVolume::SetInUse(std::uint32_t cluster, bool inUse) {
  const std::uint32_t bit = cluster - kFirstDataCluster;
  const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
  bitmap_[bit / 8] = static_cast<std::uint8_t>(inUse ? bitmap_[bit / 8] | mask : bitmap_[bit / 8] & ~mask);
}

bool ExfatTestVolume::ClusterInUse(std::uint32_t cluster) const {
  return cluster >= kFirstDataCluster && cluster - kFirstDataCluster < clusterCount_ && !Free(cluster);
}

void ExfatTestVolume::Take(std::uint32_t cluster) {
  SetInUse(cluster, true);
  clusters_[cluster].assign(clusterBytes_, 0);
}

std::vector<std::uint32_t> ExfatTestVolume::Allocate(std::size_t count, ExfatLayout layout) {
  std::vector<std::uint32_t> picked;
  const std::uint32_t end = clusterCount_ + kFirstDataCluster;
  if (layout == ExfatLayout::fragmented) {
    // Every other free cluster from the hint on: a gap after each one.
    bool take = true;
    std::uint32_t cluster = nextFree_;
    for (std::uint32_t step = 0; step < clusterCount_ && picked.size() < count; ++step) {
      if (Free(cluster)) {
        if (take) picked.push_back(cluster);
        take = !take;
      }
      cluster = cluster + 1 == end ? kFirstDataCluster : cluster + 1;
    }
  } else {
    // The first run long enough, from the hint to the end, then from the start.
    for (const std::uint32_t from : {nextFree_, kFirstDataCluster}) {
      std::uint32_t runStart = from, runLength = 0;
      for (std::uint32_t cluster = from; cluster < end && runLength < count; ++cluster) {
        if (!Free(cluster)) {
          runStart = cluster + 1;
          runLength = 0;
        } else {
          ++runLength;
        }
      }
      if (runLength == count) {
        for (std::uint32_t i = 0; i < count; ++i) picked.push_back(runStart + i);
        break;
      }
    }
  }
  if (picked.size() < count) throw std::runtime_error("exFAT test volume full");
  for (const std::uint32_t cluster : picked) Take(cluster);
  if (!picked.empty()) nextFree_ = picked.back() + 1 == end ? kFirstDataCluster : picked.back() + 1;
  return picked;
}

std::uint8_t* ExfatTestVolume::Entry(std::size_t folder, std::size_t slot) {
  const std::size_t perCluster = clusterBytes_ / kExfatEntryBytes;
  return Cluster(nodes_[folder].clusters.at(slot / perCluster)).data() + (slot % perCluster) * kExfatEntryBytes;
}

void ExfatTestVolume::GrowFolder(std::size_t folder) {
  const std::uint32_t last = nodes_[folder].clusters.back();
  const bool afterFree = last + 1 < clusterCount_ + kFirstDataCluster && Free(last + 1);
  std::uint32_t next = last + 1;
  if (nodes_[folder].layout != ExfatLayout::fragmented && afterFree) {
    Take(next);
  } else {
    // A fragmented folder keeps the cluster after its last one free: a gap.
    if (afterFree) SetInUse(last + 1, true);
    next = Allocate(1, ExfatLayout::chained).front();
    if (afterFree) SetInUse(last + 1, false);
  }

  Node& node = nodes_[folder];
  if (node.noFatChain && next != last + 1) {
    LinkChain(node.clusters);
    node.noFatChain = false;
  }
  node.clusters.push_back(next);
  if (!node.noFatChain) LinkChain(node.clusters);
  node.dataLength += clusterBytes_;
  node.validDataLength = node.dataLength;
  if (folder != 0) WriteEntrySet(folder);
}

void ExfatTestVolume::WriteEntrySet(std::size_t index) {
  const Node& node = nodes_[index];
  ExfatEntrySet set;
  set.name = node.name;
  set.nameHash = ExfatNameHash(node.name, upcase_);
  set.attributes = node.folder ? 0x10 : 0x20;
  set.timestamp = node.timestamp;
  set.noFatChain = node.noFatChain;
  set.firstCluster = node.clusters.empty() ? 0 : node.clusters.front();
  set.validDataLength = node.validDataLength;
  set.dataLength = node.dataLength;
  const std::vector<std::uint8_t> bytes = EncodeExfatEntrySet(set);
  for (std::size_t i = 0; i * kExfatEntryBytes < bytes.size(); ++i) {
    std::memcpy(Entry(node.parent, node.slot + i), bytes.data() + i * kExfatEntryBytes, kExfatEntryBytes);
  }
}

std::size_t ExfatTestVolume::Find(const std::string& path) const {
  std::size_t node = 0;
  std::size_t begin = 0;
  while (begin < path.size()) {
    std::size_t end = path.find('/', begin);
    if (end == std::string::npos) end = path.size();
    if (end > begin) {
      const auto child = nodes_[node].children.find(path.substr(begin, end - begin));
      if (child == nodes_[node].children.end()) throw std::runtime_error("no " + path + " on the exFAT test volume");
      node = child->second;
    }
    begin = end + 1;
  }
  return node;
}

std::size_t ExfatTestVolume::AddNode(const std::string& path, Node node) {
  const auto [parentPath, name] = SplitParent(path);
  const std::size_t parent = Find(parentPath);
  if (!nodes_[parent].folder) throw std::runtime_error(parentPath + " is not a folder");
  if (nodes_[parent].children.count(name) != 0) throw std::runtime_error(path + " exists already");
  node.name = Utf16FromUtf8(name);
  const std::size_t entries = ExfatEntryCount(node.name);
  const std::size_t perCluster = clusterBytes_ / kExfatEntryBytes;
  // fsck.exfat reads a folder two clusters at a time and cannot check a set
  // that touches three (a long name in 512-byte clusters), which Windows and
  // Linux would read: such a set starts at the next cluster instead, after
  // unused entries.
  const std::size_t first = nodes_[parent].usedSlots;
  const bool threeClusters = (first + entries - 1) / perCluster - first / perCluster >= 2;
  const std::size_t slot = threeClusters ? (first / perCluster + 1) * perCluster : first;
  while (slot + entries > nodes_[parent].clusters.size() * perCluster) GrowFolder(parent);
  for (std::size_t unused = first; unused < slot; ++unused) Entry(parent, unused)[0] = kExfatUnused;
  nodes_[parent].usedSlots = slot;
  node.parent = parent;
  node.slot = nodes_[parent].usedSlots;
  nodes_[parent].usedSlots += entries;
  nodes_.push_back(std::move(node));
  nodes_[parent].children[name] = nodes_.size() - 1;
  WriteEntrySet(nodes_.size() - 1);
  return nodes_.size() - 1;
}

void ExfatTestVolume::AddFolder(const std::string& path, ExfatLayout layout) {
  Node node;
  node.folder = true;
  node.layout = layout;
  node.timestamp = ExfatFileOptions{}.dosTimestamp;
  node.clusters = Allocate(1, layout);
  node.noFatChain = layout == ExfatLayout::contiguous;
  if (!node.noFatChain) LinkChain(node.clusters);
  node.dataLength = node.validDataLength = clusterBytes_;
  AddNode(path, std::move(node));
}

void ExfatTestVolume::AddFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                              const ExfatFileOptions& options) {
  Node node;
  node.layout = options.layout;
  node.timestamp = options.dosTimestamp;
  const std::size_t needed = (bytes.size() + clusterBytes_ - 1) / clusterBytes_;
  if (options.clusters.empty()) {
    node.clusters = Allocate(needed, options.layout);
  } else {
    if (options.clusters.size() != needed) throw std::invalid_argument(path + " is given the wrong number of clusters");
    for (const std::uint32_t cluster : options.clusters) {
      if (!Free(cluster)) throw std::invalid_argument("cluster " + std::to_string(cluster) + " is not free");
      Take(cluster);
    }
    node.clusters = options.clusters;
  }
  for (std::size_t i = 0; i < node.clusters.size(); ++i) {
    const std::size_t from = i * clusterBytes_;
    const std::size_t length = std::min<std::size_t>(clusterBytes_, bytes.size() - from);
    std::memcpy(clusters_[node.clusters[i]].data(), bytes.data() + from, length);
  }
  node.noFatChain = options.layout == ExfatLayout::contiguous && !node.clusters.empty();
  if (!node.noFatChain) LinkChain(node.clusters);
  node.dataLength = bytes.size();
  node.validDataLength = options.validDataLength.value_or(bytes.size());
  if (node.validDataLength > node.dataLength) throw std::invalid_argument("validDataLength past the size of " + path);
  AddNode(path, std::move(node));
}

void ExfatTestVolume::AddFolderEntry(const std::string& path, std::uint32_t firstCluster, std::uint64_t dataLength,
                                     bool noFatChain) {
  Node node;
  node.folder = true;
  node.timestamp = ExfatFileOptions{}.dosTimestamp;
  node.clusters = {firstCluster};
  node.noFatChain = noFatChain;
  node.dataLength = node.validDataLength = dataLength;
  AddNode(path, std::move(node));
}

std::uint64_t ExfatTestVolume::EntrySetOffset(const std::string& path) {
  const Node& node = nodes_[Find(path)];
  const Node& parent = nodes_[node.parent];
  const std::size_t perCluster = clusterBytes_ / kExfatEntryBytes;
  return ClusterOffset(parent.clusters.at(node.slot / perCluster)) + (node.slot % perCluster) * kExfatEntryBytes;
}

void ExfatTestVolume::DeleteNode(std::size_t index, bool clearFatChain) {
  if (nodes_[index].folder) {
    const std::map<std::string, std::size_t> children = nodes_[index].children;
    for (const auto& [name, child] : children) DeleteNode(child, clearFatChain);
  }
  Node& node = nodes_[index];
  for (std::size_t i = 0; i < ExfatEntryCount(node.name); ++i) {
    std::uint8_t& type = Entry(node.parent, node.slot + i)[0];
    type = static_cast<std::uint8_t>(type & ~kExfatInUse);
  }
  for (const std::uint32_t cluster : node.clusters) {
    SetInUse(cluster, false);
    if (clearFatChain && !node.noFatChain) SetFat(cluster, 0);
  }
  node.deleted = true;
  Node& parent = nodes_[node.parent];
  for (auto child = parent.children.begin(); child != parent.children.end(); ++child) {
    if (child->second == index) {
      parent.children.erase(child);
      break;
    }
  }
}

void ExfatTestVolume::Delete(const std::string& path, bool clearFatChain) {
  const std::size_t node = Find(path);
  if (node == 0) throw std::invalid_argument("the root cannot be deleted");
  DeleteNode(node, clearFatChain);
}

std::uint32_t ExfatTestVolume::FirstCluster(const std::string& path) const {
  const Node& node = nodes_[Find(path)];
  return node.clusters.empty() ? 0 : node.clusters.front();
}

std::vector<std::uint32_t> ExfatTestVolume::Clusters(const std::string& path) const { return nodes_[Find(path)].clusters; }

void ExfatTestVolume::DamageMainBootRegion() {
  for (std::size_t at = kPartitionOffset; at < kBytesPerSectorShift; ++at) head_[at] = static_cast<std::uint8_t>(0x5A + 37 * at);
}

void ExfatTestVolume::ZeroBootRegionsAndFat() {
  std::fill_n(head_.begin(), 2 * kBootRegionSectors * sectorBytes_, 0);
  std::fill_n(head_.begin() + static_cast<std::ptrdiff_t>(fatOffset_), fatBytes_, 0);
}

void ExfatTestVolume::Flush() {
  for (std::size_t i = 0; i < bitmapClusters_.size(); ++i) {
    const std::size_t from = i * clusterBytes_;
    if (from >= bitmap_.size()) break;
    std::copy_n(bitmap_.begin() + static_cast<std::ptrdiff_t>(from), std::min<std::size_t>(clusterBytes_, bitmap_.size() - from),
                Cluster(bitmapClusters_[i]).begin());
  }
  std::fstream file(image_, std::ios::in | std::ios::out | std::ios::binary);
  auto write = [&file](std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  write(volumeOffset_, head_);
  std::vector<std::uint32_t> dirty;
  dirty.reserve(clusters_.size());
  for (const auto& [cluster, bytes] : clusters_) dirty.push_back(cluster);
  std::sort(dirty.begin(), dirty.end());
  for (const std::uint32_t cluster : dirty) write(ClusterOffset(cluster), clusters_[cluster]);
  file.flush();
  if (!file) throw std::runtime_error("cannot write " + image_.string());
}

}  // namespace salvex::testing
