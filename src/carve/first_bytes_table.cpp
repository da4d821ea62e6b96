#include "carve/first_bytes_table.h"

#include <algorithm>

namespace salvex {

FirstBytesTable::FirstBytesTable(FamilySet enabled) : byFirstTwo_(65536, 0) {
  for (const CarveFormat& format : CarveFormats()) {
    const FamilySet bit = FamilyBit(format);
    if ((enabled & bit) == 0) continue;
    if (format.searchedEverywhere) everywhere_ |= bit;
    if (format.startsWithText) {
      const auto isText = [](unsigned c) {
        return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r' || (c >= 0xC2 && c <= 0xF4);
      };
      const auto isSecond = [&](unsigned c) { return isText(c) || (c >= 0x80 && c <= 0xBF); };
      for (unsigned first = 0; first < 256; ++first) {
        for (unsigned second = 0; second < 256; ++second) {
          if (isText(first) && isSecond(second)) byFirstTwo_[first << 8 | second] |= bit;
        }
      }
    }
    for (const CarveSignature& signature : format.signatures) {
      if (signature.at != 0 || signature.bytes.size() < 2) {
        elsewhere_.push_back({signature.at, signature.bytes, bit});
        continue;
      }
      const auto first = static_cast<std::uint8_t>(signature.bytes[0]);
      const auto second = static_cast<std::uint8_t>(signature.bytes[1]);
      byFirstTwo_[std::size_t{first} << 8 | second] |= bit;
      if (format.searchedEverywhere && std::find(leadBytes_.begin(), leadBytes_.end(), first) == leadBytes_.end()) {
        leadBytes_.push_back(first);
      }
    }
  }
}

FamilySet FirstBytesTable::Candidates(Bytes start) const {
  if (start.size() < 2) return 0;
  FamilySet found = byFirstTwo_[std::size_t{start[0]} << 8 | start[1]];
  for (const Elsewhere& signature : elsewhere_) {
    if (!Fits(start, signature.at, signature.bytes.size())) continue;
    if (std::equal(signature.bytes.begin(), signature.bytes.end(), start.begin() + signature.at,
                   [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; })) {
      found |= signature.family;
    }
  }
  return found;
}

}  // namespace salvex
