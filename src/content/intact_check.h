#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace salvex {

// The kinds of file whose own structure tells whether they are whole.
enum class CheckedKind { none, jpeg, png, gif, zip, pdf };

// The kind a file is taken for: by its name's extension, else by its first
// bytes. A deleted file whose start is now another file's keeps the kind of
// its name, so that it fails the check instead of escaping it.
CheckedKind CheckedKindOf(std::string_view name, std::span<const std::uint8_t> start);

// Whether the bytes of a file named `name` hold together as its kind says
// they must: JPEG markers leading to the end-of-image marker; every PNG
// chunk's CRC up to IEND; the GIF trailer; a ZIP (and DOCX, XLSX, ...) end
// of central directory whose members' local headers match and whose data
// gives each member's CRC-32; a PDF header with "%%EOF" near the end.
// Nullopt when the kind is none of those, or the file cannot be judged (a
// ZIP64 archive, a member compressed in a way not read here).
std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes);

}  // namespace salvex
