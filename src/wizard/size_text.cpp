#include "wizard/size_text.h"

#include <array>

namespace salvex::wizard {
namespace {

constexpr std::uint64_t kKilo = 1024;

}  // namespace

std::string SizeText(std::uint64_t bytes) {
  if (bytes < kKilo) return ExactSizeText(bytes);
  constexpr std::array<const char*, 4> kUnits = {" KB", " MB", " GB", " TB"};
  std::size_t unit = 0;
  std::uint64_t scale = kKilo;
  while (unit + 1 < kUnits.size() && bytes / scale >= kKilo) {
    scale *= kKilo;
    ++unit;
  }
  // Tenths of the unit, rounded; split so that no product can overflow.
  const auto tenths = [&] { return bytes / scale * 10 + ((bytes % scale) * 10 + scale / 2) / scale; };
  std::uint64_t value = tenths();
  if (value >= 10 * kKilo && unit + 1 < kUnits.size()) {
    scale *= kKilo;
    ++unit;
    value = tenths();
  }
  return std::to_string(value / 10) + "." + std::to_string(value % 10) + kUnits[unit];
}

std::string ItemSizeText(std::uint64_t bytes) { return bytes < kKilo ? std::to_string(bytes) : SizeText(bytes); }

std::string ExactSizeText(std::uint64_t bytes) { return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes"); }

}  // namespace salvex::wizard
