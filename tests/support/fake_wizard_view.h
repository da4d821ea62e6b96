#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "platform/shell_services.h"
#include "wizard/item_list_model.h"
#include "wizard/wizard_view.h"

namespace salvex::testing {

// A window without a screen: remembers what the wizard showed, answers its
// questions from a script (No when the script is empty), and lets a test
// pick list rows and tree nodes as a user would.
class FakeWizardView final : public wizard::WizardView {
 public:
  struct Box {
    NoticeKind kind;
    std::string text;
  };

  // UiPort
  void SetPanelValue(std::string_view label, std::string_view value) override {
    panelValues[std::string(label)] = std::string(value);
  }
  void SetStatus(std::string_view text) override { status = text; }
  void ShowProgress(bool visible) override { progressVisible = visible; }
  void SetProgress(int percent) override { progress = percent; }
  void SetStopVisible(bool visible) override { controls[wizard::Control::stop] = {visible, visible}; }
  void Notice(NoticeKind kind, std::string_view text) override { boxes.push_back({kind, std::string(text)}); }
  bool Confirm(std::string_view text) override {
    boxes.push_back({NoticeKind::question, std::string(text)});
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  // Trees
  void SetTree(wizard::TreeKind kind, const FolderTreeModel* tree) override { trees[kind] = tree; }
  void SetTreeShown(wizard::TreeKind kind, wizard::Shown shown) override { treeShown[kind] = shown; }
  void SelectTreeNode(wizard::TreeKind kind, TreeNodeId node) override { selectedNode[kind] = node; }
  void ExpandTreeNode(wizard::TreeKind kind, TreeNodeId node) override { expanded[kind].push_back(node); }
  void SetTreeNodeText(wizard::TreeKind, TreeNodeId, std::string_view) override {}
  void ShowTreeNodes(wizard::TreeKind kind, const std::vector<bool>* shown) override { shownNodes[kind] = shown; }
  void ShowViewFilter(const wizard::ViewFilter& filter) override { viewFilter = filter; }
  // Whether the tree draws a node, as the view filters leave it.
  bool NodeShown(wizard::TreeKind kind, TreeNodeId node) const {
    const auto found = shownNodes.find(kind);
    if (found == shownNodes.end() || found->second == nullptr) return true;
    return node < found->second->size() && (*found->second)[node];
  }
  std::optional<TreeNodeId> SelectedTreeNode(wizard::TreeKind kind) const override {
    const auto found = selectedNode.find(kind);
    return found == selectedNode.end() ? std::nullopt : std::optional<TreeNodeId>(found->second);
  }
  void FocusTree(wizard::TreeKind) override { focus = "tree"; }

  // List
  void SetListLayout(wizard::ListLayout layout) override { listLayout = layout; }
  void ShowListRows(const wizard::ItemListModel* rows) override { list = rows; }
  void SetListVisible(bool visible) override { listVisible = visible; }
  void SetViewMode(wizard::ViewMode mode) override { viewMode = mode; }
  std::optional<std::size_t> SelectedListRow() const override { return selectedRow; }
  std::vector<std::size_t> SelectedListRows() const override {
    if (!selectedRows.empty()) return selectedRows;
    return selectedRow ? std::vector<std::size_t>{*selectedRow} : std::vector<std::size_t>{};
  }
  void SelectListRow(std::size_t row) override {
    selectedRow = row;
    selectedRows.clear();
  }
  std::optional<std::size_t> ShownListRow(wizard::ListEnd end) const override {
    const std::size_t count = list == nullptr ? 0 : list->RowCount();
    if (count == 0) return std::nullopt;
    if (!shownOrder.empty()) return end == wizard::ListEnd::first ? shownOrder.front() : shownOrder.back();
    return end == wizard::ListEnd::first ? 0 : count - 1;
  }
  void FocusList() override { focus = "list"; }
  void BeginListRename(std::size_t row) override { renamingRow = row; }
  void MarksChanged() override { ++marksChanged; }
  void RefreshListRow(std::size_t) override {}

  // Panel and controls
  void SetPanelLabels(const wizard::PanelLabelSet& set) override {
    labels = set;
    panelValues.clear();
    for (const auto& row : set.rows) {
      if (row.shown) panelValues[row.label] = row.value;
    }
    status = set.status;
  }
  void HideFirstPanelLabel() override { labels.rows[0].shown = false; }
  void SetControlShown(wizard::Control control, wizard::Shown shown) override { controls[control] = shown; }
  void SetScanTypeChecked(ScanType type) override { checkedScanType = type; }
  void SetRangeFields(const wizard::RangeFields& fields) override { range = fields; }
  wizard::RangeFields ReadRangeFields() const override { return range; }
  void SetFileTypeChoices(const wizard::FileTypeChoices& choices) override { fileTypes = choices; }
  wizard::FileTypeChoices ReadFileTypeChoices() const override { return fileTypes; }
  void SetQuickHelp(std::string_view text) override { quickHelp = text; }
  void SetCommandEnabled(wizard::Command command, bool enabled) override { commands[command] = enabled; }
  bool CommandEnabled(wizard::Command command) const override {
    const auto found = commands.find(command);
    return found != commands.end() && found->second;
  }
  void Quit(int statusCode) override { quitStatus = statusCode; }

  // What a test reads.
  bool Visible(wizard::Control control) const {
    const auto found = controls.find(control);
    return found != controls.end() && found->second.visible;
  }
  std::vector<std::string> ShownLabels() const {
    std::vector<std::string> shown;
    for (const auto& row : labels.rows) {
      if (row.shown) shown.push_back(row.label);
    }
    return shown;
  }
  // The texts of the tree's nodes below its root, in order.
  std::vector<std::string> TreeNodes(wizard::TreeKind kind) const {
    std::vector<std::string> texts;
    const auto found = trees.find(kind);
    if (found == trees.end() || found->second == nullptr) return texts;
    for (const TreeNodeId node : found->second->Children(FolderTreeModel::kRoot)) {
      texts.push_back(found->second->Text(node));
    }
    return texts;
  }
  // A node's row in a tree with columns: its text, then its cells.
  std::vector<std::string> TreeRow(wizard::TreeKind kind, TreeNodeId node) const {
    std::vector<std::string> row;
    const FolderTreeModel* tree = trees.at(kind);
    for (std::size_t column = 0; column < std::max<std::size_t>(1, tree->Columns().size()); ++column) {
      row.push_back(tree->Cell(node, column));
    }
    return row;
  }
  // The list's Name column, in order.
  std::vector<std::string> ListNames() const {
    std::vector<std::string> names;
    for (std::size_t row = 0; list != nullptr && row < list->RowCount(); ++row) names.push_back(list->Row(row).name);
    return names;
  }
  std::string LastBox() const { return boxes.empty() ? "" : boxes.back().text; }

  std::map<std::string, std::string> panelValues;
  wizard::PanelLabelSet labels;
  std::string status;
  bool progressVisible = false;
  int progress = 0;
  std::vector<Box> boxes;
  std::deque<bool> answers;
  std::map<wizard::TreeKind, const FolderTreeModel*> trees;
  std::map<wizard::TreeKind, wizard::Shown> treeShown;
  std::map<wizard::TreeKind, TreeNodeId> selectedNode;
  std::map<wizard::TreeKind, std::vector<TreeNodeId>> expanded;
  std::string focus;
  wizard::ListLayout listLayout = wizard::ListLayout::details;
  const wizard::ItemListModel* list = nullptr;
  bool listVisible = true;
  wizard::ViewMode viewMode = wizard::ViewMode::details;
  std::optional<std::size_t> selectedRow;
  std::vector<std::size_t> selectedRows;  // when several are selected
  std::vector<std::size_t> shownOrder;    // the rows as a sorted list shows them; empty: in store order
  std::optional<std::size_t> renamingRow;
  int marksChanged = 0;
  std::map<wizard::TreeKind, const std::vector<bool>*> shownNodes;
  wizard::ViewFilter viewFilter;
  std::map<wizard::Control, wizard::Shown> controls;
  ScanType checkedScanType = ScanType::standard;
  wizard::RangeFields range;
  wizard::FileTypeChoices fileTypes;
  std::string quickHelp;
  std::map<wizard::Command, bool> commands;
  std::optional<int> quitStatus;
};

// Records what the desktop was asked to open.
class FakeShell final : public ShellServices {
 public:
  bool OpenFile(const std::string& path, bool chooseProgram, std::string&) override {
    opened.push_back({path, chooseProgram});
    return true;
  }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  bool OpenFolder(const std::string& path, std::string&) override {
    folders.push_back(path);
    return true;
  }

  std::vector<std::pair<std::string, bool>> opened;
  std::vector<std::string> urls;
  std::vector<std::string> folders;
};

}  // namespace salvex::testing
