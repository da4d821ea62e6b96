#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace salvex {

struct CivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// A DOS date: day in bits 0-4, month in bits 5-8, year - 1980 in bits 9-15.
CivilDate DecodeDosDate(std::uint16_t date);

// Whether a date names a day of the calendar (not month 13, nor 30 February).
bool IsRealDay(const CivilDate& date);

// A DOS date and time as seconds since 1970-01-01, taken as UTC. Nothing
// for a date that names no real day (0, or month 13); a time that names no
// real time of day (hour 25) gives the day's start.
std::optional<std::int64_t> DosStampSeconds(std::uint16_t date, std::uint16_t time);

// "dd-mm-yyyy " with one trailing blank: 0x359C gives "28-12-2006 ". A date
// that names no real day (month 0 or 13, day 0, 31 April) is shown as
// kUnknownDateText; 0, which FAT writes for "not recorded", as it reads.
std::string FormatDosDate(std::uint16_t date);
inline constexpr const char* kUnknownDateText = "Unknown";

// An NTFS time (100 ns units since 1601-01-01, no time-zone adjustment) as
// "d-m-yyyy h:m:s" without leading zeros: "7-12-2006 9:5:3".
std::string FormatFileTime(std::uint64_t stamp);

}  // namespace salvex
