#include "wizard/tree_captions.h"

#include <filesystem>

#include "common/sector.h"
#include "session/captions.h"
#include "wizard/size_text.h"

namespace salvex::wizard {
namespace {

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "256 MB" rather than "256.0 MB": a disk's size reads as it is sold.
std::string DiskSizeText(std::uint64_t bytes) {
  std::string text = SizeText(bytes);
  const std::size_t point = text.find(".0 ");
  if (point != std::string::npos) text.erase(point, 2);
  return text;
}

}  // namespace

std::string DiskNodeCaption(std::uint32_t diskNumber, const DiskInfo& disk) {
  std::string name = disk.isImage ? std::filesystem::path(disk.devicePath).filename().string() : Trimmed(disk.product);
  if (name.empty()) name = Trimmed(disk.model);
  if (disk.usb) name += name.empty() ? "USB" : " (USB)";
  // A disk that names nothing is told by its number and size alone.
  if (name.empty()) return DiskCaption(diskNumber);
  return DiskCaption(diskNumber) + " \u2014 " + name;
}

std::vector<TreeColumn> DiskTreeColumns() { return {{"Name"}, {"Size", true}, {"Partitions", true}}; }

std::vector<std::string> DiskNodeCells(const DiskInfo& disk, std::optional<std::uint32_t> partitions) {
  return {DiskSizeText(disk.sizeSectors * 512), partitions ? std::to_string(*partitions) : std::string()};
}

std::vector<TreeColumn> PartitionTreeColumns() {
  return {{"Name"}, {"File System"}, {"Size", true}, {"Start", true}};
}

std::vector<std::string> PartitionNodeCells(const PartitionRecord& record) {
  return {record.noFileSystem ? kUnknownTypeText : FsTypeText(record.fsType), DiskSizeText(record.sectorCount * 512),
          std::to_string(record.startSector)};
}

std::vector<std::string> WholeDiskCells(const DiskInfo& disk) {
  return {std::string(), DiskSizeText(disk.sizeSectors * 512), "0"};
}

std::string PartitionsRootCaption(std::uint32_t diskNumber) { return "Storage Device " + std::to_string(diskNumber); }

}  // namespace salvex::wizard
