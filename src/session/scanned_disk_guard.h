#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "session/session.h"

namespace salvex {

// Why nothing may be written at `path` (a folder, or a file to create): it
// lies on the disk being read, so writing there could overwrite the data
// being rescued. Judged by the nearest folder of the path that exists, which
// is where the missing ones would be made. Nothing when writing is safe, or
// no disk is open.
std::optional<std::string> ScannedDiskRefusal(const Session& session, const std::string& path);

// The same for a folder already open, by its file system's device.
std::optional<std::string> ScannedDiskRefusal(const Session& session, const std::string& path, dev_t device);

}  // namespace salvex
