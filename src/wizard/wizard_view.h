#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disk/scan_state.h"
#include "items/folder_tree.h"
#include "platform/ui_port.h"
#include "wizard/step_presentation.h"
#include "wizard/view_filter.h"
#include "wizard/wizard_types.h"

namespace salvex {
class FolderTreeModel;
}

namespace salvex::wizard {

class ItemListModel;

// The file-type group of a Search by File Type: one check box per family
// the search knows (its name, and a tool tip naming the other extensions it
// covers), and whether every sector of a volume is read or only its free
// clusters.
struct FileTypeChoice {
  std::string name;
  std::string toolTip;
  bool checked = true;
};
struct FileTypeChoices {
  std::vector<FileTypeChoice> types;
  bool allSpace = false;
};

// What the user typed into the Advance range group.
struct RangeFields {
  int fileSystemPosition = 1;  // in "Select File System": 0 FAT16, 1 FAT32, 2 NTFS, 3 FAT12, 4 exFAT
  std::string startSector;
  std::string endSector;
};

// The wizard controller's only way to the screen. The desktop window
// implements it; tests implement it with a fake. The controller calls it
// on the user-interface thread. The engines' calls (the UiPort half) come
// from worker threads too: an implementation marshals those onto its own
// thread, and waits for the answer of a box.
class WizardView : public UiPort {
 public:
  // Trees: the view draws `tree` (null: the tree is destroyed). The model
  // stays the controller's; the view reads it only when told to draw it,
  // never while a worker fills it.
  virtual void SetTree(TreeKind kind, const FolderTreeModel* tree) = 0;
  virtual void SetTreeShown(TreeKind kind, Shown shown) = 0;
  virtual void SelectTreeNode(TreeKind kind, TreeNodeId node) = 0;
  // Expands the node and every node above it.
  virtual void ExpandTreeNode(TreeKind kind, TreeNodeId node) = 0;
  // The node's text (or, in a tree with columns, its cells) changed.
  virtual void SetTreeNodeText(TreeKind kind, TreeNodeId node, std::string_view text) = 0;
  // Draws only the nodes marked in `shown` (by node; null: every node), as
  // the view filters leave them. The vector stays the controller's.
  virtual void ShowTreeNodes(TreeKind kind, const std::vector<bool>* shown) = 0;
  virtual std::optional<TreeNodeId> SelectedTreeNode(TreeKind kind) const = 0;
  virtual void FocusTree(TreeKind kind) = 0;

  // The item list: its columns, its rows (null: emptied; the rows are read
  // from the model on demand until the next call), its visibility and mode.
  virtual void SetListLayout(ListLayout layout) = 0;
  virtual void ShowListRows(const ItemListModel* rows) = 0;
  virtual void SetListVisible(bool visible) = 0;
  virtual void SetViewMode(ViewMode mode) = 0;
  virtual std::optional<std::size_t> SelectedListRow() const = 0;
  // Every selected row (Recover Selected takes them all), in list order.
  virtual std::vector<std::size_t> SelectedListRows() const = 0;
  virtual void SelectListRow(std::size_t row) = 0;
  // The row the list shows first or last, in the order shown (a header's
  // sort included); none when it is empty.
  virtual std::optional<std::size_t> ShownListRow(ListEnd end) const = 0;
  virtual void FocusList() = 0;
  // The view filters as the controller holds them (after it reset them).
  virtual void ShowViewFilter(const ViewFilter& filter) = 0;
  // The marks of the list's check boxes and the items tree's changed: they
  // are drawn anew (and their count in the status bar).
  virtual void MarksChanged() = 0;
  // Opens the in-place editor on a row's name.
  virtual void BeginListRename(std::size_t row) = 0;
  virtual void RefreshListRow(std::size_t row) = 0;

  // The information panel's labels and first values; the engines then write
  // the values through SetPanelValue.
  virtual void SetPanelLabels(const PanelLabelSet& set) = 0;
  // Hides the label of the first row (its value stays).
  virtual void HideFirstPanelLabel() = 0;

  virtual void SetControlShown(Control control, Shown shown) = 0;
  virtual void SetScanTypeChecked(ScanType type) = 0;
  virtual void SetRangeFields(const RangeFields& fields) = 0;
  virtual RangeFields ReadRangeFields() const = 0;
  virtual void SetFileTypeChoices(const FileTypeChoices& choices) = 0;
  virtual FileTypeChoices ReadFileTypeChoices() const = 0;
  virtual void SetQuickHelp(std::string_view text) = 0;
  virtual void SetCommandEnabled(Command command, bool enabled) = 0;
  virtual bool CommandEnabled(Command command) const = 0;

  // Ends the program with `status` once the current event is handled.
  virtual void Quit(int status) = 0;
  // Closes the Yes/No question the window shows, if any, as a No: its
  // subject has gone (the work it would have stopped has ended).
  virtual void CloseQuestion() {}
};

}  // namespace salvex::wizard
