#include "deepscan/classify_ntfs.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "common/le_bytes.h"
#include "common/utf.h"
#include "deepscan/claim_index.h"
#include "volume/boot_sector.h"
#include "ntfs/fixups.h"

namespace salvex {
namespace {

constexpr std::uint16_t kFolderAttribute = 0x1000;  // bit 28 of the file attributes, seen from offset 74

// Folder hits not yet numbered, found by what an index entry says of them.
class UnnumberedFolders {
 public:
  explicit UnnumberedFolders(const std::vector<MftFolderHit>& hits) {
    for (std::uint32_t i = 0; i < hits.size(); ++i) {
      if (hits[i].recordNumber == 0) byKey_[Key(hits[i].created, hits[i].parentRecord, hits[i].name)].push_back(i);
    }
  }

  // The first hit in list order with this key that is still unnumbered.
  std::optional<std::uint32_t> Find(const std::vector<MftFolderHit>& hits, std::uint64_t created,
                                    std::uint32_t parent, const std::string& name) {
    const auto found = byKey_.find(Key(created, parent, name));
    if (found == byKey_.end()) return std::nullopt;
    for (const std::uint32_t position : found->second) {
      if (hits[position].recordNumber == 0) return position;
    }
    return std::nullopt;
  }

 private:
  using KeyType = std::tuple<std::uint64_t, std::uint32_t, std::string>;
  static KeyType Key(std::uint64_t created, std::uint32_t parent, const std::string& name) {
    return {created, parent, name};
  }

  std::map<KeyType, std::vector<std::uint32_t>> byKey_;
};

void NumberFromIndexBlock(Bytes block, std::vector<MftFolderHit>& hits, UnnumberedFolders& unnumbered) {
  std::size_t offset = 24 + std::size_t{u32le(block, 24)};
  while (offset < block.size()) {
    const std::size_t length = u8(block, offset + 80);
    if (length == 0) return;
    std::u16string units;
    for (std::size_t i = 0; i < length; ++i) {
      if (offset + 82 + 2 * i + 1 >= block.size()) return;
      units.push_back(u16le(block, offset + 82 + 2 * i));
    }
    if (u16le(block, offset + 74) & kFolderAttribute) {
      const std::uint64_t created = u64le(block, offset + 24);
      const std::uint32_t parent = u32le(block, offset + 16);
      if (const auto hit = unnumbered.Find(hits, created, parent, Utf16ToUtf8(units))) {
        hits[*hit].recordNumber = u32le(block, offset);
      }
    }
    const std::uint16_t entryLength = u16le(block, offset + 8);
    if (entryLength == 0) return;
    offset += entryLength;
  }
}

class NtfsClassification {
 public:
  explicit NtfsClassification(ClassifyContext& context)
      : context_(context), hits_(context.state.hits.mftFolders), ui_(context.ui) {}

  void Run() {
    AssignMftNumbers(context_);
    DeleteUnusedIndexBlocks(context_);
    ui_.SetStatus(kAnalyzingClassification);
    context_.state.classifiedCount = 0;
    context_.scan.stopRequested = false;
    ui_.SetStopVisible(true);
    IndexFirstBlocks();
    ClassifyBootSectors();
    InferFromPairs();
    ui_.SetStopVisible(false);
    context_.scan.stopRequested = false;
    std::uint16_t previous = 1;
    for (MftFolderHit& hit : hits_) {
      if (hit.candidate == kUnplaced) hit.candidate = previous;
      previous = hit.candidate;
    }
  }

 private:
  bool Stopped() const { return context_.scan.StopRequested(); }
  std::uint16_t NextOrdinal() const { return static_cast<std::uint16_t>(context_.state.found.size() + 1); }

  // Each folder's first index block, by its owner's record number.
  void IndexFirstBlocks() {
    for (const IndexBlockHit& block : context_.state.hits.indexBlocks) {
      if (block.vcn == 0 && block.mark == 0xFFFF) firstBlock_.try_emplace(block.ownerRecord, block.sector);
    }
  }

  SectorNumber FirstBlockOf(const MftFolderHit& hit) const {
    const auto found = firstBlock_.find(hit.recordNumber);
    return found == firstBlock_.end() ? 0 : found->second;
  }

