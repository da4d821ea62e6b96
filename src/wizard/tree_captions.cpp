#include "wizard/tree_captions.h"

#include <filesystem>

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

std::string DiskNodeCaption(std::uint32_t diskNumber, const DiskInfo& disk, std::optional<std::uint32_t> partitions) {
  std::string name = disk.isImage ? std::filesystem::path(disk.devicePath).filename().string() : Trimmed(disk.product);
  if (name.empty()) name = Trimmed(disk.model);
  if (disk.usb) name += " (USB)";
  std::string caption = DiskCaption(diskNumber) + " \u2014 ";
  if (!name.empty()) caption += name + " ";
  caption += DiskSizeText(disk.sizeSectors * 512);
  if (partitions) caption += ", " + std::to_string(*partitions) + (*partitions == 1 ? " partition" : " partitions");
  return caption;
}

std::string PartitionsRootCaption(std::uint32_t diskNumber) { return "Storage Device " + std::to_string(diskNumber); }

}  // namespace salvex::wizard
