#include "deepscan/classify_fat.h"

#include <algorithm>
#include <optional>

#include "common/le_bytes.h"
#include "deepscan/claim_index.h"
#include "deepscan/classify_exfat.h"
#include "deepscan/classify_ntfs.h"
#include "volume/boot_sector.h"

namespace salvex {
namespace {

// The geometry a FAT boot sector describes.
struct BootGeometry {
  FoundFileSystem found;
  SectorNumber end = 0;
};

std::optional<BootGeometry> ReadBootGeometry(SectorReader& reader, SectorNumber sector) {
  SectorBuffer boot{};
  ReadSectorsZeroed(reader, sector, 1, boot);
  const bool fat32 = boot[85] == '3' && boot[86] == '2';
  // "FAT16" or "FAT12": the count of clusters decides which, where the
  // fields give one.
  const bool fat16 = boot[57] == '1' && boot[58] == '6';
  const bool fat12 = boot[57] == '1' && boot[58] == '2';
  if (!fat32 && !fat16 && !fat12) return std::nullopt;
  // Fields in disk sectors, whatever the volume's own sector size.
  const FatBootFields fields = fat32 ? DecodeFat32BootFields(boot) : DecodeFat16BootFields(boot);
  const std::uint32_t perCluster = fields.sectorsPerCluster;
  if (!IsValidSectorsPerCluster(perCluster)) return std::nullopt;
  BootGeometry geometry;
  FoundFileSystem& found = geometry.found;
  found.sectorsPerCluster = perCluster;
  found.reservedSectors = fields.reservedSectors;
  found.fat1Start = sector + found.reservedSectors;
  const std::uint32_t fatCount = fields.fatCount;
  if (!IsValidFatCount(fatCount)) return std::nullopt;
  SectorNumber dataStart = 0;
  found.sectorsPerFat = fields.sectorsPerFat;
  if (fat32) {
    found.fsType = FsType::fat32;
    found.rootDirStart = fields.rootCluster;
    dataStart = found.fat1Start + SectorNumber{fatCount} * found.sectorsPerFat;
  } else {
    const FsType byCount = FatTypeByClusterCount(boot);
    found.fsType = byCount == FsType::fat12 || byCount == FsType::fat16 ? byCount
                   : fat12                                               ? FsType::fat12
                                                                         : FsType::fat16;
    found.rootDirSectors = fields.rootSectors;
    found.rootDirStart = found.fat1Start + SectorNumber{fatCount} * found.sectorsPerFat;
    dataStart = found.rootDirStart + found.rootDirSectors;
  }
  // The data area lies after the boot sector. Cluster 0 itself may lie
  // before sector 0 on a small volume at the disk's start (large clusters,
  // as on a volume of 4096-byte sectors): the base then wraps round, and
  // cluster 2 onwards still come out right in 64-bit arithmetic.
  if (dataStart <= sector) return std::nullopt;
  found.clusterBase = dataStart - 2 * SectorNumber{perCluster};
  found.fat2Start = fatCount == 2 ? found.fat1Start + found.sectorsPerFat : 0;
  // A small FAT16 volume keeps its length in the 16-bit field alone; with the
  // 32-bit one taken as it is, its end would be its boot sector.
  const std::uint64_t total = FatTotalSectors(boot);
  geometry.end = sector + total;
  found.volumeEnd = total != 0 ? geometry.end - 1 : 0;
  // Partitions start at sector 63 or later; a FAT12 floppy disk has no
  // partition table, its data begins a few dozen sectors in.
  const SectorNumber lowestBase = found.fsType == FsType::fat12 ? sector + 1 : 63;
  if (found.clusterBase < lowestBase) return std::nullopt;
  return geometry;
}

// The smallest unclaimed hit position at or after a given one, with the
// claimed ones skipped in amortised constant time.
class UnclaimedCursor {
 public:
  explicit UnclaimedCursor(std::size_t count) : next_(count + 1) {
    for (std::size_t i = 0; i < next_.size(); ++i) next_[i] = static_cast<std::uint32_t>(i);
  }

  std::uint32_t From(std::uint32_t position) {
    std::uint32_t root = position;
    while (next_[root] != root) root = next_[root];
    while (next_[position] != root) position = std::exchange(next_[position], root);
    return root;
  }

  void Remove(std::uint32_t position) { next_[position] = position + 1; }

 private:
  std::vector<std::uint32_t> next_;
};

// A volume found from its folders alone is of the type chosen for the scan,
// unless its clusters do not fit: FAT12 numbers end below 0xFF0, FAT16 ones
// below 0xFFF0.
FsType FoundTypeWithoutBootSector(FsType chosen, std::uint32_t largestCluster) {
  if (chosen == FsType::fat32 || largestCluster > 0xFFFF) return FsType::fat32;
  if (chosen == FsType::fat12 && largestCluster < 0xFF0) return FsType::fat12;
  return FsType::fat16;
}

class FatClassification {
 public:
  explicit FatClassification(ClassifyContext& context)
      : context_(context),
        hits_(context.state.hits.folderClusters),
        index_(hits_.size(),
               [this](std::uint32_t i) { return std::optional(std::pair{hits_[i].sector, hits_[i].cluster}); }),
        unclaimed_(hits_.size()) {}

