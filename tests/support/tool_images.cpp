#include "support/tool_images.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/sector.h"
#include "support/tool_runner.h"

namespace salvex::testing {
namespace {

namespace fs = std::filesystem;

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

void WriteAt(const fs::path& path, std::uint64_t offset, const std::string& bytes) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw ToolFailure("cannot write into " + path.string());
}

void WriteNtfsStub(const fs::path& image, std::uint32_t startSector) {
  std::string sector(kSectorSize, '\0');
  sector.replace(0, 3, "\xEB\x52\x90");
  sector.replace(3, 8, "NTFS    ");
  sector[510] = '\x55';
  sector[511] = '\xAA';
  WriteAt(image, std::uint64_t{startSector} * kSectorSize, sector);
}

std::string SfdiskLine(std::uint32_t start, std::uint32_t size, std::uint8_t type) {
  char line[96];
  std::snprintf(line, sizeof line, "start=%u, size=%u, type=%x\n", start, size, type);
  return line;
}

std::string GptSfdiskLine(std::uint32_t start, std::uint32_t size, std::uint8_t type) {
  const char* guid = type == 0xEF ? "C12A7328-F81F-11D2-BA4B-00A0C93EC93B" : "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
  return "start=" + std::to_string(start) + ", size=" + std::to_string(size) + ", type=" + guid + "\n";
}

}  // namespace

void BuildDisk(const fs::path& image, const DiskPlan& plan) {
  fs::remove(image);
  { std::ofstream create(image, std::ios::binary); }
  fs::resize_file(image, plan.totalSectors * kSectorSize);

  std::string script = plan.gpt ? "label: gpt\nlabel-id: 5A1E7E57-0000-4000-8000-000000000001\n"
                                : "label: dos\nlabel-id: 0x5a1e7e57\n";
  for (const PartitionPlan& partition : plan.partitions) {
    if (partition.logical) continue;
    script += (plan.gpt ? GptSfdiskLine : SfdiskLine)(partition.startSector, partition.sectorCount, partition.typeByte);
  }
  if (plan.extendedStart != 0) script += SfdiskLine(plan.extendedStart, plan.extendedSectors, 0x05);
  for (const PartitionPlan& partition : plan.partitions) {
    if (partition.logical) script += SfdiskLine(partition.startSector, partition.sectorCount, partition.typeByte);
  }
  const fs::path scriptFile = image.string() + ".sfdisk";
  std::ofstream(scriptFile) << script;
  RunChecked("sfdisk --quiet --no-reread --no-tell-kernel " + ShellQuote(image.string()) + " < " +
             ShellQuote(scriptFile.string()));
  fs::remove(scriptFile);

  std::uint32_t ordinal = 0;
  for (const PartitionPlan& partition : plan.partitions) {
    ++ordinal;
    if (partition.kind == VolumeKind::ntfsStub) WriteNtfsStub(image, partition.startSector);
    if (partition.kind != VolumeKind::fat16 && partition.kind != VolumeKind::fat32) continue;
    std::string command = "SOURCE_DATE_EPOCH=946728000 mkfs.fat -F ";
    command += partition.kind == VolumeKind::fat32 ? "32" : "16";
    if (partition.sectorsPerCluster != 0) command += " -s " + std::to_string(partition.sectorsPerCluster);
    if (!partition.label.empty()) command += " -n " + ShellQuote(partition.label);
    command += " -i " + Hex8(0x5a1e0000u + ordinal);
    command += " --offset " + std::to_string(partition.startSector) + " " + ShellQuote(image.string()) + " " +
               std::to_string(partition.sectorCount / 2);
    RunChecked(command);
  }
}

HostFile PatternFile(const std::string& name, std::size_t size, std::int64_t modified) {
  return {name, HighBytes(name, size), modified};
}

