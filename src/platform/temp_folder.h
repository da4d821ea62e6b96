#pragma once

#include <string>

namespace salvex {

// A new folder only this user can enter, "salvex-XXXXXX" inside `parent`
// (when empty: $TMPDIR, else /tmp). Empty on failure, with `error` set.
std::string MakePrivateFolder(const std::string& parent, std::string& error);

// Removes a folder made by MakePrivateFolder with everything in it, never
// following a symbolic link out of it. Errors are ignored: it is tidying up.
void RemoveFolderTree(const std::string& path);

}  // namespace salvex
