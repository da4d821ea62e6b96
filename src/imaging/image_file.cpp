#include "imaging/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace salvex {

ImageFile::~ImageFile() { ::close(fd_); }

std::unique_ptr<ImageFile> ImageFile::Open(const std::string& path, bool resuming,
                                           const ProtectedFiles& protectedFiles, std::string& error) {
  // A device or a file being read is not even opened for writing; the
  // file opened is judged again, as a name can change in between. It is
  // never cut, so the open itself changes nothing.
  struct stat before {};
  if (::stat(path.c_str(), &before) == 0 && (protectedFiles.Contains(before) || !S_ISREG(before.st_mode))) {
    error = path + ": " + (protectedFiles.Contains(before) ? kProtectedFileMessage : "not a regular file: the image is written to a file");
    return nullptr;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  auto fail = [&](const std::string& why) -> std::unique_ptr<ImageFile> {
    ::close(fd);
    error = path + ": " + why;
    return nullptr;
  };
  struct stat info {};
  if (::fstat(fd, &info) != 0) return fail(std::strerror(errno));
  if (protectedFiles.Contains(info)) return fail(kProtectedFileMessage);
  if (!S_ISREG(info.st_mode)) return fail("not a regular file: the image is written to a file");
  if (info.st_size > 0 && !resuming) {
    return fail("exists already, and there is no map to say what it holds: give its map, or another name");
  }
  return std::unique_ptr<ImageFile>(new ImageFile(fd, info.st_dev, path));
}

bool ImageFile::GrowTo(std::uint64_t bytes, std::string& error) {
  struct stat info {};
  if (::fstat(fd_, &info) != 0 ||
      (static_cast<std::uint64_t>(info.st_size) < bytes && ::ftruncate(fd_, static_cast<off_t>(bytes)) != 0)) {
    lastErrno_ = errno;
    error = path_ + ": cannot make it as long as the source: " + std::strerror(errno);
    return false;
  }
  return true;
}

std::string ImageFile::FailureReason() const { return lastErrno_ == 0 ? std::string() : std::strerror(lastErrno_); }

bool ImageFile::WriteAt(std::uint64_t pos, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(pos + done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      lastErrno_ = wrote < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

bool ImageFile::Sync() {
  if (::fdatasync(fd_) == 0) return true;
  lastErrno_ = errno;
  return false;
}

}  // namespace salvex
