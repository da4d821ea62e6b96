#include "platform/file_disk_source.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/sector.h"

namespace salvex {
namespace {

std::string OpenFailure(const std::string& path, int error) {
  std::string message = "cannot open " + path + ": " + std::strerror(error);
  if (error == EACCES || error == EPERM) message += std::string(" (") + kDiskAccessHint + ")";
  return message;
}

}  // namespace

FileDiskSource::FileDiskSource(int fd, std::string path, std::uint64_t sizeBytes, std::uint32_t logicalSectorBytes,
                               FileIdentity identity)
    : fd_(fd), path_(std::move(path)), sizeBytes_(sizeBytes), logicalSectorBytes_(logicalSectorBytes),
      identity_(identity) {}

FileDiskSource::~FileDiskSource() { ::close(fd_); }

std::unique_ptr<FileDiskSource> FileDiskSource::Open(const std::string& path, std::string& error) {
  bool permissionDenied = false;
  return Open(path, error, permissionDenied);
}

std::unique_ptr<FileDiskSource> FileDiskSource::Open(const std::string& path, std::string& error,
                                                     bool& permissionDenied) {
  // Never O_RDWR: the disk under recovery must not change. O_NONBLOCK so
  // that a FIFO given by mistake is refused below instead of waiting for a
  // writer; it is cleared once the type is known.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int reason = errno;
    permissionDenied = reason == EACCES || reason == EPERM;
    error = OpenFailure(path, reason);
    return nullptr;
  }
  permissionDenied = false;
  return FromDescriptor(fd, path, error);
}

std::unique_ptr<FileDiskSource> FileDiskSource::FromDescriptor(int fd, const std::string& path, std::string& error) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) {
    error = OpenFailure(path, errno);
    ::close(fd);
    return nullptr;
  }
  // Whoever opened it, a descriptor that could write is not used: the disk
  // under recovery must not change.
  if ((flags & O_ACCMODE) != O_RDONLY) {
    error = "cannot open " + path + ": the descriptor handed over could write, and the disk must only be read";
    ::close(fd);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = OpenFailure(path, errno);
    ::close(fd);
    return nullptr;
  }
  std::uint64_t size = 0;
  std::uint32_t logicalSectorBytes = 0;
  const bool isBlockDevice = S_ISBLK(info.st_mode);
  if (isBlockDevice) {
    if (::ioctl(fd, BLKGETSIZE64, &size) != 0) {
      error = "cannot read the size of " + path + ": " + std::strerror(errno);
      ::close(fd);
      return nullptr;
    }
    // A device that will not say is taken to count in 512-byte sectors.
    int sectorBytes = 0;
    if (::ioctl(fd, BLKSSZGET, &sectorBytes) == 0 && sectorBytes > 0) {
      logicalSectorBytes = static_cast<std::uint32_t>(sectorBytes);
    }
  } else if (S_ISREG(info.st_mode)) {
    size = static_cast<std::uint64_t>(info.st_size);
  } else {
    error = path + " is not a disk image or a block device";
    ::close(fd);
    return nullptr;
  }
  if (size < kSectorSize) {
    error = path + " is not a disk image: it is smaller than one sector";
    ::close(fd);
    return nullptr;
  }
  if (flags & O_NONBLOCK) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return std::unique_ptr<FileDiskSource>(new FileDiskSource(fd, path, size, logicalSectorBytes, IdentityOf(info)));
}

std::uint64_t FileDiskSource::NextDataOffset(std::uint64_t byteOffset) const {
  if (byteOffset >= sizeBytes_) return sizeBytes_;
  // lseek moves the descriptor's offset, which pread neither uses nor moves.
  const off_t data = lseek(fd_, static_cast<off_t>(byteOffset), SEEK_DATA);
  if (data >= 0) return std::min<std::uint64_t>(static_cast<std::uint64_t>(data), sizeBytes_);
  // ENXIO: nothing but a hole up to the end. Anything else (a block device,
  // a file system that keeps no holes): every byte may hold data.
  return errno == ENXIO ? sizeBytes_ : byteOffset;
}

bool FileDiskSource::ReadAt(std::uint64_t byteOffset, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const std::uint64_t offset = byteOffset + done;
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
    const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset));
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    // A read at or past the end transfers nothing; a real disk refuses such a
    // request, so it counts as a failure rather than as success with no data.
    if (got == 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace salvex
