#include "platform/host_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/letter_case.h"
#include "common/visible_text.h"

namespace salvex {
namespace {

constexpr std::size_t kWriteBufferBytes = 256 * 1024;
constexpr std::size_t kMaxKeptExtensionBytes = 32;

std::string Reason(int error) { return std::strerror(error); }

// Cuts `text` to at most `maxBytes` without splitting a UTF-8 sequence (a
// sequence is at most four bytes: a longer run of continuation bytes is not
// one, and is cut where it stands).
std::string_view CutUtf8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t cut = maxBytes;
  while (cut > 0 && maxBytes - cut < 3 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) cut = maxBytes;
  return text.substr(0, cut);
}

}  // namespace

std::string SafeHostName(std::string_view name) {
  std::string safe(name);
  for (char& c : safe) {
    if (c == '/' || c == '\0') c = '_';
  }
  safe = HostVisibleName(safe);
  if (safe.size() > kMaxHostNameBytes) {
    const std::size_t dot = safe.rfind('.');
    std::string_view extension;
    if (dot != std::string::npos && dot > 0 && safe.size() - dot <= kMaxKeptExtensionBytes) {
      extension = std::string_view(safe).substr(dot);
    }
    const std::string_view stem = std::string_view(safe).substr(0, safe.size() - extension.size());
    safe = std::string(CutUtf8(stem, kMaxHostNameBytes - extension.size())) + std::string(extension);
  }
  // Checked last: shortening can leave a name that would mean a folder
  // other than a new one of its own.
  if (safe.empty() || safe == ".") return "_";
  if (safe == "..") return "__";
  return safe;
}

HostFolder::~HostFolder() { ::close(fd_); }

std::unique_ptr<HostFolder> HostFolder::Open(const std::string& path, std::string& error,
                                             ProtectedFiles protectedFiles) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open the folder " + path + ": " + Reason(errno);
    return nullptr;
  }
  return std::unique_ptr<HostFolder>(
      new HostFolder(fd, path, std::make_shared<const ProtectedFiles>(std::move(protectedFiles))));
}

std::string HostFolder::PathOf(std::string_view name) const {
  if (!path_.empty() && path_.back() == '/') return path_ + std::string(name);
  return path_ + "/" + std::string(name);
}

