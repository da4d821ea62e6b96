#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "deepscan/mount.h"
#include "exfat/exfat_entry_set.h"
#include "exfat/exfat_walk.h"
#include "fat/cluster_conflicts.h"
#include "fat/directory_decoder.h"
#include "items/folder_tree.h"

namespace salvex {
namespace {

// A directory of unknown length (the root, a lost one) is read at most this
// many clusters on, while no end mark is met.
constexpr std::uint64_t kUnknownDirectoryClusters = 64;
// No exFAT directory is larger than 256 MiB.
constexpr std::uint64_t kMaxDirectoryBytes = std::uint64_t{256} << 20;
// Directory clusters are read this many sectors at a time, up to the end mark.
constexpr std::uint32_t kPieceSectors = 64;
constexpr std::size_t kMaxConflictsNamed = 8;
constexpr std::uint8_t kEndOfDirectory = 0x00;

std::string LostFolderName(std::uint32_t cluster) { return "Dir" + std::to_string(cluster); }

// A folder as the mount knows it before it goes into the store.
struct PendingFolder {
  std::string name;
  std::uint32_t key = 0;  // its first cluster
  std::uint16_t writeDate = 0;
  std::uint16_t accessDate = 0;
  bool deleted = false;
  std::uint64_t dataLength = 0;  // 0: unknown
  std::optional<std::uint32_t> parent;
  std::optional<std::uint32_t> entrySector;  // where the sweep found its entry set
};

// Mounts an exFAT volume found without its boot regions and FAT: every
// directory is read as consecutive clusters from its first one, as far as
// its stated length, the end mark, or the start of another known
// directory; every file is read as consecutive clusters, as an entry with
// NoFatChain says.
class LostExfatMount {
 public:
  explicit LostExfatMount(MountContext& context)
      : context_(context),
        volume_(context.volume.volume),
        clusterBytes_(std::uint64_t{volume_.sectorsPerCluster} * kSectorSize),
        lastCluster_(LastCluster()) {}

  bool Run() {
    context_.store.ClearFatItems();
    UiPort& ui = context_.volume.ui;
    ui.SetStatus("Step 1 / 3 ....");
    ui.SetProgress(0);
    ui.ShowProgress(true);
    ui.SetStopVisible(true);
    if (lastCluster_ >= 2) {
      AddClaimedFolders();
      if (volume_.rootDirStart >= 2 && volume_.rootDirStart <= lastCluster_) {
        ReadDirectory(kFatRootKey, volume_.RootCluster(), 0);
      }
      ui.SetStatus("Step 2 / 3 ....");
      ReadFolders();
    }
    ui.SetStopVisible(false);
    const bool completed = !context_.volume.scan.StopRequested();
    context_.volume.scan.stopRequested = false;
    ui.SetStatus("Step 3 / 3 ....");
    FillStore();
    BuildFatFolderTree(context_.store, context_.tree, ui, context_.treeRoot);
    ui.SetProgress(0);
    ui.ShowProgress(false);
    ui.SetStatus("");
    return completed;
  }

 private:
  // The highest cluster that begins on the disk (or in the range swept): a
  // cut-short last one is read as far as it goes.
  std::uint32_t LastCluster() const {
    if (clusterBytes_ == 0) return 0;
    const std::uint64_t heap = std::uint64_t{volume_.clusterBase} + 2 * std::uint64_t{volume_.sectorsPerCluster};
    const std::uint64_t last = LastVolumeSector(volume_, context_.volume.scan);
    if (last < heap) return 0;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>((last - heap) / volume_.sectorsPerCluster + 2, 0xFFFFFFF5));
  }

  std::uint64_t ClustersFor(std::uint64_t bytes) const { return (bytes + clusterBytes_ - 1) / clusterBytes_; }

  bool Stopped() const { return context_.volume.scan.StopRequested(); }

