#pragma once

#include <cstdint>
#include <string>

namespace salvex::wizard {

// A size as people read it: "512 bytes", "3.4 KB", "1.2 GB": units of 1024,
// one decimal, rounded to the nearest tenth; a size that rounds up to 1024
// of a unit is shown in the next one.
std::string SizeText(std::uint64_t bytes);

// The item list's Size cell: as SizeText from 1 KB up, and under it the
// byte count alone ("976"), as the column has always shown small files.
std::string ItemSizeText(std::uint64_t bytes);

// The Size cell's tool tip: the exact count, "1572864 bytes".
std::string ExactSizeText(std::uint64_t bytes);

}  // namespace salvex::wizard
