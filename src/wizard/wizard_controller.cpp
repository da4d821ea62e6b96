#include "wizard/wizard_controller.h"

#include <new>

#include "platform/temp_folder.h"
#include "session/disk_session.h"
#include "wizard/file_type_choices.h"
#include "wizard/recovery_texts.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

constexpr const char* kStopQuestion = "Do you want to stop the current process ?";
constexpr const char* kExitQuestion = "Do you really want to exit ?";

}  // namespace

WizardController::WizardController(Session& session, WizardView& view, Worker& worker, ShellServices& shell,
                                   Options options)
    : session_(session),
      view_(view),
      worker_(worker),
      shell_(shell),
      options_(std::move(options)),
      list_(session.items, session.deepScan.hits, options_.typeName) {}

WizardController::~WizardController() { RemoveFolderTree(tempFolder_); }

// ---- Start-up -----------------------------------------------------------

void WizardController::StartUp() {
  ScanState& scan = session_.scan;
  SetStep(WizardStep::starting);
  FolderTreeModel& disks = CreateDiskTree();
  SetStep(WizardStep::disk);
  ListDisks(session_, options_.images, refusedImages_);
  for (std::size_t slot = 0; slot < session_.disks.diskCount; ++slot) DiskNode(static_cast<std::uint16_t>(slot));
  view_.SetTree(TreeKind::disks, &disks);
  view_.SetTreeShown(TreeKind::disks, Shown::Yes());
  view_.ExpandTreeNode(TreeKind::disks, kRoot);

  EnterDiskStep();
  view_.SetListLayout(ListLayout::details);
  FocusStepTree();

  scan.scanType = ScanType::standard;
  view_.SetScanTypeChecked(ScanType::standard);
  Show(Control::scanTypeGroup, Shown::Yes());
  Show(Control::scanTypeHelp, Shown::Yes());
  view_.ShowProgress(false);
  Show(Control::rangeGroup, Shown::Hidden());
  Show(Control::rangeHelp, Shown::Hidden());
  view_.SetFileTypeChoices(DefaultFileTypeChoices());
  Show(Control::fileTypeGroup, Shown::Hidden());
  Show(Control::searchPartitions, Shown::Hidden());
  Show(Control::next, Shown::No());
  Show(Control::back, Shown::No());
  Show(Control::stop, Shown::No());
  session_.settings = RecoverySettings{};
  for (const std::string& refused : refusedImages_) view_.Notice(NoticeKind::error, refused);
}

// ---- Workers ------------------------------------------------------------

void WizardController::Run(Worker::Work work, std::function<void()> done) {
  worker_.Start(std::move(work), [this, done = std::move(done)](std::exception_ptr failure) {
    session_.scan.stopRequested = false;
    // The work the Stop question was about has ended: the question goes.
    if (stopAsked_) view_.CloseQuestion();
    if (failure) {
      OnWorkerFailed(failure);
      return;
    }
    done();
  });
}

void WizardController::OnWorkerFailed(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    view_.Notice(NoticeKind::error, kOutOfMemoryMessage);
  } catch (const std::exception& error) {
    view_.Notice(NoticeKind::error, error.what());
  } catch (...) {
    view_.Notice(NoticeKind::error, "An unexpected error ended the program");
  }
  // What the worker left half-built cannot be trusted: end, as the engines do
  // when memory runs out. Not 0: the run did not succeed.
  view_.Quit(1);
}

// ---- Next, Back and tree clicks: each to its step -------------------------

void WizardController::OnNext() {
  if (Busy()) return;
  session_.filters.Clear();
  Show(Control::next, Shown::No());
  view_.SetViewMode(ViewMode::details);
  switch (step_) {
    case WizardStep::disk:
      NextFromDisk();
      return;
    case WizardStep::partition:
      NextFromPartition();
      return;
    case WizardStep::range:
      NextFromRange();
      return;
    case WizardStep::foundFileSystems:
      StartMount();
      return;
    case WizardStep::starting:
    case WizardStep::items:
      return;
  }
}

