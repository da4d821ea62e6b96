#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/sector.h"

namespace salvex::testing {

// A disk image with one FAT partition, made by sfdisk and mkfs.fat (fixed
// volume id and SOURCE_DATE_EPOCH) and filled through mtools, for recovery
// runs of the real program. Paths are "/"-separated from the volume's root.
class RecoveryToolDisk {
 public:
  static constexpr std::uint32_t kPartitionStart = 2048;

  // Throws std::runtime_error with the tool's output when a tool fails.
  // `reservedSectors` 0 leaves the count to mkfs.fat.
  RecoveryToolDisk(std::filesystem::path image, FsType type, std::uint32_t sectorsPerCluster,
                   std::uint32_t partitionSectors, std::uint32_t reservedSectors = 0);

  // A FAT12 floppy disk image of `kibibytes` (1440: 3.5-inch high density)
  // made by mkfs.fat alone: its volume fills it, without a partition table.
  struct Floppy {
    std::uint32_t kibibytes = 1440;
  };
  RecoveryToolDisk(std::filesystem::path image, Floppy floppy);

  const std::filesystem::path& Image() const { return image_; }

  struct HostFile {
    std::string name;
    std::string bytes;
    std::int64_t modified = 0;  // seconds since 1970
  };

  void MakeFolders(const std::vector<std::string>& paths);
  // Writes the files on the host and copies them, in the order given, into
  // `folder` ("" for the root) with one mcopy -m, which keeps their dates
  // (the UTC day, as every tool runs with TZ=UTC).
  void CopyFiles(const std::string& folder, const std::vector<HostFile>& files);
  void Delete(const std::vector<std::string>& paths);
  void DeleteTree(const std::string& path);
  // The chain of a file as mshowfat lists it: "<first-last>" for each run of
  // consecutive clusters.
  std::vector<std::string> ClusterRuns(const std::string& path);
  // Marks the FAT32 FSInfo "next free cluster" hint unknown (0xFFFFFFFF), so
  // that mtools searches for free clusters from the volume's start again,
  // as it does on FAT16, instead of going on after the last one it took.
  void ForgetNextFreeCluster();

 private:
  std::string Mtools(const std::string& tool, const std::string& arguments);
  std::string Target(const std::string& path) const;

  std::filesystem::path image_;
  std::filesystem::path scratch_;
  std::uint64_t volumeStart_ = kPartitionStart;
};

// Bytes that differ from file to file and cover every byte value.
std::string PatternBytes(std::string_view seed, std::size_t size);

// True when both files hold the same bytes.
bool SameFileBytes(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace salvex::testing
