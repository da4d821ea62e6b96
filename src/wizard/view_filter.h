#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace salvex::wizard {

// What the view filters above the item list let through: a way of looking
// at what was found (deleted only, pictures only, large files, a week's
// files), applied to the list and the items tree at once. They never change
// what a recovery takes; that is the File Filters' part.
enum class ShowDeleted { all, deletedOnly, liveOnly };
enum class TypeGroup { all, pictures, video, documents, archives, other };

struct ViewFilter {
  ShowDeleted deleted = ShowDeleted::all;
  TypeGroup type = TypeGroup::all;
  std::optional<std::uint64_t> minBytes;  // inclusive
  std::optional<std::uint64_t> maxBytes;
  std::optional<int> fromDay;  // yyyymmdd, inclusive
  std::optional<int> toDay;

  bool Active() const {
    return deleted != ShowDeleted::all || type != TypeGroup::all || minBytes || maxBytes || fromDay || toDay;
  }
  bool operator==(const ViewFilter&) const = default;
};

// The group a file name's extension puts it in; "other" for the rest.
TypeGroup TypeGroupOf(std::string_view name);

// A file as the filter sees it: its name, deleted flag, size and the day it
// was last written (none when its date names no day).
struct FilteredFile {
  std::string_view name;
  bool deleted = false;
  std::uint64_t size = 0;
  std::optional<int> day;
};
bool PassesViewFilter(const ViewFilter& filter, const FilteredFile& file);

// Whether a folder with nothing shown below it is still shown: a deleted
// folder, when only deleted items are looked for and nothing else narrows.
bool ShowsEmptyFolder(const ViewFilter& filter, bool deleted);

// The day of a DOS date or an NTFS time, as yyyymmdd; none for a date that
// names no day.
std::optional<int> DayOfDosDate(std::uint16_t date);
std::optional<int> DayOfFileTime(std::uint64_t stamp);

// What a person types in the filter bar: a size ("1200", "10 KB", "2.5MB",
// "1 GB"; units of 1024) and a day ("28-12-2006", as the list shows dates).
// None for text that is neither, and for empty text.
std::optional<std::uint64_t> ParseSizeText(std::string_view text);
std::optional<int> ParseDayText(std::string_view text);

}  // namespace salvex::wizard