  void AddFolder(PendingFolder folder) {
    const auto known = index_.find(folder.key);
    if (known != index_.end()) {
      // A live entry wins over a deleted one for the same clusters.
      PendingFolder& kept = folders_[known->second];
      if (kept.deleted && !folder.deleted) {
        folder.parent = folder.parent ? folder.parent : kept.parent;
        kept = std::move(folder);
      }
      return;
    }
    index_.emplace(folder.key, folders_.size());
    folders_.push_back(std::move(folder));
  }

  void AddClaimedFolders() {
    const std::uint16_t ordinal = volume_.foundFsOrdinal;
    for (const ExfatFolderHit& hit : context_.state.hits.exfatFolders) {
      if (hit.candidate != ordinal || hit.firstCluster < 2 || hit.firstCluster > lastCluster_) continue;
      AddFolder({hit.name, hit.firstCluster, static_cast<std::uint16_t>(hit.modified >> 16),
                 static_cast<std::uint16_t>(hit.accessed >> 16), hit.deleted, hit.dataLength, std::nullopt, hit.sector});
    }
  }

  // Reads the folders in list order (those its directories name join the
  // list); then makes a "Dir" folder, read like the others, for each folder
  // whose parent was never read: the cluster that holds its entry set; then
  // lists the entry sets of the clusters no directory read reached.
  void ReadFolders() {
    ReadUnreadFolders();
    AddLostParents();
    ReadUnreadFolders();
    ListOrphanEntrySectors();
    ReadUnreadFolders();
  }

  void ReadUnreadFolders() {
    UiPort& ui = context_.volume.ui;
    for (std::size_t i = 0; i < folders_.size() && !Stopped(); ++i) {
      if (read_.contains(folders_[i].key)) continue;
      ReadDirectory(folders_[i].key, folders_[i].key, folders_[i].dataLength);
      ui.SetProgress(ProgressPercent(i + 1, folders_.size()));
    }
  }

  // Where this volume's clusters end: its last sector when known, else the
  // next found file system's start.
  std::uint64_t VolumeLimit() const {
    if (volume_.volumeEnd != 0) return std::uint64_t{volume_.volumeEnd} + 1;
    std::uint64_t limit = std::uint64_t{LastVolumeSector(volume_, context_.volume.scan)} + 1;
    for (const FoundFileSystem& other : context_.state.found) {
      if (other.clusterBase > volume_.clusterBase) limit = std::min<std::uint64_t>(limit, other.clusterBase);
    }
    return limit;
  }

  // The clusters in which the sweep found entry sets and that no directory
  // read reached (a directory's later clusters, whose FAT links are gone):
  // their entries go under "Lost Files". Each cluster is read once.
  void ListOrphanEntrySectors() {
    const std::uint64_t heap = std::uint64_t{volume_.clusterBase} + 2 * std::uint64_t{volume_.sectorsPerCluster};
    const std::uint64_t limit = VolumeLimit();
    for (const SectorNumber sector : context_.state.hits.exfatEntrySectors) {
      if (Stopped()) return;
      if (sector < heap || sector >= limit) continue;
      const auto cluster = static_cast<std::uint32_t>((sector - volume_.clusterBase) / volume_.sectorsPerCluster);
      if (cluster > lastCluster_ || clusterOwner_.contains(cluster) || index_.contains(cluster)) continue;
      ReadDirectory(kLostEntriesKey, cluster, 0);
    }
  }

  void AddLostParents() {
    for (std::size_t i = 0; i < folders_.size(); ++i) {
      if (folders_[i].parent || !folders_[i].entrySector) continue;
      const std::uint64_t sector = *folders_[i].entrySector;
      const std::uint64_t heap = std::uint64_t{volume_.clusterBase} + 2 * std::uint64_t{volume_.sectorsPerCluster};
      if (sector < heap) continue;
      const auto cluster = static_cast<std::uint32_t>((sector - volume_.clusterBase) / volume_.sectorsPerCluster);
      const auto owner = clusterOwner_.find(cluster);
      if (owner != clusterOwner_.end()) {
        folders_[i].parent = owner->second;
        continue;
      }
      if (index_.contains(cluster) || cluster > lastCluster_) continue;
      AddFolder({LostFolderName(cluster), cluster, 0, 0, false, 0, kFatRootKey, std::nullopt});
    }
  }

