#include "recovery/recovery_run.h"

#include <memory>
#include <unordered_set>

#include "recovery/fat_extraction.h"
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
    run.createdPaths.clear();
    run.fatCache.reset();
    if (selection.all) {
      RecoverNodeContents(FolderTreeModel::kRoot, destination);
    } else {
      for (const std::uint32_t position : selection.folders) {
        RecoverNode(Kind::Folders(store_).Items()[position].treeNode, destination);
      }
      if (selection.lostFiles && paths_.LostFilesNode()) RecoverNode(*paths_.LostFilesNode(), destination);
      for (const std::uint32_t position : selection.files) {
        RecoverFile(Kind::Files(store_).Items()[position], destination);
      }
    }
    summary_.stopped = run.stopSaving;
    return std::move(summary_);
  }

 private:
  bool Stopped() const { return context_.run.stopSaving; }

  // The node's own copy below `parent`, then everything in it.
  void RecoverNode(TreeNodeId node, const HostFolder& parent) {
    if (Stopped() || !tree_.Contains(node) || node == FolderTreeModel::kRoot) return;
    const auto key = paths_.KeyOfNode(node);
    if (!key && !paths_.IsLostFilesNode(node)) return;
    // A folder listed more than once (a key on a cycle, or kept twice by a
    // scan) is copied once.
    if (key && !visited_.insert(*key).second) return;
    std::unique_ptr<HostFolder> copy = OpenFolderCopy(parent, SafeHostName(tree_.Text(node)));
    if (copy) RecoverNodeContents(node, *copy);
  }

  void RecoverNodeContents(TreeNodeId node, const HostFolder& folder) {
    if (const auto key = paths_.KeyOfNode(node)) visited_.insert(*key);
    for (const std::uint32_t position : paths_.FilesOfNode(node)) {
      if (Stopped()) return;
      RecoverFile(Kind::Files(store_).Items()[position], folder);
    }
    for (const TreeNodeId child : tree_.Children(node)) RecoverNode(child, folder);
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
    summary_.failed.push_back(error);
    return nullptr;
  }

  void RecoverFile(const typename Kind::File& file, const HostFolder& folder) {
    if (Stopped()) return;
    Account(Extract(context_, file, folder), folder, Kind::Overwritten(file), ClaimedToo(file));
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

  void Account(const ExtractionResult& result, const HostFolder& folder, bool overwritten,
               const std::string& claimedToo) {
    const std::string path = folder.PathOf(result.name);
    switch (result.outcome) {
      case ExtractionOutcome::notStarted: return;
      case ExtractionOutcome::refusedByFilter: ++summary_.refusedByFilter; return;
      case ExtractionOutcome::refusedByDeletedMode: ++summary_.refusedByDeletedMode; return;
      case ExtractionOutcome::skippedDuplicate: ++summary_.skippedDuplicates; return;
      case ExtractionOutcome::empty: ++summary_.emptyFiles; return;
      case ExtractionOutcome::notRecoverable: summary_.notRecoverable.push_back(path + ": " + result.error); return;
      case ExtractionOutcome::creationFailed:
      case ExtractionOutcome::noData:
        summary_.failed.push_back(path + ": " + result.error);
        return;
      case ExtractionOutcome::writeFailed:
        summary_.failed.push_back(path + ": " + result.error + KeptPart(result, folder));
        return;
      case ExtractionOutcome::interrupted:
        summary_.cutShort.push_back(result.keptAs.empty() ? path + " (nothing written)" : folder.PathOf(result.keptAs));
        return;
      case ExtractionOutcome::written:
        break;
    }
    // Only what now stands under the file's name counts.
    ++summary_.filesWritten;
    summary_.bytesWritten += result.bytesWritten;
    if (overwritten) ++summary_.writtenOverwritten;
    if (!claimedToo.empty()) summary_.conflicting.push_back(path + ": also claimed by " + claimedToo);
    if (result.unreadableSectors > 0) summary_.withUnreadableSectors.push_back({path, result.unreadableSectors});
    if (result.nameEscaped) summary_.escapedNames.push_back(path);
    if (!result.chainDamage.empty()) summary_.damagedChains.push_back(path + ": " + result.chainDamage);
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
