// The items step's list: opening a folder or a file, renaming, the keys
// the window hands over first.

#include "platform/temp_folder.h"
#include "session/open_copy.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {
namespace {

constexpr const char* kSlashInNameMessage = "A name cannot contain \"/\": the old name is kept.";

}  // namespace

void WizardController::OpenFolder(TreeNodeId node, bool fromList) {
  ShowFolderOfNode(node);
  view_.SelectTreeNode(TreeKind::items, node);
  view_.ExpandTreeNode(TreeKind::items, node);
  if (fromList) {
    // Opened from the list, the keys stay there, on its first row.
    treeIsActive_ = false;
    view_.FocusList();
    if (list_.RowCount() > 0) view_.SelectListRow(0);
    return;
  }
  view_.FocusTree(TreeKind::items);
  treeIsActive_ = true;
}

void WizardController::OnListClick() { treeIsActive_ = false; }

void WizardController::OnListDoubleClick() {
  treeIsActive_ = false;
  OpenSelectedItem(false);
}

void WizardController::OpenSelectedItem(bool chooser) {
  if (step_ != WizardStep::items || Busy()) return;
  if (treeIsActive_) {
    if (const auto node = view_.SelectedTreeNode(TreeKind::items)) OpenFolder(*node);
    return;
  }
  const auto row = view_.SelectedListRow();
  if (!row || *row >= list_.RowCount()) return;
  if (list_.At(*row).folder) {
    if (const auto node = list_.FolderNode(*row)) OpenFolder(*node, true);
    return;
  }
  OpenFile(*row, chooser);
}

void WizardController::OpenFile(std::size_t row, bool chooser) {
  std::string error;
  if (tempFolder_.empty()) tempFolder_ = MakePrivateFolder("", error);
  // A folder of its own for each opened file, so two files of one name
  // never overwrite each other while a program has one open.
  const std::string folder = tempFolder_.empty() ? "" : MakePrivateFolder(tempFolder_, error);
  std::shared_ptr<HostFolder> destination;
  if (!folder.empty()) destination = HostFolder::Open(folder, error, session_.FilesBeingRead());
  if (!destination) {
    view_.Notice(NoticeKind::error, error);
    return;
  }
  const std::uint32_t position = list_.At(row).position;
  auto result = std::make_shared<ExtractionResult>();
  view_.SetStatus("Opening " + list_.Name(row));
  Run([this, position, result, destination] { *result = ExtractForOpening(session_, position, *destination, view_); },
      [this, result, chooser, destination] {
        view_.SetStatus("");
        if (result->outcome != ExtractionOutcome::written) {
          const std::string reason = result->error.empty() ? "its data could not be read" : result->error;
          view_.Notice(NoticeKind::error, "Cannot open " + result->name + ": " + reason);
          return;
        }
        std::string openError;
        if (!shell_.OpenFile(destination->PathOf(result->name), chooser, openError)) {
          view_.Notice(NoticeKind::error, openError);
        }
      });
}

// ---- Rename, view mode, keys --------------------------------------------

void WizardController::BeginRename() {
  if (treeIsActive_ || step_ != WizardStep::items) return;
  const auto row = view_.SelectedListRow();
  if (!row || *row >= list_.RowCount()) return;
  OnRenameStarted();
  view_.BeginListRename(*row);
}

void WizardController::OnRenameStarted() {
  if (treeIsActive_) return;
  const auto row = view_.SelectedListRow();
  if (!row || *row >= list_.RowCount()) return;
  renameRow_ = *row;
  renameFallbackName_ = list_.Name(*row).substr(0, 256);
  renameInProgress_ = true;
}

void WizardController::OnRenameEnded(const std::string& newText) {
  if (!renameInProgress_) return;
  renameInProgress_ = false;
  if (renameRow_ >= list_.RowCount()) return;
  // A name with "/" would be another path on this computer: refused, the
  // old name stays.
  const bool refused = newText.find_first_of(std::string_view("/\0", 2)) != std::string::npos;
  if (refused) view_.Notice(NoticeKind::error, kSlashInNameMessage);
  const std::string name =
      newText.empty() || refused || step_ != WizardStep::items ? renameFallbackName_ : newText;
  list_.Rename(renameRow_, name);
  if (const auto node = list_.FolderNode(renameRow_)) {
    if (itemsTree_ && itemsTree_->Contains(*node)) itemsTree_->SetText(*node, name);
    view_.SetTreeNodeText(TreeKind::items, *node, name);
  }
  view_.RefreshListRow(renameRow_);
}

bool WizardController::CanShowRowMenu() const {
  return step_ == WizardStep::items && !treeIsActive_ && !renameInProgress_ && list_.HoldsItems() &&
         view_.SelectedListRow().has_value();
}

bool WizardController::OnKey(Key key) {
  const bool itemsStep = step_ == WizardStep::items;
  switch (key) {
    case Key::escape:
      return true;
    case Key::f1:
    case Key::applications:
      return false;  // the window's Help Contents and row menu
    case Key::enter:
      // During a rename the editor takes Enter to end the edit.
      if (renameInProgress_) return false;
      if (itemsStep) {
        OpenSelectedItem(false);
      } else if (nextShown_ && !Busy()) {
        // On a disk, a partition or a file system chosen: as Next.
        OnNext();
      }
      return true;
    case Key::tab:
      if (!itemsStep) return false;
      if (renameInProgress_) return false;
      if (!treeIsActive_) {
        view_.FocusTree(TreeKind::items);
        treeIsActive_ = true;
      } else {
        view_.FocusList();
        treeIsActive_ = false;
      }
      return true;
    case Key::f2:
      if (renameInProgress_) return false;
      if (itemsStep && !treeIsActive_) BeginRename();
      return true;
    case Key::parentFolder:
      if (!itemsStep || treeIsActive_ || renameInProgress_) return false;
      ShowParentFolder();
      return true;
    case Key::home:
    case Key::end:
      if (!itemsStep || treeIsActive_ || renameInProgress_ || list_.RowCount() == 0) return false;
      // What is shown first or last, not the store's order: the list may be sorted.
      if (const auto row = view_.ShownListRow(key == Key::home ? ListEnd::first : ListEnd::last)) {
        view_.SelectListRow(*row);
      }
      return true;
  }
  return false;
}

}  // namespace salvex::wizard