void WizardController::OnBack() {
  if (Busy()) return;
  const FolderTreeModel* found = Tree(TreeKind::foundFileSystems);
  const bool advance = session_.scan.scanType == ScanType::advance;
  const bool discardsResults =
      step_ == WizardStep::items ||
      (step_ == WizardStep::foundFileSystems && advance && found != nullptr && !found->Children(kRoot).empty());
  if (discardsResults && !view_.Confirm(kDiscardResultsQuestion)) return;
  view_.SetViewMode(ViewMode::details);
  Show(Control::next, Shown::No());
  EmptyList();
  switch (step_) {
    case WizardStep::partition:
    case WizardStep::range:
      LeavePartitionStep();
      EnterDiskStep();
      // As it was left: the disk chosen, its panel filled, Next shown.
      ChooseSelectedNodeAgain(TreeKind::disks);
      FocusStepTree();
      return;
    case WizardStep::items:
      LeaveItemsStep();
      if (advance) {
        ReturnToFoundFileSystemStep();
      } else {
        ReturnToPartitionStep();
      }
      return;
    case WizardStep::foundFileSystems:
      if (!advance) return;
      LeaveFoundFileSystemStep();
      ReturnToRangeStep();
      return;
    case WizardStep::starting:
    case WizardStep::disk:
      return;
  }
}

void WizardController::OnTreeClick(std::optional<TreeNodeId> node, TreeHit hit) {
  if (Busy()) return;
  treeIsActive_ = true;
  const std::optional<TreeKind> kind = TreeOfStep(step_);
  const FolderTreeModel* tree = kind ? Tree(*kind) : nullptr;
  if (tree == nullptr) return;
  if (!node || !tree->Contains(*node) || tree->Text(*node).empty()) {
    node = kRoot;
    view_.SelectTreeNode(*kind, kRoot);
  }
  ChooseNode(*kind, *node, hit);
}

void WizardController::ChooseSelectedNodeAgain(TreeKind kind) {
  const auto node = view_.SelectedTreeNode(kind);
  const FolderTreeModel* tree = Tree(kind);
  if (!node || tree == nullptr || !tree->Contains(*node) || *node == kRoot || kind == TreeKind::items) return;
  ChooseNode(kind, *node, TreeHit::onItem);
}

void WizardController::ChooseNode(TreeKind kind, TreeNodeId node, TreeHit hit) {
  switch (kind) {
    case TreeKind::disks:
      TreeClickDisk(node);
      return;
    case TreeKind::partitions:
      TreeClickPartition(node);
      return;
    case TreeKind::foundFileSystems:
      if (hit == TreeHit::onItem) TreeClickFoundFileSystem(node);
      return;
    case TreeKind::items:
      if (hit == TreeHit::onItem) TreeClickItems(node);
      return;
  }
}

// ---- Stop, Exit, scan type, keys ----------------------------------------

void WizardController::OnStop() {
  stopAsked_ = true;
  const bool stop = view_.Confirm(kStopQuestion);
  stopAsked_ = false;
  if (stop) session_.scan.stopRequested = true;
}

void WizardController::OnExit() {
  if (!view_.Confirm(kExitQuestion)) return;
  // A running scan ends at its next check; the window waits for it.
  session_.scan.stopRequested = true;
  if (!Busy()) {
    FreeItems();
    session_.deepScan.Clear();
  }
  if (!options_.homePage.empty()) shell_.OpenUrl(options_.homePage);
  view_.Quit(0);
}

void WizardController::OnScanType(ScanType type) {
  if (step_ == WizardStep::disk && !Busy()) session_.scan.scanType = type;
}

void WizardController::SetViewMode(ViewMode mode) { view_.SetViewMode(mode); }


}  // namespace salvex::wizard