MtoolsVolume::MtoolsVolume(fs::path image, std::uint32_t startSector, fs::path scratch)
    : image_(std::move(image)), startSector_(startSector), scratch_(std::move(scratch)) {}

std::string MtoolsVolume::Target(const std::string& path) const { return ShellQuote("::/" + path); }

std::string MtoolsVolume::Run(const std::string& tool, const std::string& arguments, std::int64_t epoch) {
  // MTOOLSRC keeps a developer's own settings (code page, name mangling) out.
  const std::string volume = image_.string() + "@@" + std::to_string(std::uint64_t{startSector_} * kSectorSize);
  return RunChecked("MTOOLS_SKIP_CHECK=1 MTOOLSRC=/dev/null LC_ALL=C.UTF-8 TZ=UTC SOURCE_DATE_EPOCH=" +
                    std::to_string(epoch) + " " + tool + " -i " + ShellQuote(volume) + " " + arguments);
}

void MtoolsVolume::MakeFolders(const std::vector<std::string>& paths, std::int64_t epoch) {
  std::string arguments;
  for (const std::string& path : paths) arguments += " " + Target(path);
  Run("mmd", arguments, epoch);
}

void MtoolsVolume::CopyFiles(const std::string& folder, const std::vector<HostFile>& files) {
  // A directory per call, so that equal names in different folders never meet.
  const fs::path source = scratch_ / ("copy-" + std::to_string(++copies_));
  fs::create_directories(source);
  std::string arguments = "-m";
  for (const HostFile& file : files) {
    const fs::path hostPath = source / file.name;
    {
      std::ofstream out(hostPath, std::ios::binary);
      out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
      if (!out) throw ToolFailure("cannot write " + hostPath.string());
    }
    const struct timespec times[2] = {{file.modified, 0}, {file.modified, 0}};
    if (::utimensat(AT_FDCWD, hostPath.c_str(), times, 0) != 0) throw ToolFailure("cannot date " + hostPath.string());
    arguments += " " + ShellQuote(hostPath.string());
  }
  arguments += " " + Target(folder.empty() ? std::string() : folder + "/");
  Run("mcopy", arguments);
  fs::remove_all(source);
}

void MtoolsVolume::Delete(const std::vector<std::string>& paths) {
  std::string arguments;
  for (const std::string& path : paths) arguments += " " + Target(path);
  Run("mdel", arguments);
}

void MtoolsVolume::DeleteTree(const std::string& path) { Run("mdeltree", Target(path)); }

void MtoolsVolume::SetHidden(const std::string& path) { Run("mattrib", "+h " + Target(path)); }

std::vector<std::string> MtoolsVolume::ClusterRuns(const std::string& path) {
  // "::/frag.bin <5-7> <11-13> <20-53>"
  const std::string line = Run("mshowfat", Target(path));
  std::vector<std::string> runs;
  for (std::size_t open = line.find(" <"); open != std::string::npos; open = line.find(" <", open + 1)) {
    const std::size_t close = line.find('>', open);
    if (close == std::string::npos) break;
    runs.push_back(line.substr(open + 1, close - open));
  }
  return runs;
}

std::map<std::string, std::uint32_t> MtoolsVolume::FirstClusters(const std::vector<std::string>& paths) {
  std::string arguments;
  for (const std::string& path : paths) arguments += " " + Target(path);
  std::istringstream lines(Run("mshowfat", arguments));
  // Lines read "::/Documents/report.doc <76-169>", or "<3> <45-46>" for a
  // chain in pieces; an empty file has no list.
  std::map<std::string, std::uint32_t> clusters;
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t open = line.find(" <");
    if (line.rfind("::/", 0) != 0 || open == std::string::npos || line.back() != '>') continue;
    const std::string path = line.substr(3, open - 3);
    std::size_t digits = open + 2;
    std::uint32_t cluster = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') {
      cluster = cluster * 10 + static_cast<std::uint32_t>(line[digits++] - '0');
    }
    if (digits > open + 2) clusters[path] = cluster;
  }
  return clusters;
}

