#include "carve/content_name.h"

#include "content/tiff_ifd.h"

namespace salvex {
namespace {

// Printable ASCII with separators and runs of blanks turned into one blank.
std::string Clean(const std::string& text) {
  std::string clean;
  for (const char c : text) {
    const bool printable = c >= 0x20 && c < 0x7F && c != '/' && c != '\\' && c != ':' && c != '*' && c != '?' &&
                           c != '"' && c != '<' && c != '>' && c != '|';
    const char kept = printable ? c : ' ';
    if (kept == ' ' && (clean.empty() || clean.back() == ' ')) continue;
    clean.push_back(kept);
  }
  while (!clean.empty() && clean.back() == ' ') clean.pop_back();
  return clean;
}

bool IsDigits(const std::string& text, std::size_t at, std::size_t count) {
  for (std::size_t i = at; i < at + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// "2021:05:03 14:22:01" as "2021-05-03 14-22-01"; empty for anything else,
// and for the zeros some cameras write when their clock was never set.
std::string TakenAt(const std::string& exif) {
  if (exif.size() < 19 || !IsDigits(exif, 0, 4) || exif[4] != ':' || !IsDigits(exif, 5, 2) || exif[7] != ':' ||
      !IsDigits(exif, 8, 2) || exif[10] != ' ' || !IsDigits(exif, 11, 2) || exif[13] != ':' || !IsDigits(exif, 14, 2) ||
      exif[16] != ':' || !IsDigits(exif, 17, 2)) {
    return {};
  }
  if (exif.compare(0, 4, "0000") == 0) return {};
  std::string text = exif.substr(0, 19);
  for (const std::size_t at : {4u, 7u, 13u, 16u}) text[at] = '-';
  return text;
}

}  // namespace

std::string ContentNameOf(const CarveFormat& format, ContentSource& source) {
  if (format.family != "jpg") return {};
  const ExifFields exif = ReadJpegExif(source);
  const std::string taken = TakenAt(exif.dateTimeOriginal);
  if (taken.empty()) return {};
  std::string camera = Clean(exif.model.empty() ? exif.make : exif.model);
  if (camera.size() > 48) camera.resize(48);
  return camera.empty() ? taken : taken + " " + camera;
}

}  // namespace salvex
