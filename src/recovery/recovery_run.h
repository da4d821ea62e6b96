#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recovery/extraction.h"
#include "items/folder_tree_model.h"
#include "items/item_store.h"

namespace salvex {

// What a recovery run takes: everything found ("Recover All": the whole
// folder tree, its "Lost Files" included), or the chosen folders (each with
// everything below it in the tree) and files ("Recover Selected"), as
// positions in the store's FAT or NTFS lists, and the tree's own "Lost
// Files" folder.
struct RecoverySelection {
  bool all = false;
  std::vector<std::uint32_t> folders;
  std::vector<std::uint32_t> files;
  bool lostFiles = false;
  // Each chosen folder and file is written under copies of the folders that
  // lead to it from the volume's root, as a whole-volume run writes it;
  // false: all of them side by side in the destination.
  bool keepFolders = false;
};

struct UnreadableFile {
  std::string path;
  std::uint32_t sectors = 0;
};

// What became of one file a run took, for the run's report.
struct RecoveredFile {
  std::uint32_t position = 0;  // in the store's FAT or NTFS file list
  ExtractionOutcome outcome = ExtractionOutcome::notStarted;
  std::string hostPath;        // the file made (or meant to be made) on the host
  std::uint64_t bytesWritten = 0;
  std::uint32_t unreadableSectors = 0;
  std::string chainDamage;     // written along a guessed cluster chain: why
  std::string error;           // why it was not written, or not whole
};

// The account of a run, for the user.
struct RecoverySummary {
  // Files that stand whole (or cut short by Skip File or Stop Saving) under
  // their names, and the bytes they hold; a failed file counts in neither.
  std::uint32_t filesWritten = 0;
  std::uint64_t bytesWritten = 0;
  // Of those, deleted files whose clusters the FAT now gives to other files:
  // what they hold is probably those files' bytes.
  std::uint32_t writtenOverwritten = 0;
  std::uint32_t refusedByFilter = 0;
  std::uint32_t refusedByDeletedMode = 0;
  std::uint32_t skippedDuplicates = 0;
  std::vector<std::string> failed;              // "path: reason", naming a ".partial" file kept
  std::vector<UnreadableFile> withUnreadableSectors;  // written, with zeros for what could not be read
  std::vector<std::string> cutShort;            // left partial by Skip File or Stop Saving
  std::vector<std::string> damagedChains;       // "path: reason": written along a guessed cluster chain
  // "path: also claimed by OTHER, ...": written from clusters other deleted
  // files would be read from too, so at most one of them is right.
  std::vector<std::string> conflicting;
  // "path: why": written from clusters that are a guess (a first cluster
  // whose high word was cleared, clusters worked out around other files, a
  // lost chain read as consecutive clusters).
  std::vector<std::string> guessedClusters;
  // "path: why": files found by their content that are partial, put
  // together from pieces, or kept whole with damaged stretches.
  std::vector<std::string> foundDoubtful;
  std::vector<std::string> notRecoverable;      // "path: reason": NTFS-compressed or encrypted, FAT cluster lost
  std::vector<std::string> escapedNames;        // written under a name whose control characters became %XX
  std::uint32_t emptyFiles = 0;                 // NTFS files of 0 bytes, not created
  // Every file the run took, one record each, in the order the run's
  // folders were taken.
  std::vector<RecoveredFile> files;
  bool stopped = false;

  // Every admitted file was written whole, from readable sectors.
  bool AllWritten() const {
    return failed.empty() && withUnreadableSectors.empty() && cutShort.empty() && notRecoverable.empty() &&
           damagedChains.empty() && !stopped;
  }
};

// Copies the selection of a FAT store into `destination`, re-creating the
// folders below it as `tree` (the store's folder tree) shows them, so that
// what is recovered is what was listed, where it was listed (deleted
// folders included, and "Lost Files"). Clears the run's flags and count
// first; ends early when Stop Saving is raised. Runs on the caller's thread.
RecoverySummary RunFatRecovery(ExtractionContext& context, const ItemStore& store, const FolderTreeModel& tree,
                               const RecoverySelection& selection, const HostFolder& destination);

// The same over the store's NTFS items.
RecoverySummary RunNtfsRecovery(ExtractionContext& context, const ItemStore& store, const FolderTreeModel& tree,
                                const RecoverySelection& selection, const HostFolder& destination);

}  // namespace salvex
