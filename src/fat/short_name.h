#pragma once

#include <string>
#include <string_view>

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

// Whether a decoded 8.3 name looks like one a FAT driver wrote, to tell an
// entry from random bytes: not empty, no control character (below U+0020,
// U+007F), none of " * ? < > |. The separators '/' and '\' pass: '\' is the
// second byte of many Shift-JIS characters, a stray '/' leaves the entry as
// sound as any other, and neither reaches the host as a separator.
bool IsAcceptableShortName(std::u16string_view name);

// A live entry's short name: any name without control characters.
bool IsListableLiveShortName(std::u16string_view name);

}  // namespace salvex
