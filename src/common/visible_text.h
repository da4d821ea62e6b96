#pragma once

#include <string>
#include <string_view>

namespace salvex {

// Characters that act on a terminal instead of showing: the C0 controls, DEL,
// the C1 controls (U+0080-U+009F; U+009B is an 8-bit CSI) and the
// bidirectional formatting characters (U+061C, U+200E, U+200F, the embeddings
// and overrides U+202A-U+202E, the isolates U+2066-U+2069), which reorder what
// is shown after them.
constexpr bool IsInvisibleControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Text read from a disk, safe to print: each terminal control is shown as an
// escape ("\x1b", "\u202e"), so no name can move the cursor, recolour the
// screen or disguise what follows it. Bytes that are not UTF-8 show as U+FFFD.
std::string VisibleText(std::string_view text);

// A name from a disk for the host's file system, where a file manager would
// show it: each byte of a control character above becomes "%XX" ("%1B",
// "%E2%80%AE"), so "evil\u202etxt.exe" cannot pass for a text file. Every
// other byte is kept, "%" too.
std::string HostVisibleName(std::string_view name);

}  // namespace salvex
