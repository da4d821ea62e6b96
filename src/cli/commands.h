#pragma once

#include <string>
#include <vector>

#include "cli/volume_choice.h"
#include "items/recovery_settings.h"

namespace salvex::cli {

struct DisksOptions {
  std::vector<std::string> images;
};

struct PartitionsOptions {
  std::string source;
  bool json = false;
};

struct ScanOptions {
  std::string source;
  VolumeOptions volume;
  bool json = false;
};

struct RecoverOptions {
  std::string source;
  VolumeOptions volume;
  std::string out;
  bool all = false;
  std::vector<std::string> paths;
  DeletedMode deletedMode = DeletedMode::includeDeleted;
  DuplicateMode duplicateMode = DuplicateMode::renameDuplicate;
  std::uint16_t retries = 3;
};

// Each returns the process's exit status; user errors are thrown as CliError.
int RunDisks(const DisksOptions& options);
int RunPartitions(const PartitionsOptions& options);
int RunScan(const ScanOptions& options);
int RunRecover(const RecoverOptions& options);

}  // namespace salvex::cli
