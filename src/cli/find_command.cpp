#include <algorithm>
#include <iostream>

#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/item_source.h"
#include "cli/json_writer.h"
#include "cli/scan_listing.h"
#include "session/stoppable.h"
#include "common/visible_text.h"
#include "search/find_files.h"

namespace salvex::cli {
namespace {

void PrintRows(const std::vector<FoundFileRow>& rows, bool json, const UnreadMarks* marks) {
  if (json) {
    JsonWriter writer(std::cout);
    writer.BeginArray();
    for (const FoundFileRow& row : rows) {
      writer.BeginObject();
      writer.Key("name");
      writer.String(row.name);
      writer.Key("path");
      if (row.reachable) {
        writer.String(row.path);
      } else {
        writer.Null();
      }
      writer.Key("size");
      writer.Number(row.size);
      if (marks) {
        writer.Key("unreadSectors");
        writer.Number(marks->FileSectors(row.position));
      }
      writer.EndObject();
    }
    writer.EndArray();
    std::cout << '\n';
    return;
  }
  // As scan lists them: the files the tree leads to, then those it does not.
  std::cout << "File Name\tPath\tSize\n";
  for (const FoundFileRow& row : rows) {
    if (!row.reachable) continue;
    std::cout << VisibleText(row.name) << '\t' << VisibleText(row.path) << '\t' << row.size
              << UnreadMark(marks ? marks->FileSectors(row.position) : 0) << '\n';
  }
  if (std::any_of(rows.begin(), rows.end(), [](const FoundFileRow& row) { return !row.reachable; })) {
    std::cout << '\n' << kUnreachableHeading << "\nFile Name\tSize\n";
    for (const FoundFileRow& row : rows) {
      if (!row.reachable) {
        std::cout << VisibleText(row.name) << '\t' << row.size
                  << UnreadMark(marks ? marks->FileSectors(row.position) : 0) << '\n';
      }
    }
  }
  std::cout << rows.size() << " file(s) found\n";
}

}  // namespace

int RunFind(const FindOptions& options) {
  Session session;
  OpenDiskOrImage(session, options.source);
  CliUiPort ui;
  FolderTreeModel tree;
  const LoadedItems loaded = LoadItems(session, options.volume, options.deep, ui, tree);
  std::atomic<bool> stop{false};
  std::vector<FoundFileRow> rows;
  // Ctrl-C stops the search; the rows found so far are still printed.
  const bool interrupted =
      RunStoppable([&] { rows = FindFiles(session.items, tree, loaded.ntfs, options.pattern, stop); }, stop);
  const std::optional<UnreadMarks> marks = MarkUnread(session, loaded);
  PrintRows(rows, options.json, marks ? &*marks : nullptr);
  if (loaded.complete && !interrupted) return 0;
  std::cerr << "salvex: stopped: the files above are those found before the stop\n";
  return 1;
}

}  // namespace salvex::cli
