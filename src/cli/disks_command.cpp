#include <iostream>

#include "cli/cli_error.h"
#include "cli/commands.h"
#include "session/captions.h"
#include "session/disk_session.h"

namespace salvex::cli {

int RunDisks(const DisksOptions& options) {
  Session session;
  std::vector<std::string> refused;
  ListDisks(session, options.images, refused);
  if (!refused.empty()) throw CliError(refused.front());
  const DiskTable& table = session.disks;
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
