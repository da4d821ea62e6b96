#include "recovery/recovery_run.h"

#include <iterator>
#include <memory>
#include <mutex>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "platform/locked_disk_source.h"
#include "recovery/fat_extraction.h"
#include "recovery/folder_writers.h"
#include "recovery/serialized_views.h"
#include "recovery/ntfs_extraction.h"
#include "items/folder_tree.h"
#include "items/item_paths.h"
#include "items/volume_kind.h"

namespace salvex {
namespace {

constexpr unsigned kMaxFolderCopies = 1000;

ExtractionResult Extract(ExtractionContext& context, const FatFileItem& file, const HostFolder& folder) {
  ExtractionRequest request = FatExtractionRequest(file);
  request.destination = &folder;
  return ExtractFatFile(context, request);
}

ExtractionResult Extract(ExtractionContext& context, const NtfsFileItem& file, const HostFolder& folder) {
  ExtractionRequest request = NtfsExtractionRequest(file);
  request.destination = &folder;
  return ExtractNtfsFile(context, request);
}

// Adds a folder batch's account to the run's, after what came before it.
void Append(RecoverySummary& into, RecoverySummary&& from) {
  const auto append = [](auto& to, auto& more) { to.insert(to.end(), std::make_move_iterator(more.begin()),
                                                           std::make_move_iterator(more.end())); };
  into.filesWritten += from.filesWritten;
  into.bytesWritten += from.bytesWritten;
  into.writtenOverwritten += from.writtenOverwritten;
  into.refusedByFilter += from.refusedByFilter;
  into.refusedByDeletedMode += from.refusedByDeletedMode;
  into.skippedDuplicates += from.skippedDuplicates;
  into.emptyFiles += from.emptyFiles;
  append(into.failed, from.failed);
  append(into.withUnreadableSectors, from.withUnreadableSectors);
  append(into.cutShort, from.cutShort);
  append(into.damagedChains, from.damagedChains);
  append(into.conflicting, from.conflicting);
  append(into.guessedClusters, from.guessedClusters);
  append(into.foundDoubtful, from.foundDoubtful);
  append(into.notRecoverable, from.notRecoverable);
  append(into.escapedNames, from.escapedNames);
  append(into.files, from.files);
}

// What one writer thread reads and reports through: a reader of its own
// over the run's disk (reads taken in turn), a FAT cache of its own, and the
// run's views one call at a time.
struct WriterLane {
  WriterLane(const ExtractionContext& run, DiskSource& disk, std::mutex& diskLock, std::mutex& viewLock)
      : reader(run.reader.BadSectorRetries()),
        ui(run.ui, viewLock),
        saving(run.saving, viewLock),
        cache(reader),
        context{reader, run.volume, run.settings, run.run, ui, saving, run.passesFilters, run.lastSector} {
    reader.Open(std::make_unique<LockedDiskSource>(disk, diskLock));
    context.concurrentWriter = true;
    context.fatCache = &cache;
  }

  SectorReader reader;
  SerializedUiPort ui;
  SerializedSavingView saving;
  FatSectorCache cache;
  ExtractionContext context;
};

template <typename Kind>
class Recovery {
 public:
  Recovery(ExtractionContext& context, const ItemStore& store, const FolderTreeModel& tree)
      : context_(context), store_(store), tree_(tree), paths_(store, tree) {}

