#include "recovery/recovery_run.h"

#include <memory>
#include <unordered_set>

#include "recovery/fat_extraction.h"
#include "recovery/ntfs_extraction.h"
#include "items/folder_tree.h"
#include "items/lost_items.h"
#include "items/volume_kind.h"

namespace salvex {
namespace {

// Deeper folders than this are not re-created: each level holds an open
// folder, and no real volume nests anywhere near so deep.
constexpr std::size_t kMaxFolderDepth = 256;
constexpr unsigned kMaxFolderCopies = 1000;

ExtractionResult Extract(ExtractionContext& context, const FatFileItem& file, const HostFolder& folder) {
  ExtractionRequest request;
  request.destination = &folder;
  request.name = file.name;
  request.size = file.size;
  request.firstCluster = file.firstCluster;
  request.deleted = file.deleted;
  request.overwritten = file.overwritten;
  request.noClusterFits = file.noClusterFits;
  request.id = file.id;
  request.fileTime = file.writeDate | (std::uint32_t{file.accessDate} << 16);
  return ExtractFatFile(context, request);
}

ExtractionResult Extract(ExtractionContext& context, const NtfsFileItem& file, const HostFolder& folder) {
  ExtractionRequest request;
  request.destination = &folder;
  request.name = file.name;
  request.size = file.size;
  request.recordSector = file.recordSector;
  request.deleted = file.deleted;
  request.fileTime = file.changed;
  return ExtractNtfsFile(context, request);
}

template <typename Kind>
class Recovery {
 public:
  Recovery(ExtractionContext& context, const ItemStore& store) : context_(context), store_(store) {}

  RecoverySummary Run(const RecoverySelection& selection, const HostFolder& destination) {
    RecoveryRunState& run = context_.run;
    run.stopSaving = false;
    run.skipFile = false;
    run.filesCreated = 0;
    if (selection.all) {
      visited_.insert(Kind::kRootKey);
      RecoverContents(Kind::kRootKey, destination, 0);
      RecoverLostItems(destination);
    } else {
      for (const std::uint32_t position : selection.folders) RecoverFolder(position, destination, 0);
      for (const std::uint32_t position : selection.files) {
        RecoverFile(Kind::Files(store_).Items()[position], destination);
      }
    }
    summary_.stopped = run.stopSaving;
    return std::move(summary_);
  }

 private:
  bool Stopped() const { return context_.run.stopSaving; }

  // The folder's own copy below `parent`, then everything in it.
  void RecoverFolder(std::uint32_t position, const HostFolder& parent, std::size_t depth) {
    const auto& folder = Kind::Folders(store_).Items()[position];
    if (Stopped() || !visited_.insert(Kind::KeyOf(folder)).second) return;
    const std::string name = SafeHostName(folder.name);
    if (depth >= kMaxFolderDepth) {
      summary_.failed.push_back(parent.PathOf(name) + ": folders nested too deeply");
      return;
    }
    std::unique_ptr<HostFolder> copy = OpenFolderCopy(parent, name);
    if (copy) RecoverContents(Kind::KeyOf(folder), *copy, depth + 1);
  }

  // What the root does not reach goes into "Lost Files", as the tree shows it.
  void RecoverLostItems(const HostFolder& destination) {
    const LostItems lost = FindLostItems<Kind>(store_);
    if (lost.Empty() || Stopped()) return;
    std::unique_ptr<HostFolder> folder = OpenFolderCopy(destination, std::string(kLostFilesName));
    if (!folder) return;
    for (const std::uint32_t position : lost.files) RecoverFile(Kind::Files(store_).Items()[position], *folder);
    for (const std::uint32_t position : lost.topFolders) RecoverFolder(position, *folder, 1);
  }

  void RecoverContents(std::uint32_t key, const HostFolder& folder, std::size_t depth) {
    const auto& files = Kind::Files(store_);
    for (const std::uint32_t position : files.ChildrenOf(key)) {
      if (Stopped()) return;
      RecoverFile(files.Items()[position], folder);
    }
    for (const std::uint32_t position : Kind::Folders(store_).ChildrenOf(key)) RecoverFolder(position, folder, depth);
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
    Account(Extract(context_, file, folder), folder, Kind::Overwritten(file));
  }

  void Account(const ExtractionResult& result, const HostFolder& folder, bool overwritten) {
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
      case ExtractionOutcome::written:
        break;
    }
    // Only what now stands under the file's name counts.
    ++summary_.filesWritten;
    summary_.bytesWritten += result.bytesWritten;
    if (overwritten) ++summary_.writtenOverwritten;
    if (result.unreadableSectors > 0) summary_.withUnreadableSectors.push_back({path, result.unreadableSectors});
    if (result.cutShort) summary_.cutShort.push_back(path);
  }

  static std::string KeptPart(const ExtractionResult& result, const HostFolder& folder) {
    if (result.keptAs.empty()) return "";
    return "; the " + std::to_string(result.bytesWritten) + " bytes written are kept as " +
           folder.PathOf(result.keptAs);
  }

  ExtractionContext& context_;
  const ItemStore& store_;
  RecoverySummary summary_;
  std::unordered_set<std::uint32_t> visited_;
};

}  // namespace

RecoverySummary RunFatRecovery(ExtractionContext& context, const ItemStore& store, const RecoverySelection& selection,
                               const HostFolder& destination) {
  return Recovery<FatKind>(context, store).Run(selection, destination);
}

RecoverySummary RunNtfsRecovery(ExtractionContext& context, const ItemStore& store,
                                const RecoverySelection& selection, const HostFolder& destination) {
  return Recovery<NtfsKind>(context, store).Run(selection, destination);
}

}  // namespace salvex
