#include "deepscan/classify_exfat.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "common/le_bytes.h"
#include "deepscan/exfat_root_tables.h"
#include "volume/exfat_boot_region.h"

namespace salvex {
namespace {

// Cluster sizes an exFAT volume found without its boot region may have, in
// sectors: 512 bytes to 32 MiB.
constexpr std::uint32_t kSizeCount = 17;
// The pairs of folder and directory start weighed in one round, so that a
// disk full of directories costs a bounded number of steps.
constexpr std::uint64_t kVoteBudget = std::uint64_t{8} << 20;
constexpr std::size_t kMaxSampled = 24;
constexpr std::size_t kCandidatesConfirmed = 16;
constexpr std::uint32_t kMaxInferredVolumes = 64;
// Neither boot region can lie in the cluster heap; both fill at most this
// many disk sectors (twelve sectors of 4096 bytes each).
constexpr std::uint64_t kBootRegionsSectors = kExfatBootRegionsMaxDiskSectors;
// Formatters put the root directory just past the bitmap and the up-case
// table; the clusters after them tried as the root's own.
constexpr std::uint32_t kRootReach = 4;
// Each root tried costs up to kRootReach * kSizeCount reads of its tables.
constexpr std::uint32_t kMaxRootsTried = 256;
// An up-case table maps 65,536 UTF-16 units at most.
constexpr std::uint64_t kMaxUpcaseBytes = 2 * 65536;

struct Geometry {
  SectorNumber clusterBase = 0;
  std::uint32_t sectorsPerCluster = 0;
};

// The sector of a cluster, or nothing past what a disk can name.
std::optional<SectorNumber> SectorOf(const Geometry& geometry, std::uint32_t cluster) {
  const SectorNumber offset = SectorNumber{geometry.sectorsPerCluster} * cluster;
  if (geometry.clusterBase > UINT64_MAX / kSectorSize - offset) return std::nullopt;
  return geometry.clusterBase + offset;
}

class ExfatClassification {
 public:
  explicit ExfatClassification(ClassifyContext& context)
      : context_(context),
        hits_(context.state.hits),
        folders_(hits_.exfatFolders),
        starts_(hits_.exfatDirectoryStarts),
        roots_(hits_.exfatRoots) {}

  void Run() {
    context_.ui.SetStatus(kAnalysingDataFound);
    context_.state.classifiedCount = 0;
    for (const BootSectorHit& boot : hits_.bootSectors) ClassifyBootSector(boot.sector);
    std::uint32_t inferred = 0;
    while (inferred < kMaxInferredVolumes && InferVolume()) ++inferred;
    std::uint32_t rootsTried = 0;
    for (std::uint32_t i = 0; i < roots_.size() && inferred < kMaxInferredVolumes && rootsTried < kMaxRootsTried; ++i) {
      if (roots_[i].candidate != kUnclaimed) continue;
      ++rootsTried;
      if (InferVolumeFromRoot(i)) ++inferred;
    }
    for (ExfatFolderHit& folder : folders_) {
      if (folder.candidate == kUnclaimed) Settle(folder.candidate, kUnplaced);
    }
    for (ExfatRootHit& root : roots_) {
      if (root.candidate == kUnclaimed) root.candidate = kUnplaced;
    }
  }

 private:
  std::uint16_t NextOrdinal() const { return static_cast<std::uint16_t>(context_.state.found.size() + 1); }

  bool BeginsDirectory(std::optional<SectorNumber> sector) const {
    return sector && std::binary_search(starts_.begin(), starts_.end(), *sector);
  }

  bool IsRootSector(SectorNumber sector) const {
    const auto at = std::lower_bound(roots_.begin(), roots_.end(), sector,
                                     [](const ExfatRootHit& root, SectorNumber value) { return root.sector < value; });
    return at != roots_.end() && at->sector == sector;
  }

  void Settle(std::uint16_t& candidate, std::uint16_t value) {
    candidate = value;
    const std::uint32_t classified = ++context_.state.classifiedCount;
    context_.ui.SetProgress(ProgressPercent(classified, std::max<std::uint32_t>(1, hits_.foldersFound)));
  }

  // The unclaimed folders whose first cluster the geometry puts where a
  // sub-folder's directory may begin, inside [first, last].
  std::vector<std::uint32_t> FoldersFitting(const Geometry& geometry, SectorNumber first, SectorNumber last) const {
    std::vector<std::uint32_t> positions;
    for (std::uint32_t i = 0; i < folders_.size(); ++i) {
      const ExfatFolderHit& folder = folders_[i];
      if (folder.candidate != kUnclaimed || folder.sector < first || folder.sector > last) continue;
      const auto sector = SectorOf(geometry, folder.firstCluster);
      if (!sector || *sector < first || *sector > last || !BeginsDirectory(sector)) continue;
      // A folder's entry lies in its parent's directory, never in its own,
      // and only the root directory holds the bitmap: a geometry that says
      // otherwise is one shifted over a run of adjacent directories.
      if (*sector == folder.sector || IsRootSector(*sector)) continue;
      positions.push_back(i);
    }
    return positions;
  }