  RecoverySummary Run(const RecoverySelection& selection, const HostFolder& destination) {
    RecoveryRunState& run = context_.run;
    run.stopSaving = false;
    run.skipFile = false;
    run.filesCreated = 0;
    run.bytesCopied = 0;
    run.createdNames.clear();
    run.fatCache.reset();
    StartWriters();
    // The destination is the caller's: shared here, never released.
    const std::shared_ptr<const HostFolder> top(std::shared_ptr<void>(), &destination);
    if (selection.all) {
      RecoverNodeContents(FolderTreeModel::kRoot, top);
    } else {
      const auto parentCopy = [&](std::optional<TreeNodeId> parent) {
        return selection.keepFolders && parent ? FolderCopyOf(*parent, top) : top;
      };
      for (const std::uint32_t position : selection.folders) {
        const TreeNodeId node = Kind::Folders(store_).Items()[position].treeNode;
        const auto parent = parentCopy(tree_.Contains(node) ? std::optional(tree_.Parent(node)) : std::nullopt);
        if (parent) RecoverNode(node, *parent);
      }
      if (selection.lostFiles && paths_.LostFilesNode()) RecoverNode(*paths_.LostFilesNode(), *top);
      FinishWriters();
      for (const std::uint32_t position : selection.files) {
        const auto parent = parentCopy(paths_.NodeOfKey(Kind::ParentOf(Kind::Files(store_).Items()[position])));
        if (parent) RecoverFile(context_, position, *parent, summary_);
      }
    }
    FinishWriters();
    summary_.stopped = run.stopSaving;
    return std::move(summary_);
  }

 private:
  bool Stopped() const { return context_.run.stopSaving; }

  // Overwrite mode keeps one list of the files made so far, which the
  // writers would all change: it runs on the caller's thread.
  void StartWriters() {
    const bool overwriting = context_.settings.duplicateMode == DuplicateMode::overwriteDuplicate;
    DiskSource* disk = context_.reader.Source();
    if (context_.writerThreads < 2 || overwriting || !disk) return;
    for (unsigned lane = 0; lane < context_.writerThreads; ++lane) {
      lanes_.push_back(std::make_unique<WriterLane>(context_, *disk, diskLock_, viewLock_));
    }
    writers_ = std::make_unique<FolderWriters>(context_.writerThreads, [this](FolderBatch& batch, unsigned lane) {
      if (!batch.folder) return;
      for (const std::uint32_t position : batch.files) {
        if (Stopped()) return;
        RecoverFile(lanes_[lane]->context, position, *batch.folder, batch.summary);
      }
    });
  }

  // Waits for the writers and takes their accounts, in the order the
  // folders were given to them.
  void FinishWriters() {
    if (!writers_) return;
    for (const auto& batch : writers_->Finish()) Append(summary_, std::move(batch->summary));
    writers_.reset();
    lanes_.clear();
  }

  // The copy of the folder at `node` and of every folder above it, below
  // `top` (made on this thread, as the writers are not told of them); top
  // itself for the root, null when one cannot be made (said in the summary).
  std::shared_ptr<const HostFolder> FolderCopyOf(TreeNodeId node, const std::shared_ptr<const HostFolder>& top) {
    std::vector<TreeNodeId> chain;
    // Up to the root or to a copy made already; the tree is finite and
    // every parent is nearer the root, so this ends.
    while (node != FolderTreeModel::kRoot && tree_.Contains(node) && !folderCopies_.contains(node)) {
      chain.push_back(node);
      node = tree_.Parent(node);
    }
    std::shared_ptr<const HostFolder> folder = node == FolderTreeModel::kRoot || !tree_.Contains(node)
                                                   ? top
                                                   : folderCopies_.at(node);
    for (auto below = chain.rbegin(); below != chain.rend() && folder; ++below) {
      folder = OpenFolderCopy(*folder, SafeHostName(tree_.Text(*below)));
      folderCopies_[*below] = folder;
    }
    return folder;
  }

  // The node's own copy below `parent`, then everything in it.
  void RecoverNode(TreeNodeId node, const HostFolder& parent) {
    if (Stopped() || !tree_.Contains(node) || node == FolderTreeModel::kRoot) return;
    const auto key = paths_.KeyOfNode(node);
    if (!key && !paths_.IsLostFilesNode(node)) return;
    // A folder listed more than once (a key on a cycle, or kept twice by a
    // scan) is copied once.
    if (key && !visited_.insert(*key).second) return;
    std::shared_ptr<const HostFolder> copy = OpenFolderCopy(parent, SafeHostName(tree_.Text(node)));
    if (copy) RecoverNodeContents(node, copy);
  }

