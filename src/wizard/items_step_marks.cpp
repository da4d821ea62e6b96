// The items step's check boxes: marks on list rows and tree folders, kept
// across folders, and what they stand for.

#include <memory>

#include "items/item_paths.h"
#include "items/volume_kind.h"
#include "wizard/wizard_controller.h"

namespace salvex::wizard {

MarkedItems::FilesOfNode WizardController::FilesOfItemsNode() const {
  if (!itemsTree_) return [](TreeNodeId) { return std::span<const std::uint32_t>(); };
  if (Source() == ItemSource::fat) {
    auto paths = std::make_shared<const ItemPaths<FatKind>>(session_.items, *itemsTree_);
    return [paths](TreeNodeId node) { return paths->FilesOfNode(node); };
  }
  auto paths = std::make_shared<const ItemPaths<NtfsKind>>(session_.items, *itemsTree_);
  return [paths](TreeNodeId node) { return paths->FilesOfNode(node); };
}

void WizardController::MarkListRow(std::size_t row, bool marked) {
  if (step_ != WizardStep::items || !itemsTree_ || row >= list_.RowCount()) return;
  if (const auto node = list_.FolderNode(row)) {
    marks_.SetFolder(*itemsTree_, FilesOfItemsNode(), *node, marked);
  } else {
    marks_.SetFile(*itemsTree_, FilesOfItemsNode(), list_.At(row).position, shownNode_, marked);
  }
  view_.MarksChanged();
}

void WizardController::MarkTreeNode(TreeNodeId node, bool marked) {
  if (step_ != WizardStep::items || !itemsTree_ || !itemsTree_->Contains(node)) return;
  marks_.SetFolder(*itemsTree_, FilesOfItemsNode(), node, marked);
  view_.MarksChanged();
}

MarkedItems::State WizardController::ListRowMark(std::size_t row) const {
  if (!itemsTree_ || row >= list_.RowCount()) return MarkedItems::State::unmarked;
  if (const auto node = list_.FolderNode(row)) return marks_.FolderState(*itemsTree_, *node);
  return marks_.FileMarked(*itemsTree_, list_.At(row).position, shownNode_) ? MarkedItems::State::marked
                                                                             : MarkedItems::State::unmarked;
}

MarkedItems::State WizardController::TreeNodeMark(TreeNodeId node) const {
  if (!itemsTree_ || !itemsTree_->Contains(node)) return MarkedItems::State::unmarked;
  return marks_.FolderState(*itemsTree_, node);
}

WizardController::MarkedCount WizardController::CountMarked() const {
  MarkedCount count;
  if (!itemsTree_ || marks_.Empty()) return count;
  const auto sizeOf = [this](std::uint32_t position) {
    return Source() == ItemSource::fat ? session_.items.FatFiles().Items()[position].size
                                       : session_.items.NtfsFiles().Items()[position].size;
  };
  for (const std::uint32_t position : marks_.Files()) {
    ++count.files;
    count.bytes += sizeOf(position);
  }
  const MarkedItems::FilesOfNode filesOf = FilesOfItemsNode();
  std::vector<TreeNodeId> pending(marks_.Folders().begin(), marks_.Folders().end());
  while (!pending.empty()) {
    const TreeNodeId node = pending.back();
    pending.pop_back();
    if (!itemsTree_->Contains(node)) continue;
    for (const std::uint32_t position : filesOf(node)) {
      ++count.files;
      count.bytes += sizeOf(position);
    }
    for (const TreeNodeId child : itemsTree_->Children(node)) pending.push_back(child);
  }
  return count;
}

}  // namespace salvex::wizard
