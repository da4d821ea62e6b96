#include "wizard/row_menu.h"

namespace salvex::wizard {

std::vector<RowMenuItem> RowMenuItems(bool folderRow) {
  using enum Command;
  constexpr RowMenuItem kSeparator{};
  return {
      {"&Open", open},
      {"Open &With...", openWith, false, !folderRow},
      kSeparator,
      {"&Recover Selected...", recoverSelected},
      {"Recover &All...", recoverAll},
      kSeparator,
      {"Ico&ns     ", viewIcons, true},
      {"&List", viewList, true},
      {"&Details", viewDetails, true},
      kSeparator,
      {"&Find Files...", findFiles},
      kSeparator,
      {"Re&name", rename},
      kSeparator,
      {"&Settings...", settings},
      kSeparator,
      {"&Properties...", properties},
  };
}

}  // namespace salvex::wizard
