#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "wizard/item_list_model.h"

namespace salvex::wizard {

// What the rows of the item list hold, for the status bar.
struct ListCounts {
  std::size_t folders = 0;
  std::size_t files = 0;
  std::size_t deleted = 0;  // folders and files
};

ListCounts CountRows(const ItemListModel& rows);

// "12 folders, 3 files, 1 deleted": the deleted part only when there are any.
std::string ListCountsText(const ListCounts& counts);

// "3 selected, 1.5 MB" (files' sizes; folders count but weigh nothing);
// empty for no selection.
std::string SelectionText(const ItemListModel& rows, const std::vector<std::size_t>& selected);

}  // namespace salvex::wizard