  // The unclaimed root hit at the root cluster a boot region names.
  std::optional<std::uint32_t> RootFitting(const Geometry& geometry, std::uint32_t rootCluster) const {
    for (std::uint32_t i = 0; i < roots_.size(); ++i) {
      if (roots_[i].candidate == kUnclaimed && SectorOf(geometry, rootCluster) == roots_[i].sector) return i;
    }
    return std::nullopt;
  }

  // The root of a volume found without its boot region: the root hit at a
  // cluster's start whose first cluster holds the entry set of a folder the
  // volume claimed (a top-level one), else the first at a cluster's start.
  std::optional<std::uint32_t> InferredRoot(const Geometry& geometry, const std::vector<std::uint32_t>& claimed) const {
    std::optional<std::uint32_t> first;
    for (std::uint32_t i = 0; i < roots_.size(); ++i) {
      const std::uint64_t sector = roots_[i].sector;
      const std::uint64_t heap = std::uint64_t{geometry.clusterBase} + 2 * std::uint64_t{geometry.sectorsPerCluster};
      if (roots_[i].candidate != kUnclaimed || sector < heap ||
          (sector - geometry.clusterBase) % geometry.sectorsPerCluster != 0) {
        continue;
      }
      if (!first) first = i;
      const bool holdsClaimed = std::any_of(claimed.begin(), claimed.end(), [&](std::uint32_t position) {
        return folders_[position].sector >= sector && folders_[position].sector - sector < geometry.sectorsPerCluster;
      });
      if (holdsClaimed) return i;
    }
    return first;
  }

  bool InsideAcceptedBootRegions(SectorNumber sector) const {
    return std::any_of(bootStarts_.begin(), bootStarts_.end(),
                       [&](SectorNumber start) { return sector >= start && sector - start < kBootRegionsSectors; });
  }

  void ClassifyBootSector(SectorNumber hit) {
    if (InsideAcceptedBootRegions(hit)) return;
    // The hit is a main region's first sector or its backup's, twelve of
    // the volume's own sectors further.
    SectorBuffer boot{};
    ReadSectorsZeroed(context_.reader, hit, 1, boot);
    const SectorNumber backupOffset = SectorNumber{kExfatBackupBootRegion} * DecodeExfatBootFields(boot).SectorScale();
    for (const SectorNumber start : {hit, hit - backupOffset}) {
      if (start > hit) continue;  // wrapped: no main region before sector 12
      if (TryBootRegionsAt(start)) return;
    }
  }

  bool TryBootRegionsAt(SectorNumber start) {
    std::vector<std::uint8_t> regions(kBootRegionsSectors * kSectorSize);
    ReadSectorsZeroed(context_.reader, start, static_cast<std::uint32_t>(kBootRegionsSectors), regions);
    const auto choice = ChooseExfatBootRegion(regions);
    if (!choice) return false;
    const ExfatBootFields& fields = choice->fields;
    const std::uint32_t perCluster = fields.SectorsPerCluster();
    const SectorNumber heap = start + fields.clusterHeapOffset;
    if (heap < 2 * SectorNumber{perCluster}) return false;
    const Geometry geometry{heap - 2 * perCluster, perCluster};
    // A length no disk has ends with the last sector one can name.
    const std::uint64_t length = std::max<std::uint64_t>(fields.volumeLength, 1);
    const SectorNumber end = length - 1 > UINT64_MAX - start ? UINT64_MAX : start + length - 1;
    const std::vector<std::uint32_t> folders = FoldersFitting(geometry, start, end);
    const std::optional<std::uint32_t> root = RootFitting(geometry, fields.rootCluster);
    if (folders.empty() && !root) return false;
    const std::uint16_t ordinal = NextOrdinal();
    for (const std::uint32_t position : folders) Settle(folders_[position].candidate, ordinal);
    if (root) roots_[*root].candidate = ordinal;
    FoundFileSystem found;
    found.fsType = FsType::exfat;
    found.sectorsPerCluster = perCluster;
    // The boot region's judgement keeps both within 32 bits.
    found.sectorsPerFat = static_cast<std::uint32_t>(fields.fatLength);
    found.reservedSectors = static_cast<std::uint32_t>(fields.fatOffset);
    found.rootDirStart = fields.rootCluster;
    found.clusterBase = geometry.clusterBase;
    found.fat1Start = start + fields.fatOffset;
    found.fat2Start = fields.numberOfFats == 2 ? found.fat1Start + fields.fatLength : 0;
    // Its clusters end with the heap, and on the disk.
    const DiskSource* disk = context_.reader.Source();
    found.volumeEnd = std::min(end, ExfatLastSector(start, fields, disk ? disk->SizeBytes() / kSectorSize : 0));
    bootStarts_.push_back(start);
    AddFoundFileSystem(context_.state, found);
    return true;
  }