bool HostFolder::Exists(std::string_view name) const {
  struct stat info {};
  return ::fstatat(fd_, std::string(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

std::unique_ptr<HostFolder> HostFolder::OpenOrCreateSubfolder(std::string_view name, std::string& error) const {
  const std::string entry(name);
  if (::mkdirat(fd_, entry.c_str(), 0777) != 0 && errno != EEXIST) {
    error = "cannot create the folder " + PathOf(name) + ": " + Reason(errno);
    return nullptr;
  }
  const int fd = ::openat(fd_, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open the folder " + PathOf(name) + ": " + Reason(errno);
    return nullptr;
  }
  return std::unique_ptr<HostFolder>(new HostFolder(fd, PathOf(name), protected_));
}

std::unique_ptr<OutputFile> HostFolder::CreateFile(std::string_view name, std::string& error) const {
  return OpenOutputFile(fd_, std::string(name), false, *protected_, error);
}

std::unique_ptr<OutputFile> HostFolder::CreateNewFile(std::string_view name, bool& taken, std::string& error) const {
  return CreateNewOutputFile(fd_, std::string(name), taken, error);
}

bool HostFolder::RenameWithoutReplacing(std::string_view from, std::string_view to) const {
  const std::string source(from);
  const std::string target(to);
  if (::renameat2(fd_, source.c_str(), fd_, target.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL) return false;
  // A file system without the no-replace rename: a new hard link refuses a
  // taken name just as well.
  return ::linkat(fd_, source.c_str(), fd_, target.c_str(), 0) == 0 && ::unlinkat(fd_, source.c_str(), 0) == 0;
}

bool HostFolder::RemoveFile(std::string_view name) const {
  return ::unlinkat(fd_, std::string(name).c_str(), 0) == 0;
}

dev_t HostFolder::Device() const {
  struct stat info {};
  return ::fstat(fd_, &info) == 0 ? info.st_dev : 0;
}

namespace {

// File systems whose folders fold case whatever their options (vfat and
// exFAT), by the type statfs gives; for when no probe file can be made.
bool TypeFoldsCase(int folderFd) {
  constexpr unsigned long kMsdos = 0x4D44;
  constexpr unsigned long kExfat = 0x2011BAB0;
  struct statfs info {};
  if (::fstatfs(folderFd, &info) != 0) return false;
  const auto type = static_cast<unsigned long>(info.f_type);
  return type == kMsdos || type == kExfat;
}

bool ProbeFoldsCase(int folderFd) {
  static std::atomic<unsigned> probes{0};
  for (int attempt = 0; attempt < 4; ++attempt) {
    const std::string lower =
        ".salvex-case-probe-" + std::to_string(::getpid()) + "-" + std::to_string(probes.fetch_add(1));
    const std::string upper = UpperCase(lower);
    const int fd = ::openat(folderFd, lower.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      break;
    }
    ::close(fd);
    // The upper-case name finds it: the lookup folded case. (Inode numbers
    // cannot tell: FUSE gives each name's lookup a node of its own. Nor is
    // the upper-case name looked up first, lest a cached miss answer.)
    struct stat asUpper {};
    const bool folds = ::fstatat(folderFd, upper.c_str(), &asUpper, AT_SYMLINK_NOFOLLOW) == 0;
    ::unlinkat(folderFd, lower.c_str(), 0);
    return folds;
  }
  return TypeFoldsCase(folderFd);
}

}  // namespace

bool HostFolder::FoldsCase() const {
  std::call_once(probed_, [this] {
    foldsCase_ = ProbeFoldsCase(fd_);
    struct stat info {};
    if (::fstat(fd_, &info) == 0) identity_ = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + "/";
  });
  return foldsCase_;
}

std::string HostFolder::SamenessKey(std::string_view name) const {
  const bool folds = FoldsCase();
  return identity_ + (folds ? UpperCase(name) : std::string(name));
}

std::optional<std::uint64_t> HostFolder::FreeBytes() const {
  struct statvfs info {};
  if (::fstatvfs(fd_, &info) != 0) return std::nullopt;
  // What an unprivileged writer may use: the blocks kept for root are not ours.
  return std::uint64_t{info.f_bavail} * info.f_frsize;
}

namespace {

// Opens an entry that exists already, to be written from its start: only a
// regular file that is not being read, cut to nothing only once that is
// known.
std::unique_ptr<OutputFile> OpenExistingOutputFile(int folderFd, const std::string& name, bool followLinks,
                                                   const ProtectedFiles& protectedFiles, std::string& error) {
  // Asked first for a clear refusal: the image may be read-only, and its
  // open would then fail with a reason that says nothing of why.
  if (protectedFiles.ContainsEntry(folderFd, name.c_str(), followLinks)) {
    error = kProtectedFileMessage;
    return nullptr;
  }
  // What stands at the name may be a device node or a FIFO (say the
  // destination is /dev): never write into one. O_NONBLOCK keeps a FIFO
  // from holding the open until a reader comes. No O_TRUNC: the file opened
  // is only cut once it is known not to be one being read, so a name that
  // changes between the question above and the open changes nothing.
  const int fd = ::openat(folderFd, name.c_str(),
                          O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW), 0666);
  if (fd < 0) {
    error = errno == ENXIO ? "a FIFO stands at that name" : Reason(errno);
    return nullptr;
  }
  struct stat info {};
  const bool stated = ::fstat(fd, &info) == 0;
  if (stated && protectedFiles.Contains(info)) {
    ::close(fd);
    error = kProtectedFileMessage;
    return nullptr;
  }
  if (!stated || !S_ISREG(info.st_mode)) {
    ::close(fd);
    error = "something other than a file stands at that name";
    return nullptr;
  }
  if (info.st_size != 0 && ::ftruncate(fd, 0) != 0) {
    error = Reason(errno);
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return std::make_unique<OutputFile>(fd);
}

}  // namespace

std::unique_ptr<OutputFile> CreateNewOutputFile(int folderFd, const std::string& name, bool& taken,
                                                std::string& error) {
  // An exclusive create makes a regular file of its own, which no other
  // name or link reaches. Nor is it truncated: ext4 flushes at close a file
  // cut to nothing and written again (its guard for files replaced in
  // place), which made every small file wait for the disk.
  const int fd = ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  taken = fd < 0 && errno == EEXIST;
  if (fd >= 0) return std::make_unique<OutputFile>(fd);
  if (!taken) error = Reason(errno);
  return nullptr;
}

std::unique_ptr<OutputFile> OpenOutputFile(int folderFd, const std::string& name, bool followLinks,
                                           const ProtectedFiles& protectedFiles, std::string& error) {
  // Nearly every recovered file is new, and none of the checks of an
  // existing entry applies to one.
  bool taken = false;
  if (auto created = CreateNewOutputFile(folderFd, name, taken, error)) return created;
  if (!taken) return nullptr;
  return OpenExistingOutputFile(folderFd, name, followLinks, protectedFiles, error);
}

std::unique_ptr<OutputFile> OutputFile::InMemory(std::size_t limit) {
  auto file = std::make_unique<OutputFile>(-1);
  file->inMemory_ = true;
  file->memoryLimit_ = limit;
  return file;
}

std::unique_ptr<OutputFile> OutputFile::Streaming(ByteSink sink) {
  auto file = std::make_unique<OutputFile>(-1);
  file->inMemory_ = true;
  file->sink_ = std::move(sink);
  return file;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) Close();
}

bool OutputFile::Write(std::span<const std::uint8_t> bytes) {
  if (sink_) {
    bytesWritten_ += bytes.size();
    return sink_(bytes);
  }
  if (inMemory_) {
    const std::size_t room = memoryLimit_ - memory_.size();
    memory_.insert(memory_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, bytes.size())));
    bytesWritten_ = memory_.size();
    return bytes.size() <= room;
  }
  if (pending_.size() + bytes.size() < kWriteBufferBytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    return true;
  }
  // A large piece goes out as it is, without a copy into the buffer.
  return Flush() && WriteAll(bytes);
}

bool OutputFile::WriteAll(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      return false;
    }
    done += static_cast<std::size_t>(wrote);
    bytesWritten_ += static_cast<std::uint64_t>(wrote);
  }
  return true;
}

bool OutputFile::Flush() {
  WriteAll(pending_);
  pending_.clear();
  return !failed_;
}

bool OutputFile::SetTimes(std::time_t time) {
  if (inMemory_) return true;
  if (!Flush()) return false;
  const timespec times[2] = {{time, 0}, {time, 0}};
  return ::futimens(fd_, times) == 0;
}

bool OutputFile::Close() {
  if (inMemory_) return true;
  const bool flushed = Flush();
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  return flushed && closed && !failed_;
}

}  // namespace salvex
