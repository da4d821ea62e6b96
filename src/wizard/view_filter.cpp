#include "wizard/view_filter.h"

#include <array>
#include <cctype>
#include <cmath>

#include "items/date_format.h"

namespace salvex::wizard {
namespace {

struct GroupExtensions {
  TypeGroup group;
  std::array<std::string_view, 24> extensions;
};

// By extension alone, as the list's type names are.
constexpr GroupExtensions kGroups[] = {
    {TypeGroup::pictures, {"jpg", "jpeg", "jpe", "png", "gif", "bmp", "tif", "tiff", "webp", "heic", "heif", "raw",
                           "cr2", "cr3", "nef", "arw", "dng", "orf", "rw2", "svg", "ico", "psd", "xcf"}},
    {TypeGroup::video, {"mp4", "m4v", "mov", "avi", "mkv", "wmv", "flv", "mpg", "mpeg", "3gp", "webm", "mts", "m2ts",
                        "vob", "ts", "asf", "divx", "ogv"}},
    {TypeGroup::documents, {"txt", "doc", "docx", "xls", "xlsx", "ppt", "pptx", "pdf", "odt", "ods", "odp", "rtf",
                            "csv", "md", "htm", "html", "xml", "wpd", "wps", "pages", "key", "numbers", "tex", "epub"}},
    {TypeGroup::archives, {"zip", "rar", "7z", "tar", "gz", "tgz", "bz2", "xz", "zst", "lz", "lzma", "cab", "iso",
                           "arj", "lzh", "z", "img", "dmg"}},
};

std::string LowerExtension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 >= name.size()) return {};
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

int DayNumber(int year, int month, int day) { return year * 10000 + month * 100 + day; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

TypeGroup TypeGroupOf(std::string_view name) {
  const std::string extension = LowerExtension(name);
  if (extension.empty()) return TypeGroup::other;
  for (const GroupExtensions& group : kGroups) {
    for (const std::string_view known : group.extensions) {
      if (!known.empty() && known == extension) return group.group;
    }
  }
  return TypeGroup::other;
}

bool PassesViewFilter(const ViewFilter& filter, const FilteredFile& file) {
  if (filter.deleted == ShowDeleted::deletedOnly && !file.deleted) return false;
  if (filter.deleted == ShowDeleted::liveOnly && file.deleted) return false;
  if (filter.type != TypeGroup::all && TypeGroupOf(file.name) != filter.type) return false;
  if (filter.minBytes && file.size < *filter.minBytes) return false;
  if (filter.maxBytes && file.size > *filter.maxBytes) return false;
  // A file without a date is no day's: a date range leaves it out.
  if ((filter.fromDay || filter.toDay) && !file.day) return false;
  if (filter.fromDay && *file.day < *filter.fromDay) return false;
  if (filter.toDay && *file.day > *filter.toDay) return false;
  return true;
}

bool ShowsEmptyFolder(const ViewFilter& filter, bool deleted) {
  return deleted && filter.deleted == ShowDeleted::deletedOnly && filter.type == TypeGroup::all && !filter.minBytes &&
         !filter.maxBytes && !filter.fromDay && !filter.toDay;
}

std::optional<int> DayOfDosDate(std::uint16_t date) {
  const CivilDate civil = DecodeDosDate(date);
  if (date == 0 || !IsRealDay(civil)) return std::nullopt;
  return DayNumber(civil.year, civil.month, civil.day);
}

std::optional<int> DayOfFileTime(std::uint64_t stamp) {
  constexpr std::uint64_t kUnitsPerDay = 864'000'000'000ULL;
  if (stamp == 0) return std::nullopt;
  // Days since 1601-01-01, then the civil date (days from 1970 by the
  // proleptic Gregorian rules).
  const std::int64_t days = static_cast<std::int64_t>(stamp / kUnitsPerDay) - 134774;  // 1601 to 1970
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return DayNumber(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day));
}

std::optional<std::uint64_t> ParseSizeText(std::string_view text) {
  text = Trimmed(text);
  std::size_t at = 0;
  double number = 0;
  bool digits = false;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
    number = number * 10 + (text[at] - '0');
    digits = true;
  }
  if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
    double scale = 0.1;
    for (++at; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
      number += (text[at] - '0') * scale;
      scale /= 10;
      digits = true;
    }
  }
  if (!digits || number > 1e15) return std::nullopt;
  std::string unit(Trimmed(text.substr(at)));
  for (char& c : unit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  double factor = 1;
  if (unit.empty() || unit == "B" || unit == "BYTES") {
    factor = 1;
  } else if (unit == "K" || unit == "KB") {
    factor = 1024.0;
  } else if (unit == "M" || unit == "MB") {
    factor = 1024.0 * 1024;
  } else if (unit == "G" || unit == "GB") {
    factor = 1024.0 * 1024 * 1024;
  } else {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(std::llround(number * factor));
}

std::optional<int> ParseDayText(std::string_view text) {
  text = Trimmed(text);
  int parts[3] = {};
  int count = 0;
  std::size_t at = 0;
  while (count < 3 && at < text.size()) {
    int value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && digits < 4; ++at, ++digits) {
      value = value * 10 + (text[at] - '0');
    }
    if (digits == 0) return std::nullopt;
    parts[count++] = value;
    if (at < text.size() && (text[at] == '-' || text[at] == '.' || text[at] == '/')) ++at;
  }
  if (count != 3 || at != text.size()) return std::nullopt;
  const CivilDate date{parts[2], parts[1], parts[0]};
  if (date.year < 1601 || !IsRealDay(date)) return std::nullopt;
  return DayNumber(date.year, date.month, date.day);
}

}  // namespace salvex::wizard
