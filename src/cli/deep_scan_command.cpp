#include <iostream>

#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/item_source.h"
#include "cli/json_writer.h"
#include "session/captions.h"
#include "session/filter_patterns.h"
#include "session/scans.h"

namespace salvex::cli {
namespace {

void PrintFoundJson(const DeepScanState& state) {
  const std::vector<std::uint32_t> claimed = ClaimedHitCounts(state);
  JsonWriter json(std::cout);
  json.BeginArray();
  for (std::uint16_t ordinal = 1; ordinal <= state.found.size(); ++ordinal) {
    const FoundFileSystem& found = state.found[ordinal - 1];
    json.BeginObject();
    const auto number = [&](const char* key, std::uint64_t value) {
      json.Key(key);
      json.Number(value);
    };
    number("ordinal", ordinal);
    json.Key("fsType");
    json.String(FsTypeText(found.fsType));
    number("firstSector", FirstSectorOf(found));
    number("clusterBase", found.clusterBase);
    number("sectorsPerCluster", found.sectorsPerCluster);
    number("volumeEnd", found.volumeEnd);
    number("fat1Start", found.fat1Start);
    number("fat2Start", found.fat2Start);
    number("mftStart", found.mftStart);
    number("claimed", claimed[ordinal]);
    json.EndObject();
  }
  json.EndArray();
  std::cout << '\n';
}

void PrintFound(const DeepScanState& state) {
  const HitLists& hits = state.hits;
  std::cout << hits.bootSectorsFound << " boot sector(s), " << hits.foldersFound << " folder(s)";
  if (hits.filesFound > 0 || hits.indexBlocksFound > 0) {
    std::cout << ", " << hits.filesFound << " file record(s), " << hits.indexBlocksFound << " index block(s)";
  }
  std::cout << " found\n";
  if (state.found.empty()) {
    std::cout << "No file system could be put together from them.\n";
    return;
  }
  const std::vector<std::uint32_t> claimed = ClaimedHitCounts(state);
  for (std::uint16_t ordinal = 1; ordinal <= state.found.size(); ++ordinal) {
    const FoundFileSystem& found = state.found[ordinal - 1];
    const std::string size =
        found.volumeEnd == 0 ? "Unknown" : std::to_string((found.volumeEnd - found.clusterBase) / 2048) + " MB";
    std::cout << ordinal << "  " << FoundFileSystemCaption(found) << "  start " << FirstSectorOf(found)
              << "  sectors per cluster " << found.sectorsPerCluster << "  size " << size << "  folders "
              << claimed[ordinal] << '\n';
  }
  std::cout << "Mount one with --mount N to list its folders and files.\n";
}

}  // namespace

int RunDeepScan(const DeepScanOptions& options) {
  Session session;
  OpenDiskOrImage(session, options.source);
  CliUiPort ui;
  bool swept = true;
  if (options.volume.snapshot.empty()) {
    ChooseDeepRange(session, options.volume, options.deep);
    swept = SweepRange(session, ui);
    if (!swept) std::cerr << "salvex: stopped: only the part of the range swept so far was searched\n";
  } else {
    LoadAdvanceSnapshot(session, options.volume.snapshot, options.deep, ui);
  }
  if (!options.saveSnapshot.empty()) SaveAdvanceSnapshot(session, options.saveSnapshot);
  if (!options.deep.mount) {
    if (options.json) {
      PrintFoundJson(session.deepScan);
    } else {
      PrintFound(session.deepScan);
    }
    return swept ? 0 : 1;
  }
  FolderTreeModel tree;
  Require(AddFilterPatterns(session, options.volume.filters));
  const LoadedItems loaded = MountFound(session, *options.deep.mount, ui, tree);
  PrintItems(session, tree, loaded, options.json);
  return loaded.complete && swept ? 0 : 1;
}

int RunSearchPartitions(const PartitionsOptions& options) {
  Session session;
  OpenDiskOrImage(session, options.source);
  CliUiPort ui;
  QuickSearch(session, ui);
  ui.ClearLine();
  if (options.json || session.partitions.partitionCount > 0) PrintPartitions(session.partitions, options.json);
  // Nothing found was reported as an error above; scripts see it too.
  return session.partitions.partitionCount > 0 ? 0 : 1;
}

}  // namespace salvex::cli
