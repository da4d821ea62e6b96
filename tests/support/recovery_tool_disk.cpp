#include "support/recovery_tool_disk.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

// 2000-01-01 12:00 UTC: mkfs.fat's and mtools' own time stamps.
constexpr std::int64_t kToolEpoch = 946728000;

std::string Checked(const std::string& command) {
  const CommandResult result = RunCommand(command);
  if (result.status != 0) {
    throw std::runtime_error("`" + command + "` exited with " + std::to_string(result.status) + ":\n" +
                             result.output);
  }
  return result.output;
}

}  // namespace

RecoveryToolDisk::RecoveryToolDisk(fs::path image, FsType type, std::uint32_t sectorsPerCluster,
                                   std::uint32_t partitionSectors, std::uint32_t reservedSectors)
    : image_(std::move(image)), scratch_(image_.string() + ".files") {
  fs::create_directories(scratch_);
  { std::ofstream create(image_, std::ios::binary); }
  fs::resize_file(image_, std::uint64_t{kPartitionStart + partitionSectors} * kSectorSize);
  const char* typeByte = type == FsType::fat32 ? "c" : type == FsType::fat12 ? "1" : "6";
  Checked("printf 'label: dos\\nlabel-id: 0x5a1e7e58\\nstart=" + std::to_string(kPartitionStart) +
          ", size=" + std::to_string(partitionSectors) + ", type=" + typeByte +
          "\\n' | sfdisk --quiet --no-reread --no-tell-kernel " + ShellQuote(image_.string()));
  Checked("SOURCE_DATE_EPOCH=" + std::to_string(kToolEpoch) + " mkfs.fat -F " +
          (type == FsType::fat32 ? "32" : type == FsType::fat12 ? "12" : "16") + " -s " + std::to_string(sectorsPerCluster) +
          (reservedSectors != 0 ? " -R " + std::to_string(reservedSectors) : std::string()) +
          " -i 5a1e0a11 --offset " + std::to_string(kPartitionStart) + " " + ShellQuote(image_.string()) + " " +
          std::to_string(partitionSectors / 2));
}

RecoveryToolDisk::RecoveryToolDisk(fs::path image, Floppy floppy)
    : image_(std::move(image)), scratch_(image_.string() + ".files"), volumeStart_(0) {
  fs::create_directories(scratch_);
  fs::remove(image_);
  Checked("SOURCE_DATE_EPOCH=" + std::to_string(kToolEpoch) + " mkfs.fat -F 12 -i 5a1e0a11 -C " +
          ShellQuote(image_.string()) + " " + std::to_string(floppy.kibibytes));
}

std::string RecoveryToolDisk::Target(const std::string& path) const { return ShellQuote("::/" + path); }

std::string RecoveryToolDisk::Mtools(const std::string& tool, const std::string& arguments) {
  // MTOOLSRC keeps a developer's own settings (code page, name mangling) out.
  const std::string volume = image_.string() + "@@" + std::to_string(volumeStart_ * kSectorSize);
  return Checked("MTOOLS_SKIP_CHECK=1 MTOOLSRC=/dev/null LC_ALL=C.UTF-8 TZ=UTC SOURCE_DATE_EPOCH=" +
                 std::to_string(kToolEpoch) + " " + tool + " -i " + ShellQuote(volume) + " " + arguments);
}

void RecoveryToolDisk::MakeFolders(const std::vector<std::string>& paths) {
  std::string arguments;
  for (const std::string& path : paths) arguments += " " + Target(path);
  Mtools("mmd", arguments);
}

void RecoveryToolDisk::CopyFiles(const std::string& folder, const std::vector<HostFile>& files) {
  const fs::path batch = scratch_ / "batch";
  fs::remove_all(batch);
  fs::create_directories(batch);
  std::string arguments = "-m";
  for (const HostFile& file : files) {
    const fs::path host = batch / file.name;
    {
      std::ofstream out(host, std::ios::binary);
      out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
      if (!out) throw std::runtime_error("cannot write " + host.string());
    }
    const struct timespec times[2] = {{file.modified, 0}, {file.modified, 0}};
    if (::utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) throw std::runtime_error("cannot date " + host.string());
    arguments += " " + ShellQuote(host.string());
  }
  Mtools("mcopy", arguments + " " + Target(folder.empty() ? folder : folder + "/"));
  fs::remove_all(batch);
}

void RecoveryToolDisk::Delete(const std::vector<std::string>& paths) {
  std::string arguments;
  for (const std::string& path : paths) arguments += " " + Target(path);
  Mtools("mdel", arguments);
}

void RecoveryToolDisk::DeleteTree(const std::string& path) { Mtools("mdeltree", Target(path)); }

std::vector<std::string> RecoveryToolDisk::ClusterRuns(const std::string& path) {
  // "::/frag.bin <5-7> <11-13> <20-53>"
  const std::string line = Mtools("mshowfat", Target(path));
  std::vector<std::string> runs;
  for (std::size_t open = line.find(" <"); open != std::string::npos; open = line.find(" <", open + 1)) {
    const std::size_t close = line.find('>', open);
    if (close == std::string::npos) break;
    runs.push_back(line.substr(open + 1, close - open));
  }
  return runs;
}

void RecoveryToolDisk::ForgetNextFreeCluster() {
  // FSInfo lies in the partition's sector 1 (mkfs.fat's choice); the hint at byte 0x1EC.
  std::fstream file(image_, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>((kPartitionStart + 1) * kSectorSize + 0x1EC));
  file.write("\xFF\xFF\xFF\xFF", 4);
  if (!file) throw std::runtime_error("cannot write into " + image_.string());
}

std::string PatternBytes(std::string_view seed, std::size_t size) {
  std::uint64_t state = 14695981039346656037ull;
  for (const char c : seed) state = (state ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    byte = static_cast<char>(state >> 32);
  }
  return bytes;
}

bool SameFileBytes(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::file_size(a, error) != fs::file_size(b, error) || error) return false;
  std::ifstream first(a, std::ios::binary);
  std::ifstream second(b, std::ios::binary);
  std::vector<char> one(1 << 20);
  std::vector<char> two(1 << 20);
  while (first && second) {
    first.read(one.data(), static_cast<std::streamsize>(one.size()));
    second.read(two.data(), static_cast<std::streamsize>(two.size()));
    if (first.gcount() != second.gcount()) return false;
    if (std::memcmp(one.data(), two.data(), static_cast<std::size_t>(first.gcount())) != 0) return false;
  }
  return true;
}

}  // namespace salvex::testing
