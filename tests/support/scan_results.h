#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "session/standard_scan.h"
#include "partition/partition_record.h"

namespace salvex::testing {

// One folder or file of a scan's result, in the terms of `salvex scan --json`.
struct ListedItem {
  std::optional<std::string> path;  // from the volume root; nothing when unreachable
  std::string name;
  bool isFolder = false;
  std::uint64_t size = 0;
  bool deleted = false;
  std::string created;   // the write date, "dd-mm-yyyy "
  std::string modified;  // the access date
  std::uint32_t firstCluster = 0;
  std::uint64_t id = 0;
};

// "folder PATH" or "file PATH SIZE", with " deleted" when so ("(unreachable)
// NAME" for the path of an item no folder reaches), sorted: a listing for
// LineDifference.
std::vector<std::string> ListingLines(const std::vector<ListedItem>& items);

// One line naming every field, for failure messages.
std::string Describe(const ListedItem& item);

// The items of `salvex scan --json` output, in the order printed. Throws
// std::runtime_error when the text is not such a listing.
std::vector<ListedItem> ItemsFromScanJson(const std::string& json);

// A Standard Scan of partition `number` (from 1) of a disk image, run through
// the engine as a front end would run it.
struct LibraryScan {
  std::string openError;  // set when the image could not be opened
  PartitionTable partitions;
  bool selected = false;  // the partition exists
  StandardScanOutcome outcome = StandardScanOutcome::notPossible;
  std::vector<std::string> notices;  // error boxes shown
  // Folders in the store's order, then files in the store's order.
  std::vector<ListedItem> items;
};
LibraryScan ScanThroughLibrary(const std::filesystem::path& image, unsigned number);

// Compares two listings as sets keyed by kind and path (the order and the id
// are not compared): one line for every item missing, unexpected or listed
// more than once, and for every field that differs. Empty when they agree.
// An expected first cluster of 0 is not compared: no listed item has one.
std::string DiffItems(const std::vector<ListedItem>& actual, const std::vector<ListedItem>& expected);

// What `salvex ARGUMENTS` printed, stdout and stderr apart.
struct SalvexRun {
  int status = -1;
  std::string out;
  std::string err;
};
SalvexRun RunSalvex(const std::string& binary, const std::string& arguments, const std::filesystem::path& scratch);

// RunSalvex for a command that reads `source`, which must come out of it
// byte for byte unchanged (a failed expectation otherwise).
SalvexRun RunSalvexReading(const std::string& binary, const std::filesystem::path& source,
                           const std::string& arguments, const std::filesystem::path& scratch);

}  // namespace salvex::testing
