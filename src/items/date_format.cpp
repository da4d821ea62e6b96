#include "items/date_format.h"

#include <cstdio>

namespace salvex {
namespace {

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's algorithm).
CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  const auto year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  return {year, month, day};
}

// A proleptic Gregorian date to days since 1970-01-01 (the same algorithm).
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int yearOfEra = year - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return std::int64_t{era} * 146097 + dayOfEra - 719468;
}

}  // namespace

bool IsRealDay(const CivilDate& date) {
  static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.month < 1 || date.month > 12 || date.day < 1) return false;
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  const int days = date.month == 2 && !leap ? 28 : kDaysInMonth[date.month - 1];
  return date.day <= days;
}

CivilDate DecodeDosDate(std::uint16_t date) {
  return {1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F};
}

std::optional<std::int64_t> DosStampSeconds(std::uint16_t date, std::uint16_t time) {
  const CivilDate civil = DecodeDosDate(date);
  if (!IsRealDay(civil)) return std::nullopt;
  constexpr std::int64_t kSecondsPerDay = 86'400;
  const int hour = time >> 11;
  const int minute = (time >> 5) & 0x3F;
  const int seconds = (time & 0x1F) * 2;
  const bool realTime = hour <= 23 && minute <= 59 && seconds <= 59;
  const std::int64_t timeOfDay = realTime ? hour * 3600 + minute * 60 + seconds : 0;
  return DaysFromCivil(civil.year, civil.month, civil.day) * kSecondsPerDay + timeOfDay;
}

std::string FormatDosDate(std::uint16_t date) {
  const CivilDate civil = DecodeDosDate(date);
  if (date != 0 && !IsRealDay(civil)) return kUnknownDateText;
  char text[16];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d ", civil.day, civil.month, civil.year);
  return text;
}

std::string FormatFileTime(std::uint64_t stamp) {
  constexpr std::uint64_t kTicksPerSecond = 10'000'000;
  constexpr std::int64_t kSecondsPerDay = 86'400;
  // 1601-01-01 is 134774 days before 1970-01-01.
  constexpr std::int64_t kDaysFrom1601To1970 = 134'774;
  const std::uint64_t seconds = stamp / kTicksPerSecond;
  const auto days = static_cast<std::int64_t>(seconds / kSecondsPerDay) - kDaysFrom1601To1970;
  const auto secondOfDay = static_cast<int>(seconds % kSecondsPerDay);
  const CivilDate civil = CivilFromDays(days);
  char text[48];
  std::snprintf(text, sizeof text, "%d-%d-%d %d:%d:%d", civil.day, civil.month, civil.year, secondOfDay / 3600,
                secondOfDay / 60 % 60, secondOfDay % 60);
  return text;
}

}  // namespace salvex
