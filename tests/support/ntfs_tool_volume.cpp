#include "support/ntfs_tool_volume.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string_view>
#include <stdexcept>
#include <thread>

#include "common/sector.h"
#include "support/json_value.h"
#include "support/tool_images.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kRecordBytes = 1024;

bool IsMountPoint(const fs::path& dir) {
  struct stat self {};
  struct stat parent {};
  if (::stat(dir.c_str(), &self) != 0 || ::stat(dir.parent_path().c_str(), &parent) != 0) return false;
  return self.st_dev != parent.st_dev;
}

}  // namespace

NtfsToolVolume::NtfsToolVolume(fs::path volume, std::uint32_t sectors) : volume_(std::move(volume)), sectors_(sectors) {
  fs::remove(volume_);
  { std::ofstream create(volume_, std::ios::binary); }
  fs::resize_file(volume_, std::uint64_t{sectors} * kSectorSize);
  RunChecked("mkntfs -q -F -f -s 512 -c 4096 " + ShellQuote(volume_.string()) + " 2>&1");
}

void NtfsToolVolume::CopyIn(const std::string& name, const std::string& bytes) {
  const fs::path host = volume_.string() + ".copy";
  {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw ToolFailure("cannot write " + host.string());
  }
  RunChecked("ntfscp -q " + ShellQuote(volume_.string()) + " " + ShellQuote(host.string()) + " " + ShellQuote(name));
  fs::remove(host);
}

int NtfsToolVolume::DataRuns(const std::string& path) const {
  // "Total runs: 2 (fragments: 2)" after the run list of the data.
  const std::string info =
      RunChecked("ntfsinfo -v -F " + ShellQuote("/" + path) + " " + ShellQuote(volume_.string()));
  const std::size_t at = info.rfind("Total runs: ");
  if (at == std::string::npos) return 0;
  return std::stoi(info.substr(at + 12));
}

bool NtfsToolVolume::HasIndexAllocation(const std::string& path) const {
  const std::string info = RunChecked("ntfsinfo -F " + ShellQuote("/" + path) + " " + ShellQuote(volume_.string()));
  return info.find("$INDEX_ALLOCATION") != std::string::npos;
}

std::optional<std::uint8_t> NtfsToolVolume::RecordFlagsOf(const std::u16string& name) const {
  const std::string bytes = ReadWholeFile(volume_);
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
  };
  const auto u32 = [&](std::size_t at) { return std::uint32_t{u16(at)} | (std::uint32_t{u16(at + 2)} << 16); };
  for (std::size_t record = 0; record + kRecordBytes <= bytes.size(); record += kRecordBytes) {
    if (bytes.compare(record, 4, "FILE") != 0) continue;
    // The record's own name attributes only: a folder's index root holds
    // copies of its children's names too.
    for (std::size_t at = record + u16(record + 20); at + 24 <= record + kRecordBytes;) {
      const std::uint32_t type = u32(at);
      const std::uint32_t length = u32(at + 4);
      if (type == 0xFFFFFFFF || length == 0 || length > kRecordBytes) break;
      const std::size_t value = at + u16(at + 20);
      if (type == 0x30 && value + 66 + 2 * name.size() <= record + kRecordBytes &&
          static_cast<unsigned char>(bytes[value + 64]) == name.size()) {
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) same = u16(value + 66 + 2 * i) == name[i];
        if (same) return static_cast<std::uint8_t>(bytes[record + 22]);
      }
      at += length;
    }
  }
  return std::nullopt;
}

void NtfsToolVolume::PlaceInDisk(const fs::path& disk, std::uint32_t startSector) const {
  fs::remove(disk);
  { std::ofstream create(disk, std::ios::binary); }
  fs::resize_file(disk, (std::uint64_t{startSector} + sectors_) * kSectorSize);
  RunChecked("printf 'label: dos\\nlabel-id: 0x5a1e0e7f\\nstart=" + std::to_string(startSector) +
             ", size=" + std::to_string(sectors_) + ", type=7\\n' | sfdisk --quiet --no-reread --no-tell-kernel " +
             ShellQuote(disk.string()));
  WriteInto(disk, startSector);
}

void NtfsToolVolume::WriteInto(const fs::path& disk, std::uint32_t startSector) const {
  RunChecked("dd if=" + ShellQuote(volume_.string()) + " of=" + ShellQuote(disk.string()) +
             " bs=512 seek=" + std::to_string(startSector) + " conv=notrunc status=none");
}

std::unique_ptr<NtfsMount> NtfsMount::Open(const fs::path& volume, const fs::path& dir, std::string& why) {
  if (!HaveTools({"ntfs-3g", "umount"})) {
    why = "ntfs-3g is not installed";
    return nullptr;
  }
  if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    why = "/dev/fuse cannot be opened: " + std::string(std::strerror(errno));
    return nullptr;
  }
  fs::create_directories(dir);
  const pid_t pid = ::fork();
  if (pid < 0) {
    why = "fork failed";
    return nullptr;
  }
  if (pid == 0) {
    // Its chatter would mix into the test's output.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    ::execlp("ntfs-3g", "ntfs-3g", "-o", "no_detach", volume.c_str(), dir.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int attempt = 0; attempt < 500; ++attempt) {
    if (IsMountPoint(dir)) return std::unique_ptr<NtfsMount>(new NtfsMount(pid, dir));
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      why = "ntfs-3g could not mount " + volume.string() + " (exit status " +
            std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  why = "ntfs-3g did not mount " + volume.string() + " in time";
  return nullptr;
}

bool NtfsMount::Close() {
  if (closed_) return true;
  closed_ = true;
  bool unmounted = RunCommand("umount " + ShellQuote(dir_.string())).status == 0;
  if (!unmounted) unmounted = RunCommand("fusermount -u " + ShellQuote(dir_.string())).status == 0;
  if (!unmounted) ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  return unmounted && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

NtfsMount::~NtfsMount() { Close(); }

std::vector<NtfsListedItem> NtfsItemsFromJson(const std::string& json) {
  const JsonValue document = ParseJson(json);
  if (document.kind != JsonValue::Kind::array) throw std::runtime_error("the listing is not an array");
  std::vector<NtfsListedItem> items;
  for (const JsonValue& object : document.items) {
    NtfsListedItem item;
    if (!object.At("path").IsNull()) item.path = object.At("path").Str();
    item.name = object.At("name").Str();
    item.folder = object.At("kind").Str() == "folder";
    item.size = object.At("size").Num();
    item.deleted = object.At("deleted").Bool();
    item.recordNumber = object.At("recordNumber").Num();
    item.id = object.At("id").Num();
    items.push_back(std::move(item));
  }
  return items;
}

bool IsNtfsMetadataPath(const std::string& path) { return path.starts_with("$"); }

}  // namespace salvex::testing
