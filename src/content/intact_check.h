#pragma once

#include <atomic>
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

// How much work the checks of one run may do, and its Stop. A ZIP's central
// directory can list one huge member thousands of times, or members whose
// data overlap, so that inflating what it lists would take hours: a member
// named twice is checked once, and past the budget members are checked for
// their structure only (the verdict is then null at best).
struct IntactCheckBudget {
  std::uint64_t perFile = std::uint64_t{1} << 30;     // member bytes summed or inflated for one file
  std::uint64_t leftInRun = std::uint64_t{16} << 30;  // what the run may still spend, over all its files
  const std::atomic<bool>* stop = nullptr;            // raised: no verdict, at once
  std::uint32_t filesOverBudget = 0;                  // files left unjudged for lack of budget
};

// Whether the bytes of a file named `name` hold together as its kind says
// they must: JPEG markers and coded data up to the end-of-image marker; every PNG
// chunk's CRC up to IEND; the GIF trailer; a ZIP (and DOCX, XLSX, ...) end
// of central directory whose members' local headers match and whose data
// gives each member's CRC-32; a PDF header with "%%EOF" near the end.
// Nullopt when the kind is none of those, or the file cannot be judged (a
// ZIP64 archive, a member compressed in a way not read here, a ZIP past
// the budget, a check stopped). JPEGs are decoded as JpegIsWhole says.
std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes,
                                IntactCheckBudget& budget);
// The same with a budget of its own.
std::optional<bool> LooksIntact(std::string_view name, std::span<const std::uint8_t> bytes);

}  // namespace salvex
