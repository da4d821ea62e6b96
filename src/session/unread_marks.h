#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/rescue_map.h"
#include "session/outcome.h"
#include "session/session.h"

namespace salvex {

// Reads the map of the image the session has open (`salvex image`'s, or
// ddrescue's), for the marks below and for recoveries. A map that covers
// less than the image leaves the rest unread; one that covers more is not
// the map of this image and is refused.
Outcome LoadImageMap(Session& session, const std::string& path);

// What the map says of the items found: how many sectors of each one's
// data (a folder's: its directory sectors) it does not call finished, so
// that they hold the image's zeros rather than the disk's bytes. Indexed by
// position in the store's FAT lists. Only FAT volumes are marked.
struct UnreadMarks {
  std::vector<std::uint64_t> fileSectors;
  std::vector<std::uint64_t> folderSectors;
  std::uint64_t rootSectors = 0;
  // The FAT (both copies) and the boot sector: when these were not read,
  // the chains and the geometry above may be wrong themselves.
  std::uint64_t tableSectors = 0;

  std::uint64_t FileSectors(std::uint32_t position) const {
    return position < fileSectors.size() ? fileSectors[position] : 0;
  }
  std::uint32_t FilesMarked() const;
  std::uint32_t FoldersMarked() const;
};

// The marks of the session's FAT items, by the session's map; none without
// a map or for NTFS items.
std::optional<UnreadMarks> MarkUnreadItems(Session& session);

// While one lives, the session's disk is read through its map: a sector
// the map does not call finished fails to read, as it did on the disk, so
// that a recovery counts it (and writes zeros) as an unreadable sector.
class ReadThroughImageMap {
 public:
  explicit ReadThroughImageMap(Session& session);
  ~ReadThroughImageMap();
  ReadThroughImageMap(const ReadThroughImageMap&) = delete;
  ReadThroughImageMap& operator=(const ReadThroughImageMap&) = delete;

 private:
  Session& session_;
  bool active_ = false;
};

}  // namespace salvex
