#include "support/recovery_tool_disk.h"

#include <fstream>
#include <string>

#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

fs::path ScratchOf(const fs::path& image) { return image.string() + ".files"; }

}  // namespace

RecoveryToolDisk::RecoveryToolDisk(fs::path image, FsType type, std::uint32_t sectorsPerCluster,
                                   std::uint32_t partitionSectors, std::uint32_t reservedSectors,
                                   std::uint32_t fatCount)
    : MtoolsVolume(image, kPartitionStart, ScratchOf(image)) {
  { std::ofstream create(Image(), std::ios::binary); }
  fs::resize_file(Image(), std::uint64_t{kPartitionStart + partitionSectors} * kSectorSize);
  const char* typeByte = type == FsType::fat32 ? "c" : type == FsType::fat12 ? "1" : "6";
  RunChecked("printf 'label: dos\\nlabel-id: 0x5a1e7e58\\nstart=" + std::to_string(kPartitionStart) +
             ", size=" + std::to_string(partitionSectors) + ", type=" + typeByte +
             "\\n' | sfdisk --quiet --no-reread --no-tell-kernel " + ShellQuote(Image().string()));
  RunChecked("SOURCE_DATE_EPOCH=" + std::to_string(kToolEpoch) + " mkfs.fat -F " +
             (type == FsType::fat32 ? "32" : type == FsType::fat12 ? "12" : "16") + " -s " +
             std::to_string(sectorsPerCluster) + " -f " + std::to_string(fatCount) +
             (reservedSectors != 0 ? " -R " + std::to_string(reservedSectors) : std::string()) +
             " -i 5a1e0a11 --offset " + std::to_string(kPartitionStart) + " " + ShellQuote(Image().string()) + " " +
             std::to_string(partitionSectors / 2));
}

RecoveryToolDisk::RecoveryToolDisk(fs::path image, Floppy floppy) : MtoolsVolume(image, 0, ScratchOf(image)) {
  fs::remove(Image());
  RunChecked("SOURCE_DATE_EPOCH=" + std::to_string(kToolEpoch) + " mkfs.fat -F 12 -i 5a1e0a11 -C " +
             ShellQuote(Image().string()) + " " + std::to_string(floppy.kibibytes));
}

void RecoveryToolDisk::ForgetNextFreeCluster() {
  // FSInfo lies in the partition's sector 1 (mkfs.fat's choice); the hint at byte 0x1EC.
  std::fstream file(Image(), std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>((kPartitionStart + 1) * kSectorSize + 0x1EC));
  file.write("\xFF\xFF\xFF\xFF", 4);
  if (!file) throw ToolFailure("cannot write into " + Image().string());
}

}  // namespace salvex::testing
