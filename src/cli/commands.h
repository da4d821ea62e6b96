#pragma once

#include <string>
#include <vector>

#include "cli/volume_choice.h"

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

// Each returns the process's exit status; user errors are thrown as CliError.
int RunDisks(const DisksOptions& options);
int RunPartitions(const PartitionsOptions& options);
int RunScan(const ScanOptions& options);

}  // namespace salvex::cli
