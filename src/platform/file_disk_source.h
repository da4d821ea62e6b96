#pragma once

#include <memory>
#include <string>

#include "platform/disk_source.h"

namespace salvex {

// What a user who may not read a disk can do about it.
inline constexpr char kDiskAccessHint[] = "run as root or join the disk group";

// A block device or a disk-image file, opened O_RDONLY and read with pread.
class FileDiskSource final : public DiskSource {
 public:
  ~FileDiskSource() override;
  FileDiskSource(const FileDiskSource&) = delete;
  FileDiskSource& operator=(const FileDiskSource&) = delete;

  // Opens `path` for reading only. On failure returns null and sets `error` to
  // a one-line message that names the path and the reason.
  static std::unique_ptr<FileDiskSource> Open(const std::string& path, std::string& error);

  // As Open; `permissionDenied` says whether the open was refused for lack
  // of permission (EACCES, EPERM), which udisks2 may still get around.
  static std::unique_ptr<FileDiskSource> Open(const std::string& path, std::string& error, bool& permissionDenied);

  // Takes over `fd`, a descriptor opened elsewhere (udisks2 hands one out):
  // it must be open for reading only, on a block device or a regular file of
  // at least one sector. On failure closes it, returns null and sets `error`.
  // `path` names the source in messages.
  static std::unique_ptr<FileDiskSource> FromDescriptor(int fd, const std::string& path, std::string& error);

  bool ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) override;
  std::uint64_t SizeBytes() const override { return sizeBytes_; }
  std::uint64_t NextDataOffset(std::uint64_t byteOffset) const override;
  std::uint32_t LogicalSectorBytes() const override { return logicalSectorBytes_; }
  std::string Name() const override { return path_; }
  std::optional<FileIdentity> Identity() const override { return identity_; }

 private:
  FileDiskSource(int fd, std::string path, std::uint64_t sizeBytes, std::uint32_t logicalSectorBytes,
                 FileIdentity identity);

  int fd_;
  std::string path_;
  std::uint64_t sizeBytes_;
  std::uint32_t logicalSectorBytes_;  // 0 for an image file
  FileIdentity identity_;
};

}  // namespace salvex
