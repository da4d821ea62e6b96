#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "imaging/disk_imager.h"

namespace salvex {

// Bytes read into the image per second in this run; none in its first
// seconds, while the figure still jumps about.
std::optional<std::uint64_t> SteadyRate(const ImagingProgress& progress);

// The seconds the copying, trimming and scraping still need at the steady
// rate; none while there is no steady rate.
std::optional<std::uint64_t> SecondsLeft(const ImagingProgress& progress);

// "512 B", "1.5 KiB", "2.0 GiB".
std::string ByteSize(std::uint64_t bytes);
// "1:05:09", "4:10".
std::string Duration(std::uint64_t seconds);
// "copying, pass 1", "trimming", "scraping", "retrying, pass 2", "finished".
std::string PhaseName(RescuePhase phase, int pass);

// Share of the source whose fate is known (rescued or bad), in percent.
int TriedPercent(const ImagingProgress& progress);

}  // namespace salvex
