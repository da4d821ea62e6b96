#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/host_folder.h"

namespace salvex {
namespace {

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::optional<WholeFile> ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& error) {
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.Get() < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    error = path + (S_ISDIR(info.st_mode) ? " is a folder, not a file" : " is not a regular file");
    return std::nullopt;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > maxBytes) {
    error = path + " is too large: " + std::to_string(size) + " bytes, more than " + std::to_string(maxBytes);
    return std::nullopt;
  }
  WholeFile whole{std::vector<std::uint8_t>(static_cast<std::size_t>(size)), IdentityOf(info)};
  std::size_t done = 0;
  while (done < whole.bytes.size()) {
    const ssize_t got = ::read(file.Get(), whole.bytes.data() + done, whole.bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = "cannot read " + path + ": " + std::strerror(errno);
      return std::nullopt;
    }
    if (got == 0) break;  // cut short since it was opened
    done += static_cast<std::size_t>(got);
  }
  whole.bytes.resize(done);
  return whole;
}

FileWrite WriteRegularFile(const std::string& path, std::span<const std::uint8_t> bytes,
                           const ProtectedFiles& protectedFiles) {
  std::string error;
  // Links are followed: a snapshot has always been saved wherever its path leads.
  std::unique_ptr<OutputFile> file = OpenOutputFile(AT_FDCWD, path, true, protectedFiles, error);
  if (!file) return error == kProtectedFileMessage ? FileWrite::refusedProtected : FileWrite::failed;
  file->Write(bytes);
  return file->Close() ? FileWrite::written : FileWrite::failed;
}

}  // namespace salvex