  bool IsIndexBlockAt(std::uint64_t sector) {
    const auto cached = probes_.find(sector);
    if (cached != probes_.end()) return cached->second;
    SectorBuffer buffer{};
    ReadSectorsZeroed(context_.reader, sector, 1, buffer);
    return probes_[sector] = HasText(buffer, 0, "INDX");
  }

  // Claims every unclaimed folder hit in (start, end] whose index allocation
  // lies where the geometry puts an index block.
  bool ClaimFolders(SectorNumber start, std::uint32_t clusterSize, SectorNumber end) {
    bool claimed = false;
    auto it = std::upper_bound(hits_.begin(), hits_.end(), start,
                               [](SectorNumber value, const MftFolderHit& hit) { return value < hit.sector; });
    for (; it != hits_.end() && !Stopped(); ++it) {
      MftFolderHit& hit = *it;
      if (hit.sector > end) break;
      if (hit.candidate != kUnclaimed || hit.indexCluster == 0) continue;
      if (!IsIndexBlockAt(start + SectorNumber{clusterSize} * hit.indexCluster)) continue;
      hit.candidate = NextOrdinal();
      claimed = true;
      const std::uint32_t classified = ++context_.state.classifiedCount;
      const std::uint32_t folders = context_.state.hits.foldersFound;
      ui_.SetStatus(kAnalyzingClassification + std::to_string(classified) + " \\ " + std::to_string(folders));
      ui_.SetProgress(ProgressPercent(classified, std::max<std::uint32_t>(1, folders)));
    }
    return claimed;
  }

  void ClassifyBootSectors() {
    for (const BootSectorHit& boot : context_.state.hits.bootSectors) {
      if (Stopped()) return;
      SectorBuffer sector{};
      ReadSectorsZeroed(context_.reader, boot.sector, 1, sector);
      const std::uint32_t clusterSize = sector[13];
      if (!IsValidSectorsPerCluster(clusterSize)) continue;
      const std::uint64_t total = u64le(sector, 40);
      const std::uint32_t clustersPerIndex = u32le(sector, 68);
      if (clustersPerIndex == 0 || total == 0) continue;
      FoundFileSystem found;
      found.fsType = FsType::ntfs;
      found.sectorsPerCluster = clusterSize;
      found.clusterBase = boot.sector;
      found.mftStart = boot.sector + SectorNumber{clusterSize} * u32le(sector, 48);
      found.mftMirrStart = boot.sector + SectorNumber{clusterSize} * u32le(sector, 56);
      found.indexBufferSectors = clustersPerIndex == 0xF4 ? 8 : clustersPerIndex * clusterSize;
      // A count no disk holds names the last sector there is.
      found.volumeEnd = total > UINT64_MAX - boot.sector ? UINT64_MAX : boot.sector + total;
      if (ClaimFolders(boot.sector, clusterSize, found.volumeEnd)) {
        AddFoundFileSystem(context_.state, found);
      }
    }
  }

  // Pairs of folders whose index clusters and index blocks fit one geometry
  // share its volume start for their cluster size: they are found through an
  // index on that start, in list order.
  void InferFromPairs() {
    // Only folders with an index allocation and a known first block pair up.
    const ClaimIndex index(hits_.size(), [this](std::uint32_t i) -> std::optional<std::pair<SectorNumber, std::uint32_t>> {
      const SectorNumber block = FirstBlockOf(hits_[i]);
      if (block == 0 || hits_[i].indexCluster == 0) return std::nullopt;
      return std::pair{block, hits_[i].indexCluster};
    });
    const SectorNumber rangeEnd = context_.scan.rangeEnd;
    for (std::uint32_t p = 0; p < hits_.size() && !Stopped(); ++p) {
      MftFolderHit& first = hits_[p];
      if (first.candidate != kUnclaimed) continue;
      const std::uint32_t c = first.indexCluster;
      const SectorNumber d = FirstBlockOf(first);
      if (c == 0 || d == 0) {
        first.candidate = kUnplaced;
        continue;
      }
      for (const auto& [position, clusterSize] : Partners(index, p, c, d)) {
        if (Stopped()) return;
        if (hits_[position].candidate != kUnclaimed) continue;
        const SectorNumber start = d - SectorNumber{clusterSize} * c;
        if (ClaimFolders(start, clusterSize, rangeEnd)) {
          FoundFileSystem found;
          found.fsType = FsType::ntfs;
          found.sectorsPerCluster = clusterSize;
          found.clusterBase = start;
          found.indexBufferSectors = 8;
          found.volumeEnd = rangeEnd;
          AddFoundFileSystem(context_.state, found);
        }
      }
    }
  }

