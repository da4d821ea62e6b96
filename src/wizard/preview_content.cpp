#include "wizard/preview_content.h"

#include <algorithm>
#include <cstdio>

#include "common/utf.h"

namespace salvex::wizard {
namespace {

bool IsValidUtf8(std::span<const std::uint8_t> bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::uint8_t lead = bytes[at];
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0) return false;
    // A sequence cut by the end of what was read is no fault of the text.
    if (at + length > bytes.size()) return bytes.size() - at < 4;
    for (std::size_t i = 1; i < length; ++i) {
      if ((bytes[at + i] & 0xC0) != 0x80) return false;
    }
    at += length;
  }
  return true;
}

bool LooksLikeText(std::span<const std::uint8_t> bytes) {
  std::size_t control = 0;
  for (const std::uint8_t byte : bytes) {
    if (byte == 0) return false;
    if (byte < 0x20 && byte != '\n' && byte != '\r' && byte != '\t' && byte != '\f') ++control;
  }
  return control * 100 <= bytes.size();  // a stray escape or two
}

std::string KeepLines(std::string text, std::size_t maxLines) {
  std::size_t lines = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\n' && ++lines == maxLines) {
      text.resize(at + 1);
      break;
    }
  }
  return text;
}

std::string Utf16Text(std::span<const std::uint8_t> bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
    units.push_back(bigEndian ? static_cast<char16_t>(bytes[at] << 8 | bytes[at + 1])
                              : static_cast<char16_t>(bytes[at + 1] << 8 | bytes[at]));
  }
  return Utf16ToUtf8(units);
}

}  // namespace

std::optional<std::string> PreviewText(std::span<const std::uint8_t> bytes, std::size_t maxLines) {
  // Only the start is looked at: a preview of a large log is its first lines.
  const auto start = bytes.first(std::min<std::size_t>(bytes.size(), 256 * 1024));
  if (start.size() >= 2 && ((start[0] == 0xFF && start[1] == 0xFE) || (start[0] == 0xFE && start[1] == 0xFF))) {
    return KeepLines(Utf16Text(start.subspan(2), start[0] == 0xFE), maxLines);
  }
  if (!LooksLikeText(start)) return std::nullopt;
  std::size_t skip = start.size() >= 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF ? 3 : 0;
  const auto body = start.subspan(skip);
  if (IsValidUtf8(body)) return KeepLines(std::string(body.begin(), body.end()), maxLines);
  std::string latin1;
  for (const std::uint8_t byte : body) {
    if (byte < 0x80) {
      latin1.push_back(static_cast<char>(byte));
    } else {
      latin1.push_back(static_cast<char>(0xC0 | byte >> 6));
      latin1.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return KeepLines(std::move(latin1), maxLines);
}

std::string HexPage(std::span<const std::uint8_t> bytes, std::size_t offset, std::uint64_t base) {
  std::string page;
  offset -= offset % 16;
  const std::size_t end = std::min(bytes.size(), offset + kHexPageBytes);
  for (std::size_t line = offset; line < end; line += 16) {
    char text[24];
    std::snprintf(text, sizeof text, "%08llX ", static_cast<unsigned long long>(base + line));
    page += text;
    std::string ascii;
    for (std::size_t i = 0; i < 16; ++i) {
      if (line + i < end) {
        std::snprintf(text, sizeof text, " %02X", bytes[line + i]);
        page += text;
        const std::uint8_t byte = bytes[line + i];
        ascii.push_back(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.');
      } else {
        page += "   ";
      }
    }
    page += "  " + ascii + "\n";
  }
  return page;
}

std::optional<std::uint64_t> ParseOffsetText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int radix = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    radix = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H')) {
    radix = 16;
    text.remove_suffix(1);
  }
  if (text.empty() || text.size() > 16) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (radix == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (radix == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    if (value > (UINT64_MAX - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(radix)) return std::nullopt;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
  }
  return value;
}

std::string PreviewWarning(const ItemListModel& rows, std::size_t row) {
  if (!rows.IsDeleted(row)) return rows.WarningText(row);
  const std::string more = rows.WarningText(row);
  return more.empty() ? "Deleted: what is shown is what a recovery would write" : "Deleted. " + more;
}

std::string PreviewExtent(std::size_t shown, std::uint64_t size, bool whole) {
  if (whole) return "The whole file, " + std::to_string(size) + " bytes";
  return "The first " + std::to_string(shown) + " of " + std::to_string(size) + " bytes";
}

}  // namespace salvex::wizard
