#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "wizard/item_list_model.h"

namespace salvex::wizard {

// How much of a file the preview reads: enough for the photos of a phone.
inline constexpr std::size_t kPreviewBytes = std::size_t{16} << 20;
// Text previews stop after this many lines.
inline constexpr std::size_t kPreviewTextLines = 400;
// A hex page: this many lines of 16 bytes.
inline constexpr std::size_t kHexPageLines = 256;
inline constexpr std::size_t kHexPageBytes = kHexPageLines * 16;

// The first bytes as UTF-8 text when they read as text: UTF-8 as it is,
// UTF-16 after its byte-order mark, otherwise Latin-1 when nearly every
// byte is a printable one. At most `maxLines` lines. Nullopt for binary
// data, which a hex page shows instead.
std::optional<std::string> PreviewText(std::span<const std::uint8_t> bytes, std::size_t maxLines = kPreviewTextLines);

// One hex page: from `offset` (rounded down to 16), kHexPageLines lines of
// an offset (eight hex digits at least; `base` added, for bytes that begin
// elsewhere than at 0, such as a disk's sectors), 16 bytes in hex and their
// ASCII (a dot for the rest).
std::string HexPage(std::span<const std::uint8_t> bytes, std::size_t offset, std::uint64_t base = 0);

// An offset as typed for "Go to": hex with "0x" (or a trailing "h"),
// decimal otherwise. None for anything else.
std::optional<std::uint64_t> ParseOffsetText(std::string_view text);

// What the preview warns of above the bytes, a line each: deleted, its
// clusters now other files', its layout worked out; empty for a live file.
std::string PreviewWarning(const ItemListModel& rows, std::size_t row);

// The line under the preview: how much of the file it shows.
std::string PreviewExtent(std::size_t shown, std::uint64_t size, bool whole);

}  // namespace salvex::wizard
