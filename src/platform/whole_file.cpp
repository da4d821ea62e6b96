#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
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

// Reads into `bytes` from `done` to its end, or to the file's end when that
// comes first (a file cut short since it was opened).
bool ReadInto(int fd, const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t& done, std::string& error) {
  while (done < bytes.size()) {
    const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = "cannot read " + path + ": " + std::strerror(errno);
      return false;
    }
    if (got == 0) return true;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

std::optional<WholeFile> ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& error,
                                         const HeadCheck& checkHead) {
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
  // The head first, into a buffer of its own size: a refused file is never
  // given the memory its size asks for.
  WholeFile whole{std::vector<std::uint8_t>(std::min<std::size_t>(static_cast<std::size_t>(size), checkHead.headBytes)),
                  IdentityOf(info)};
  std::size_t done = 0;
  if (!ReadInto(file.Get(), path, whole.bytes, done, error)) return std::nullopt;
  if (checkHead.refusal) {
    std::string refusal = checkHead.refusal(std::span(whole.bytes).first(done));
    if (!refusal.empty()) {
      error = std::move(refusal);
      return std::nullopt;
    }
  }
  if (done == whole.bytes.size()) {
    whole.bytes.resize(static_cast<std::size_t>(size));
    if (!ReadInto(file.Get(), path, whole.bytes, done, error)) return std::nullopt;
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
