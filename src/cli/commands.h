#pragma once

#include <string>
#include <vector>

#include "cli/volume_choice.h"
#include "items/folder_tree_model.h"
#include "items/recovery_settings.h"
#include "session/unread_marks.h"

namespace salvex::cli {

struct DisksOptions {
  std::vector<std::string> images;
};

struct PartitionsOptions {
  SourceOptions source;
  bool json = false;
};

struct ScanOptions {
  SourceOptions source;
  VolumeOptions volume;
  std::string saveSnapshot;
  bool json = false;
  bool check = false;  // each file's "intact" verdict in the JSON
};

struct FindOptions {
  SourceOptions source;
  VolumeOptions volume;
  DeepOptions deep;
  std::string pattern;  // empty: every file (with `containing` only)
  std::string containing;  // look in the files' bytes (and free space) for this text
  bool ignoreCase = false;
  bool json = false;
};

struct DeepScanOptions {
  SourceOptions source;
  VolumeOptions volume;
  DeepOptions deep;
  std::string saveSnapshot;
  bool json = false;
};

struct RecoverOptions {
  SourceOptions source;
  VolumeOptions volume;
  DeepOptions deep;
  std::string out;
  bool all = false;
  std::vector<std::string> paths;
  DeletedMode deletedMode = DeletedMode::includeDeleted;
  DuplicateMode duplicateMode = DuplicateMode::renameDuplicate;
  std::uint16_t retries = 3;
  std::string report;  // the CSV report of the run; empty: none
};

struct ImageOptions {
  SourceOptions source;
  std::string image;
  std::string map;
  int retries = 0;
  bool json = false;
  std::string program;      // written into the map's heading
  std::string commandLine;  // likewise
};

struct CarveOptions {
  SourceOptions source;
  VolumeOptions volume;  // --partition, --start
  DeepOptions deep;      // --end
  std::vector<std::string> types;
  bool allSpace = false;
  bool includeListed = false;
  std::string out;
  bool json = false;
};

struct LoadedItems;

// Prints a store as `salvex scan` does: the tree, or JSON.
// With `marks`, the items on sectors an image's map calls unread are marked;
// with `check`, the JSON gives each file's "intact" verdict. False when
// Ctrl-C stopped the checks before the last file.
bool PrintItems(Session& session, const FolderTreeModel& tree, const LoadedItems& loaded, bool json,
                const UnreadMarks* marks = nullptr, bool check = false);

// Prints partition records as `salvex partitions` does.
void PrintPartitions(const PartitionTable& table, bool json);

// Each returns the process's exit status; user errors are thrown as CliError.
int RunDisks(const DisksOptions& options);
int RunPartitions(const PartitionsOptions& options);
int RunScan(const ScanOptions& options);
int RunSearchPartitions(const PartitionsOptions& options);
int RunDeepScan(const DeepScanOptions& options);
int RunFind(const FindOptions& options);
int RunRecover(const RecoverOptions& options);
int RunImage(const ImageOptions& options);
int RunCarve(const CarveOptions& options);

}  // namespace salvex::cli
