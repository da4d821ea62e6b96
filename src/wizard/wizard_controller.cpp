#include "wizard/wizard_controller.h"

#include <new>

#include "deepscan/found_file_system.h"
#include "disk/disk_table.h"
#include "partition/partition_selection.h"
#include "platform/temp_folder.h"
#include "session/advance_range.h"
#include "session/disk_session.h"
#include "session/open_copy.h"
#include "session/scans.h"
#include "wizard/menu_state.h"
#include "wizard/recovery_texts.h"
#include "wizard/tree_captions.h"

namespace salvex::wizard {
namespace {

constexpr TreeNodeId kRoot = FolderTreeModel::kRoot;

constexpr const char* kNoPartitionsMessage =
    " No partitions found, going to make a quick search for missing partitions";
constexpr const char* kStandardScanDoneMessage =
    "If you don't find your file(s) or folder(s) here, you can use \"Advance scan\"";
constexpr const char* kStopQuestion = "Do you want to stop the current process ?";
constexpr const char* kExitQuestion = "Do you really want to exit ?";
constexpr const char* kNothingFoundStatus =
    "No file system was found in the range: try a wider range or another file system type.";
constexpr const char* kSlashInNameMessage = "A name cannot contain \"/\": the old name is kept.";

bool IsFolderType(const std::string& type) {
  std::string lower;
  for (const char c : type) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower == "folder" || lower == "deleted folder";
}

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

// ---- Presentation -------------------------------------------------------

void WizardController::SetInfoPanel(LabelSet set) {
  view_.SetPanelLabels(MakeLabelSet(set, session_.scan.selectedFsType, session_.volume.fsType));
}

void WizardController::SetQuickHelp(QuickHelp help) { view_.SetQuickHelp(QuickHelpText(help)); }

void WizardController::SetMenuState(int state) {
  for (const auto& [command, enabled] : MenuStateEntries(state, session_.scan.wizardStep)) {
    view_.SetCommandEnabled(command, enabled);
  }
}

void WizardController::ShowStepControls(int view, Direction direction) {
  const StepControls* controls = FindStepControls(view, direction);
  if (controls == nullptr) return;
  for (const auto& [control, shown] : controls->controls) Show(control, shown);
  if (session_.scan.scanType == ScanType::advance) {
    for (const auto& [control, shown] : controls->advanceOnly) Show(control, shown);
    if (controls->presetRange) PresetRange();
  }
  if (controls->freeItems) {
    FreeItems();
    DestroyTree(TreeKind::items);
  }
  for (const auto& [tree, shown] : controls->trees) view_.SetTreeShown(tree, shown);
  if (controls->emptyList) {
    list_.Clear();
    view_.ShowListRows(nullptr);
  }
  if (controls->listLayout) view_.SetListLayout(*controls->listLayout);
  if (controls->hideFirstLabel) view_.HideFirstPanelLabel();
  if (controls->clearStatus) {
    view_.SetStatus("");
  }
  if (controls->resetProgress) {
    view_.SetProgress(0);
    view_.ShowProgress(false);
  }
}

void WizardController::PresetRange() {
  const PartitionTable& table = session_.partitions;
  RangeFields fields;
  if (table.partitionCount != 0) {
    const PartitionRecord& first = table.records[0];
    fields.fileSystemPosition = FileSystemPosition(first.fsType);
    fields.startSector = std::to_string(first.startSector);
    // Start plus count: the End Sector field names the first sector past the range.
    fields.endSector = std::to_string(std::uint64_t{first.startSector} + first.sectorCount);
  } else {
    fields.fileSystemPosition = FileSystemPosition(FsType::fat32);
    fields.startSector = "0";
    const std::uint16_t disk = session_.scan.diskIndex;
    fields.endSector = std::to_string(disk < session_.disks.disks.size() ? session_.disks.disks[disk].totalSectors : 0);
  }
  view_.SetRangeFields(fields);
}

// ---- Trees --------------------------------------------------------------

std::unique_ptr<FolderTreeModel>& WizardController::TreeSlot(TreeKind kind) {
  switch (kind) {
    case TreeKind::disks:
      return diskTree_;
    case TreeKind::partitions:
      return partitionsTree_;
    case TreeKind::foundFileSystems:
      return foundTree_;
    case TreeKind::items:
      break;
  }
  return itemsTree_;
}

const FolderTreeModel* WizardController::Tree(TreeKind kind) const {
  return const_cast<WizardController*>(this)->TreeSlot(kind).get();
}

FolderTreeModel& WizardController::CreateTree(TreeKind kind, std::string rootCaption) {
  auto& slot = TreeSlot(kind);
  // The view lets go of the old tree before it is freed.
  if (slot) view_.SetTree(kind, nullptr);
  slot = std::make_unique<FolderTreeModel>();
  slot->SetText(kRoot, rootCaption);
  return *slot;
}

void WizardController::DestroyTree(TreeKind kind) {
  view_.SetTree(kind, nullptr);
  TreeSlot(kind).reset();
}

void WizardController::AddPartitionNodes() {
  PartitionTable& table = session_.partitions;
  for (std::uint32_t i = 0; i < table.partitionCount; ++i) {
    table.records[i].treeItem = partitionsTree_->InsertNode(kRoot, PartitionCaption(i, table.records[i]), 3, 3);
  }
  view_.SetTree(TreeKind::partitions, partitionsTree_.get());
  view_.ExpandTreeNode(TreeKind::partitions, kRoot);
}

// ---- Start-up -----------------------------------------------------------

void WizardController::StartUp() {
  ScanState& scan = session_.scan;
  scan.wizardStep = -1;
  FolderTreeModel& disks = CreateTree(TreeKind::disks, kMyComputer);
  scan.wizardStep = 0;
  ListDisks(session_, options_.images, refusedImages_);
  for (std::size_t i = 0; i < session_.disks.diskCount; ++i) {
    disks.SetToolTip(disks.InsertNode(kRoot, DiskCaption(i), 0, 0), DiskToolTip(session_.disks.disks[i]));
  }
  view_.SetTree(TreeKind::disks, &disks);
  view_.SetTreeShown(TreeKind::disks, Shown::Yes());
  view_.ExpandTreeNode(TreeKind::disks, kRoot);

  SetMenuState(0);
  SetInfoPanel(LabelSet::disk);
  SetQuickHelp(QuickHelp::diskStep);
  view_.SetListLayout(ListLayout::details);

  scan.scanType = ScanType::standard;
  view_.SetScanTypeChecked(ScanType::standard);
  Show(Control::scanTypeGroup, Shown::Yes());
  Show(Control::scanTypeHelp, Shown::Yes());
  view_.ShowProgress(false);
  Show(Control::rangeGroup, Shown::Hidden());
  Show(Control::rangeHelp, Shown::Hidden());
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

// ---- Next ---------------------------------------------------------------

void WizardController::OnNext() {
  if (Busy()) return;
  session_.filters.Clear();
  Show(Control::next, Shown::No());
  view_.SetViewMode(ViewMode::details);
  ScanState& scan = session_.scan;
  switch (scan.wizardStep) {
    case 0: {
      // Opening a device and reading its tables can take seconds on a
      // failing disk: not on this thread.
      view_.SetTreeShown(TreeKind::disks, Shown::Disabled());
      const std::uint16_t disk = scan.diskIndex;
      auto error = std::make_shared<std::string>();
      Run(
          [this, disk, error] {
            *error = OpenDisk(session_, disk);
            if (error->empty()) ReadPartitionTables(session_);
          },
          [this, error] { FinishDiskOpen(*error); });
      return;
    }
    case 1:
      if (scan.scanType == ScanType::standard) {
        if (scan.selectedFsType == FsType::ntfs) {
          view_.Notice(NoticeKind::error, kNtfsRefusalMessage);
          Show(Control::next, Shown::Yes());
          return;
        }
        StartStandardScan();
        return;
      } else {
        const RangeFields fields = view_.ReadRangeFields();
        const AdvanceRangeCheck check =
            ReadAdvanceRange(scan, fields.fileSystemPosition, fields.startSector, fields.endSector);
        if (check != AdvanceRangeCheck::valid) {
          view_.Notice(NoticeKind::error, AdvanceRangeMessage(check));
          Show(Control::next, Shown::Yes());
          return;
        }
        SetMenuState(0);
        SetQuickHelp(QuickHelp::advanceScanStarted);
        StartAdvanceScan();
      }
      return;
    case 2:
      StartMount();
      return;
    default:
      return;
  }
}

void WizardController::FinishDiskOpen(const std::string& error) {
  ScanState& scan = session_.scan;
  if (!error.empty()) {
    view_.Notice(NoticeKind::error, DiskCaption(scan.diskIndex) + ": " + error);
    view_.SetTreeShown(TreeKind::disks, Shown::Yes());
    Show(Control::next, Shown::Yes());
    return;
  }
  CreateTree(TreeKind::partitions, PartitionsRootCaption(scan.diskIndex));
  AddPartitionNodes();
  view_.SetTreeShown(TreeKind::partitions, Shown::Yes());
  scan.wizardStep = 1;
  ShowStepControls(1, Direction::entering);
  SetMenuState(1);
  SetInfoPanel(LabelSet::partition);
  SetQuickHelp(QuickHelp::partitionStep);
  if (session_.partitions.partitionCount == 0) {
    view_.Notice(NoticeKind::error, kNoPartitionsMessage);
    StartQuickSearch();
  }
}

void WizardController::StartQuickSearch() {
  SetMenuState(0);
  SetQuickHelp(QuickHelp::quickSearchRunning);
  session_.scan.stopRequested = false;
  Show(Control::back, Shown::No());
  Show(Control::next, Shown::No());
  Show(Control::searchPartitions, Shown::No());
  // The old records' nodes go at once, even when the search finds nothing.
  CreateTree(TreeKind::partitions, PartitionsRootCaption(session_.scan.diskIndex));
  session_.partitions.Clear();
  view_.SetTree(TreeKind::partitions, partitionsTree_.get());
  view_.SetTreeShown(TreeKind::partitions, Shown::Disabled());
  Run([this] { QuickSearch(session_, view_); }, [this] { FinishQuickSearch(); });
}

void WizardController::FinishQuickSearch() {
  AddPartitionNodes();
  if (session_.scan.scanType == ScanType::advance) Show(Control::next, Shown::Yes());
  Show(Control::back, Shown::Yes());
  Show(Control::searchPartitions, Shown::Yes());
  Show(Control::stop, Shown::No());
  view_.SetTreeShown(TreeKind::partitions, Shown::Yes());
  SetQuickHelp(QuickHelp::partitionStep);
  SetMenuState(1);
}

void WizardController::OnSearchPartitions() {
  if (Busy() || session_.scan.wizardStep != 1) return;
  StartQuickSearch();
}

void WizardController::StartStandardScan() {
  SetQuickHelp(QuickHelp::standardScanStarted);
  CreateTree(TreeKind::items, kItemsRoot);
  view_.SetTree(TreeKind::items, nullptr);
  view_.SetTreeShown(TreeKind::items, Shown::No());
  view_.SetTreeShown(TreeKind::partitions, Shown::Disabled());
  Show(Control::searchPartitions, Shown::No());
  Show(Control::back, Shown::No());
  Show(Control::next, Shown::No());
  auto found = std::make_shared<bool>(false);
  Run(
      [this, found] {
        VolumeContext context = session_.Volume(view_);
        *found = FindVolumeGeometry(context) == StandardScanOutcome::completed;
      },
      [this, found] { FinishGeometry(*found); });
}

void WizardController::FinishGeometry(bool found) {
  if (!found) {
    // The error box has said why; the step stays the partition step.
    view_.SetTreeShown(TreeKind::partitions, Shown::Yes());
    Show(Control::back, Shown::Yes());
    Show(Control::next, Shown::Yes());
    return;
  }
  SetInfoPanel(LabelSet::standardScan);
  session_.scan.wizardStep = 3;
  SetMenuState(0);
  Run(
      [this] {
        VolumeContext context = session_.Volume(view_);
        WalkVolume(context, session_.items, *itemsTree_, kRoot);
      },
      [this] { FinishStandardScan(); });
}

void WizardController::FinishStandardScan() {
  ShowStepControls(2, Direction::entering);
  view_.SetTree(TreeKind::items, itemsTree_.get());
  view_.SetTreeShown(TreeKind::items, Shown::Yes());
  view_.ExpandTreeNode(TreeKind::items, kRoot);
  // The walk's counters stay in view; the status line's "please wait" goes.
  view_.SetStatus("");
  if (session_.volume.fsType == FsType::ntfs) SetInfoPanel(LabelSet::none);
  treeIsActive_ = false;
  Show(Control::back, Shown::Yes());
  SetMenuState(3);
  view_.SetListVisible(true);
  ShowRootFolder();
  view_.Notice(NoticeKind::information, kStandardScanDoneMessage);
  NoticeUnreadableDirectories();
  SetQuickHelp(QuickHelp::itemsStep);
}

void WizardController::NoticeUnreadableDirectories() {
  if (session_.items.unreadableDirectorySectors.empty() || !itemsTree_) return;
  view_.Notice(NoticeKind::error,
               UnreadableDirectoriesText(DescribeUnreadableDirectorySectors(session_.items, *itemsTree_)));
}

void WizardController::StartAdvanceScan() {
  CreateTree(TreeKind::foundFileSystems, kFoundRoot);
  view_.SetTree(TreeKind::foundFileSystems, nullptr);
  view_.SetTreeShown(TreeKind::foundFileSystems, Shown::No());
  ShowStepControls(3, Direction::entering);
  SetInfoPanel(LabelSet::advanceScan);
  Show(Control::back, Shown::No());
  Run([this] { SweepAndClassify(session_, view_, foundTree_.get(), kRoot); }, [this] { FinishAdvanceScan(); });
}

void WizardController::FinishAdvanceScan() {
  view_.SetTree(TreeKind::foundFileSystems, foundTree_.get());
  ShowStepControls(4, Direction::entering);
  view_.ExpandTreeNode(TreeKind::foundFileSystems, kRoot);
  SetInfoPanel(LabelSet::fileSystem);
  session_.scan.wizardStep = 2;
  if (session_.deepScan.FoundFileSystemCount() > 0) {
    SetMenuState(2);
  } else {
    // An empty list alone says nothing of why.
    Show(Control::next, Shown::No());
    view_.SetStatus(kNothingFoundStatus);
  }
  SetQuickHelp(QuickHelp::fileSystemStep);
}

void WizardController::StartMount() {
  CreateTree(TreeKind::items, kItemsRoot);
  view_.SetTree(TreeKind::items, nullptr);
  SetQuickHelp(QuickHelp::mountStarted);
  Show(Control::next, Shown::No());
  Show(Control::back, Shown::No());
  ShowStepControls(5, Direction::entering);
  Run(
      [this] {
        bool completed = true;
        MountFoundFileSystem(session_, session_.volume.foundFsOrdinal, view_, *itemsTree_, kRoot, completed);
      },
      [this] { FinishMount(); });
}

void WizardController::FinishMount() {
  session_.scan.wizardStep = 3;
  view_.SetTree(TreeKind::items, itemsTree_.get());
  view_.SetTreeShown(TreeKind::items, Shown::Yes());
  view_.ExpandTreeNode(TreeKind::items, kRoot);
  Show(Control::back, Shown::Yes());
  SetQuickHelp(QuickHelp::itemsStep);
  SetMenuState(3);
  SetInfoPanel(LabelSet::none);
  view_.SetListVisible(true);
  ShowRootFolder();
  NoticeUnreadableDirectories();
}

// ---- Back, Stop, Exit, scan type -----------------------------------------

void WizardController::OnBack() {
  if (Busy()) return;
  ScanState& scan = session_.scan;
  const FolderTreeModel* found = Tree(TreeKind::foundFileSystems);
  const bool discardsResults = scan.wizardStep == 3 || (scan.wizardStep == 2 && scan.scanType == ScanType::advance &&
                                                        found != nullptr && !found->Children(kRoot).empty());
  if (discardsResults && !view_.Confirm(kDiscardResultsQuestion)) return;
  view_.SetViewMode(ViewMode::details);
  Show(Control::next, Shown::No());
  list_.Clear();
  view_.ShowListRows(nullptr);
  view_.SetListVisible(false);
  switch (scan.wizardStep) {
    case 1:
      CloseDisk(session_);
      ShowStepControls(1, Direction::leaving);
      scan.wizardStep = 0;
      SetMenuState(0);
      SetInfoPanel(LabelSet::disk);
      SetQuickHelp(QuickHelp::diskStep);
      return;
    case 3:
      if (scan.scanType == ScanType::standard) {
        ShowStepControls(2, Direction::leaving);
        scan.wizardStep = 1;
        FreeItems();
        SetMenuState(1);
        SetInfoPanel(LabelSet::partition);
        SetQuickHelp(QuickHelp::partitionStep);
      } else {
        ShowStepControls(5, Direction::leaving);
        SetInfoPanel(LabelSet::fileSystem);
        scan.wizardStep = 2;
        FreeItems();
        SetMenuState(2);
        SetQuickHelp(QuickHelp::fileSystemStep);
      }
      // The step comes back as it was left: its node chosen, the panel
      // filled and Next shown, not a highlight with nothing behind it.
      ChooseSelectedNodeAgain(scan.wizardStep == 1 ? TreeKind::partitions : TreeKind::foundFileSystems);
      return;
    case 2:
      if (scan.scanType != ScanType::advance) return;
      scan.wizardStep = 1;
      session_.deepScan.Clear();
      DestroyTree(TreeKind::foundFileSystems);
      ShowStepControls(8, Direction::leaving);
      SetMenuState(1);
      SetInfoPanel(LabelSet::partition);
      SetQuickHelp(QuickHelp::partitionStep);
      return;
    default:
      return;
  }
}

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
  if (session_.scan.wizardStep == 0 && !Busy()) session_.scan.scanType = type;
}

void WizardController::FreeItems() {
  session_.items.ClearFatItems();
  session_.items.ClearNtfsItems();
  keyOfNode_.clear();
  list_.Clear();
}

// ---- Tree clicks --------------------------------------------------------

void WizardController::OnTreeClick(std::optional<TreeNodeId> node, TreeHit hit) {
  if (Busy()) return;
  treeIsActive_ = true;
  const int step = session_.scan.wizardStep;
  const TreeKind kind = step == 0   ? TreeKind::disks
                        : step == 1 ? TreeKind::partitions
                        : step == 2 ? TreeKind::foundFileSystems
                                    : TreeKind::items;
  const FolderTreeModel* tree = Tree(kind);
  if (tree == nullptr) return;
  if (!node || !tree->Contains(*node) || tree->Text(*node).empty()) {
    node = kRoot;
    view_.SelectTreeNode(kind, kRoot);
  }
  switch (step) {
    case 0:
      TreeClickDisk(*node);
      return;
    case 1:
      TreeClickPartition(*node);
      return;
    case 2:
      if (hit == TreeHit::onItem) TreeClickFoundFileSystem(*node);
      return;
    case 3:
      if (hit == TreeHit::onItem) TreeClickItems(*node);
      return;
    default:
      return;
  }
}

void WizardController::TreeClickDisk(TreeNodeId node) {
  const std::string& text = diskTree_->Text(node);
  if (text.empty() || text == kMyComputer) return;
  view_.SelectTreeNode(TreeKind::disks, node);
  session_.scan.diskIndex = DiskIndexOfCaption(text);
  if (session_.scan.diskIndex < session_.disks.disks.size()) {
    for (const PanelRow& row : DiskPanelRows(session_.disks.disks[session_.scan.diskIndex])) {
      view_.SetPanelValue(row.label, row.value);
    }
  }
  Show(Control::next, Shown::Yes());
}

void WizardController::TreeClickPartition(TreeNodeId node) {
  const std::string& text = partitionsTree_->Text(node);
  ScanState& scan = session_.scan;
  if (text.empty()) return;
  if (text.rfind("Stor", 0) == 0) {
    if (scan.scanType != ScanType::advance) return;
    view_.SelectTreeNode(TreeKind::partitions, kRoot);
    const std::uint16_t disk = scan.diskIndex;
    if (disk >= session_.disks.disks.size() || !SelectWholeDisk(scan, session_.disks.disks[disk])) return;
  } else {
    const PartitionTable& table = session_.partitions;
    std::uint32_t index = 0;
    while (index < table.partitionCount && table.records[index].treeItem != node) ++index;
    if (index == table.partitionCount) return;
    view_.SelectTreeNode(TreeKind::partitions, node);
    if (!SelectPartition(scan, table, static_cast<std::uint16_t>(index))) {
      // Listed so that the user knows it is there, but no scan can reach it.
      view_.Notice(NoticeKind::error, PartitionCaption(index, table.records[index]) + " " + kBeyondReachNote);
      Show(Control::next, Shown::No());
      return;
    }
  }
  // The End Sector field names the first sector past the range, as the field
  // is read at Next: for a partition, the sector after its last.
  view_.SetRangeFields({FileSystemPosition(scan.selectedFsType), std::to_string(scan.rangeStart),
                        std::to_string(std::uint64_t{scan.rangeStart} + scan.rangeSize)});
  for (const PanelRow& row : PartitionPanelRows(scan)) view_.SetPanelValue(row.label, row.value);
  Show(Control::next, Shown::Yes());
}

void WizardController::TreeClickFoundFileSystem(TreeNodeId node) {
  const std::string& text = foundTree_->Text(node);
  if (text.empty() || text.rfind("File", 0) == 0) return;
  const auto& found = session_.deepScan.found;
  std::uint16_t ordinal = 0;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (found[i].treeItem == node) ordinal = static_cast<std::uint16_t>(i + 1);
  }
  if (ordinal == 0 || !SelectFoundFileSystem(session_.deepScan, ordinal, session_.volume)) return;
  view_.SelectTreeNode(TreeKind::foundFileSystems, node);
  for (const PanelRow& row : FoundFileSystemPanelRows(session_.volume)) view_.SetPanelValue(row.label, row.value);
  list_.Clear();
  view_.ShowListRows(nullptr);
  Show(Control::next, Shown::Yes());
}

void WizardController::TreeClickItems(TreeNodeId node) {
  list_.Clear();
  view_.ShowListRows(nullptr);
  view_.SelectTreeNode(TreeKind::items, node);
  ShowFolderOfNode(node);
}

// ---- The items step -----------------------------------------------------

ItemSource WizardController::Source() const {
  return session_.volume.fsType == FsType::ntfs ? ItemSource::ntfs : ItemSource::fat;
}

void WizardController::ShowFolderOfNode(TreeNodeId node) {
  if (keyOfNode_.empty()) BuildKeyOfNode();
  const std::uint32_t rootKey = Source() == ItemSource::fat ? kFatRootKey : kNtfsRootKey;
  const bool isFolder = node < keyOfNode_.size() && keyOfNode_[node];
  // A node without a folder is the root, or the tree build's "Lost Files".
  if (isFolder || node == kRoot || !itemsTree_ || !list_.ShowLostFiles(Source(), *itemsTree_, node, session_.filters)) {
    list_.ShowFolder(Source(), isFolder ? *keyOfNode_[node] : rootKey, session_.filters);
  }
  view_.ShowListRows(&list_);
}

void WizardController::BuildKeyOfNode() {
  keyOfNode_.assign(itemsTree_ ? itemsTree_->NodeCount() + kRoot : 0, std::nullopt);
  const auto index = [this](const auto& folders, auto keyOf) {
    for (const auto& folder : folders.Items()) {
      if (folder.treeNode < keyOfNode_.size()) keyOfNode_[folder.treeNode] = keyOf(folder);
    }
  };
  if (Source() == ItemSource::fat) {
    index(session_.items.FatFolders(), [](const FatFolderItem& folder) { return ChildrenKeyOf(folder); });
  } else {
    index(session_.items.NtfsFolders(), [](const NtfsFolderItem& folder) { return folder.recordNumber; });
  }
}

void WizardController::ShowRootFolder() {
  if (session_.scan.wizardStep != 3) return;
  keyOfNode_.clear();
  ShowFolderOfNode(kRoot);
}

void WizardController::OpenFolder(TreeNodeId node) {
  ShowFolderOfNode(node);
  view_.FocusTree(TreeKind::items);
  view_.SelectTreeNode(TreeKind::items, node);
  treeIsActive_ = true;
  view_.ExpandTreeNode(TreeKind::items, node);
}

void WizardController::OnListClick() { treeIsActive_ = false; }

void WizardController::OnListDoubleClick() {
  treeIsActive_ = false;
  OpenSelectedItem(false);
}

void WizardController::OpenSelectedItem(bool chooser) {
  if (session_.scan.wizardStep != 3 || Busy()) return;
  if (treeIsActive_) {
    if (const auto node = view_.SelectedTreeNode(TreeKind::items)) OpenFolder(*node);
    return;
  }
  const auto row = view_.SelectedListRow();
  if (!row || *row >= list_.RowCount()) return;
  if (IsFolderType(list_.Row(*row).type)) {
    if (const auto node = list_.FolderNode(*row)) OpenFolder(*node);
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
  if (treeIsActive_ || session_.scan.wizardStep != 3) return;
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
      newText.empty() || refused || session_.scan.wizardStep != 3 ? renameFallbackName_ : newText;
  list_.Rename(renameRow_, name);
  if (const auto node = list_.FolderNode(renameRow_)) {
    if (itemsTree_ && itemsTree_->Contains(*node)) itemsTree_->SetText(*node, name);
    view_.SetTreeNodeText(TreeKind::items, *node, name);
  }
  view_.RefreshListRow(renameRow_);
}

void WizardController::ChooseSelectedNodeAgain(TreeKind kind) {
  const auto node = view_.SelectedTreeNode(kind);
  const FolderTreeModel* tree = Tree(kind);
  if (!node || tree == nullptr || !tree->Contains(*node) || *node == kRoot) return;
  if (kind == TreeKind::partitions) {
    TreeClickPartition(*node);
  } else {
    TreeClickFoundFileSystem(*node);
  }
}

void WizardController::ShowParentFolder() {
  const auto shown = view_.SelectedTreeNode(TreeKind::items);
  if (!itemsTree_ || !shown || !itemsTree_->Contains(*shown) || *shown == kRoot) return;
  TreeClickItems(itemsTree_->Parent(*shown));
}

void WizardController::SetViewMode(ViewMode mode) { view_.SetViewMode(mode); }

bool WizardController::CanShowRowMenu() const {
  return session_.scan.wizardStep == 3 && !treeIsActive_ && !renameInProgress_ && list_.HoldsItems() &&
         view_.SelectedListRow().has_value();
}

bool WizardController::OnKey(Key key) {
  const bool itemsStep = session_.scan.wizardStep == 3;
  switch (key) {
    case Key::escape:
      return true;
    case Key::f1:
    case Key::applications:
      return false;  // the window's Help Contents and row menu
    case Key::enter:
      // During a rename the editor takes Enter to end the edit.
      if (renameInProgress_) return false;
      if (itemsStep) OpenSelectedItem(false);
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
      view_.SelectListRow(key == Key::home ? 0 : list_.RowCount() - 1);
      return true;
  }
  return false;
}

}  // namespace salvex::wizard
