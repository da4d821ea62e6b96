#include <iostream>

#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/item_source.h"
#include "cli/json_writer.h"
#include "cli/stoppable.h"
#include "search/find_files.h"

namespace salvex::cli {
namespace {

void PrintRows(const std::vector<FoundFileRow>& rows, bool json) {
  if (json) {
    JsonWriter writer(std::cout);
    writer.BeginArray();
    for (const FoundFileRow& row : rows) {
      writer.BeginObject();
      writer.Key("name");
      writer.String(row.name);
      writer.Key("path");
      writer.String(row.path);
      writer.Key("size");
      writer.Number(row.size);
      writer.EndObject();
    }
    writer.EndArray();
    std::cout << '\n';
    return;
  }
  std::cout << "File Name\tPath\tSize\n";
  for (const FoundFileRow& row : rows) std::cout << row.name << '\t' << row.path << '\t' << row.size << '\n';
  std::cout << rows.size() << " file(s) found\n";
}

}  // namespace

int RunFind(const FindOptions& options) {
  Session session;
  OpenSource(session, options.source);
  CliUiPort ui;
  FolderTreeModel tree;
  const LoadedItems loaded = LoadItems(session, options.volume, options.deep, ui, tree);
  std::atomic<bool> stop{false};
  std::vector<FoundFileRow> rows;
  // Ctrl-C stops the search; the rows found so far are still printed.
  const bool interrupted =
      RunStoppable([&] { rows = FindFiles(session.items, tree, loaded.ntfs, options.pattern, stop); }, stop);
  PrintRows(rows, options.json);
  if (loaded.complete && !interrupted) return 0;
  std::cerr << "salvex: stopped: the files above are those found before the stop\n";
  return 1;
}

}  // namespace salvex::cli
