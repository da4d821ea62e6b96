#pragma once

#include <cstdint>
#include <string>

namespace salvex {

enum class DuplicateMode : std::uint16_t { renameDuplicate = 1, overwriteDuplicate = 2, skipDuplicate = 3 };
enum class DeletedMode : std::uint16_t { includeDeleted = 1, onlyDeleted = 2, excludeDeleted = 3 };

// The user's settings for reading and recovering; every start begins with
// these defaults. Readers take the values at the moment they need them.
struct RecoverySettings {
  std::uint32_t sectorsPerRead = 60;  // sweep read size, 1 to 100
  DuplicateMode duplicateMode = DuplicateMode::renameDuplicate;
  DeletedMode deletedMode = DeletedMode::includeDeleted;
  std::uint16_t badSectorRetries = 3;  // attempts per sector after a failed block read, 1 to 10
  // The CSV report every run writes beside the files it recovers.
  std::string reportName = "recovery-report.csv";
  // Recover Selected writes each file under the folders that lead to it from
  // the volume's root, as Recover All does; false: all side by side.
  bool keepFolders = true;
};

}  // namespace salvex
