#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "content/intact_check.h"
#include "recovery/extraction.h"
#include "session/session.h"

namespace salvex {

// A file's bytes as a recovery would write them, read without writing
// anything anywhere.
struct ItemBytes {
  std::vector<std::uint8_t> bytes;  // its first `limit` bytes, or all of them
  bool whole = false;               // every byte of the file is here
  std::uint32_t unreadableSectors = 0;
  std::string error;                // why none or not all could be read
  bool chainGuessed = false;        // its chain is damaged: the rest was read from the clusters that follow
};

// What reading one file's bytes needs of the store, taken on the thread
// that owns it; the read itself then touches only the disk and the volume.
struct ItemReadRequest {
  ExtractionRequest request;
  bool ntfs = false;
};
ItemReadRequest ItemRequestOf(const Session& session, std::uint32_t position);

// Reads the file as ReadItemBytes does.
ItemBytes ReadRequestBytes(Session& session, ItemReadRequest item, std::size_t limit, RecoveryRunState& run);

// Reads the file as ReadRequestBytes does, but keeps none of it: its bytes go
// to `sink` in order, a piece (up to 256 KiB) at a time; a piece the sink
// refuses ends the read. `bytes` stays empty; `whole` says every byte went.
ItemBytes StreamRequestBytes(Session& session, ItemReadRequest item, const ByteSink& sink, RecoveryRunState& run);

// Reads file `position` of the store's FAT or NTFS half (as the items are),
// at most `limit` bytes from its start. Raising `run.stopSaving` (before or
// during the read, from any thread) ends it early: `whole` stays false. Runs on the caller's
// thread, over the session's reader.
ItemBytes ReadItemBytes(Session& session, std::uint32_t position, std::size_t limit, RecoveryRunState& run);

// Files larger than this are not read whole to be judged.
inline constexpr std::size_t kIntactCheckLimit = std::size_t{256} << 20;

// Whether file `position` holds together as its kind says (see LooksIntact),
// read as a recovery would read it: nullopt for a kind that is not judged, a
// file over kIntactCheckLimit, one whose bytes could not all be read, or a
// check the budget or Stop cut short. What the scan says of the file
// outweighs how its bytes look: one whose clusters are now other files'
// (overwritten) or that has `unreadSectors` by an image's map is never
// intact (false); one whose clusters are a guess (inferred, assumed, or
// claimed by other deleted files too, or a damaged chain read on from the
// clusters that follow) is not called intact on its bytes alone (nullopt
// where they hold together).
std::optional<bool> ItemLooksIntact(Session& session, std::uint32_t position, RecoveryRunState& run,
                                    IntactCheckBudget& budget, std::uint64_t unreadSectors = 0);

}  // namespace salvex
