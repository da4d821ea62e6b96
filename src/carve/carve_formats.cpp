#include <algorithm>

#include "carve/carve_families.h"
#include "carve/carve_format.h"
#include "carve/entry_names.h"

namespace salvex {

const std::vector<CarveFormat>& CarveFormats() {
  // Where two families could start at one place, the one with the
  // stronger check is tried first.
  static const std::vector<CarveFormat> formats = {
      JpegFamily(),    PngFamily(),       GifFamily(),  PdfFamily(),  ZipFamily(),     IsoBmffFamily(), AviFamily(),
      WavFamily(),     Ole2Family(),      TiffFamily(), FlacFamily(), OggFamily(),     SevenZipFamily(), RarFamily(),
      GzipFamily(),    SqliteFamily(),    RtfFamily(),  Mp3Family(),  BmpFamily(),     TextFamily(),
  };
  return formats;
}

const CarveFormat* CarveFormatNamed(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const CarveFormat& format : CarveFormats()) {
    if (format.family == lower) return &format;
    if (std::find(format.aliases.begin(), format.aliases.end(), lower) != format.aliases.end()) return &format;
  }
  return nullptr;
}

FamilySet FamilyBit(const CarveFormat& format) {
  const auto& formats = CarveFormats();
  return FamilySet{1} << static_cast<unsigned>(&format - formats.data());
}

}  // namespace salvex
