// How long the item list takes to show one folder of many files: the fill
// (the rows a folder holds, found through the store's parent index) and the
// texts of every row, which a sort by a column reads. Both should grow
// linearly, and a folder of 100,000 files should fill in well under a
// second.
//
//   build-bench/bench/salvex_list_fill_bench            # 100,000 and 200,000 files

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "deepscan/hits.h"
#include "items/item_store.h"
#include "search/file_filters.h"
#include "wizard/item_list_model.h"

namespace {

using salvex::wizard::ItemListModel;
using salvex::wizard::ItemSource;

constexpr std::uint32_t kFoldersBesideTheFiles = 200;

// A store whose root holds `files` files and a few folders, with as many
// files again spread over those folders, so the fill must pick its rows.
salvex::ItemStore& StoreOf(std::uint32_t files) {
  static std::map<std::uint32_t, std::unique_ptr<salvex::ItemStore>> stores;
  auto& store = stores[files];
  if (!store) {
    store = std::make_unique<salvex::ItemStore>();
    for (std::uint32_t folder = 0; folder < kFoldersBesideTheFiles; ++folder) {
      store->AddFatFolder("Folder " + std::to_string(folder), 100 + folder, 0, 0x4F21, 0x4F21, folder + 2, false);
    }
    for (std::uint32_t file = 0; file < 2 * files; ++file) {
      const std::uint32_t parent = file % 2 == 0 ? 0 : 100 + file % kFoldersBesideTheFiles;
      store->AddFatFile("IMG_" + std::to_string(file) + ".JPG", 1000 + file, parent, 0x4F21, 0x4F21, 4096,
                        file % 7 == 0);
      ++store->counters.fileCount;
    }
  }
  return *store;
}

void FillRootFolder(benchmark::State& state) {
  salvex::ItemStore& store = StoreOf(static_cast<std::uint32_t>(state.range(0)));
  salvex::HitLists hits;
  const salvex::FilterTable filters;
  ItemListModel list(store, hits, {});
  for (auto _ : state) {
    list.ShowFolder(ItemSource::fat, salvex::kFatRootKey, filters);
    // What a view draws at first: one screen of rows.
    for (std::size_t row = 0; row < 50 && row < list.RowCount(); ++row) benchmark::DoNotOptimize(list.Row(row));
  }
  state.counters["rows"] = static_cast<double>(list.RowCount());
}

void TextsOfEveryRow(benchmark::State& state) {
  salvex::ItemStore& store = StoreOf(static_cast<std::uint32_t>(state.range(0)));
  salvex::HitLists hits;
  const salvex::FilterTable filters;
  ItemListModel list(store, hits, {});
  list.ShowFolder(ItemSource::fat, salvex::kFatRootKey, filters);
  for (auto _ : state) {
    for (std::size_t row = 0; row < list.RowCount(); ++row) benchmark::DoNotOptimize(list.Row(row));
  }
  state.counters["rows"] = static_cast<double>(list.RowCount());
}

BENCHMARK(FillRootFolder)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(TextsOfEveryRow)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
