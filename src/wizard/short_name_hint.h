#pragma once

#include <string_view>

namespace salvex::wizard {

// A FAT entry deleted under its 8.3 name alone loses its first letter to the
// deletion mark; the walk shows an 'x' in its place. The store keeps no sign
// of which names those are, so a name is taken for one when it is deleted,
// begins with that 'x', and is an 8.3 name as a FAT driver writes it (at most
// eight characters, a dot and three, no blank, each part in one case).
bool LooksLikeDeletedShortName(std::string_view name, bool deleted);

inline constexpr const char* kLostFirstLetterToolTip =
    "Deleted under its short name alone: the disk no longer holds its first letter, so \"x\" stands in for it. "
    "Press F2 to give it its name back.";

}  // namespace salvex::wizard
