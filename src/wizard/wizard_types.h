#pragma once

#include <cstdint>

namespace salvex::wizard {

// The wizard's steps, in their order. The partition step and the range
// step hold the same place (the scan state's step number 1): a Standard
// Scan chooses a partition there, an Advance Scan a range of sectors.
// `starting` holds only while the disk step is first built.
enum class WizardStep { starting, disk, partition, range, foundFileSystems, items };

// The step's number as the scan state records it: -1 while starting, then
// 0 disk, 1 partition or range, 2 found file systems, 3 items.
constexpr int StepNumber(WizardStep step) {
  switch (step) {
    case WizardStep::starting:
      return -1;
    case WizardStep::disk:
      return 0;
    case WizardStep::partition:
    case WizardStep::range:
      return 1;
    case WizardStep::foundFileSystems:
      return 2;
    case WizardStep::items:
      return 3;
  }
  return -1;
}

// The four trees of the left pane; one is shown at a time.
enum class TreeKind { disks, partitions, foundFileSystems, items };

// The window's controls whose visibility the wizard drives.
enum class Control {
  next,
  back,
  stop,
  searchPartitions,
  scanTypeGroup,  // the "Scan Type" group with its two options
  scanTypeHelp,
  rangeGroup,  // "Select File System", Start Sector, End Sector
  rangeHelp,
  fileTypeGroup,  // Search by File Type: the types to look for, free space or all
};

// How a control or tree is left: shown or hidden, enabled or disabled.
struct Shown {
  bool visible = false;
  bool enabled = false;

  static constexpr Shown Yes() { return {true, true}; }
  static constexpr Shown No() { return {false, false}; }
  static constexpr Shown Hidden() { return {false, true}; }
  static constexpr Shown Disabled() { return {true, false}; }
  bool operator==(const Shown&) const = default;
};

// The item list's columns: the single "Details" column of the steps before
// the items, or the six item columns after a Standard Scan or a snapshot
// load, or after a mount (the same columns; Size right-aligned in both).
enum class ListLayout { details, itemsSizeRight, itemsSizeLeft };

enum class ViewMode { icons, list, details };

// The commands of the menu bar, the button bar and the context menu.
enum class Command {
  recoverSelected,
  recoverAll,
  recoverMarked,  // the files and folders marked with the check boxes
  saveSnapshot,
  loadSnapshot,
  viewIcons,
  viewList,
  viewDetails,
  findFiles,
  fileFilters,
  settings,
  driveInformation,
  viewSectors,  // a stretch of the disk's sectors in hex
  exit,
  helpContents,
  about,
  openDiskImage,  // the Recovery menu's, in the disk step
  refreshDisks,   // likewise: the machine's disks listed again
  createDiskImage,  // likewise, of the disk chosen
  // The item list's context menu only.
  open,
  openWith,
  rename,
  properties,
  // The button bar's home-page button.
  homePage,
};

// Whether the command has an entry in the menu bar, whose enabled state
// then decides whether the command acts.
constexpr bool HasMenuEntry(Command command) {
  return command != Command::open && command != Command::openWith && command != Command::rename &&
         command != Command::properties && command != Command::homePage;
}

// The two kinds of snapshot file: a tree snapshot (".RSNP") of the items,
// and an Advance Scan's hits (".RS2").
enum class SnapshotKind { tree, advance };

// Keys the window hands to the wizard before its controls see them.
// parentFolder: Backspace or Alt+Up; home and end: the list's first and
// last rows.
enum class Key { f1, escape, enter, tab, applications, f2, parentFolder, home, end };

// The first or the last row of the item list, in the order it is shown.
enum class ListEnd { first, last };

// Where a tree click fell on its node: on the icon, the label or right of
// the label, or elsewhere on the row (the indent, the expand button).
enum class TreeHit { onItem, elsewhere };

}  // namespace salvex::wizard
