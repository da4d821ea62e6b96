// A Search by File Type: in the partition step the user picks a partition
// or the whole disk and ticks the file types; Next searches it on the
// worker for files by their content, which the items step then shows under
// "Found by Content/<type>/", as it shows any scan's items.

#include "session/file_type_search.h"
#include "wizard/file_type_choices.h"
#include "wizard/tree_captions.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

std::string FoundText(std::uint32_t filesFound, bool stopped) {
  const std::string where = std::string("\"") + kFoundByContentName + "\", by type.";
  if (filesFound == 0) {
    return stopped ? "The search was stopped before any file of the types chosen was found."
                   : "No file of the types chosen was found in the area searched.";
  }
  const std::string count = std::to_string(filesFound) + " file(s)";
  return stopped ? "The search was stopped: the " + count + " found before are listed under " + where
                 : count + " found by their content are listed under " + where;
}

}  // namespace

void WizardController::NextFromFileTypes() {
  const FileTypeChoices choices = view_.ReadFileTypeChoices();
  std::vector<std::string> types = CheckedFileTypes(choices);
  if (types.empty()) {
    view_.Notice(NoticeKind::error, kNoFileTypeMessage);
    Show(Control::next, Shown::Yes());
    return;
  }
  StartContentSearch(std::move(types), choices.allSpace);
}

void WizardController::StartContentSearch(std::vector<std::string> types, bool allSpace) {
  SetMenuState(MenuState::startOrWorking);
  SetQuickHelp(QuickHelp::fileTypeSearchStarted);
  CreateTree(TreeKind::items, kItemsRoot);
  view_.SetTree(TreeKind::items, nullptr);
  view_.SetTreeShown(TreeKind::items, Shown::No());
  ShowStepControls(StepView::contentSearch, Direction::entering);
  SetInfoPanel(LabelSet::fileTypeSearch);
  CarveRequest request;
  request.types = std::move(types);
  request.allSpace = allSpace;
  auto result = std::make_shared<ContentSearchResult>();
  Run([this, request, result] { *result = SearchByFileType(session_, request, view_, *itemsTree_, kRoot); },
      [this, result] { FinishContentSearch(result->outcome, result->filesFound, result->stopped); });
}

void WizardController::FinishContentSearch(const Outcome& outcome, std::uint32_t filesFound, bool stopped) {
  view_.SetStatus("");
  if (!outcome.Ok()) {
    // Nothing was searched: the step stays the partition step, as it was.
    FreeItems();
    view_.Notice(NoticeKind::error, "The search by file type did not run: " + outcome.error);
    view_.SetTreeShown(TreeKind::partitions, Shown::Yes());
    Show(Control::back, Shown::Yes());
    Show(Control::next, Shown::Yes());
    Show(Control::searchPartitions, Shown::Yes());
    Show(Control::fileTypeGroup, Shown::Yes());
    ShowPartitionStepFace();
    FocusStepTree();
    return;
  }
  ShowStepControls(StepView::standardItems, Direction::entering);
  treeIsActive_ = false;
  EnterItemsStep();
  // The types found, at once: the root holds nothing else.
  const auto& top = itemsTree_->Children(kRoot);
  if (!top.empty()) {
    view_.ExpandTreeNode(TreeKind::items, top.front());
    TreeClickItems(top.front());
  }
  for (const std::string& warning : outcome.warnings) view_.Notice(NoticeKind::information, warning);
  view_.Notice(NoticeKind::information, FoundText(filesFound, stopped));
  SetQuickHelp(QuickHelp::itemsStep);
}

}  // namespace salvex::wizard