  // Another directory begins at the cluster, or a directory read took it
  // already: no entry is listed twice.
  std::uint32_t LostDirectory(std::uint32_t cluster) {
    AddFolder({LostFolderName(cluster), cluster, 0, 0, false, 0, kFatRootKey, std::nullopt});
    return cluster;
  }

  bool IsTaken(std::uint32_t cluster, std::uint32_t key) const {
    return (cluster != key && index_.contains(cluster)) || clusterOwner_.contains(cluster);
  }

  // The directory's bytes: `first` on, as its length says (unknown: 0), up
  // to its end mark and never into another known directory.
  std::vector<std::uint8_t> ReadClusters(std::uint32_t key, std::uint32_t first, std::uint64_t dataLength) {
    const std::uint64_t most = std::min(dataLength != 0 ? ClustersFor(dataLength) : kUnknownDirectoryClusters,
                                        std::max<std::uint64_t>(1, kMaxDirectoryBytes / clusterBytes_));
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> piece;
    bool ended = false;
    for (std::uint64_t n = 0; n < most && !ended; ++n) {
      const std::uint64_t cluster = std::uint64_t{first} + n;
      if (cluster > lastCluster_ || IsTaken(static_cast<std::uint32_t>(cluster), key)) break;
      clusterOwner_.emplace(static_cast<std::uint32_t>(cluster), key);
      const std::uint64_t sector = std::uint64_t{volume_.clusterBase} + cluster * volume_.sectorsPerCluster;
      for (std::uint32_t done = 0; done < volume_.sectorsPerCluster && !ended; done += kPieceSectors) {
        const std::uint32_t count = std::min(kPieceSectors, volume_.sectorsPerCluster - done);
        piece.assign(std::size_t{count} * kSectorSize, 0);
        ReadSectorsZeroed(context_.volume.reader, sector + done, count, piece);
        bytes.insert(bytes.end(), piece.begin(), piece.end());
        for (std::size_t at = 0; at < piece.size() && !ended; at += kExfatEntrySize) ended = piece[at] == kEndOfDirectory;
      }
    }
    return bytes;
  }

  void ReadDirectory(std::uint32_t key, std::uint32_t first, std::uint64_t dataLength) {
    read_.emplace(key, true);
    context_.volume.ui.SetPanelValue(panel::kCurrentSector, std::to_string(volume_.ClusterToSector(first)));
    const std::vector<std::uint8_t> bytes = ReadClusters(key, first, dataLength);
    for (const ExfatEntrySet& set : DecodeExfatDirectory(bytes, true).sets) {
      // Bytes read where a directory is only supposed to be: a set counts
      // only when its checksum says it is whole.
      if (!set.checksumOk) continue;
      if (set.IsFolder()) {
        if (set.firstCluster < 2 || set.firstCluster > lastCluster_ || set.firstCluster == key) continue;
        // Files of clusters no directory reached go under "Lost Files"; a
        // folder there hangs from a "Dir" folder named after the cluster.
        const std::uint32_t parent = key == kLostEntriesKey ? LostDirectory(first) : key;
        if (set.firstCluster == parent) continue;
        AddFolder({ExfatItemName(set), set.firstCluster, static_cast<std::uint16_t>(set.modified >> 16),
                   static_cast<std::uint16_t>(set.accessed >> 16), set.deleted, set.dataLength, parent, std::nullopt});
        PendingFolder& folder = folders_[index_.at(set.firstCluster)];
        if (!folder.parent) folder.parent = parent;
        continue;
      }
      files_.push_back(FileOf(set, key));
      noFatChain_.push_back(set.NoFatChain());
    }
  }

