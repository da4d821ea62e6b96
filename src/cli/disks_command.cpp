#include <iostream>

#include "cli/cli_error.h"
#include "cli/commands.h"
#include "disk/disk_table.h"
#include "platform/file_disk_source.h"

namespace salvex::cli {

int RunDisks(const DisksOptions& options) {
  std::vector<DiskImageEntry> images;
  for (const std::string& path : options.images) {
    // Opened as any source is, so what is not a disk image is refused alike.
    std::string error;
    const std::unique_ptr<FileDiskSource> image = FileDiskSource::Open(path, error);
    if (!image) throw CliError(error);
    images.push_back({path, image->SizeBytes()});
  }
  const DiskTable table = EnumerateDisks(ListBlockDevices(), images);
  if (table.diskCount == 0) {
    std::cout << "No disks found. Give a disk image: salvex disks IMAGE\n";
    return 0;
  }
  for (std::size_t i = 0; i < table.diskCount; ++i) {
    const DiskInfo& disk = table.disks[i];
    std::cout << DiskCaption(i) << "  " << disk.devicePath << '\n';
    for (const PanelRow& row : DiskPanelRows(disk)) std::cout << "  " << row.label << ": " << row.value << '\n';
  }
  return 0;
}

}  // namespace salvex::cli