  void Run() {
    context_.ui.SetStatus(kAnalysingDataFound);
    context_.state.classifiedCount = 0;
    for (const BootSectorHit& boot : context_.state.hits.bootSectors) ClassifyBootSector(boot);
    for (std::uint32_t i = 0; i < hits_.size(); ++i) {
      if (hits_[i].candidate != kUnclaimed) continue;
      if (!InferFromPair(i)) {
        hits_[i].candidate = kUnplaced;
        unclaimed_.Remove(i);
        ++context_.state.classifiedCount;
      }
    }
  }

 private:
  std::uint16_t NextOrdinal() const { return static_cast<std::uint16_t>(context_.state.found.size() + 1); }

  void Claim(std::uint32_t position) {
    hits_[position].candidate = NextOrdinal();
    unclaimed_.Remove(position);
    const std::uint32_t classified = ++context_.state.classifiedCount;
    const std::uint32_t divisor = std::max<std::uint32_t>(1, context_.state.hits.foldersFound);
    context_.ui.SetProgress(ProgressPercent(classified, divisor));
  }

  // Claims the unclaimed hits that the boot sector's geometry puts exactly in
  // place, up to the first unclaimed hit beyond the volume's end.
  void ClassifyBootSector(const BootSectorHit& boot) {
    const std::optional<BootGeometry> geometry = ReadBootGeometry(context_.reader, boot.sector);
    if (!geometry) return;
    const auto beyond = std::upper_bound(hits_.begin(), hits_.end(), geometry->end,
                                         [](SectorNumber end, const FolderClusterHit& hit) { return end < hit.sector; });
    const std::uint32_t stop = unclaimed_.From(static_cast<std::uint32_t>(beyond - hits_.begin()));
    bool claimed = false;
    const FoundFileSystem& found = geometry->found;
    for (const std::uint32_t position : index_.HitsFitting(found.clusterBase, found.sectorsPerCluster)) {
      if (position >= stop) break;
      if (hits_[position].candidate != kUnclaimed) continue;
      Claim(position);
      claimed = true;
    }
    if (claimed) AddFoundFileSystem(context_.state, found);
  }

  // The first later unclaimed hit that forms a geometry with hit `p`: same
  // volume start for some cluster size, each below the other's numbers.
  std::optional<std::pair<std::uint32_t, std::uint32_t>> FindPartner(std::uint32_t p) const {
    const SectorNumber a = hits_[p].sector;
    const std::uint32_t b = hits_[p].cluster;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> best;  // (position, cluster size)
    for (const std::uint32_t size : kClusterSizes) {
      const SectorNumber start = a - SectorNumber{size} * b;
      const auto [first, last] = index_.Range(start, size);
      for (auto it = std::upper_bound(first, last, std::pair{start, p}); it != last; ++it) {
        const std::uint32_t q = it->second;
        if (best && q >= best->first) break;
        const std::uint32_t d = hits_[q].cluster;
        const SectorNumber e = hits_[q].sector;
        if (hits_[q].candidate != kUnclaimed) continue;
        if (!(d > b && e > a && d < e && b < a)) continue;
        if ((e - a) % (d - b) != 0 || (e - a) / (d - b) != size) continue;
        if (!(a > SectorNumber{size} * b && e > SectorNumber{size} * d)) continue;
        best = std::pair{q, size};
        break;
      }
    }
    return best;
  }

  bool InferFromPair(std::uint32_t p) {
    const auto partner = FindPartner(p);
    if (!partner) return false;
    const std::uint32_t size = partner->second;
    const SectorNumber base = hits_[p].sector - SectorNumber{size} * hits_[p].cluster;
    std::uint32_t largestCluster = 0;
    for (const std::uint32_t position : index_.HitsFitting(base, size)) {
      if (hits_[position].candidate != kUnclaimed) continue;
      Claim(position);
      largestCluster = std::max(largestCluster, hits_[position].cluster);
    }
    FoundFileSystem found;
    found.fsType = FoundTypeWithoutBootSector(context_.scan.selectedFsType, largestCluster);
    found.sectorsPerCluster = size;
    found.rootDirStart = found.fsType == FsType::fat32 ? 2 : 0;
    found.clusterBase = base;
    AddFoundFileSystem(context_.state, found);
    return true;
  }

  ClassifyContext& context_;
  std::vector<FolderClusterHit>& hits_;
  ClaimIndex index_;
  UnclaimedCursor unclaimed_;
};

}  // namespace

void ClassifyFat(ClassifyContext& context) { FatClassification(context).Run(); }

void ClassifyHits(ClassifyContext& context) {
  switch (context.scan.selectedFsType) {
    case FsType::fat12:
    case FsType::fat16:
    case FsType::fat32: ClassifyFat(context); break;
    case FsType::ntfs: ClassifyNtfs(context); break;
    case FsType::exfat: ClassifyExfat(context); break;
    case FsType::none: break;
  }
}

}  // namespace salvex
