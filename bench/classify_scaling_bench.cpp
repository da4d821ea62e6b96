// How the deep scan's classification and mount grow with the hits: FAT and
// NTFS, at N and 2N folder hits. Linear work takes about twice as long at
// 2N; four times means something is quadratic. bench/classify_scaling.sh
// prints the ratios.
//
// FAT: the hits are those SweepFat finds on a crafted FAT32 volume of N
// folders (synthetic_fat_volume.cpp), plus one noise hit per ten that fits
// no geometry. NTFS: crafted hit lists (synthetic_ntfs_hits.cpp) over a disk
// that makes the sectors the classification reads back.
//
// Folder counts: SALVEX_BENCH_FOLDERS="N[,M...]" (default 100000); each is
// measured together with twice itself.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "deepscan/classify_fat.h"
#include "deepscan/classify_ntfs.h"
#include "deepscan/mount.h"
#include "deepscan/sweep.h"
#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "platform/memory_disk_source.h"
#include "scaling_runner.h"
#include "synthetic_fat_volume.h"
#include "synthetic_ntfs_hits.h"

namespace {

using salvex::bench::NtfsHitShape;
using salvex::bench::SyntheticNtfsHits;

constexpr std::uint32_t kNoiseEvery = 10;

// A disk, its reader and the hits of its sweep: built once per size, shared
// by the benchmarks and their repetitions. Not movable: the reader holds a
// reference to the retry count.
struct Fixture {
  std::uint16_t retries = 3;
  salvex::SectorReader reader{retries};
  salvex::ScanState scan;
  salvex::HitLists hits;
  std::uint32_t realFolders = 0;
  std::uint32_t claimable = 0;  // the hits the volume's geometry can claim
  std::uint32_t files = 0;
};

void SetRange(salvex::ScanState& scan, salvex::FsType type, std::uint64_t sectors) {
  scan.scanType = salvex::ScanType::advance;
  scan.selectedFsType = type;
  scan.rangeStart = 0;
  scan.rangeSize = static_cast<std::uint32_t>(sectors);
  scan.rangeEnd = static_cast<std::uint32_t>(sectors - 1);
}

// Noise folder hits anywhere in the range, with a cluster below their
// sector: what a folder's copy inside a file looks like. Merged in sector
// order, as a sweep lists them.
void AddFatNoise(salvex::HitLists& hits, std::uint32_t count, std::uint32_t sectors) {
  std::mt19937 engine(20231114);
  const auto below = [&engine](std::uint32_t bound) { return static_cast<std::uint32_t>(engine() % bound); };
  std::vector<salvex::FolderClusterHit> noise(count);
  for (salvex::FolderClusterHit& hit : noise) {
    hit.sector = 64 + below(sectors - 64);
    const auto sector = static_cast<std::uint32_t>(hit.sector);  // below `sectors`
    hit.cluster = 3 + below(sector - 3);
    hit.parentCluster = below(sector);
  }
  std::sort(noise.begin(), noise.end(), [](const auto& a, const auto& b) { return a.sector < b.sector; });
  std::vector<salvex::FolderClusterHit> merged;
  merged.reserve(hits.folderClusters.size() + noise.size());
  std::merge(hits.folderClusters.begin(), hits.folderClusters.end(), noise.begin(), noise.end(),
             std::back_inserter(merged), [](const auto& a, const auto& b) { return a.sector < b.sector; });
  hits.folderClusters = std::move(merged);
  hits.foldersFound = static_cast<std::uint32_t>(hits.folderClusters.size());
}

Fixture& FatFixture(std::uint32_t folders) {
  static std::map<std::uint32_t, std::unique_ptr<Fixture>> fixtures;
  auto& fixture = fixtures[folders];
  if (fixture) return *fixture;
  fixture = std::make_unique<Fixture>();
  salvex::bench::VolumeShape shape;
  shape.folders = folders;
  salvex::bench::SyntheticVolume volume = salvex::bench::MakeSyntheticVolume(shape);
  const std::uint32_t sectors = volume.totalSectors;
  fixture->realFolders = volume.folderCount;
  fixture->files = volume.fileCount;
  fixture->reader.Open(std::make_unique<salvex::MemoryDiskSource>(std::move(volume.bytes)));
  SetRange(fixture->scan, salvex::FsType::fat32, sectors);
  salvex::RecoverySettings settings;
  salvex::SilentUiPort ui;
  salvex::SweepContext sweep{fixture->reader, fixture->scan, settings, ui, fixture->hits};
  salvex::SweepFat(sweep);
  fixture->claimable = static_cast<std::uint32_t>(fixture->hits.folderClusters.size());
  AddFatNoise(fixture->hits, folders / kNoiseEvery, sectors);
  return *fixture;
}

Fixture& NtfsFixture(std::uint32_t folders, bool bootSectors) {
  static std::map<std::pair<std::uint32_t, bool>, std::unique_ptr<Fixture>> fixtures;
  auto& fixture = fixtures[{folders, bootSectors}];
  if (fixture) return *fixture;
  fixture = std::make_unique<Fixture>();
  NtfsHitShape shape;
  shape.folders = folders;
  shape.noiseEvery = kNoiseEvery;
  shape.bootSectors = bootSectors;
  SyntheticNtfsHits made = salvex::bench::MakeSyntheticNtfsHits(shape);
  fixture->hits = std::move(made.hits);
  fixture->realFolders = made.realFolders;
  fixture->claimable = made.indexedFolders;
  fixture->files = static_cast<std::uint32_t>(fixture->hits.mftFiles.size());
  SetRange(fixture->scan, salvex::FsType::ntfs, made.layout.diskSectors);
  // Both fixtures of a size have the same layout: they share its disk.
  static std::map<std::uint32_t, std::unique_ptr<salvex::bench::SyntheticNtfsDisk>> disks;
  auto& disk = disks[folders];
  if (!disk) disk = std::make_unique<salvex::bench::SyntheticNtfsDisk>(made.layout);
  fixture->reader.Open(std::make_unique<salvex::bench::SyntheticNtfsDisk>(*disk));
  return *fixture;
}

void ReportSize(benchmark::State& state, double hits) {
  state.counters["hits"] = hits;
  // Time per hit: flat across sizes when the cost is linear.
  state.counters["per_hit"] =
      benchmark::Counter(hits, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The found file system that claimed the most hits, and how many. One pass
// over the hits: ClaimedHitCount per file system would be quadratic here,
// as noise makes the file systems many.
std::pair<std::uint16_t, std::uint32_t> Biggest(const salvex::DeepScanState& state) {
  std::vector<std::uint32_t> claimed(state.found.size() + 1, 0);
  const auto count = [&](const auto& hits) {
    for (const auto& hit : hits) {
      if (hit.candidate != salvex::kUnclaimed && hit.candidate <= state.found.size()) ++claimed[hit.candidate];
    }
  };
  count(state.hits.folderClusters);
  count(state.hits.mftFolders);
  const auto most = std::max_element(claimed.begin(), claimed.end());
  return {static_cast<std::uint16_t>(most - claimed.begin()), *most};
}

// Classifies the fixture's hits afresh in every iteration; the copy of the
// hit lists is not timed.
void MeasureClassify(benchmark::State& state, Fixture& fixture, const salvex::HitLists& hits,
                     void (*classify)(salvex::ClassifyContext&)) {
  salvex::SilentUiPort ui;
  salvex::DeepScanState scanState;
  for (auto _ : state) {
    state.PauseTiming();
    scanState.Clear();
    scanState.hits = hits;
    state.ResumeTiming();
    salvex::ClassifyContext context{fixture.reader, fixture.scan, ui, scanState};
    classify(context);
    benchmark::DoNotOptimize(scanState.found.data());
  }
  const auto [ordinal, claimed] = Biggest(scanState);
  state.counters["found"] = static_cast<double>(scanState.found.size());
  state.counters["claimed"] = claimed;
  // The volume's own hits must end in one file system, or the numbers mean
  // nothing. Without a boot sector a noise hit met first may pair with one
  // of them: a few may go.
  if (ordinal == 0 || claimed < fixture.claimable - fixture.claimable / 100) {
    state.SkipWithError(("the biggest file system claimed " + std::to_string(claimed) + " of " +
                         std::to_string(fixture.claimable) + " hits")
                            .c_str());
  }
  ReportSize(state, static_cast<double>(scanState.hits.folderClusters.size() + scanState.hits.mftFolders.size()));
}

salvex::HitLists WithoutBootSectors(salvex::HitLists hits) {
  hits.bootSectors.clear();
  hits.bootSectorsFound = 0;
  return hits;
}

// FAT, with the volume's boot sector (and its backup) among the hits.
void BM_ClassifyFat(benchmark::State& state) {
  Fixture& fixture = FatFixture(static_cast<std::uint32_t>(state.range(0)));
  MeasureClassify(state, fixture, fixture.hits, &salvex::ClassifyFat);
}

// FAT with no boot sector: the volume is inferred from pairs of folders.
void BM_ClassifyFatInferred(benchmark::State& state) {
  Fixture& fixture = FatFixture(static_cast<std::uint32_t>(state.range(0)));
  MeasureClassify(state, fixture, WithoutBootSectors(fixture.hits), &salvex::ClassifyFat);
}

void BM_ClassifyNtfs(benchmark::State& state) {
  Fixture& fixture = NtfsFixture(static_cast<std::uint32_t>(state.range(0)), true);
  MeasureClassify(state, fixture, fixture.hits, &salvex::ClassifyNtfs);
}

void BM_ClassifyNtfsInferred(benchmark::State& state) {
  Fixture& fixture = NtfsFixture(static_cast<std::uint32_t>(state.range(0)), false);
  MeasureClassify(state, fixture, fixture.hits, &salvex::ClassifyNtfs);
}

// Mounts the biggest file system the classification found (classified once,
// untimed): items from the claimed hits, the lost folders linked, and for
// FAT every folder's directory read and decoded; then the folder tree.
void MeasureMount(benchmark::State& state, Fixture& fixture, bool (*mount)(salvex::MountContext&)) {
  salvex::SilentUiPort ui;
  salvex::DeepScanState scanState;
  scanState.hits = fixture.hits;
  salvex::ClassifyContext classify{fixture.reader, fixture.scan, ui, scanState};
  salvex::ClassifyHits(classify);
  const std::uint16_t ordinal = Biggest(scanState).first;
  auto store = std::make_unique<salvex::ItemStore>();
  auto tree = std::make_unique<salvex::FolderTreeModel>();
  for (auto _ : state) {
    state.PauseTiming();
    store = std::make_unique<salvex::ItemStore>();
    tree = std::make_unique<salvex::FolderTreeModel>();
    salvex::VolumeParameters volume;
    salvex::SelectFoundFileSystem(scanState, ordinal, volume);
    state.ResumeTiming();
    salvex::VolumeContext context{fixture.reader, fixture.scan, volume, ui};
    salvex::MountContext mountContext{context, *store, scanState, *tree, salvex::FolderTreeModel::kRoot};
    benchmark::DoNotOptimize(mount(mountContext));
  }
  const bool ntfs = !scanState.hits.mftFolders.empty();
  const std::size_t folders = ntfs ? store->NtfsFolders().Size() : store->FatFolders().Size();
  const std::size_t files = ntfs ? store->NtfsFiles().Size() : store->FatFiles().Size();
  state.counters["folders"] = static_cast<double>(folders);
  state.counters["files"] = static_cast<double>(files);
  if (folders < fixture.realFolders || files < fixture.files) {
    state.SkipWithError(("the mount found " + std::to_string(folders) + " folders and " + std::to_string(files) +
                         " files of " + std::to_string(fixture.realFolders) + " and " + std::to_string(fixture.files))
                            .c_str());
  }
  ReportSize(state, static_cast<double>(folders + files));
}

void BM_MountFat(benchmark::State& state) {
  MeasureMount(state, FatFixture(static_cast<std::uint32_t>(state.range(0))), &salvex::MountFat);
}

void BM_MountNtfs(benchmark::State& state) {
  MeasureMount(state, NtfsFixture(static_cast<std::uint32_t>(state.range(0)), true), &salvex::MountNtfs);
}

}  // namespace

int main(int argc, char** argv) {
  using salvex::bench::RegisterScaling;
  const std::set<std::int64_t> sizes = salvex::bench::ScalingSizes(100000, 2, kNoiseEvery);
  RegisterScaling("BM_ClassifyFat", &BM_ClassifyFat, sizes);
  RegisterScaling("BM_ClassifyFatInferred", &BM_ClassifyFatInferred, sizes);
  RegisterScaling("BM_MountFat", &BM_MountFat, sizes);
  RegisterScaling("BM_ClassifyNtfs", &BM_ClassifyNtfs, sizes);
  RegisterScaling("BM_ClassifyNtfsInferred", &BM_ClassifyNtfsInferred, sizes);
  RegisterScaling("BM_MountNtfs", &BM_MountNtfs, sizes);
  return salvex::bench::RunScalingBenchmarks(argc, argv);
}
