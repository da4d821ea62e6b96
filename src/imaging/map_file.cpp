#include "imaging/map_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "imaging/map_text.h"
#include "platform/whole_file.h"

namespace salvex {
namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

MapFileRead ReadMapFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) return {};
  MapFileRead read;
  read.exists = true;
  const auto whole = ReadRegularFile(path, kMaxMapFileBytes, read.error);
  if (!whole) return read;
  const std::string_view text(reinterpret_cast<const char*>(whole->bytes.data()), whole->bytes.size());
  ParsedMap parsed = ParseRescueMap(text);
  if (!parsed.map) {
    read.error = path + ": not a mapfile this tool can go on from: " + parsed.error;
    return read;
  }
  read.map = std::move(parsed.map);
  return read;
}

std::string WriteMapFileAtomically(const std::string& path, const std::string& text,
                                   const ProtectedFiles& protectedFiles) {
  if (protectedFiles.ContainsEntry(AT_FDCWD, path.c_str(), true)) return path + ": " + kProtectedFileMessage;
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return "cannot write " + temporary + ": " + std::strerror(errno);
  struct stat info {};
  std::string error;
  if (::fstat(fd, &info) != 0) {
    error = "cannot write " + temporary + ": " + std::strerror(errno);
  } else if (protectedFiles.Contains(info)) {
    error = temporary + ": " + kProtectedFileMessage;
  } else if (!S_ISREG(info.st_mode)) {
    error = temporary + ": not a regular file";
  } else if (::ftruncate(fd, 0) != 0 || !WriteAll(fd, text) || ::fsync(fd) != 0) {
    error = "cannot write " + temporary + ": " + std::strerror(errno);
    // Half a map is no map: the file written last stays the map.
    ::unlink(temporary.c_str());
  }
  ::close(fd);
  if (error.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + temporary + " to " + path + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
  }
  if (!error.empty()) return error;
  // The rename itself lasts once the folder is synced.
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return {};
}

}  // namespace salvex
