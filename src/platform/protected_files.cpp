#include "platform/protected_files.h"

#include <fcntl.h>

#include <algorithm>

namespace salvex {

FileIdentity IdentityOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

bool ProtectedFiles::Contains(const struct stat& info) const {
  return std::find(files_.begin(), files_.end(), IdentityOf(info)) != files_.end();
}

bool ProtectedFiles::ContainsEntry(int folderFd, const char* name, bool followLinks) const {
  if (files_.empty()) return false;
  struct stat info {};
  if (::fstatat(folderFd, name, &info, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0) return false;
  return Contains(info);
}

}  // namespace salvex
