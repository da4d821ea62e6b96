#pragma once

#include <string>

#include "deepscan/found_file_system.h"
#include "disk/disk_table.h"
#include "disk/scan_state.h"
#include "platform/ui_port.h"
#include "volume/volume_parameters.h"

namespace salvex::wizard {

// The texts the steps show of the disk, partition or file system chosen.

// The disk node's tool tip: where it is read from (the device path or the
// image file), its model and its size, so that devices named alike can be
// told apart.
std::string DiskToolTip(const DiskInfo& disk);

// The disk panel's last line: "Device: /dev/sdb" or "Image: /home/me/card.img".
std::string DiskPathText(const DiskInfo& disk);

// The partition step's information panel: Partition Type, Start, End, Size.
PanelRows PartitionPanelRows(const ScanState& scan);

// A found file system's node's tool tip: where it starts, and whether that
// is its boot sector or only where its data begins.
std::string FoundFileSystemToolTip(const FoundFileSystem& found);

// The file-system step's information panel for the selected file system.
PanelRows FoundFileSystemPanelRows(const VolumeParameters& volume);

}  // namespace salvex::wizard
