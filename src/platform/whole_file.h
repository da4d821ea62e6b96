#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/protected_files.h"

namespace salvex {

// A regular file read whole, and which file it was.
struct WholeFile {
  std::vector<std::uint8_t> bytes;
  FileIdentity identity;
};

// Reads the regular file at `path` (a saved snapshot, say) when it holds at
// most `maxBytes`. Whatever the path names, this returns at once: a FIFO is
// opened without waiting for a writer and refused with folders and devices,
// and nothing is read past the size the file had when opened, so neither
// /dev/zero nor a file that grows can fill the memory. Null with `error` set
// to a one-line message naming the path on failure.
//
// `checkHead`, when given, is shown the file's first `headBytes` bytes (all
// of a shorter file) before anything else is read: the message it returns,
// when not empty, refuses the file, so a large file that is not what the
// caller wants costs neither the time nor the memory to read it.
struct HeadCheck {
  std::size_t headBytes = 0;
  std::function<std::string(std::span<const std::uint8_t> head)> refusal;
};
std::optional<WholeFile> ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& error,
                                         const HeadCheck& checkHead = {});

enum class FileWrite { written, refusedProtected, failed };

// Makes `bytes` the contents of the regular file at `path`, creating it when
// missing. A file of `protectedFiles` (reached by any name or link) is
// refused before a byte of it changes, as is anything but a regular file.
FileWrite WriteRegularFile(const std::string& path, std::span<const std::uint8_t> bytes,
                           const ProtectedFiles& protectedFiles);

}  // namespace salvex
