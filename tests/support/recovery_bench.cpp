#include "support/recovery_bench.h"

#include <algorithm>
#include <stdexcept>

#include "items/folder_tree.h"
#include "platform/ui_port.h"

namespace salvex::testing {

FatGeometry RecoveryGeometry(FsType type, std::uint32_t sectorsPerCluster, std::uint32_t totalSectors) {
  FatGeometry geometry{.type = type,
                       .totalSectors = totalSectors,
                       .sectorsPerCluster = sectorsPerCluster,
                       .reservedSectors = type == FsType::fat32 ? 32u : 1u};
  if (sectorsPerCluster >= 16) geometry.sectorsPerFat = sectorsPerCluster;
  return geometry;
}

RecoveryBench::RecoveryBench(const FatGeometry& geometry)
    : image(geometry.startSector + geometry.totalSectors), fat(image, geometry) {
  if (fat.ClusterSector(2) >= image.SectorCount()) {
    throw std::logic_error("RecoveryBench: the data area starts outside the image; give the FATs more sectors");
  }
  // Every byte of the data area differs from its neighbours in a way that
  // depends on where it lies, so any cluster read from the wrong place or in
  // the wrong order shows.
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  const std::uint64_t dataStart = fat.ClusterSector(2) * kSectorSize;
  std::vector<std::uint8_t>& bytes = image.Bytes();
  for (std::uint64_t at = dataStart; at < bytes.size(); ++at) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    bytes[at] = static_cast<std::uint8_t>(state >> 24);
  }
  volume = fat.Expected();
  std::filesystem::create_directory(dir / "out");
  std::string error;
  out = HostFolder::Open((dir / "out").string(), error);
  if (!out) throw std::runtime_error(error);
}

std::vector<std::uint8_t> RecoveryBench::BytesAlong(std::span<const std::uint32_t> clusters,
                                                    std::uint64_t size) const {
  std::vector<std::uint8_t> bytes;
  for (const std::uint32_t cluster : clusters) {
    const auto begin = image.Bytes().begin() + static_cast<std::ptrdiff_t>(fat.ClusterSector(cluster) * kSectorSize);
    bytes.insert(bytes.end(), begin, begin + static_cast<std::ptrdiff_t>(ClusterBytes()));
  }
  if (bytes.size() < size) throw std::logic_error("BytesAlong: too few clusters for the size");
  bytes.resize(size);
  return bytes;
}

std::vector<std::uint8_t> RecoveryBench::BytesFrom(std::uint32_t first, std::uint32_t count,
                                                   std::uint64_t size) const {
  std::vector<std::uint32_t> clusters(count);
  for (std::uint32_t i = 0; i < count; ++i) clusters[i] = first + i;
  return BytesAlong(clusters, size);
}

FaultyDiskSource& RecoveryBench::Open() {
  auto source = std::make_unique<FaultyDiskSource>(image.Source());
  FaultyDiskSource& faulty = *source;
  reader.Open(std::move(source));
  return faulty;
}

ExtractionRequest RecoveryBench::Request(const std::string& name, std::uint32_t firstCluster,
                                         std::uint64_t size) const {
  ExtractionRequest request;
  request.destination = out.get();
  request.name = name;
  request.size = size;
  request.firstCluster = firstCluster;
  request.mode = ExtractMode::recover;
  request.fileTime = DosDate(2019, 3, 7);
  return request;
}

std::vector<std::uint8_t> ReadHostFile(const std::filesystem::path& path) {
  const std::string bytes = ReadWholeFile(path);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::string> TreeBelow(const std::filesystem::path& root) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    std::string path = entry.path().lexically_relative(root).generic_string();
    if (entry.is_directory() && !entry.is_symlink()) path += "/";
    paths.push_back(std::move(path));
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

FolderTreeModel RecoveryBench::TreeOf(ItemStore& store) {
  FolderTreeModel tree;
  SilentUiPort quiet;
  BuildFatFolderTree(store, tree, quiet, FolderTreeModel::kRoot);
  return tree;
}

}  // namespace salvex::testing
