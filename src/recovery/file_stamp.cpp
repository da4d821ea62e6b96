#include "recovery/file_stamp.h"

#include "items/date_format.h"

namespace salvex {
namespace {

std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int yearOfEra = year - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return std::int64_t{era} * 146097 + dayOfEra - 719468;
}

bool IsRealDay(const CivilDate& date) {
  static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.month < 1 || date.month > 12 || date.day < 1) return false;
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  const int days = date.month == 2 && !leap ? 28 : kDaysInMonth[date.month - 1];
  return date.day <= days;
}

}  // namespace

std::optional<std::time_t> FatFileStamp(std::uint16_t fatDate, std::time_t now) {
  const CivilDate date = DecodeDosDate(fatDate);
  if (!IsRealDay(date)) return std::nullopt;
  constexpr std::int64_t kSecondsPerDay = 86'400;
  const std::int64_t timeOfDay = ((now % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
  return static_cast<std::time_t>(DaysFromCivil(date.year, date.month, date.day) * kSecondsPerDay + timeOfDay);
}

}  // namespace salvex
