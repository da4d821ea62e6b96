#include "session/item_bytes.h"

#include "recovery/fat_extraction.h"
#include "recovery/ntfs_extraction.h"
#include "session/extraction_context.h"
#include "session/scans.h"

namespace salvex {

ItemReadRequest ItemRequestOf(const Session& session, std::uint32_t position) {
  ItemReadRequest item;
  item.ntfs = ItemsAreNtfs(session);
  item.request = item.ntfs ? NtfsExtractionRequest(session.items.NtfsFiles().Items()[position])
                           : FatExtractionRequest(session.items.FatFiles().Items()[position]);
  return item;
}

namespace {

ItemBytes ReadInMemory(Session& session, ItemReadRequest& item, RecoveryRunState& run) {
  ExtractionRequest& request = item.request;
  request.mode = ExtractMode::inMemory;
  SilentUiPort ui;
  SilentSavingView saving;
  ExtractionContext context = ExtractionContextOf(session, run, ui, saving, {});
  ExtractionResult result = item.ntfs ? ExtractNtfsFile(context, request) : ExtractFatFile(context, request);
  ItemBytes read;
  read.bytes = std::move(result.bytes);
  read.unreadableSectors = result.unreadableSectors;
  read.error = result.error;
  read.chainGuessed = !result.chainDamage.empty();
  const std::uint64_t taken = request.sink ? result.bytesWritten : read.bytes.size();
  read.whole = !run.stopSaving && taken == request.size &&
               (result.outcome == ExtractionOutcome::written || result.outcome == ExtractionOutcome::empty);
  return read;
}

}  // namespace

ItemBytes ReadRequestBytes(Session& session, ItemReadRequest item, std::size_t limit, RecoveryRunState& run) {
  item.request.memoryLimit = limit;
  return ReadInMemory(session, item, run);
}

ItemBytes StreamRequestBytes(Session& session, ItemReadRequest item, const ByteSink& sink, RecoveryRunState& run) {
  item.request.sink = sink;
  return ReadInMemory(session, item, run);
}

ItemBytes ReadItemBytes(Session& session, std::uint32_t position, std::size_t limit, RecoveryRunState& run) {
  return ReadRequestBytes(session, ItemRequestOf(session, position), limit, run);
}

namespace {

// Marks of the scan that make a file's bytes doubtful whatever they hold.
struct IntactDoubts {
  bool notItsOwn = false;      // some of its bytes are known to be another file's, or zeros
  bool layoutGuessed = false;  // its clusters are a guess that may be wrong
};

IntactDoubts DoubtsOf(const FatFileItem& file, std::uint64_t unreadSectors) {
  // A found file cut short, or kept whole with stretches that fail, is not
  // whole whatever its bytes say; one put together from pieces is a guess.
  const CarvedPlacement* carved = file.carved.get();
  const bool carvedPartial = carved != nullptr && carved->verdict == CarvedVerdict::partial;
  const bool carvedJoined = carved != nullptr && carved->joined;
  return {file.overwritten || unreadSectors > 0 || carvedPartial,
          file.clusterInferred || file.fragmentInferred || file.chainAssumed || !file.conflictsWith.empty() ||
              carvedJoined};
}

}  // namespace

std::optional<bool> ItemLooksIntact(Session& session, std::uint32_t position, RecoveryRunState& run,
                                    IntactCheckBudget& budget, std::uint64_t unreadSectors) {
  const bool ntfs = ItemsAreNtfs(session);
  const std::string& name = ntfs ? session.items.NtfsFiles().Items()[position].name
                                 : session.items.FatFiles().Items()[position].name;
  const std::uint64_t size = ntfs ? session.items.NtfsFiles().Items()[position].size
                                  : session.items.FatFiles().Items()[position].size;
  const IntactDoubts doubts =
      ntfs ? IntactDoubts{unreadSectors > 0, false} : DoubtsOf(session.items.FatFiles().Items()[position], unreadSectors);
  if (run.stopSaving) return std::nullopt;
  // A name that says nothing leaves the kind to the first bytes.
  constexpr std::size_t kSignatureBytes = 16;
  if (CheckedKindOf(name, {}) == CheckedKind::none &&
      CheckedKindOf(name, ReadItemBytes(session, position, kSignatureBytes, run).bytes) == CheckedKind::none) {
    return std::nullopt;
  }
  if (doubts.notItsOwn) return false;
  if (size > kIntactCheckLimit) return std::nullopt;
  const ItemBytes read = ReadItemBytes(session, position, static_cast<std::size_t>(size), run);
  if (!read.whole || read.unreadableSectors > 0) return std::nullopt;
  const std::optional<bool> verdict = LooksIntact(name, read.bytes, budget);
  if ((doubts.layoutGuessed || read.chainGuessed) && verdict == true) return std::nullopt;
  return verdict;
}

}  // namespace salvex
