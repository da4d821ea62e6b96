#pragma once

#include "deepscan/classify_fat.h"

namespace salvex {

// Groups the exFAT hits into found file systems. First each boot sector
// whose region (or the backup region 12 sectors further, or, for a backup,
// the main one 12 sectors before) verifies and whose geometry puts the root
// directory or a found folder's directory in place. Then, for the folders
// left, volumes whose boot regions are gone: the cluster size and the
// cluster heap that put the most folders' first clusters on sectors where a
// directory begins (at least two of them). Last, for each root left, the
// geometry that puts the up-case table its entry names, with the entry's
// checksum, where the entry says. Every folder and root hit ends claimed or
// unplaced.
void ClassifyExfat(ClassifyContext& context);

}  // namespace salvex