  struct Vote {
    std::uint32_t count = 0;
    Geometry geometry;
  };

  // Up to kMaxSampled unclaimed folders with different first clusters,
  // spread over the list.
  std::vector<std::uint32_t> SampleUnclaimed(std::size_t most) const {
    std::vector<std::uint32_t> unclaimed;
    for (std::uint32_t i = 0; i < folders_.size(); ++i) {
      if (folders_[i].candidate == kUnclaimed) unclaimed.push_back(i);
    }
    std::vector<std::uint32_t> sample;
    const std::size_t step = std::max<std::size_t>(1, unclaimed.size() / most);
    for (std::size_t i = 0; i < unclaimed.size() && sample.size() < most; i += step) {
      const std::uint32_t cluster = folders_[unclaimed[i]].firstCluster;
      const bool seen = std::any_of(sample.begin(), sample.end(),
                                    [&](std::uint32_t p) { return folders_[p].firstCluster == cluster; });
      if (!seen) sample.push_back(unclaimed[i]);
    }
    return sample;
  }

  // Every geometry that puts two sampled folders where a directory begins,
  // the most voted first.
  std::vector<Vote> Votes(const std::vector<std::uint32_t>& sample) const {
    std::vector<Vote> votes;
    std::vector<SectorNumber> bases;
    for (std::uint32_t shift = 0; shift < kSizeCount; ++shift) {
      const std::uint64_t size = std::uint64_t{1} << shift;
      bases.clear();
      for (const std::uint32_t position : sample) {
        const std::uint64_t offset = size * folders_[position].firstCluster;
        for (const SectorNumber start : starts_) {
          // The heap begins after both boot regions.
          if (start < offset || start - offset + 2 * size < kBootRegionsSectors) continue;
          bases.push_back(start - offset);
        }
      }
      std::sort(bases.begin(), bases.end());
      for (std::size_t i = 0; i < bases.size();) {
        std::size_t j = i;
        while (j < bases.size() && bases[j] == bases[i]) ++j;
        if (j - i >= 2) votes.push_back({static_cast<std::uint32_t>(j - i), {bases[i], static_cast<std::uint32_t>(size)}});
        i = j;
      }
    }
    std::stable_sort(votes.begin(), votes.end(), [](const Vote& a, const Vote& b) { return a.count > b.count; });
    if (votes.size() > kCandidatesConfirmed) votes.resize(kCandidatesConfirmed);
    return votes;
  }

  // One volume from the unclaimed folders; false when none fits.
  bool InferVolume() {
    if (starts_.empty()) return false;
    const std::size_t most =
        std::clamp<std::size_t>(static_cast<std::size_t>(kVoteBudget / (kSizeCount * starts_.size())), 2, kMaxSampled);
    const std::vector<std::uint32_t> sample = SampleUnclaimed(most);
    if (sample.size() < 2) return false;
    std::optional<Geometry> best;
    std::vector<std::uint32_t> bestFolders;
    for (const Vote& vote : Votes(sample)) {
      std::vector<std::uint32_t> fitting = FoldersFitting(vote.geometry, 0, UINT64_MAX);
      if (fitting.size() >= 2 && fitting.size() > bestFolders.size()) {
        best = vote.geometry;
        bestFolders = std::move(fitting);
      }
    }
    if (!best) return false;
    AddInferredVolume(*best, bestFolders, InferredRoot(*best, bestFolders));
    return true;
  }

  // A volume with fewer than two folders gives the vote nothing to count.
  // Its root still names the up-case table's cluster and checksum, and the
  // bitmap's cluster, whose first bits mark the tables and the root in use.
  // Tried with the root just past its tables first, then a cluster further,
  // and so on: a smaller cluster size with the root further on can put the
  // table in the same place, and then the bitmap lies elsewhere, where its
  // bits are clear unless the volume is full. Of the geometries that hold
  // the tables, the one that places the most folders wins, the first on a
  // tie.
  bool InferVolumeFromRoot(std::uint32_t rootPosition) {
    const SectorNumber rootSector = roots_[rootPosition].sector;
    std::vector<std::uint8_t> sector(kSectorSize);
    ReadSectorsZeroed(context_.reader, rootSector, 1, sector);
    const auto tables = ReadExfatRootTables(sector);
    if (!tables || tables->upcaseBytes > kMaxUpcaseBytes) return false;
    std::optional<Geometry> best;
    std::vector<std::uint32_t> bestFolders;
    for (std::uint32_t slack = 0; slack < kRootReach; ++slack) {
      for (std::uint32_t shift = 0; shift < kSizeCount; ++shift) {
        const auto geometry = RootGeometry(*tables, rootSector, shift, slack);
        if (!geometry || !HoldsTables(*tables, rootSector, *geometry)) continue;
        std::vector<std::uint32_t> fitting = FoldersFitting(*geometry, 0, UINT64_MAX);
        if (!best || fitting.size() > bestFolders.size()) {
          best = geometry;
          bestFolders = std::move(fitting);
        }
      }
    }
    if (!best) return false;
    AddInferredVolume(*best, bestFolders, rootPosition);
    return true;
  }