Ymd UtcDate(std::int64_t epoch) {
  const time_t seconds = static_cast<time_t>(epoch);
  struct tm parts {};
  ::gmtime_r(&seconds, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

std::int64_t NoonUtc(Ymd date) {
  struct tm parts {};
  parts.tm_year = date.year - 1900;
  parts.tm_mon = date.month - 1;
  parts.tm_mday = date.day;
  parts.tm_hour = 12;
  return ::timegm(&parts);
}

std::string ListedDate(Ymd date) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d ", date.day, date.month, date.year);
  return text;
}

namespace {

// Offsets of the live 32-byte entries in the volume whose name bytes are
// `name11` and whose attribute bits 0xD8 (reserved, directory, label) equal
// `kindBits`.
std::vector<std::uint64_t> FindEntries(const fs::path& image, std::uint32_t startSector, std::uint32_t sectorCount,
                                       const std::string& name11, unsigned char kindBits) {
  constexpr std::size_t kEntry = 32;
  constexpr std::size_t kChunk = 1 << 20;
  std::ifstream in(image, std::ios::binary);
  const std::uint64_t begin = std::uint64_t{startSector} * kSectorSize;
  const std::uint64_t end = begin + std::uint64_t{sectorCount} * kSectorSize;
  std::vector<std::uint64_t> matches;
  std::string chunk(kChunk, '\0');
  for (std::uint64_t offset = begin; offset < end; offset += kChunk) {
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end - offset));
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(chunk.data(), static_cast<std::streamsize>(length));
    if (!in) throw ToolFailure("cannot read " + image.string());
    for (std::size_t at = 0; at + kEntry <= length; at += kEntry) {
      const auto kind = static_cast<unsigned char>(static_cast<unsigned char>(chunk[at + 11]) & 0xD8);
      if (kind == kindBits && chunk.compare(at, 11, name11) == 0) matches.push_back(offset + at);
    }
  }
  return matches;
}

}  // namespace

int PatchEntry(const fs::path& image, std::uint32_t startSector, std::uint32_t sectorCount, const std::string& name11,
               std::size_t offset, const std::string& bytes, bool folder) {
  const std::vector<std::uint64_t> matches = FindEntries(image, startSector, sectorCount, name11, folder ? 0x10 : 0x00);
  for (const std::uint64_t entry : matches) WriteAt(image, entry + offset, bytes);
  return static_cast<int>(matches.size());
}

void PatchImage(const fs::path& image, std::uint64_t offset, const std::string& bytes) { WriteAt(image, offset, bytes); }

int PatchAccessDate(const fs::path& image, std::uint32_t startSector, std::uint32_t sectorCount,
                    const std::string& name11, std::uint16_t dosDate) {
  const std::string date{static_cast<char>(dosDate & 0xFF), static_cast<char>(dosDate >> 8)};
  return PatchEntry(image, startSector, sectorCount, name11, 18, date);
}

int MarkFolderEntryDeleted(const fs::path& image, std::uint32_t startSector, std::uint32_t sectorCount,
                           const std::string& name11) {
  const std::vector<std::uint64_t> matches = FindEntries(image, startSector, sectorCount, name11, 0x10);
  for (const std::uint64_t entry : matches) WriteAt(image, entry, "\xE5");
  return static_cast<int>(matches.size());
}

std::uint64_t FileFingerprint(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::uint64_t hash = 14695981039346656037ull;
  std::array<char, 1 << 16> chunk{};
  while (in) {
    in.read(chunk.data(), chunk.size());
    const std::streamsize got = in.gcount();
    for (std::streamsize i = 0; i < got; ++i) {
      hash = (hash ^ static_cast<unsigned char>(chunk[static_cast<std::size_t>(i)])) * 1099511628211ull;
    }
  }
  return hash;
}

}  // namespace salvex::testing
