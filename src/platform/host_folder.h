#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/protected_files.h"

namespace salvex {

// The longest file name most Linux file systems take, in bytes.
inline constexpr std::size_t kMaxHostNameBytes = 255;

// A name from a disk made safe to create inside a folder: "." and ".." and
// the empty name become "_", "__" and "_"; '/' and NUL become '_'; control
// and text-direction characters become "%XX" escapes (HostVisibleName); a
// name longer than 255 bytes is shortened (keeping its extension and whole
// UTF-8 characters). Every other name is kept exactly.
std::string SafeHostName(std::string_view name);

class OutputFile;

// Takes the bytes of a file read piece by piece; false: no more are wanted.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// A folder of the host file system that recovered items are written into.
// Everything is created relative to the open folder and without following
// symbolic links, so no name can lead a write outside it.
class HostFolder {
 public:
  ~HostFolder();
  HostFolder(const HostFolder&) = delete;
  HostFolder& operator=(const HostFolder&) = delete;

  // Opens an existing folder; null with `error` set on failure. No file of
  // `protectedFiles` is ever opened for writing through it or its
  // sub-folders, under whatever name.
  static std::unique_ptr<HostFolder> Open(const std::string& path, std::string& error,
                                          ProtectedFiles protectedFiles = {});

  const std::string& Path() const { return path_; }
  // The path of an entry, for messages.
  std::string PathOf(std::string_view name) const;

  // True when anything (a file, a folder, a symbolic link) has this name.
  bool Exists(std::string_view name) const;
  // Opens the sub-folder `name`, creating it when it does not exist. Null
  // when it cannot be created or is not a real folder (a symbolic link is not).
  std::unique_ptr<HostFolder> OpenOrCreateSubfolder(std::string_view name, std::string& error) const;
  // Creates (or truncates) the file `name` for writing; never through a
  // symbolic link, never a protected file. Null with `error` set on failure.
  std::unique_ptr<OutputFile> CreateFile(std::string_view name, std::string& error) const;
  // Creates the file `name` only when nothing has that name; otherwise null,
  // with `taken` set when something (a file, a folder, a link) has it and
  // `error` set on any other failure.
  std::unique_ptr<OutputFile> CreateNewFile(std::string_view name, bool& taken, std::string& error) const;
  // Renames the entry `from` to `to` unless something has that name already.
  bool RenameWithoutReplacing(std::string_view from, std::string_view to) const;
  // Removes the file `name` (not a folder).
  bool RemoveFile(std::string_view name) const;

  // The file system (st_dev) the folder lives on.
  dev_t Device() const;

  // Whether the folder takes names that differ only in letter case for one
  // ("REPORT.TXT" opens "Report.txt"), as a vfat or exFAT folder does (an
  // ext4 folder with case folding too). Found once per folder by creating a
  // probe file with a lower-case name, looking it up by its upper-case one
  // and removing it; when no probe can be made, by the file system's type.
  bool FoldsCase() const;
  // A key that two names share exactly when this folder takes them for one
  // entry: the folder's identity and the name, in upper case where the
  // folder folds case. (Letters beyond the Latin, Greek and Cyrillic
  // alphabets are compared as they are.)
  std::string SamenessKey(std::string_view name) const;
  // The bytes still free for this user on that file system; none when the
  // host does not say.
  std::optional<std::uint64_t> FreeBytes() const;

 private:
  HostFolder(int fd, std::string path, std::shared_ptr<const ProtectedFiles> protectedFiles)
      : fd_(fd), path_(std::move(path)), protected_(std::move(protectedFiles)) {}

  int fd_;
  std::string path_;
  std::shared_ptr<const ProtectedFiles> protected_;  // shared with the sub-folders
  mutable std::once_flag probed_;
  mutable bool foldsCase_ = false;
  mutable std::string identity_;  // "device:inode/" of the folder
};

// A recovered file being written, with its own write buffer.
class OutputFile {
 public:
  explicit OutputFile(int fd) : fd_(fd) {}
  // No file at all: up to `limit` bytes kept in memory, for reading a file's
  // bytes the way it would be recovered (a preview, a content check). A
  // write past the limit keeps what fits and fails.
  static std::unique_ptr<OutputFile> InMemory(std::size_t limit);
  // No file, and nothing kept: each write goes on to `sink` as it comes (a
  // search through a file's bytes); a write it refuses fails.
  static std::unique_ptr<OutputFile> Streaming(ByteSink sink);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Write(std::span<const std::uint8_t> bytes);
  // The bytes the host has taken into the file so far; all of them once
  // Close has succeeded.
  std::uint64_t BytesWritten() const { return bytesWritten_; }
  // Sets the access and modification times (Linux keeps no settable
  // creation time).
  bool SetTimes(std::time_t time);
  // Flushes and closes; false when anything could not be written.
  bool Close();
  // The bytes kept by an in-memory file.
  std::vector<std::uint8_t> TakeBytes() { return std::move(memory_); }

 private:
  bool Flush();
  bool WriteAll(std::span<const std::uint8_t> bytes);

  int fd_;
  bool failed_ = false;
  std::uint64_t bytesWritten_ = 0;
  std::vector<std::uint8_t> pending_;
  bool inMemory_ = false;
  std::size_t memoryLimit_ = 0;
  std::vector<std::uint8_t> memory_;
  ByteSink sink_;
};

// Opens the entry `name` of the folder open as `folderFd` (AT_FDCWD: `name`
// is a path) to be written from its start, creating it when missing. It is
// cut to nothing only once the open file is known to be a regular file and
// none of `protectedFiles` (whatever name or link led to it); a symbolic
// link is never followed unless `followLinks`. Null with `error` set on
// failure: kProtectedFileMessage for a file being read.
std::unique_ptr<OutputFile> OpenOutputFile(int folderFd, const std::string& name, bool followLinks,
                                           const ProtectedFiles& protectedFiles, std::string& error);

// Creates the entry `name` of the folder open as `folderFd` only when
// nothing has that name. Null otherwise: `taken` says something has it,
// `error` says why else.
std::unique_ptr<OutputFile> CreateNewOutputFile(int folderFd, const std::string& name, bool& taken,
                                                std::string& error);

}  // namespace salvex
