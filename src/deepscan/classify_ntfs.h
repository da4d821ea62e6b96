#pragma once

#include "deepscan/classify_fat.h"

namespace salvex {

inline constexpr const char* kAnalyzingClassification = "Analyzing Classification ";

// Gives every MFT folder hit its record number (from the index blocks that
// name it, else by its position among the records), keeps each folder's first
// index block only, then finds NTFS file systems: each boot sector whose
// geometry puts at least one folder's first index block in place, then file
// systems inferred from pairs of folders. Unplaced folder hits finally join
// the file system of the hit before them.
void ClassifyNtfs(ClassifyContext& context);

void AssignMftNumbers(ClassifyContext& context);
void DeleteUnusedIndexBlocks(ClassifyContext& context);

}  // namespace salvex
