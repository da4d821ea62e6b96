#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/outcome.h"
#include "session/session.h"

namespace salvex {

// Fills the session's disk table: the machine's disks, then the images
// given (a front end's command line). An image that cannot be opened is
// left out, and the reason is added to `refused`.
void ListDisks(Session& session, const std::vector<std::string>& images, std::vector<std::string>& refused);

struct AddedDiskImage {
  std::uint16_t slot = 0;  // in the disk table, when it was added
  Outcome outcome;
};

// Adds a disk image chosen in a window to the disk table, after the disks
// listed (as ListDisks does with the command line's images); when it cannot
// be, the outcome says why.
AddedDiskImage AddDiskImageFile(Session& session, const std::string& path);

// Opens a block device or disk image, read-only, as the session's disk; when
// permission is missing and the session's disk access says so, asks udisks2
// for a read-only descriptor instead. A failure is one line that names the
// path and says why (with what to do when permission is missing, and
// whether udisks2 refused).
Outcome OpenSource(Session& session, const std::string& path);

// Opens the disk in slot `diskIndex` of the disk table; as OpenSource. An
// image with a map in its slot gets the map as the session's image map.
Outcome OpenDisk(Session& session, std::uint16_t diskIndex);

void CloseDisk(Session& session);

// Walks the open disk's partition tables into the session's partition
// table; returns the number of partitions found.
std::uint32_t ReadPartitionTables(Session& session);

}  // namespace salvex
