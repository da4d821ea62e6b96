#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <vector>

#include "items/unreadable_directories.h"
#include "recovery/recovery_run.h"
#include "wizard/command_view.h"
#include "wizard/size_text.h"

namespace salvex::wizard {

// Asked before a recovery whose files would not fit the destination: "No"
// gives it up.
std::string FreeSpaceQuestion(std::uint64_t needed, std::uint64_t free, const std::string& destination);

// The summary box of a run: what was written and what not, by reason; every
// file that failed, was written with unreadable sectors zero-filled, or was
// cut short, named in the details.
SummaryText RecoverySummaryText(const RecoverySummary& summary, const std::string& destination);

// The summary's last line: where the run's report is, or why there is none.
void AddReportLine(SummaryText& summary, const std::optional<std::string>& report, const std::string& error);
inline constexpr const char* kOpenReportButton = "Open &Report";

// The saving dialog's line for the whole run: "1,234 of 5,000 files, 1.2 MB
// of 8.0 MB, 15%, about 2 min left" (the time once a second has passed and
// some bytes are written; the bytes' share, or the files' without bytes).
std::string SavingProgressText(std::uint32_t filesDone, std::uint32_t filesTotal, std::uint64_t bytesDone,
                               std::uint64_t bytesTotal, double elapsedSeconds);
// The run's share done in percent, as the text above gives it.
int SavingPercent(std::uint32_t filesDone, std::uint32_t filesTotal, std::uint64_t bytesDone, std::uint64_t bytesTotal);

inline constexpr const char* kOpenFolderButton = "&Open Folder";

// Said after a scan when directory sectors could not be read: how many, and
// which folder each belongs to (the first twenty).
std::string UnreadableDirectoriesText(const std::vector<UnreadableDirectorySectorAt>& gaps);

}  // namespace salvex::wizard