  void RecoverNodeContents(TreeNodeId node, const std::shared_ptr<const HostFolder>& folder) {
    if (const auto key = paths_.KeyOfNode(node)) visited_.insert(*key);
    const std::span<const std::uint32_t> files = paths_.FilesOfNode(node);
    const std::vector<TreeNodeId>& children = tree_.Children(node);
    if (!writers_) {
      for (const std::uint32_t position : files) {
        if (Stopped()) return;
        RecoverFile(context_, position, *folder, summary_);
      }
    } else if (!files.empty()) {
      auto batch = std::make_unique<FolderBatch>();
      batch->folder = folder;
      batch->files.assign(files.begin(), files.end());
      const std::size_t number = writers_->Submit(std::move(batch));
      // A sub-folder named as one of these files is made after them, as on
      // one thread: the file keeps its name, the folder gets a copy's.
      if (!children.empty() && ChildNamedAsFile(files, children)) writers_->WaitUntilWritten(number);
    }
    for (const TreeNodeId child : children) RecoverNode(child, *folder);
  }

  bool ChildNamedAsFile(std::span<const std::uint32_t> files, const std::vector<TreeNodeId>& children) const {
    std::unordered_set<std::string> names;
    for (const std::uint32_t position : files) names.insert(SafeHostName(Kind::Files(store_).Items()[position].name));
    for (const TreeNodeId child : children) {
      if (names.contains(SafeHostName(tree_.Text(child)))) return true;
    }
    return false;
  }

  // Folders of the same name are merged; a name held by a file or a link
  // gets the next free "Copy (n ) of" name.
  std::unique_ptr<HostFolder> OpenFolderCopy(const HostFolder& parent, const std::string& name) {
    std::string error;
    if (auto folder = parent.OpenOrCreateSubfolder(name, error)) return folder;
    // Only a name held by something else calls for a copy's name; any other
    // failure (a read-only or full disk) is reported under the folder's own.
    if (parent.Exists(name)) {
      const auto candidate = FirstFreeDuplicateName(name, kMaxFolderCopies,
                                                    [&](const std::string& taken) { return parent.Exists(taken); });
      if (candidate) {
        if (auto folder = parent.OpenOrCreateSubfolder(*candidate, error)) return folder;
      }
    }
    Failed(error);
    return nullptr;
  }

  // A failure of the caller's thread, in its place among the writers'.
  void Failed(const std::string& error) {
    if (!writers_) {
      summary_.failed.push_back(error);
      return;
    }
    auto batch = std::make_unique<FolderBatch>();
    batch->summary.failed.push_back(error);
    writers_->Submit(std::move(batch));
  }

  void RecoverFile(ExtractionContext& context, std::uint32_t position, const HostFolder& folder,
                   RecoverySummary& summary) const {
    if (Stopped()) return;
    const typename Kind::File& file = Kind::Files(store_).Items()[position];
    const ExtractionResult result = Extract(context, file, folder);
    if (result.outcome != ExtractionOutcome::notStarted) {
      summary.files.push_back({position, result.outcome, folder.PathOf(result.name.empty() ? SafeHostName(file.name) : result.name),
                               result.bytesWritten, result.unreadableSectors, result.chainDamage,
                               result.keptAs.empty() ? result.error : result.error + KeptPart(result, folder)});
    }
    Account(result, folder, Kind::Overwritten(file), ClaimedToo(file), Guesses(file), summary);
    if (result.outcome == ExtractionOutcome::written && Kind::Carved(file)) {
      std::string doubts;
      for (const std::string& doubt : CarvedDoubts(*Kind::Carved(file))) doubts += (doubts.empty() ? "" : "; ") + doubt;
      if (!doubts.empty()) summary.foundDoubtful.push_back(folder.PathOf(result.name) + ": " + doubts);
    }
  }

  // What is guessed about where the file's bytes lie; empty when nothing is.
  static std::string Guesses(const typename Kind::File& file) {
    std::string guesses;
    const auto add = [&](bool guessed, const char* what) {
      if (guessed) guesses += (guesses.empty() ? "" : "; ") + std::string(what);
    };
    add(Kind::ClusterInferred(file), "the high word of its first cluster was cleared, so its first cluster is a guess");
    add(Kind::FragmentInferred(file), "its clusters were worked out around other files");
    add(Kind::ChainAssumed(file), "its FAT chain is lost, so it was read as consecutive clusters");
    return guesses;
  }

