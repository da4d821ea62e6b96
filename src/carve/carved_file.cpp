#include "carve/carved_file.h"

#include <cstdio>

#include "common/sector.h"

namespace salvex {

std::string CarvedFilePath(const CarvedFile& file) {
  if (file.entry) return file.entry->path;
  std::string name = file.contentName;
  if (name.empty()) {
    char text[48];
    const std::uint64_t first = file.FirstByte();
    if (first % kSectorSize == 0) {
      std::snprintf(text, sizeof text, "f%07llu", static_cast<unsigned long long>(first / kSectorSize));
    } else {
      std::snprintf(text, sizeof text, "f%07llu-%llu", static_cast<unsigned long long>(first / kSectorSize),
                    static_cast<unsigned long long>(first % kSectorSize));
    }
    name = text;
  }
  return file.extension + "/" + name + "." + file.extension;
}

}  // namespace salvex
