#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_error.h"
#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/item_source.h"
#include "common/visible_text.h"
#include "session/recovery_choice.h"
#include "session/recovery_report.h"
#include "session/stoppable.h"

namespace salvex::cli {
namespace {

void PrintList(const char* heading, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  std::cout << heading << " (" << lines.size() << "):\n";
  for (const std::string& line : lines) std::cout << "  " << VisibleText(line) << '\n';
}

void PrintSummary(const RecoverySummary& summary, const std::string& out) {
  std::cout << "Recovered " << summary.filesWritten << " file(s), " << summary.bytesWritten << " bytes, into " << out
            << '\n';
  if (summary.writtenOverwritten > 0) {
    std::cout << "written, but its clusters are now used by other files: " << summary.writtenOverwritten << '\n';
  }
  std::cout << "Not recovered: " << summary.refusedByFilter << " by the filters, " << summary.refusedByDeletedMode
            << " by the deleted-file setting, " << summary.skippedDuplicates << " duplicate(s) skipped\n";
  PrintList("Failed", summary.failed);
  std::vector<std::string> unreadable;
  for (const UnreadableFile& file : summary.withUnreadableSectors) {
    unreadable.push_back(file.path + " (" + std::to_string(file.sectors) + " sector(s))");
  }
  PrintList("Written with unreadable sectors filled with zeros", unreadable);
  PrintList("Written from a damaged cluster chain, so partly guessed", summary.damagedChains);
  PrintList("Written from clusters other deleted files claim too", summary.conflicting);
  PrintList("Written from clusters that are a guess", summary.guessedClusters);
  PrintList("Found by content, and partial, pieced together or damaged", summary.foundDoubtful);
  PrintList("Not recoverable", summary.notRecoverable);
  if (summary.emptyFiles > 0) std::cout << summary.emptyFiles << " empty file(s): nothing to recover\n";
  PrintList("Left partial by Skip File or Stop Saving", summary.cutShort);
  PrintList("Named with %XX for control or text-direction characters", summary.escapedNames);
  if (summary.stopped) std::cout << "Stopped before the end: the files above are all that was written.\n";
}

// The run's CSV report at `path`, written over any file there (but never on
// the disk being read, nor over a file being read).
void WriteReport(const Session& session, const FolderTreeModel& tree, const RecoverySummary& summary,
                 const std::string& path) {
  const std::filesystem::path report(path);
  const std::string folderPath = report.has_parent_path() ? report.parent_path().string() : ".";
  Destination folder = OpenRecoveryDestination(session, folderPath);
  Require(folder.outcome);
  std::string error;
  const auto written =
      WriteRecoveryReport(session, tree, summary, *folder.folder, report.filename().string(), true, error);
  if (!written) throw CliError("cannot write the report: " + error);
  std::cout << "Report: " << *written << '\n';
}

}  // namespace

int RunRecover(const RecoverOptions& options) {
  if (!options.all && options.paths.empty()) throw CliError("say what to recover: --all, or paths inside the volume");
  Session session;
  session.settings.deletedMode = options.deletedMode;
  session.settings.duplicateMode = options.duplicateMode;
  session.settings.badSectorRetries = options.retries;
  OpenDiskOrImage(session, options.source);

  CliUiPort ui(true);  // a file that cannot be created: go on with the others
  FolderTreeModel tree;
  const LoadedItems loaded = LoadItems(session, options.volume, options.deep, ui, tree);
  if (!loaded.complete) throw CliError("the scan was stopped: nothing was recovered");
  // What the map calls unread is counted, file by file, as unreadable sectors in the summary.
  const std::optional<UnreadMarks> marks = MarkUnread(session, loaded);

  RecoverySelection selection;
  selection.all = options.all;
  if (!options.all) {
    ItemsByPath chosen = SelectItemsByPath(session, tree, options.paths);
    Require(chosen.outcome);
    selection = std::move(chosen.selection);
  }
  Destination destination = OpenRecoveryDestination(session, options.out);
  Require(destination.outcome);

  CliSavingView saving(ui);
  RecoveryRunState run;
  ui.ShowProgress(true);
  // Ctrl-C raises Stop Saving: the files written so far stay and the summary still comes.
  RecoverySummary summary;
  RunStoppable([&] { summary = RecoverItems(session, tree, selection, *destination.folder, ui, saving, run); },
               run.stopSaving);
  ui.ShowProgress(false);
  ui.SetStatus("");
  ui.ClearLine();
  PrintSummary(summary, options.out);
  if (!options.report.empty()) WriteReport(session, tree, summary, options.report);
  // A folder on unread sectors may hide files that were not recovered.
  const bool foldersUnread = marks && marks->FoldersMarked() > 0;
  return summary.AllWritten() && !foldersUnread ? 0 : 1;
}

}  // namespace salvex::cli
