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

}  // namespace

std::optional<std::time_t> FatFileStamp(std::uint64_t packed) {
  const CivilDate date = DecodeDosDate(static_cast<std::uint16_t>(packed));
  if (!IsRealDay(date)) return std::nullopt;
  constexpr std::int64_t kSecondsPerDay = 86'400;
  const auto time = static_cast<std::uint16_t>(packed >> 16);
  const int hour = time >> 11;
  const int minute = (time >> 5) & 0x3F;
  const int seconds = (time & 0x1F) * 2;
  const bool realTime = hour <= 23 && minute <= 59 && seconds <= 59;
  const std::int64_t timeOfDay = realTime ? hour * 3600 + minute * 60 + seconds : 0;
  return static_cast<std::time_t>(DaysFromCivil(date.year, date.month, date.day) * kSecondsPerDay + timeOfDay);
}

}  // namespace salvex