  FatFileItem FileOf(const ExfatEntrySet& set, std::uint32_t parent) const {
    FatFileItem file = ExfatFileItem(set, parent, set.deleted);
    if (set.dataLength == 0) return file;
    // With no FAT, every file is read as one run from its first cluster.
    if (set.firstCluster >= 2 && set.firstCluster <= lastCluster_) {
      const std::uint64_t fits = std::uint64_t{lastCluster_} - set.firstCluster + 1;
      file.clusterRuns = {{set.firstCluster, static_cast<std::uint32_t>(std::min(ClustersFor(set.dataLength), fits))}};
      file.chainAssumed = !set.NoFatChain() && ClustersFor(set.dataLength) > 1;
    } else {
      file.noClusterFits = true;
    }
    return file;
  }

  // Deleted when its own entry or a folder above it is.
  bool DeletedAbove(std::optional<std::uint32_t> parent) const {
    for (std::size_t steps = 0; parent && *parent != kFatRootKey && steps < folders_.size(); ++steps) {
      const auto found = index_.find(*parent);
      if (found == index_.end()) return false;
      const PendingFolder& folder = folders_[found->second];
      if (folder.deleted) return true;
      parent = folder.parent;
    }
    return false;
  }

  void FillStore() {
    ItemStore& store = context_.store;
    for (const PendingFolder& folder : folders_) {
      store.AddFatFolder(folder.name, folder.key, folder.parent.value_or(kFatRootKey), folder.writeDate,
                         folder.accessDate, 0, folder.deleted || DeletedAbove(folder.parent));
    }
    MarkOverlaps();
    for (FatFileItem& file : files_) {
      file.deleted = file.deleted || DeletedAbove(file.parentCluster);
      store.AddFatFile(std::move(file));
      ++store.counters.fileCount;
    }
  }

  // Two files read from one cluster cannot both come back right. A deleted
  // file over a live one that says its clusters are consecutive is
  // overwritten; any other pair is marked as conflicting, each naming the
  // other.
  void MarkOverlaps() {
    std::vector<FileExtent> extents;
    for (std::uint32_t i = 0; i < files_.size(); ++i) {
      for (const ClusterRun& run : files_[i].clusterRuns) extents.push_back({run.first, run.count, i});
    }
    const auto certain = [&](std::uint32_t i) { return !files_[i].deleted && noFatChain_[i]; };
    for (const auto& [a, b] : OverlappingFiles(std::move(extents), kMaxConflictsNamed)) {
      if (files_[a].deleted && certain(b)) {
        files_[a].overwritten = true;
      } else if (files_[b].deleted && certain(a)) {
        files_[b].overwritten = true;
      } else {
        for (const auto& [file, other] : {std::pair{a, b}, std::pair{b, a}}) {
          if (files_[file].conflictsWith.size() < kMaxConflictsNamed) files_[file].conflictsWith.push_back(other);
        }
      }
    }
  }

  MountContext& context_;
  const VolumeParameters& volume_;
  const std::uint64_t clusterBytes_;
  const std::uint32_t lastCluster_;
  std::vector<PendingFolder> folders_;
  std::unordered_map<std::uint32_t, std::size_t> index_;          // folder key -> position
  std::unordered_map<std::uint32_t, bool> read_;                  // directory keys read
  std::unordered_map<std::uint32_t, std::uint32_t> clusterOwner_;  // cluster -> directory key
  std::vector<FatFileItem> files_;
  std::vector<bool> noFatChain_;
};

}  // namespace

bool MountExfat(MountContext& context) {
  VolumeContext& volume = context.volume;
  // With its boot region the volume has its FAT and its allocation bitmap:
  // it is walked as the Standard Scan walks one.
  if (volume.volume.fat1Start != 0) {
    const bool completed = WalkExfatVolume(volume, context.store);
    volume.ui.SetStatus("Creating Tree Structure");
    BuildFatFolderTree(context.store, context.tree, volume.ui, context.treeRoot);
    volume.ui.SetProgress(0);
    volume.ui.ShowProgress(false);
    volume.ui.SetStatus("");
    return completed;
  }
  return LostExfatMount(context).Run();
}

}  // namespace salvex
