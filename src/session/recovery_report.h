#pragma once

#include <optional>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "platform/host_folder.h"
#include "recovery/recovery_run.h"
#include "session/session.h"

namespace salvex {

// The report every recovery run leaves beside the files it wrote: a CSV file
// with a row for each file the run took, so that what came back, and how far
// each file's bytes can be trusted, is known file by file long after the
// window has closed.
//
// Columns: the file's path in the volume, its size, whether it was deleted,
// its marks (every doubt about its bytes, ";"-separated), whether its own
// structure says it is whole ("yes", "no", or empty where its kind is not
// judged), what became of it, and the path it was written to.
inline constexpr const char* kRecoveryReportName = "recovery-report.csv";
inline constexpr const char* kRecoveryReportHeader = "path,size,deleted,marks,intact,result,written as";

// The marks of file `position` of the store (its FAT half, or its NTFS half
// when `ntfs`): one name for each doubt its item's fields record, in a fixed
// order. A run's own findings (unread sectors, a guessed chain) are added by
// the report.
std::vector<std::string> FileMarks(const ItemStore& store, bool ntfs, std::uint32_t position);

// One field of a CSV row: quoted when it holds a comma, a quote or a line
// break (a quote doubled inside), as spreadsheets read it.
std::string CsvField(const std::string& text);

// The report's rows, the header first. Written files of a kind the intact
// check judges are read back from the host to be judged.
std::vector<std::string> RecoveryReportLines(const Session& session, const FolderTreeModel& tree,
                                             const RecoverySummary& summary);

// Writes the report into `folder` under `name` (recovery-report.csv when
// empty). A name already taken (an earlier run's report, a recovered file)
// gets the next free "Copy (n ) of" name, unless `replace`: the file named
// on a command line is written over. The path written, or none with
// `error` set.
std::optional<std::string> WriteRecoveryReport(const Session& session, const FolderTreeModel& tree,
                                               const RecoverySummary& summary, const HostFolder& folder,
                                               const std::string& name, bool replace, std::string& error);

}  // namespace salvex
