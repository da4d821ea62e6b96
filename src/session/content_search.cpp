#include "session/content_search.h"

#include <memory>
#include <unordered_map>

namespace salvex {
namespace {

CarvedVerdict VerdictOf(Soundness soundness) {
  switch (soundness) {
    case Soundness::whole: return CarvedVerdict::intact;
    case Soundness::unchecked: return CarvedVerdict::unchecked;
    case Soundness::unjudged: return CarvedVerdict::unjudged;
    case Soundness::notThisKind:
    case Soundness::cutShort:
    case Soundness::damaged: break;
  }
  return CarvedVerdict::partial;
}

CarvedCut CutOf(CarveCut cut) {
  switch (cut) {
    case CarveCut::none: return CarvedCut::none;
    case CarveCut::damaged: return CarvedCut::damaged;
    case CarveCut::liveClusters: return CarvedCut::liveClusters;
    case CarveCut::otherFileStart: return CarvedCut::otherFileStart;
    case CarveCut::areaEnd: break;
  }
  return CarvedCut::areaEnd;
}

// The last component of a "/"-separated path.
std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CarvedPlacement PlacementOf(const CarvedRecord& record) {
  CarvedPlacement placement;
  placement.extents.reserve(record.pieces.size());
  for (const ByteRange& piece : record.pieces) placement.extents.push_back({piece.start, piece.Size()});
  placement.family = record.family;
  placement.verdict = VerdictOf(record.soundness);
  placement.cut = CutOf(record.cut);
  placement.joined = record.joined;
  placement.embedded = record.embedded;
  for (const FileSpan& span : record.damagedSpans) placement.damagedSpans.push_back({span.start, span.end});
  return placement;
}

void FileCarvedItems(const std::vector<CarvedRecord>& found, ItemStore& store) {
  store.ClearFatItems();
  store.ClearNtfsItems();
  store.counters = {};
  store.AddFatFolder(kFoundByContentName, kFoundByContentKey, kFatRootKey, 0, 0, 0, false);
  std::unordered_map<std::string, std::uint32_t> typeKeys;
  for (const CarvedRecord& record : found) {
    const std::string type = record.extension.empty() ? record.family : record.extension;
    auto key = typeKeys.find(type);
    if (key == typeKeys.end()) {
      // The types are the families' own extensions, a few dozen at most:
      // their keys stay far below "Found by Content"'s.
      const auto folderKey = kFirstContentTypeKey + static_cast<std::uint32_t>(typeKeys.size());
      store.AddFatFolder(type, folderKey, kFoundByContentKey, 0, 0, 0, false);
      key = typeKeys.emplace(type, folderKey).first;
    }
    FatFileItem file;
    file.name = NameOf(record.path);
    file.parentCluster = key->second;
    file.size = record.size;
    file.deleted = !record.inLiveClusters;
    file.writeDate = record.entryWriteDate;
    file.writeTime = record.entryWriteTime;
    file.carved = std::make_shared<const CarvedPlacement>(PlacementOf(record));
    store.AddFatFile(std::move(file));
    ++store.counters.fileCount;
  }
}

ContentSearchResult SearchByFileType(Session& session, const CarveRequest& request, UiPort& ui, FolderTreeSink& tree,
                                     TreeNodeId root) {
  ContentSearchResult result;
  const CarvePlan plan = PrepareCarveOfChosenRange(session, request, ui);
  result.outcome = plan.outcome;
  if (!plan.outcome.Ok()) return result;
  const CarveSummary found = FindCarvedFiles(session, plan, ui, session.scan.stopRequested);
  FileCarvedItems(found.files, session.items);
  BuildFatFolderTree(session.items, tree, ui, root);
  ui.ShowProgress(false);
  result.filesFound = static_cast<std::uint32_t>(found.files.size());
  result.stopped = found.stopped;
  return result;
}

}  // namespace salvex
