// How the Standard Scan's cost grows with the size of the volume: the walk
// and the tree build over crafted volumes of N and of 4N folders. Linear
// code takes about 4 times as long for 4N; 16 times means something is
// quadratic. bench/walk_scaling.sh prints the ratios.
//
// Folder counts: SALVEX_BENCH_FOLDERS="N[,M...]" (default 25000); each count
// is measured together with four times itself. The nesting benchmark uses a
// 50th of each.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>

#include "items/folder_tree.h"
#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "platform/memory_disk_source.h"
#include "platform/ui_port.h"
#include "session/session.h"
#include "scaling_runner.h"
#include "synthetic_fat_volume.h"
#include "session/standard_scan.h"

namespace {

using salvex::bench::SyntheticVolume;
using salvex::bench::VolumeShape;

constexpr std::uint32_t kRealisticFanOut = 20;
// The nested case's tree paths grow with the square of the depth: a 50th of
// the folder counts keeps them to tens of megabytes.
constexpr std::int64_t kNestingDivisor = 50;

// Building a volume takes longer than scanning it: each shape is built once
// and shared by the benchmarks and their repetitions.
const SyntheticVolume& Volume(std::uint32_t folders, std::uint32_t fanOut, std::uint32_t filesPerFolder) {
  static std::map<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>, SyntheticVolume> volumes;
  const std::tuple key{folders, fanOut, filesPerFolder};
  auto found = volumes.find(key);
  if (found == volumes.end()) {
    VolumeShape shape;
    shape.folders = folders;
    shape.subfoldersPerFolder = fanOut;
    shape.filesPerFolder = filesPerFolder;
    found = volumes.emplace(key, salvex::bench::MakeSyntheticVolume(shape)).first;
  }
  return found->second;
}

void ReportSize(benchmark::State& state, const SyntheticVolume& volume) {
  const double items = static_cast<double>(volume.folderCount) + volume.fileCount;
  state.counters["items"] = items;
  // Time per item: flat across sizes when the cost is linear.
  state.counters["per_item"] =
      benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The whole Standard Scan from a disk in memory: boot sector, directory walk
// into the item store, folder tree.
void MeasureStandardScan(benchmark::State& state, const SyntheticVolume& volume) {
  salvex::Session session;
  session.reader.Open(std::make_unique<salvex::MemoryDiskSource>(std::span<const std::uint8_t>(volume.bytes)));
  session.scan.selectedFsType = salvex::FsType::fat32;
  session.scan.rangeStart = 0;
  session.scan.rangeSize = volume.totalSectors;
  session.scan.rangeEnd = volume.totalSectors - 1;
  salvex::SilentUiPort ui;
  salvex::VolumeContext context = session.Volume(ui);

  auto tree = std::make_unique<salvex::FolderTreeModel>();
  for (auto _ : state) {
    // Every scan starts from an empty store and tree, as the program's one
    // scan does: a cleared store would keep the last scan's capacity. The
    // last scan's items are freed untimed.
    state.PauseTiming();
    session.items = salvex::ItemStore();
    tree = std::make_unique<salvex::FolderTreeModel>();
    state.ResumeTiming();
    const auto outcome = RunStandardScan(context, session.items, *tree, salvex::FolderTreeModel::kRoot);
    benchmark::DoNotOptimize(outcome);
  }
  // A scan that missed part of the volume would make the numbers meaningless.
  if (session.items.FatFolders().Size() != volume.folderCount || session.items.FatFiles().Size() != volume.fileCount ||
      tree->NodeCount() != volume.folderCount + 1) {
    state.SkipWithError("the scan did not find every folder and file of the crafted volume");
  }
  ReportSize(state, volume);
}

// (a) A realistic tree: 20 subfolders a folder, 3 files in each.
void BM_StandardScan(benchmark::State& state) {
  MeasureStandardScan(state, Volume(static_cast<std::uint32_t>(state.range(0)), kRealisticFanOut, 3));
}

// (b) The item store's adds and the folder tree alone, from the entries the
// walk would decode: no disk reads, no entry decoding.
void BM_StoreAndTree(benchmark::State& state) {
  const SyntheticVolume& volume = Volume(static_cast<std::uint32_t>(state.range(0)), kRealisticFanOut, 3);
  salvex::SilentUiPort ui;
  auto store = std::make_unique<salvex::ItemStore>();
  auto tree = std::make_unique<salvex::FolderTreeModel>();
  for (auto _ : state) {
    state.PauseTiming();
    store = std::make_unique<salvex::ItemStore>();
    tree = std::make_unique<salvex::FolderTreeModel>();
    state.ResumeTiming();
    for (const salvex::bench::EntryRecord& entry : volume.entries) {
      if (entry.isFolder) {
        store->AddFatFolder(entry.name, entry.firstCluster, entry.parentCluster, 0, 0, 0, entry.deleted);
      } else {
        store->AddFatFile(entry.name, entry.firstCluster, entry.parentCluster, 0, 0, entry.size, entry.deleted);
        ++store->counters.fileCount;
      }
    }
    BuildFatFolderTree(*store, *tree, ui, salvex::FolderTreeModel::kRoot);
  }
  if (tree->NodeCount() != volume.folderCount + 1) {
    state.SkipWithError("the tree does not hold every folder of the crafted volume");
  }
  ReportSize(state, volume);
}

// (c) The worst shape for anything kept per level: one folder in each, as
// deep as the count. Damaged and crafted volumes can nest this deep.
void BM_DeepNesting(benchmark::State& state) {
  MeasureStandardScan(state, Volume(static_cast<std::uint32_t>(state.range(0)), 1, 0));
}

}  // namespace

int main(int argc, char** argv) {
  using salvex::bench::RegisterScaling;
  const std::set<std::int64_t> sizes = salvex::bench::ScalingSizes(25000, 4);
  RegisterScaling("BM_StandardScan", &BM_StandardScan, sizes);
  RegisterScaling("BM_StoreAndTree", &BM_StoreAndTree, sizes);
  RegisterScaling("BM_DeepNesting", &BM_DeepNesting, sizes, kNestingDivisor);
  return salvex::bench::RunScalingBenchmarks(argc, argv);
}
