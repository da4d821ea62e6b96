#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace salvex::testing {

// How a file's or folder's clusters lie in the cluster heap.
enum class ExfatLayout {
  contiguous,  // consecutive, NoFatChain set, the FAT left as it is
  chained,     // consecutive, linked through the FAT
  fragmented,  // linked through the FAT, with a free cluster after each one
};

struct ExfatFileOptions {
  ExfatLayout layout = ExfatLayout::contiguous;
  // Less than the size: the bytes from there on are written to the clusters,
  // as stale data a reader must not return, but are not the file's.
  std::optional<std::uint64_t> validDataLength;
  std::uint32_t dosTimestamp = 0x5A8C6B2D;  // FAT-style date << 16 | time, UTC
  // Where its clusters lie, in order, all free (empty: where `layout`
  // allocates them); linked through the FAT unless `layout` is contiguous.
  std::vector<std::uint32_t> clusters = {};
};

// An exFAT volume made at test time by mkfs.exfat (exfatprogs), then filled
// by writing its structures directly: no exFAT tool writes files into an
// image, and loop mounts are not available. Everything is kept in memory and
// written to the image file by Flush (or the destructor). Paths are
// "/"-separated from the root, such as "/A/B/c.txt"; names are UTF-8.
// Every error throws (ToolFailure when a tool fails, std::runtime_error else).
class ExfatTestVolume {
 public:
  // Runs mkfs.exfat on a new image file of `bytes`, the volume starting at
  // byte `volumeOffset` of the file (0: a bare volume; otherwise the caller
  // adds an MBR, type 0x07, in front). The volume serial number is fixed so
  // that every run builds the same bytes, and PartitionOffset names the
  // volume's first sector.
  static ExfatTestVolume Create(const std::filesystem::path& image, std::uint64_t bytes, std::uint32_t clusterBytes,
                                const std::string& label = "", std::uint64_t volumeOffset = 0);
  ~ExfatTestVolume();
  ExfatTestVolume(ExfatTestVolume&&) noexcept = default;
  ExfatTestVolume& operator=(ExfatTestVolume&&) noexcept = default;

  // The parent must exist. A new folder has one cluster; it grows by one
  // cluster at a time, in the layout given (the root always through the FAT).
  // A contiguous folder that cannot grow in place turns into a chained one.
  void AddFolder(const std::string& path, ExfatLayout layout = ExfatLayout::contiguous);
  void AddFile(const std::string& path, const std::vector<std::uint8_t>& bytes, const ExfatFileOptions& options = {});
  // Damage no tool makes: an entry set in `path`'s parent for a folder whose
  // directory is `dataLength` bytes from `firstCluster`, clusters that are
  // someone else's or nobody's (nothing is allocated for it).
  void AddFolderEntry(const std::string& path, std::uint32_t firstCluster, std::uint64_t dataLength, bool noFatChain);
  // Damage no tool makes: the FAT entry of `cluster` set to `value`.
  void SetFatEntry(std::uint32_t cluster, std::uint32_t value) { SetFat(cluster, value); }
  // Byte offset in the image file of the first entry of `path`'s entry set.
  std::uint64_t EntrySetOffset(const std::string& path);
  // Deletes as Windows and Linux do: clears bit 7 of every entry type of the
  // set (0x85 -> 0x05, 0xC0 -> 0x40, 0xC1 -> 0x41), frees the clusters in the
  // allocation bitmap and, when `clearFatChain`, zeroes their FAT entries. A
  // folder goes with everything under it, its contents first.
  void Delete(const std::string& path, bool clearFatChain = false);
  // 0 for an empty file.
  std::uint32_t FirstCluster(const std::string& path) const;
  std::vector<std::uint32_t> Clusters(const std::string& path) const;
  bool ClusterInUse(std::uint32_t cluster) const;

  // Garbles the volume geometry in sector 0 of the main boot region, keeping
  // its name and signature, so that only the boot checksum tells; the backup
  // region stays intact.
  void DamageMainBootRegion();
  // Zeroes both boot regions (sectors 0-23) and the whole FAT.
  void ZeroBootRegionsAndFat();
  void Flush();

  std::uint32_t ClusterBytes() const { return clusterBytes_; }
  std::uint32_t ClusterCount() const { return clusterCount_; }
  // Byte offset of a cluster in the image file.
  std::uint64_t ClusterOffset(std::uint32_t cluster) const;

 private:
  struct Node {
    std::u16string name;
    bool folder = false;
    ExfatLayout layout = ExfatLayout::contiguous;
    std::uint32_t timestamp = 0;
    std::vector<std::uint32_t> clusters;
    bool noFatChain = false;
    std::uint64_t validDataLength = 0;
    std::uint64_t dataLength = 0;
    std::size_t parent = 0;
    std::size_t slot = 0;         // first entry of its set in the parent
    std::size_t usedSlots = 0;    // folders: entries written so far
    std::map<std::string, std::size_t> children;
    bool deleted = false;
  };

  // Keeps the destructor of a moved-from volume from writing.
  struct Owner {
    bool owns = true;
    Owner() = default;
    Owner(Owner&& other) noexcept : owns(std::exchange(other.owns, false)) {}
    Owner& operator=(Owner&& other) noexcept {
      owns = std::exchange(other.owns, false);
      return *this;
    }
  };

  ExfatTestVolume(std::filesystem::path image, std::uint64_t volumeOffset);
  void Load();
  void StampBootRegions();
  std::uint8_t* Entry(std::size_t folder, std::size_t slot);
  std::vector<std::uint8_t>& Cluster(std::uint32_t cluster);
  std::uint32_t Fat(std::uint32_t cluster) const;
  void SetFat(std::uint32_t cluster, std::uint32_t value);
  void LinkChain(const std::vector<std::uint32_t>& clusters);
  std::vector<std::uint32_t> ChainFrom(std::uint32_t first) const;
  bool Free(std::uint32_t cluster) const;
  void SetInUse(std::uint32_t cluster, bool inUse);
  // Marks the cluster in use and starts its contents at zero.
  void Take(std::uint32_t cluster);
  std::vector<std::uint32_t> Allocate(std::size_t count, ExfatLayout layout);
  void GrowFolder(std::size_t folder);
  void WriteEntrySet(std::size_t node);
  std::size_t AddNode(const std::string& path, Node node);
  std::size_t Find(const std::string& path) const;
  void DeleteNode(std::size_t node, bool clearFatChain);

  Owner owner_;
  std::filesystem::path image_;
  std::uint64_t volumeOffset_ = 0;
  std::uint32_t sectorBytes_ = 0;
  std::uint32_t clusterBytes_ = 0;
  std::uint64_t fatOffset_ = 0;  // bytes from the volume's start
  std::uint64_t fatBytes_ = 0;
  std::uint64_t heapOffset_ = 0;
  std::uint32_t clusterCount_ = 0;
  std::vector<std::uint8_t> head_;  // boot regions and FAT, up to the heap
  std::vector<std::uint8_t> bitmap_;
  std::vector<std::uint32_t> bitmapClusters_;
  std::vector<char16_t> upcase_;
  std::unordered_map<std::uint32_t, std::vector<std::uint8_t>> clusters_;
  std::uint32_t nextFree_ = 2;
  std::vector<Node> nodes_;  // [0] is the root
};

}  // namespace salvex::testing

// The names the exFAT reader's tests use.
namespace salvex::test {
using ::salvex::testing::ExfatFileOptions;
using ::salvex::testing::ExfatLayout;
using ::salvex::testing::ExfatTestVolume;
}  // namespace salvex::test