  // The later hits that form a valid geometry with hit p, in list order,
  // with the cluster size each gives.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Partners(const ClaimIndex& index, std::uint32_t p,
                                                                std::uint32_t c, SectorNumber d) const {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> partners;
    for (const std::uint32_t size : kClusterSizes) {
      // The volume would start before sector 0.
      if (SectorNumber{size} * c > d) continue;
      const SectorNumber start = d - SectorNumber{size} * c;
      const auto [first, last] = index.Range(start, size);
      for (auto it = std::upper_bound(first, last, std::pair{start, p}); it != last; ++it) {
        const MftFolderHit& other = hits_[it->second];
        const std::uint32_t e = other.indexCluster;
        const SectorNumber f = FirstBlockOf(other);
        if (other.candidate != kUnclaimed || e == c || f == d || f == 0) continue;
        const SectorNumber gap = e < c ? d - f : f - d;
        const std::uint32_t clusters = e < c ? c - e : e - c;
        if (gap % clusters != 0 || gap / clusters != size) continue;
        partners.emplace_back(it->second, size);
      }
    }
    std::sort(partners.begin(), partners.end());
    return partners;
  }

  ClassifyContext& context_;
  std::vector<MftFolderHit>& hits_;
  UiPort& ui_;
  std::unordered_map<std::uint32_t, SectorNumber> firstBlock_;
  std::unordered_map<std::uint64_t, bool> probes_;
};

}  // namespace

void ClassifyNtfs(ClassifyContext& context) { NtfsClassification(context).Run(); }

void AssignMftNumbers(ClassifyContext& context) {
  UiPort& ui = context.ui;
  HitLists& hits = context.state.hits;
  ui.SetProgress(0);
  ui.SetStatus("Assign MFT numbers ");
  UnnumberedFolders unnumbered(hits.mftFolders);
  std::uint32_t k = 0;
  for (const IndexBlockHit& block : hits.indexBlocks) {
    ++k;
    ui.SetStatus("Assign MFT numbers " + std::to_string(k) + " \\ " + std::to_string(hits.indexBlocksFound));
    ui.SetProgress(static_cast<int>(std::uint64_t{k} * 100 / std::max<std::uint32_t>(1, hits.indexBlocksFound)));
    std::vector<std::uint8_t> buffer(std::size_t{block.sectors} * kSectorSize, 0);
    ReadSectorsZeroed(context.reader, block.sector, block.sectors, buffer);
    if (!HasText(buffer, 0, "INDX")) continue;
    ApplyFixups(buffer);
    NumberFromIndexBlock(buffer, hits.mftFolders, unnumbered);
  }
  // The rest by position: MFT records are two sectors each.
  std::uint64_t previousSector = 0;
  std::uint32_t previousNumber = 1;
  std::uint32_t i = 0;
  for (MftFolderHit& hit : hits.mftFolders) {
    ui.SetProgress(ProgressPercent(++i, std::max<std::uint32_t>(1, hits.foldersFound)));
    if (hit.recordNumber == 0) {
      const std::uint64_t distance = hit.sector - previousSector;
      hit.recordNumber = previousSector == 0 || distance % 2 == 1
                             ? previousNumber + 1
                             : previousNumber + static_cast<std::uint32_t>(distance / 2);
    }
    previousSector = hit.sector;
    previousNumber = hit.recordNumber;
  }
}

void DeleteUnusedIndexBlocks(ClassifyContext& context) {
  context.ui.SetStatus("Delete unused items");
  context.ui.SetProgress(0);
  HitLists& hits = context.state.hits;
  const auto removed = std::remove_if(hits.indexBlocks.begin(), hits.indexBlocks.end(),
                                      [](const IndexBlockHit& block) { return block.vcn != 0; });
  hits.indexBlocksFound -= static_cast<std::uint32_t>(hits.indexBlocks.end() - removed);
  hits.indexBlocks.erase(removed, hits.indexBlocks.end());
}

}  // namespace salvex
