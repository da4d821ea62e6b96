#include <filesystem>
#include <iostream>

#include "cli/cli_error.h"
#include "cli/commands.h"
#include "disk/disk_table.h"

namespace salvex::cli {

int RunDisks(const DisksOptions& options) {
  std::vector<DiskImageEntry> images;
  for (const std::string& path : options.images) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) throw CliError("cannot open " + path + ": " + error.message());
    images.push_back({path, size});
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
