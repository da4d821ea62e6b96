#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <vector>

namespace salvex {

// A file of the host by device and inode: the same file under every name and
// hard link that leads to it.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;

  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

FileIdentity IdentityOf(const struct stat& info);

// Why a write was refused: the target is one of the files being read.
inline constexpr const char* kProtectedFileMessage =
    "it is the disk, image or snapshot being read, which is never written";

// The files a run reads from (the disk or image, a loaded snapshot). Nothing
// the run writes may land on one of them, whatever it is called: every
// writer asks here before it creates, truncates or writes a file.
class ProtectedFiles {
 public:
  void Add(FileIdentity file) { files_.push_back(file); }

  bool Contains(const struct stat& info) const;
  // Whether the entry `name` of the folder open as `folderFd` (AT_FDCWD for
  // a path) is one of them. A symbolic link is judged as itself unless
  // `followLinks`; a missing entry is none of them.
  bool ContainsEntry(int folderFd, const char* name, bool followLinks) const;

 private:
  std::vector<FileIdentity> files_;
};

}  // namespace salvex
