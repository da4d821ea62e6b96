#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/sector.h"
#include "wizard/wizard_types.h"

namespace salvex::wizard {

// The face of each wizard step, as data: the information panel's label
// sets, the Quick Help texts, the tooltips and help panels, and the controls
// each step shows or hides. The controller decides when each applies.

inline constexpr std::size_t kPanelRows = 5;

// One label set of the information panel: five rows (a label, its first
// value, whether it is shown) and the status line.
struct PanelLabelSet {
  struct Row {
    std::string label;
    std::string value;
    bool shown = false;
  };
  std::array<Row, kPanelRows> rows;
  bool statusShown = false;
  std::string status;
};

// fileTypeSearch: what a Search by File Type has found so far.
enum class LabelSet {
  disk = 0,
  partition = 1,
  standardScan = 2,
  advanceScan = 3,
  fileSystem = 4,
  none,
  fileTypeSearch,
};

// Sets 3 and 4 take their FAT or NTFS form from the range's type; set 2
// its status line from the type of the volume being scanned.
PanelLabelSet MakeLabelSet(LabelSet set, FsType rangeType, FsType volumeType);

enum class QuickHelp {
  diskStep,
  partitionStep,
  standardScanStarted,
  advanceScanStarted,
  quickSearchRunning,
  fileSystemStep,
  mountStarted,
  itemsStep,
  fileTypeStep,           // the partition step of a Search by File Type
  fileTypeSearchStarted,
};

// Each text starts with a line break, and every line is indented by 16
// blanks.
std::string QuickHelpText(QuickHelp help);

// The tooltips of the window's buttons and of the button bar.
inline constexpr const char* kNextTooltip = "Go to next step";
inline constexpr const char* kBackTooltip = "Go to previous step";
inline constexpr const char* kStopTooltip = "Stops the current process";
inline constexpr const char* kSearchPartitionsTooltip = "Click here to make a quick search of lost partitions";
inline constexpr const char* kHomePageTooltip = "Click here to visit software home page";
// The button bar's tooltip for a command; null for commands it has no
// button for.
const char* ButtonBarTooltip(Command command);

// The panel that resting the mouse on a small help button shows: a
// heading, then sections of a sub-heading (possibly empty) and lines.
struct HelpPanel {
  std::string heading;
  std::vector<std::pair<std::string, std::vector<std::string>>> sections;
};
HelpPanel ScanTypeHelpPanel();
HelpPanel RangeHelpPanel();

enum class Direction { entering, leaving };

// The faces of the controls table: what the window shows entering and
// leaving the partition (or range) step, the items after a Standard Scan
// (or a Search by File Type), while the sweep runs, the found file systems,
// the items of a mount, and while a Search by File Type runs.
enum class StepView { partition, standardItems, sweep, foundFileSystems, mountedItems, contentSearch };

// One row of the controls table: what a step shows or hides when it is
// entered or left. What a step does besides (the range preset, the items
// freed) is the step's own.
struct StepControls {
  std::vector<std::pair<Control, Shown>> controls;
  std::vector<std::pair<Control, Shown>> advanceOnly;  // applied in the Advance Scan only
  std::vector<std::pair<Control, Shown>> fileTypeOnly;  // applied in a Search by File Type only
  std::vector<std::pair<TreeKind, Shown>> trees;
  std::optional<ListLayout> listLayout;  // the list's columns are set anew
  bool emptyList = false;
  // The status line is cleared; the first row's value is reset by the label
  // set every such step applies next.
  bool clearStatus = false;
  bool hideFirstLabel = false;
  bool resetProgress = false;        // the progress bar to 0 and hidden
};

// The row for a face and direction; null for a combination the table does
// not have (the sweep is never left, only ended).
const StepControls* FindStepControls(StepView view, Direction direction);

// The "Select File System" list: FAT16, FAT32, NTFS, FAT12, exFAT at
// positions 0 to 4, as kAdvanceFileSystems has them.
inline constexpr std::array<const char*, 5> kFileSystemChoices = {"FAT16", "FAT32", "NTFS", "FAT12", "exFAT"};
int FileSystemPosition(FsType type);
FsType FileSystemAtPosition(int position);

// The title of the list's single column before the items step: "Details"
// after 44 blanks.
std::string DetailsColumnTitle();

struct ListColumn {
  const char* title;
  int width;
  bool rightAligned;
};
std::array<ListColumn, 6> ItemColumns(ListLayout layout);
inline constexpr int kDetailsColumnWidth = 500;

}  // namespace salvex::wizard
