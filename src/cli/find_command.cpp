#include <algorithm>
#include <iostream>

#include "cli/cli_error.h"
#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/item_source.h"
#include "cli/json_writer.h"
#include "cli/scan_listing.h"
#include "session/content_search.h"
#include "session/stoppable.h"
#include "common/visible_text.h"
#include "search/find_files.h"

namespace salvex::cli {
namespace {

bool InFreeSpace(const FoundFileRow& row) { return row.text && row.text->freeSector; }

void PrintJson(const std::vector<FoundFileRow>& rows, const UnreadMarks* marks) {
  JsonWriter writer(std::cout);
  writer.BeginArray();
  for (const FoundFileRow& row : rows) {
    writer.BeginObject();
    if (InFreeSpace(row)) {
      writer.Key("sector");
      writer.Number(*row.text->freeSector);
      writer.Key("offset");
      writer.Number(row.text->offset);
      writer.Key("hits");
      writer.Number(row.text->count);
      writer.EndObject();
      continue;
    }
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
    writer.Key("deleted");
    writer.Bool(row.deleted);
    if (row.text) {
      writer.Key("offset");
      writer.Number(row.text->offset);
      writer.Key("hits");
      writer.Number(row.text->count);
    }
    if (marks) {
      writer.Key("unreadSectors");
      writer.Number(marks->FileSectors(row.position));
    }
    writer.EndObject();
  }
  writer.EndArray();
  std::cout << '\n';
}

// Where a file holds the text: its first hit's offset and the count.
std::string TextColumns(const FoundFileRow& row) {
  return row.text ? '\t' + std::to_string(row.text->offset) + '\t' + std::to_string(row.text->count) : "";
}

void PrintRows(const std::vector<FoundFileRow>& rows, bool json, bool byContent, const UnreadMarks* marks) {
  if (json) {
    PrintJson(rows, marks);
    return;
  }
  const char* const textHeadings = byContent ? "\tOffset\tHits" : "";
  const auto mark = [&](const FoundFileRow& row) { return UnreadMark(marks ? marks->FileSectors(row.position) : 0); };
  // As scan lists them: the files the tree leads to, then those it does not.
  std::cout << "File Name\tPath\tSize" << textHeadings << '\n';
  std::size_t files = 0;
  for (const FoundFileRow& row : rows) {
    if (InFreeSpace(row)) continue;
    ++files;
    if (!row.reachable) continue;
    std::cout << VisibleText(row.name) << '\t' << VisibleText(row.path) << '\t' << row.size << TextColumns(row)
              << mark(row) << '\n';
  }
  if (std::any_of(rows.begin(), rows.end(), [](const FoundFileRow& row) { return !row.reachable && !InFreeSpace(row); })) {
    std::cout << '\n' << kUnreachableHeading << "\nFile Name\tSize" << textHeadings << '\n';
    for (const FoundFileRow& row : rows) {
      if (!row.reachable && !InFreeSpace(row)) {
        std::cout << VisibleText(row.name) << '\t' << row.size << TextColumns(row) << mark(row) << '\n';
      }
    }
  }
  const std::size_t places = rows.size() - files;
  if (places > 0) {
    std::cout << "\nIn free space:\nSector\tOffset\tHits\n";
    for (const FoundFileRow& row : rows) {
      if (InFreeSpace(row)) std::cout << *row.text->freeSector << TextColumns(row) << '\n';
    }
  }
  std::cout << files << " file(s) found";
  if (byContent) std::cout << ", " << places << " place(s) in free space";
  std::cout << '\n';
}

// The search by content, with its progress on the status line; what it
// could not read goes to stderr.
std::vector<FoundFileRow> SearchByContent(Session& session, const FolderTreeModel& tree, const FindOptions& options,
                                          CliUiPort& ui, bool& interrupted) {
  std::vector<FoundFileRow> rows;
  std::atomic<bool> stop{false};
  ContentSearchSummary summary;
  const ContentSearchRequest request{options.pattern, {options.containing, options.ignoreCase}};
  ui.SetStatus("Searching file contents...");
  ui.ShowProgress(true);
  interrupted = RunStoppable(
      [&] {
        summary = SearchContents(session, tree, request, stop,
                                 {[&](const FoundFileRow& row, std::size_t) { rows.push_back(row); },
                                  [&](const ContentSearchProgress& progress) { ui.SetProgress(progress.Percent()); }});
      },
      stop);
  ui.ShowProgress(false);
  ui.SetStatus("");
  ui.ClearLine();
  if (summary.filesNotRead > 0) {
    std::cerr << "salvex: warning: " << summary.filesNotRead << " file(s) could not be read, the first because "
              << summary.firstNotReadReason << '\n';
  }
  if (summary.unreadableSectors > 0) {
    std::cerr << "salvex: warning: " << summary.unreadableSectors << " sector(s) could not be read: searched as zeros\n";
  }
  if (!summary.freeSpaceNote.empty()) std::cerr << "salvex: warning: " << summary.freeSpaceNote << '\n';
  return rows;
}

}  // namespace

int RunFind(const FindOptions& options) {
  const bool byContent = !options.containing.empty();
  if (options.pattern.empty() && !byContent) throw UsageError("give a name pattern, or --containing TEXT, or both");
  if (options.containing.size() > kMaxQueryBytes) {
    throw UsageError("--containing takes at most " + std::to_string(kMaxQueryBytes) + " bytes of text");
  }
  Session session;
  OpenDiskOrImage(session, options.source);
  CliUiPort ui;
  FolderTreeModel tree;
  const LoadedItems loaded = LoadItems(session, options.volume, options.deep, ui, tree);
  std::atomic<bool> stop{false};
  std::vector<FoundFileRow> rows;
  bool interrupted = false;
  if (byContent) {
    rows = SearchByContent(session, tree, options, ui, interrupted);
  } else {
    // Ctrl-C stops the search; the rows found so far are still printed.
    interrupted =
        RunStoppable([&] { rows = FindFiles(session.items, tree, loaded.ntfs, options.pattern, stop); }, stop);
  }
  const std::optional<UnreadMarks> marks = MarkUnread(session, loaded);
  PrintRows(rows, options.json, byContent, marks ? &*marks : nullptr);
  if (loaded.complete && !interrupted) return 0;
  std::cerr << "salvex: stopped: the files above are those found before the stop\n";
  return 1;
}

}  // namespace salvex::cli
