#pragma once

#include <string>

namespace salvex {

// What asking udisks2 for a read-only descriptor of a device came to.
struct UdisksOpenResult {
  enum class Status {
    opened,       // `fd` is the caller's, to close
    unavailable,  // no system bus, or no udisks2 on it
    refused,      // not authorized: polkit said no, or the prompt was dismissed
    failed,       // anything else; `detail` says what
  };
  Status status = Status::failed;
  int fd = -1;
  std::string detail;  // the D-Bus error's own text, when there was one
};

// Asks udisks2 on the system bus to open `devicePath` for backup, which is
// read-only; polkit asks the user for the password where the system wants
// it. Blocks until answered, as long as the user takes at the prompt (up to
// ten minutes): never call it on a GUI thread.
UdisksOpenResult OpenThroughUdisks(const std::string& devicePath);

}  // namespace salvex
