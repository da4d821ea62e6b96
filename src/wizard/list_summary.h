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
  std::size_t hiddenByFilters = 0;  // files the File Filters keep out
  std::size_t hiddenByView = 0;     // items the view filters keep out
};

ListCounts CountRows(const ItemListModel& rows);

// "12 folders, 3 files, 1 deleted; 4 hidden by File Filters": the deleted
// and hidden parts only when there are any.
std::string ListCountsText(const ListCounts& counts);

// "12 marked, 3.4 MB": the files the check boxes mark and their bytes.
std::string MarkedText(std::uint64_t files, std::uint64_t bytes);

// "3 selected, 1.5 MB" (files' sizes; folders count but weigh nothing);
// empty for no selection.
std::string SelectionText(const ItemListModel& rows, const std::vector<std::size_t>& selected);

}  // namespace salvex::wizard
