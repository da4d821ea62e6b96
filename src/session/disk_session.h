#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/session.h"

namespace salvex {

// Fills the session's disk table: the machine's disks, then the images
// given (a front end's command line). An image that cannot be opened is
// left out, and the reason is added to `refused`.
void ListDisks(Session& session, const std::vector<std::string>& images, std::vector<std::string>& refused);

// Adds a disk image chosen in a window to the disk table, after the disks
// listed (as ListDisks does with the command line's images). Empty on
// success, with the image's slot in `slot`; otherwise why it was refused.
std::string AddDiskImageFile(Session& session, const std::string& path, std::uint16_t& slot);

// Opens a block device or disk image, read-only, as the session's disk; when
// permission is missing and the session's disk access says so, asks udisks2
// for a read-only descriptor instead. Empty on success; otherwise a one-line
// message that names the path and says why (with what to do when permission
// is missing, and whether udisks2 refused).
std::string OpenSource(Session& session, const std::string& path);

// Opens the disk in slot `diskIndex` of the disk table; as OpenSource. An
// image with a map in its slot gets the map as the session's image map.
std::string OpenDisk(Session& session, std::uint16_t diskIndex);

void CloseDisk(Session& session);

// Walks the open disk's partition tables into the session's partition
// table; returns the number of partitions found.
std::uint32_t ReadPartitionTables(Session& session);

}  // namespace salvex
