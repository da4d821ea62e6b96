#include "items/recovery_run.h"

#include <memory>
#include <unordered_set>

#include "items/fat_extraction.h"

namespace salvex {
namespace {

// Deeper folders than this are not re-created: each level holds an open
// folder, and no real volume nests anywhere near so deep.
constexpr std::size_t kMaxFolderDepth = 256;
constexpr unsigned kMaxFolderCopies = 1000;

class FatRecovery {
 public:
  FatRecovery(ExtractionContext& context, const ItemStore& store) : context_(context), store_(store) {}

  RecoverySummary Run(const RecoverySelection& selection, const HostFolder& destination) {
    RecoveryRunState& run = context_.run;
    run.stopSaving = false;
    run.skipFile = false;
    run.filesCreated = 0;
    if (selection.all) {
      RecoverContents(kFatRootKey, destination, 0);
    } else {
      for (const std::uint32_t position : selection.folders) RecoverFolder(position, destination, 0);
      for (const std::uint32_t position : selection.files) RecoverFile(store_.FatFiles().Items()[position], destination);
    }
    summary_.stopped = run.stopSaving;
    return std::move(summary_);
  }

 private:
  bool Stopped() const { return context_.run.stopSaving; }

  // The folder's own copy below `parent`, then everything in it.
  void RecoverFolder(std::uint32_t position, const HostFolder& parent, std::size_t depth) {
    const FatFolderItem& folder = store_.FatFolders().Items()[position];
    if (Stopped() || !visited_.insert(folder.firstCluster).second) return;
    if (depth >= kMaxFolderDepth) {
      summary_.failed.push_back(parent.PathOf(SafeHostName(folder.name)) + ": folders nested too deeply");
      return;
    }
    std::unique_ptr<HostFolder> copy = OpenFolderCopy(parent, SafeHostName(folder.name));
    if (copy) RecoverContents(folder.firstCluster, *copy, depth + 1);
  }

  void RecoverContents(std::uint32_t key, const HostFolder& folder, std::size_t depth) {
    if (key == kFatRootKey) visited_.insert(kFatRootKey);
    for (const std::uint32_t position : store_.FatFiles().ChildrenOf(key)) {
      if (Stopped()) return;
      RecoverFile(store_.FatFiles().Items()[position], folder);
    }
    for (const std::uint32_t position : store_.FatFolders().ChildrenOf(key)) RecoverFolder(position, folder, depth);
  }

  // Folders of the same name are merged; a name held by a file or a link
  // gets the next free "Copy (n ) of" name.
  std::unique_ptr<HostFolder> OpenFolderCopy(const HostFolder& parent, const std::string& name) {
    std::string error;
    if (auto folder = parent.OpenOrCreateSubfolder(name, error)) return folder;
    for (unsigned copy = 1; copy <= kMaxFolderCopies; ++copy) {
      const std::string candidate = DuplicateName(name, copy);
      if (parent.Exists(candidate)) continue;
      if (auto folder = parent.OpenOrCreateSubfolder(candidate, error)) return folder;
      break;
    }
    summary_.failed.push_back(error);
    return nullptr;
  }

  void RecoverFile(const FatFileItem& file, const HostFolder& folder) {
    if (Stopped()) return;
    ExtractionRequest request;
    request.destination = &folder;
    request.name = file.name;
    request.size = file.size;
    request.firstCluster = file.firstCluster;
    request.mode = ExtractMode::recover;
    request.deleted = file.deleted;
    request.id = file.id;
    request.fileTime = file.writeDate | (std::uint32_t{file.accessDate} << 16);
    Account(ExtractFatFile(context_, request), folder);
  }

  void Account(const ExtractionResult& result, const HostFolder& folder) {
    const std::string path = folder.PathOf(result.name);
    switch (result.outcome) {
      case ExtractionOutcome::notStarted: return;
      case ExtractionOutcome::refusedByFilter: ++summary_.refusedByFilter; return;
      case ExtractionOutcome::refusedByDeletedMode: ++summary_.refusedByDeletedMode; return;
      case ExtractionOutcome::skippedDuplicate: ++summary_.skippedDuplicates; return;
      case ExtractionOutcome::creationFailed:
      case ExtractionOutcome::writeFailed:
        summary_.failed.push_back(path + ": " + result.error);
        break;
      case ExtractionOutcome::written:
        ++summary_.filesWritten;
        break;
    }
    summary_.bytesWritten += result.bytesWritten;
    if (result.unreadableSectors > 0) summary_.withUnreadableSectors.push_back({path, result.unreadableSectors});
    if (result.cutShort) summary_.cutShort.push_back(path);
  }

  ExtractionContext& context_;
  const ItemStore& store_;
  RecoverySummary summary_;
  std::unordered_set<std::uint32_t> visited_;
};

}  // namespace

RecoverySummary RunFatRecovery(ExtractionContext& context, const ItemStore& store, const RecoverySelection& selection,
                               const HostFolder& destination) {
  return FatRecovery(context, store).Run(selection, destination);
}

}  // namespace salvex
