#pragma once

#include <optional>
#include <string>

#include "imaging/rescue_map.h"
#include "platform/protected_files.h"

namespace salvex {

// A mapfile read from the host: none (no file by that name), the map, or
// why it cannot be used.
struct MapFileRead {
  bool exists = false;
  std::optional<RescueMap> map;
  std::string error;
};

// The largest mapfile read: enough for millions of bad areas.
inline constexpr std::uint64_t kMaxMapFileBytes = 256ULL << 20;

MapFileRead ReadMapFile(const std::string& path);

// Replaces the file at `path` with `text` so that a reader, a crash or a
// power cut finds the old map or the new one, never half of one: the text
// goes to "PATH.tmp", is synced, and is renamed over the map. Neither name
// may be a file being read. Empty on success; otherwise why not.
std::string WriteMapFileAtomically(const std::string& path, const std::string& text,
                                   const ProtectedFiles& protectedFiles);

}  // namespace salvex
