#pragma once

// Bounds-checked little-endian reads over on-disk bytes. Every structure the
// engine decodes goes through these helpers, so an offset taken from a damaged
// disk can never reach outside the buffer it points into: a read that would
// pass the end yields 0, the same "not found" value the decoders use.

#include <cstddef>
#include <cstdint>
#include <span>

namespace salvex {

using Bytes = std::span<const std::uint8_t>;
using MutableBytes = std::span<std::uint8_t>;

// True when [offset, offset + size) lies inside `bytes`; overflow-safe.
constexpr bool Fits(Bytes bytes, std::size_t offset, std::size_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

// The sub-range [offset, offset + size), or an empty span when it does not fit.
constexpr Bytes Slice(Bytes bytes, std::size_t offset, std::size_t size) {
  return Fits(bytes, offset, size) ? bytes.subspan(offset, size) : Bytes{};
}

constexpr std::uint8_t u8(Bytes bytes, std::size_t offset) {
  return Fits(bytes, offset, 1) ? bytes[offset] : 0;
}

constexpr std::uint16_t u16le(Bytes bytes, std::size_t offset) {
  if (!Fits(bytes, offset, 2)) return 0;
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

constexpr std::uint32_t u32le(Bytes bytes, std::size_t offset) {
  if (!Fits(bytes, offset, 4)) return 0;
  return static_cast<std::uint32_t>(bytes[offset]) |
         (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
         (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

constexpr std::uint64_t u64le(Bytes bytes, std::size_t offset) {
  if (!Fits(bytes, offset, 8)) return 0;
  return static_cast<std::uint64_t>(u32le(bytes, offset)) |
         (static_cast<std::uint64_t>(u32le(bytes, offset + 4)) << 32);
}

constexpr std::int8_t s8(Bytes bytes, std::size_t offset) {
  return static_cast<std::int8_t>(u8(bytes, offset));
}

constexpr std::int16_t s16le(Bytes bytes, std::size_t offset) {
  return static_cast<std::int16_t>(u16le(bytes, offset));
}

constexpr std::int32_t s32le(Bytes bytes, std::size_t offset) {
  return static_cast<std::int32_t>(u32le(bytes, offset));
}

constexpr std::int64_t s64le(Bytes bytes, std::size_t offset) {
  return static_cast<std::int64_t>(u64le(bytes, offset));
}

// True when the bytes at `offset` equal `text` (without its terminator).
template <std::size_t N>
constexpr bool HasText(Bytes bytes, std::size_t offset, const char (&text)[N]) {
  if (!Fits(bytes, offset, N - 1)) return false;
  for (std::size_t i = 0; i + 1 < N; ++i) {
    if (bytes[offset + i] != static_cast<std::uint8_t>(text[i])) return false;
  }
  return true;
}

// The 0x55 0xAA signature that ends boot sectors and partition tables.
constexpr bool HasBootSignature(Bytes sector) {
  return u8(sector, 510) == 0x55 && u8(sector, 511) == 0xAA;
}

}  // namespace salvex
