#pragma once

#include <string>

#include "common/le_bytes.h"

namespace salvex {

// Code page 850 (Western-European DOS and Windows OEM, and mtools' default)
// to Unicode.
char16_t Cp850ToUnicode(std::uint8_t byte);

// The 8.3 name of a 32-byte directory entry: the name bytes and, when the
// extension is not blank, '.' and the extension, with every space dropped.
// A first byte 0xE5 (a deleted entry) reads as 'x'; 0x05 stands for a real
// first character 0xE5. The lower-case flags of byte 12 (0x08 name, 0x10
// extension) are applied, so "README  TXT" with both flags reads readme.txt.
std::u16string DecodeShortName(Bytes entry);

}  // namespace salvex
