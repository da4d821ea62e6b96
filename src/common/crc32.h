#pragma once

#include <cstdint>
#include <span>

namespace salvex {

// The CRC-32 of zlib and Ethernet (reflected polynomial 0xEDB88320, initial
// and final value 0xFFFFFFFF), as GPT headers and entry arrays carry it.
// `previous` continues a CRC over bytes given in pieces.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t previous = 0);

}  // namespace salvex
