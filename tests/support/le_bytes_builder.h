#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace salvex::testing {

// Little-endian fields appended by hand, for golden files written
// independently of the engine's own writers.
struct LeBytes {
  std::vector<std::uint8_t> bytes;

  LeBytes& U8(std::uint8_t value) {
    bytes.push_back(value);
    return *this;
  }
  LeBytes& U16(std::uint16_t value) {
    return U8(static_cast<std::uint8_t>(value & 0xFF)).U8(static_cast<std::uint8_t>(value >> 8));
  }
  LeBytes& U32(std::uint32_t value) {
    return U16(static_cast<std::uint16_t>(value & 0xFFFF)).U16(static_cast<std::uint16_t>(value >> 16));
  }
  LeBytes& U64(std::uint64_t value) {
    return U32(static_cast<std::uint32_t>(value & 0xFFFFFFFF)).U32(static_cast<std::uint32_t>(value >> 32));
  }
  LeBytes& Text(std::string_view text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
  }
};

}  // namespace salvex::testing
