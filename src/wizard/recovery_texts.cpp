#include "wizard/recovery_texts.h"

#include <algorithm>
#include <vector>

#include "common/visible_text.h"

namespace salvex::wizard {
namespace {

void AddList(std::string& details, const std::string& heading, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  details += heading + " (" + std::to_string(lines.size()) + "):\n";
  for (const std::string& line : lines) details += "  " + VisibleText(line) + '\n';
}

}  // namespace

namespace {

std::string TimeLeftText(double seconds) {
  if (seconds < 60) return "about " + std::to_string(static_cast<long>(seconds) + 1) + " s left";
  if (seconds < 3600) return "about " + std::to_string(static_cast<long>(seconds / 60) + 1) + " min left";
  const auto hours = static_cast<long>(seconds / 3600);
  return "about " + std::to_string(hours) + " h " + std::to_string(static_cast<long>(seconds / 60) % 60) + " min left";
}

}  // namespace

int SavingPercent(std::uint32_t filesDone, std::uint32_t filesTotal, std::uint64_t bytesDone, std::uint64_t bytesTotal) {
  if (bytesTotal > 0) return static_cast<int>(std::min<std::uint64_t>(bytesDone, bytesTotal) * 100 / bytesTotal);
  if (filesTotal > 0) return static_cast<int>(std::min(filesDone, filesTotal) * std::uint64_t{100} / filesTotal);
  return 0;
}

std::string SavingProgressText(std::uint32_t filesDone, std::uint32_t filesTotal, std::uint64_t bytesDone,
                               std::uint64_t bytesTotal, double elapsedSeconds) {
  std::string text = std::to_string(filesDone) + " of " + std::to_string(filesTotal) + " files, " +
                     SizeText(bytesDone) + " of " + SizeText(bytesTotal) + ", " +
                     std::to_string(SavingPercent(filesDone, filesTotal, bytesDone, bytesTotal)) + "%";
  const bool byBytes = bytesTotal > 0 && bytesDone > 0;
  const double share = byBytes ? static_cast<double>(std::min(bytesDone, bytesTotal)) / static_cast<double>(bytesTotal)
                       : filesTotal > 0 ? static_cast<double>(std::min(filesDone, filesTotal)) / filesTotal
                                        : 0.0;
  if (elapsedSeconds >= 1 && share > 0 && share < 1) text += ", " + TimeLeftText(elapsedSeconds * (1 - share) / share);
  return text;
}

std::string FreeSpaceQuestion(std::uint64_t needed, std::uint64_t free, const std::string& destination) {
  return "The file(s) chosen need " + SizeText(needed) + ", but only " + SizeText(free) + " are free in " +
         destination + ".\nRecover as many as fit ?";
}

void AddReportLine(SummaryText& summary, const std::optional<std::string>& report, const std::string& error) {
  if (report) {
    summary.report = *report;
    summary.text += "\nThe report of every file, with its marks: " + *report;
  } else {
    summary.text += "\nNo report was written: " + error;
  }
}

SummaryText RecoverySummaryText(const RecoverySummary& summary, const std::string& destination) {
  SummaryText result;
  std::string& text = result.text;
  text = "Recovered " + std::to_string(summary.filesWritten) + " file(s), " + SizeText(summary.bytesWritten) +
         ", into " + destination;
  if (summary.writtenOverwritten > 0) {
    text += "\nwritten, but its clusters are now used by other files: " + std::to_string(summary.writtenOverwritten);
  }
  text += std::string("\n\nNot recovered:\n") + "  refused by the file filters: " +
         std::to_string(summary.refusedByFilter) + "\n  refused by the deleted-file setting: " +
         std::to_string(summary.refusedByDeletedMode) + "\n  duplicates skipped: " +
         std::to_string(summary.skippedDuplicates) + "\n  failed: " + std::to_string(summary.failed.size());
  if (!summary.notRecoverable.empty()) {
    text += "\n  not recoverable (compressed, encrypted or without a known cluster): " +
            std::to_string(summary.notRecoverable.size());
  }
  if (!summary.withUnreadableSectors.empty()) {
    text += "\n\nWritten with unreadable sectors filled with zeros: " +
            std::to_string(summary.withUnreadableSectors.size());
  }
  if (!summary.damagedChains.empty()) {
    text += "\nWritten from a damaged cluster chain, so partly guessed: " + std::to_string(summary.damagedChains.size());
  }
  if (!summary.conflicting.empty()) {
    text += "\nWritten from clusters other deleted files claim too: " + std::to_string(summary.conflicting.size());
  }
  if (!summary.guessedClusters.empty()) {
    text += "\nWritten from clusters that are a guess: " + std::to_string(summary.guessedClusters.size());
  }
  if (!summary.foundDoubtful.empty()) {
    text += "\nFound by content, and partial, pieced together or damaged: " +
            std::to_string(summary.foundDoubtful.size());
  }
  if (!summary.cutShort.empty()) {
    text += "\nLeft partial by Skip File or Stop Saving: " + std::to_string(summary.cutShort.size());
  }
  if (!summary.escapedNames.empty()) {
    text += "\nNamed with %XX for control or text-direction characters: " + std::to_string(summary.escapedNames.size());
  }
  if (summary.emptyFiles > 0) text += "\n" + std::to_string(summary.emptyFiles) + " empty file(s): nothing to write";
  if (summary.stopped) text += "\n\nStopped before the end: the files above are all that was written.";

  std::vector<std::string> unreadable;
  for (const UnreadableFile& file : summary.withUnreadableSectors) {
    unreadable.push_back(file.path + " (" + std::to_string(file.sectors) + " sector(s))");
  }
  AddList(result.details, "Failed", summary.failed);
  AddList(result.details, "Written with unreadable sectors filled with zeros", unreadable);
  AddList(result.details, "Written from a damaged cluster chain, so partly guessed", summary.damagedChains);
  AddList(result.details, "Written from clusters other deleted files claim too", summary.conflicting);
  AddList(result.details, "Written from clusters that are a guess", summary.guessedClusters);
  AddList(result.details, "Found by content, and partial, pieced together or damaged", summary.foundDoubtful);
  AddList(result.details, "Not recoverable", summary.notRecoverable);
  AddList(result.details, "Left partial by Skip File or Stop Saving", summary.cutShort);
  AddList(result.details, "Named with %XX for control or text-direction characters", summary.escapedNames);
  return result;
}

std::string UnreadableDirectoriesText(const std::vector<UnreadableDirectorySectorAt>& gaps) {
  constexpr std::size_t kNamed = 20;
  std::string text = std::to_string(gaps.size()) +
                     " directory sector(s) could not be read: the files and folders they held are missing.";
  for (std::size_t i = 0; i < gaps.size() && i < kNamed; ++i) {
    text += "\n  " + VisibleText(gaps[i].folder) + ": sector " + std::to_string(gaps[i].sector);
  }
  if (gaps.size() > kNamed) text += "\n  and " + std::to_string(gaps.size() - kNamed) + " more";
  return text;
}

}  // namespace salvex::wizard
