#pragma once

#include <string_view>
#include <vector>

#include "wizard/wizard_types.h"

namespace salvex::wizard {

// One line of the item list's context menu: an entry (text and command), or
// a separator when the text is empty. Entries of the "&View" submenu say so.
struct RowMenuItem {
  std::string_view text;
  Command command = Command::open;
  bool inViewSubmenu = false;
  bool enabled = true;
};

inline constexpr std::string_view kRowMenuViewTitle = "&View";

// The menu of a selected row, top to bottom; "Open &With..." is grayed for
// a folder, which only the desktop's file manager could open.
std::vector<RowMenuItem> RowMenuItems(bool folderRow);

}  // namespace salvex::wizard