  // The geometry with clusters of 2^shift sectors that puts the root
  // `slack` clusters past the end of its tables.
  static std::optional<Geometry> RootGeometry(const ExfatRootTables& tables, SectorNumber rootSector,
                                              std::uint32_t shift, std::uint32_t slack) {
    const std::uint64_t size = std::uint64_t{1} << shift;
    const std::uint64_t clusterBytes = size * kSectorSize;
    const auto end = [&](std::uint32_t first, std::uint64_t bytes) { return first + (bytes + clusterBytes - 1) / clusterBytes; };
    const std::uint64_t rootCluster =
        std::max(end(tables.bitmapCluster, tables.bitmapBytes), end(tables.upcaseCluster, tables.upcaseBytes)) + slack;
    const std::uint64_t offset = size * rootCluster;
    if (rootSector < offset || rootSector - offset + 2 * size < kBootRegionsSectors) return std::nullopt;
    return Geometry{rootSector - offset, static_cast<std::uint32_t>(size)};
  }

  // Whether the up-case table with the entry's checksum lies where the
  // geometry puts it, and the bitmap there marks the tables' first clusters
  // and the root's in use.
  bool HoldsTables(const ExfatRootTables& tables, SectorNumber rootSector, const Geometry& geometry) {
    const auto upcase = SectorOf(geometry, tables.upcaseCluster);
    const auto bitmap = SectorOf(geometry, tables.bitmapCluster);
    if (!upcase || !bitmap) return false;
    const auto sectors = static_cast<std::uint32_t>((tables.upcaseBytes + kSectorSize - 1) / kSectorSize);
    std::vector<std::uint8_t> table(std::size_t{sectors} * kSectorSize);
    ReadSectorsZeroed(context_.reader, *upcase, sectors, table);
    if (ExfatTableChecksum(Bytes(table).first(tables.upcaseBytes)) != tables.upcaseChecksum) return false;
    std::vector<std::uint8_t> bits(kSectorSize);
    ReadSectorsZeroed(context_.reader, *bitmap, 1, bits);
    const std::uint64_t root = (rootSector - geometry.clusterBase) / geometry.sectorsPerCluster;
    const auto inUse = [&](std::uint64_t cluster) {
      const std::uint64_t bit = cluster - 2;  // clusters begin at 2
      return bit >= 8 * kSectorSize || (bits[bit / 8] >> (bit % 8) & 1) != 0;
    };
    return inUse(tables.bitmapCluster) && inUse(tables.upcaseCluster) && inUse(root);
  }

  // A volume found without its boot region, its folders and root claimed.
  void AddInferredVolume(const Geometry& geometry, const std::vector<std::uint32_t>& folders,
                         std::optional<std::uint32_t> root) {
    const std::uint16_t ordinal = NextOrdinal();
    for (const std::uint32_t position : folders) Settle(folders_[position].candidate, ordinal);
    FoundFileSystem found;
    found.fsType = FsType::exfat;
    found.sectorsPerCluster = geometry.sectorsPerCluster;
    found.clusterBase = geometry.clusterBase;
    if (root) {
      roots_[*root].candidate = ordinal;
      // A root further on than a 32-bit cluster number reaches is not this
      // volume's: its cluster stays unknown rather than cut to 32 bits.
      const SectorNumber cluster = (roots_[*root].sector - geometry.clusterBase) / geometry.sectorsPerCluster;
      if (cluster <= UINT32_MAX) found.rootDirStart = cluster;
    }
    AddFoundFileSystem(context_.state, found);
  }

  ClassifyContext& context_;
  HitLists& hits_;
  std::vector<ExfatFolderHit>& folders_;
  const std::vector<SectorNumber>& starts_;
  std::vector<ExfatRootHit>& roots_;
  std::vector<SectorNumber> bootStarts_;
};

}  // namespace

void ClassifyExfat(ClassifyContext& context) { ExfatClassification(context).Run(); }

}  // namespace salvex
