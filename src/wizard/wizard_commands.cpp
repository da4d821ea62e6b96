#include "wizard/wizard_commands.h"

#include <filesystem>
#include <memory>

#include "platform/protected_files.h"
#include "session/disk_imaging.h"
#include "session/disk_session.h"
#include "session/recovery_choice.h"
#include "session/recovery_report.h"
#include "session/scans.h"
#include "session/snapshot_files.h"
#include "snapshot/advance_snapshot.h"
#include "snapshot/tree_snapshot.h"
#include "wizard/imaging_texts.h"
#include "wizard/information_rows.h"
#include "wizard/recovery_texts.h"

namespace salvex::wizard {
namespace {

constexpr const char* kNothingMarkedMessage =
    "Nothing is marked: tick the boxes of the files and folders to recover, in the list or the tree.";

constexpr const char* kNtfsTreeSnapshotNote =
    " (the range and the volume's geometry only: a tree snapshot holds no NTFS items)";

}  // namespace

WizardCommands::WizardCommands(WizardController& controller, Session& session, WizardView& view,
                               CommandView& dialogs, ShellServices& shell, Options options)
    : controller_(controller),
      session_(session),
      view_(view),
      dialogs_(dialogs),
      shell_(shell),
      options_(std::move(options)) {}

void WizardCommands::Run(Command command) {
  switch (command) {
    case Command::exit:
      controller_.OnExit();
      return;
    case Command::helpContents:
      Help();
      return;
    case Command::about:
      dialogs_.ShowAbout();
      return;
    case Command::homePage:
      if (HasHomePage()) shell_.OpenUrl(options_.homePage);
      return;
    default:
      break;
  }
  if (controller_.Busy()) return;
  if (HasMenuEntry(command) && !view_.CommandEnabled(command)) return;
  switch (command) {
    case Command::recoverSelected:
      Recover(RecoverWhat::selected);
      return;
    case Command::recoverAll:
      Recover(RecoverWhat::all);
      return;
    case Command::recoverMarked:
      Recover(RecoverWhat::marked);
      return;
    case Command::saveSnapshot:
      SaveSnapshot();
      return;
    case Command::loadSnapshot:
      if (const auto path = dialogs_.ChooseSnapshotToLoad()) controller_.LoadSnapshot(*path);
      return;
    case Command::openDiskImage:
      if (const auto path = dialogs_.ChooseDiskImage()) controller_.AddDiskImage(*path);
      return;
    case Command::createDiskImage:
      CreateDiskImage();
      return;
    case Command::refreshDisks:
      controller_.RefreshDisks();
      return;
    case Command::viewIcons:
      controller_.SetViewMode(ViewMode::icons);
      return;
    case Command::viewList:
      controller_.SetViewMode(ViewMode::list);
      return;
    case Command::viewDetails:
      controller_.SetViewMode(ViewMode::details);
      return;
    case Command::findFiles:
      FindFiles();
      return;
    case Command::fileFilters:
      dialogs_.EditFilters(session_.filters);
      controller_.ShowFolderAgainAfterFilters();
      return;
    case Command::settings:
      dialogs_.EditSettings(session_.settings);
      return;
    case Command::viewSectors:
      ViewSectors();
      return;
    case Command::driveInformation:
      dialogs_.ShowDriveInformation(DriveInformationRows(session_.volume, session_.items.counters, session_.deepScan.hits));
      return;
    case Command::open:
    case Command::openWith:
      controller_.OpenSelectedItem(command == Command::openWith);
      return;
    case Command::rename:
      controller_.BeginRename();
      return;
    case Command::properties:
      ShowProperties();
      return;
    default:
      return;
  }
}

// ---- Recovery -------------------------------------------------------------

std::optional<RecoverySelection> WizardCommands::Selection(RecoverWhat what) const {
  if (what == RecoverWhat::all) return RecoverySelection{true, {}, {}};
  const FolderTreeModel& tree = *controller_.Tree(TreeKind::items);
  // What was chosen is written under the folders that lead to it, unless
  // the settings say side by side.
  const auto keeping = [this](RecoverySelection selection) {
    selection.keepFolders = session_.settings.keepFolders;
    return selection;
  };
  if (what == RecoverWhat::marked) {
    const MarkedItems& marks = controller_.Marks();
    if (marks.Empty()) return std::nullopt;
    const std::vector<TreeNodeId> folders(marks.Folders().begin(), marks.Folders().end());
    const std::vector<std::uint32_t> files(marks.Files().begin(), marks.Files().end());
    return keeping(SelectItemsByNodes(session_, tree, folders, files));
  }
  if (controller_.TreeIsActive()) {
    const auto node = view_.SelectedTreeNode(TreeKind::items);
    if (!node) return std::nullopt;
    return keeping(SelectItemsByNodes(session_, tree, {*node}, {}));
  }
  const ItemListModel& list = controller_.List();
  std::vector<TreeNodeId> folders;
  std::vector<std::uint32_t> files;
  for (const std::size_t row : view_.SelectedListRows()) {
    if (row >= list.RowCount()) continue;
    if (!list.At(row).folder) {
      files.push_back(list.At(row).position);
    } else if (const auto node = list.FolderNode(row)) {
      folders.push_back(*node);
    }
  }
  if (folders.empty() && files.empty()) return std::nullopt;
  return keeping(SelectItemsByNodes(session_, tree, folders, files));
}

void WizardCommands::Recover(RecoverWhat what) {
  if (controller_.Step() != WizardStep::items || controller_.Tree(TreeKind::items) == nullptr) return;
  std::optional<RecoverySelection> selection = Selection(what);
  if (!selection) {
    if (what == RecoverWhat::marked) view_.Notice(NoticeKind::information, kNothingMarkedMessage);
    return;
  }
  const auto path = dialogs_.ChooseRecoveryFolder();
  if (!path) return;
  Destination destination = OpenRecoveryDestination(session_, *path);
  if (!destination.outcome.Ok()) {
    view_.Notice(NoticeKind::error, destination.outcome.error);
    return;
  }
  for (const std::string& warning : destination.outcome.warnings) view_.Notice(NoticeKind::information, warning);
  const RecoveryTotals totals = TotalsToRecover(session_, *controller_.Tree(TreeKind::items), *selection);
  const auto free = destination.folder->FreeBytes();
  if (free && totals.bytes > *free && !view_.Confirm(FreeSpaceQuestion(totals.bytes, *free, *path))) return;

  // Shared by the worker, the saving dialog's buttons and the ending.
  struct Run {
    RecoverySelection selection;
    std::unique_ptr<HostFolder> folder;
    RecoveryRunState state;
    RecoverySummary summary;
    std::optional<std::string> report;
    std::string reportError;
  };
  auto run = std::make_shared<Run>();
  run->selection = std::move(*selection);
  run->folder = std::move(destination.folder);
  run->state.filesToWrite = totals.files;
  run->state.bytesToWrite = totals.bytes;
  SavingView& saving = dialogs_.OpenSavingDialog(run->state);
  controller_.Run(
      [this, run, &saving] {
        const FolderTreeModel& tree = *controller_.Tree(TreeKind::items);
        run->summary = RecoverItems(session_, tree, run->selection, *run->folder, view_, saving, run->state);
        // Every run leaves its report beside the files (it reads back those
        // the intact check judges: on this thread too).
        run->report = WriteRecoveryReport(session_, tree, run->summary, *run->folder, session_.settings.reportName,
                                          false, run->reportError);
      },
      [this, run] {
        dialogs_.CloseSavingDialog();
        const std::string& where = run->folder->Path();
        SummaryText text = RecoverySummaryText(run->summary, where);
        AddReportLine(text, run->report, run->reportError);
        const SummaryChoice choice = dialogs_.ShowRecoverySummary(text);
        std::string error;
        if (choice == SummaryChoice::openFolder && !shell_.OpenFolder(where, error)) {
          view_.Notice(NoticeKind::error, error);
        }
        if (choice == SummaryChoice::openReport && run->report && !shell_.OpenFile(*run->report, false, error)) {
          view_.Notice(NoticeKind::error, error);
        }
      });
}

// ---- Disk images ------------------------------------------------------------

void WizardCommands::CreateDiskImage() {
  const std::uint16_t slot = session_.scan.diskIndex;
  if (controller_.Step() != WizardStep::disk || !view_.SelectedTreeNode(TreeKind::disks) ||
      slot >= session_.disks.diskCount) {
    view_.Notice(NoticeKind::information, kChooseDiskToImageMessage);
    return;
  }
  const std::string source = session_.disks.disks[slot].devicePath;
  const auto targets = dialogs_.ChooseImageTargets(source);
  if (!targets) return;

  struct Run {
    ImagingRequest request;
    PreparedImaging prepared;
    ImagingResult result;
    std::atomic<bool> stop{false};
  };
  auto run = std::make_shared<Run>();
  run->request = {source, targets->image, targets->map, 0, options_.programName, "salvex-gui: Create Disk Image"};
  ImagingProgressView& progress = dialogs_.OpenImagingDialog(source, run->stop);
  controller_.Run(
      [this, run, &progress] {
        // Opening a device may wait for a password, and copying takes long: not on this thread.
        run->prepared = PrepareImaging(session_, run->request);
        if (run->prepared.job) run->result = run->prepared.job->Run(run->stop, progress);
        CloseDisk(session_);
      },
      [this, run] {
        dialogs_.CloseImagingDialog();
        if (!run->prepared.job) {
          view_.Notice(NoticeKind::error, run->prepared.outcome.error);
          return;
        }
        const bool failed = run->result.end == ImagingEnd::imageWriteFailed || run->result.end == ImagingEnd::mapWriteFailed;
        view_.Notice(failed ? NoticeKind::error : NoticeKind::information, ImagingEndText(run->result, run->request));
        // The user goes on with the image, and what it lacks stays known.
        if (run->result.end == ImagingEnd::finished) controller_.AddDiskImage(run->request.image, run->request.map);
      });
}

// ---- Snapshots, search, properties, help ------------------------------------

void WizardCommands::SaveSnapshot() {
  const WizardStep step = controller_.Step();
  if (step != WizardStep::foundFileSystems && step != WizardStep::items) return;
  const SnapshotKind kind = step == WizardStep::items ? SnapshotKind::tree : SnapshotKind::advance;
  const auto chosen = dialogs_.ChooseSnapshotToSave(kind);
  if (!chosen) return;
  const bool tree = kind == SnapshotKind::tree;
  // The name the user typed is kept; only the extension is added.
  const SavedSnapshot saved = tree ? SaveTreeSnapshotFile(session_, *chosen, SnapshotName::asChosen)
                                   : SaveAdvanceSnapshotFile(session_, *chosen, SnapshotName::asChosen);
  const std::string cannotCreate = tree ? kUnableToOpenMessage : kFileCreationErrorMessage;
  switch (saved.failure) {
    case SavedSnapshot::Failure::none:
      // It may have been given its extension: say which file it is.
      view_.Notice(NoticeKind::information,
                   "The snapshot is saved as " + saved.path + (tree && ItemsAreNtfs(session_) ? kNtfsTreeSnapshotNote : ""));
      return;
    case SavedSnapshot::Failure::isBeingRead:
      view_.Notice(NoticeKind::error, cannotCreate + "\n" + saved.path + ": " + kProtectedFileMessage);
      return;
    case SavedSnapshot::Failure::cannotCreate:
      view_.Notice(NoticeKind::error, cannotCreate);
      return;
    case SavedSnapshot::Failure::onScannedDisk:
      view_.Notice(NoticeKind::error, cannotCreate + "\n" + saved.reason);
      return;
  }
}

void WizardCommands::ViewSectors() {
  const std::uint16_t slot = session_.scan.diskIndex;
  if (!session_.reader.IsOpen() || slot >= session_.disks.disks.size()) return;
  const DiskInfo& disk = session_.disks.disks[slot];
  DiskSectorView view(disk.devicePath, disk.sizeSectors,
                      [this](std::uint64_t first, std::uint32_t count, DiskSectorView::Done done) {
                        auto read = std::make_shared<SectorBytes>();
                        read->firstSector = first;
                        // The disk is read on the worker, as every read of it is.
                        controller_.Run(
                            [this, read, first, count] {
                              read->bytes.assign(std::size_t{count} * kSectorSize, 0);
                              const std::uint32_t unread = session_.reader.ReadSectorsFillingGaps(first, count, read->bytes);
                              if (unread == count) {
                                read->bytes.clear();
                                read->error = "the sectors could not be read";
                              } else if (unread > 0) {
                                read->error = std::to_string(unread) + " sector(s) could not be read: shown as zeros";
                              }
                            },
                            [read, done = std::move(done)] { done(*read); });
                      });
  dialogs_.ShowDiskSectors(view);
}

void WizardCommands::FindFiles() {
  const FolderTreeModel* tree = controller_.Tree(TreeKind::items);
  if (controller_.Step() != WizardStep::items || tree == nullptr) return;
  FindFilesFlow flow(
      session_, *tree,
      [this](Worker::Work work, std::function<void()> done) { controller_.Run(std::move(work), std::move(done)); },
      [this](const FoundFileRow& row) { controller_.ShowFoundFile(row.folderNode, row.position); });
  dialogs_.RunFindFiles(flow);
}

void WizardCommands::ShowProperties() {
  const FolderTreeModel* tree = controller_.Tree(TreeKind::items);
  const auto row = view_.SelectedListRow();
  const ItemListModel& list = controller_.List();
  if (controller_.Step() != WizardStep::items || tree == nullptr || !row || !list.HoldsItems() || *row >= list.RowCount()) {
    return;
  }
  dialogs_.ShowProperties(PropertiesRows(list, *row, session_.items, *tree));
}

void WizardCommands::Help() {
  const std::string file = (std::filesystem::path(options_.startFolder) / kHelpFileName).string();
  std::error_code missing;
  if (std::filesystem::is_regular_file(file, missing)) {
    std::string error;
    if (!shell_.OpenFile(file, false, error)) view_.Notice(NoticeKind::error, error);
    return;
  }
  if (!dialogs_.ShowManual()) view_.Notice(NoticeKind::error, kHelpFileNotFoundMessage);
}

}  // namespace salvex::wizard