  // The other deleted files said to claim some of the file's clusters, by
  // their paths in the volume; empty when there are none.
  std::string ClaimedToo(const typename Kind::File& file) const {
    std::string others;
    for (const std::uint32_t other : Kind::ConflictsWith(file)) {
      if (other >= Kind::Files(store_).Size()) continue;
      const auto path = paths_.FilePath(other);
      others += (others.empty() ? "" : ", ") + (path ? *path : Kind::Files(store_).Items()[other].name);
    }
    return others;
  }

  static void Account(const ExtractionResult& result, const HostFolder& folder, bool overwritten,
                      const std::string& claimedToo, const std::string& guesses, RecoverySummary& summary) {
    const std::string path = folder.PathOf(result.name);
    switch (result.outcome) {
      case ExtractionOutcome::notStarted: return;
      case ExtractionOutcome::refusedByFilter: ++summary.refusedByFilter; return;
      case ExtractionOutcome::refusedByDeletedMode: ++summary.refusedByDeletedMode; return;
      case ExtractionOutcome::skippedDuplicate: ++summary.skippedDuplicates; return;
      case ExtractionOutcome::empty: ++summary.emptyFiles; return;
      case ExtractionOutcome::notRecoverable: summary.notRecoverable.push_back(path + ": " + result.error); return;
      case ExtractionOutcome::creationFailed:
      case ExtractionOutcome::noData:
        summary.failed.push_back(path + ": " + result.error);
        return;
      case ExtractionOutcome::writeFailed:
        summary.failed.push_back(path + ": " + result.error + KeptPart(result, folder));
        return;
      case ExtractionOutcome::interrupted:
        summary.cutShort.push_back(result.keptAs.empty() ? path + " (nothing written)" : folder.PathOf(result.keptAs));
        return;
      case ExtractionOutcome::written:
        break;
    }
    // Only what now stands under the file's name counts.
    ++summary.filesWritten;
    summary.bytesWritten += result.bytesWritten;
    if (overwritten) ++summary.writtenOverwritten;
    if (!claimedToo.empty()) summary.conflicting.push_back(path + ": also claimed by " + claimedToo);
    if (!guesses.empty()) summary.guessedClusters.push_back(path + ": " + guesses);
    if (result.unreadableSectors > 0) summary.withUnreadableSectors.push_back({path, result.unreadableSectors});
    if (result.nameEscaped) summary.escapedNames.push_back(path);
    if (!result.chainDamage.empty()) summary.damagedChains.push_back(path + ": " + result.chainDamage);
  }

  static std::string KeptPart(const ExtractionResult& result, const HostFolder& folder) {
    if (result.keptAs.empty()) return "";
    return "; the " + std::to_string(result.bytesWritten) + " bytes written are kept as " +
           folder.PathOf(result.keptAs);
  }

  ExtractionContext& context_;
  const ItemStore& store_;
  const FolderTreeModel& tree_;
  const ItemPaths<Kind> paths_;
  RecoverySummary summary_;
  std::unordered_set<std::uint32_t> visited_;
  std::unordered_map<TreeNodeId, std::shared_ptr<const HostFolder>> folderCopies_;
  std::mutex diskLock_;
  std::mutex viewLock_;
  std::vector<std::unique_ptr<WriterLane>> lanes_;
  std::unique_ptr<FolderWriters> writers_;
};

}  // namespace

RecoverySummary RunFatRecovery(ExtractionContext& context, const ItemStore& store, const FolderTreeModel& tree,
                               const RecoverySelection& selection, const HostFolder& destination) {
  return Recovery<FatKind>(context, store, tree).Run(selection, destination);
}

RecoverySummary RunNtfsRecovery(ExtractionContext& context, const ItemStore& store, const FolderTreeModel& tree,
                                const RecoverySelection& selection, const HostFolder& destination) {
  return Recovery<NtfsKind>(context, store, tree).Run(selection, destination);
}

}  // namespace salvex
