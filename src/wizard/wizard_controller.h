#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "platform/shell_services.h"
#include "session/outcome.h"
#include "session/session.h"
#include "session/worker.h"
#include "wizard/device_numbers.h"
#include "wizard/item_list_model.h"
#include "wizard/marked_items.h"
#include "wizard/menu_state.h"
#include "wizard/step_presentation.h"
#include "wizard/tree_nodes.h"
#include "wizard/wizard_view.h"

namespace salvex::wizard {

// Asked before Back throws a scan's results away: a long Advance Scan must
// not end on a stray click.
inline constexpr const char* kDiscardResultsQuestion = "Going back discards the results of this scan. Go back ?";

// The wizard: turns the user's choices into engine calls, moves between the
// steps (disk, partition or range, found file systems, items), runs every
// long operation on the worker and gives each step its face. It is driven
// by the window's events and draws only through the WizardView. Each step
// has a file of its own with its entering, leaving, Next, Back and tree
// clicks (disk_step.cpp, partition_step.cpp, range_step.cpp,
// found_file_system_step.cpp, items_step.cpp), and a Search by File Type
// its own (content_search_step.cpp); wizard_drawing.cpp holds what they
// share.
class WizardController {
 public:
  struct Options {
    std::vector<std::string> images;   // disk images listed after the disks
    std::string startFolder;           // where the help file is looked for
    std::string homePage;              // opened at exit; empty: nothing
    ItemListModel::TypeNamer typeName; // empty: the engine's own table
  };

  WizardController(Session& session, WizardView& view, Worker& worker, ShellServices& shell, Options options);
  ~WizardController();
  WizardController(const WizardController&) = delete;
  WizardController& operator=(const WizardController&) = delete;

  void StartUp();
  void OnNext();
  void OnBack();
  void OnStop();
  void OnScanType(ScanType type);
  void OnSearchPartitions();
  void OnExit();
  void OnTreeClick(std::optional<TreeNodeId> node, TreeHit hit);
  // True when the key was handled (swallowed) and the controls must not see it.
  bool OnKey(Key key);

  // The item list's events.
  void OnListClick();
  void OnListDoubleClick();
  void OpenSelectedItem(bool chooser);
  void BeginRename();
  void OnRenameStarted();
  void OnRenameEnded(const std::string& newText);
  void SetViewMode(ViewMode mode);

  // Shows the root folder again (after the filters changed).
  void ShowRootFolder();

  // The check boxes of the items step (items_step_marks.cpp): a list row's
  // or an items-tree folder's mark set or cleared, across folders, for
  // Recover Marked.
  void MarkListRow(std::size_t row, bool marked);
  void MarkTreeNode(TreeNodeId node, bool marked);
  MarkedItems::State ListRowMark(std::size_t row) const;
  MarkedItems::State TreeNodeMark(TreeNodeId node) const;
  // How many files the marks stand for, and their bytes.
  struct MarkedCount {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
  };
  MarkedCount CountMarked() const;
  const MarkedItems& Marks() const { return marks_; }

  // The view filters above the list (items_step_view.cpp): the list and the
  // items tree show what passes them from now on; a recovery still takes
  // what File Filters and the settings admit.
  void SetViewFilter(const ViewFilter& filter);
  const ViewFilter& CurrentViewFilter() const { return viewFilter_; }

  // The window's commands that move the wizard (wizard_controller_commands.cpp).
  // Loads a tree snapshot (".RSNP") into the items step, or an advance-scan
  // snapshot (".RS2") into the file-system step; in the partition or
  // file-system step only. A file that is not a snapshot changes nothing.
  void LoadSnapshot(const std::string& path);
  // Lists a disk image as one more "Storage Device" of the disk step; with
  // `mapPath`, its ddrescue map, read with it whenever it is opened.
  void AddDiskImage(const std::string& path, const std::string& mapPath = {});
  // Lists the machine's disks again, in the disk step: one plugged in since
  // appears, one taken away goes; every disk that stays keeps its number,
  // and the images added stay, with their maps.
  void RefreshDisks();
  // Shows a folder (by its tree node) with one of its files (by store
  // position) selected: where a found file lies.
  void ShowFoundFile(TreeNodeId folderNode, std::uint32_t filePosition);
  // After the File Filters dialog: the folder shown listed again through
  // the new filters.
  void ShowFolderAgainAfterFilters();

  // Runs `work` on the worker; `done` follows on this thread. What the work
  // throws ends the program with a box that says why.
  void Run(Worker::Work work, std::function<void()> done);

  WizardStep Step() const { return step_; }
  // The step's number as the scan state records it (see StepNumber).
  int StepNumber() const { return wizard::StepNumber(step_); }
  bool TreeIsActive() const { return treeIsActive_; }
  bool RenameInProgress() const { return renameInProgress_; }
  bool Busy() const { return worker_.Running(); }
  const ItemListModel& List() const { return list_; }
  const FolderTreeModel* Tree(TreeKind kind) const;
  // Whether the item list's context menu may open: in the items step, with
  // the list active, holding items, and a row selected.
  bool CanShowRowMenu() const;

 private:
  // ---- Shared drawing (wizard_drawing.cpp) ----
  void SetStep(WizardStep step);
  // The presentation of a step: its label set, controls and menu state.
  void SetInfoPanel(LabelSet set);
  void ShowStepControls(StepView view, Direction direction);
  void SetMenuState(MenuState state);
  void SetQuickHelp(QuickHelp help);
  void Show(Control control, Shown shown) {
    if (control == Control::next) nextShown_ = shown.visible && shown.enabled;
    view_.SetControlShown(control, shown);
  }
  // The tree of the step just entered takes the keys.
  void FocusStepTree();
  void EmptyList();
  // The trees: made anew (their payloads with them), shown, destroyed.
  FolderTreeModel& CreateTree(TreeKind kind, std::string rootCaption);
  void DestroyTree(TreeKind kind);
  std::unique_ptr<FolderTreeModel>& TreeSlot(TreeKind kind);
  // The payloads of the disk, partition or found-file-system tree; null for
  // the items tree, whose folders are known by their store entries.
  TreeNodes* NodesOf(TreeKind kind);
  // The kind of tree a step shows; null in no step.
  static std::optional<TreeKind> TreeOfStep(WizardStep step);
  // Worker failures end the program with a box that says why.
  void OnWorkerFailed(std::exception_ptr failure);

  // ---- The disk step (disk_step.cpp) ----
  void EnterDiskStep();
  void NextFromDisk();
  void FinishDiskOpen(const Outcome& opened);
  void TreeClickDisk(TreeNodeId node);
  // The node of a disk slot in the disk tree, added when it has none yet.
  TreeNodeId DiskNode(std::uint16_t slot);
  // A disk slot's number, which it keeps while the window is open, and its
  // "Storage DeviceN" caption.
  std::uint32_t DiskNumberOf(std::uint16_t slot);
  std::string DiskCaptionOf(std::uint16_t slot);
  // An empty disk tree under "My Computer", with its columns.
  FolderTreeModel& CreateDiskTree();
  // The disk tree made anew from the disk table.
  void FillDiskTree();
  // A disk's partition count, when known: an image's, read when it is
  // listed; a device's once it has been opened.
  std::optional<std::uint32_t> PartitionCountOf(const DiskInfo& disk);

  // ---- The partition step (partition_step.cpp), shared with the range step ----
  // Entered from the disk step: the partitions tree made, the step's face.
  void CreatePartitionTree();
  void OpenPartitionTree();
  void EnterPartitionStep();
  void ReturnToPartitionStep();  // Back from the items
  void ShowPartitionStepFace();
  void LeavePartitionStep();     // Back to the disk step
  void NextFromPartition();
  void AddPartitionNodes();
  void StartQuickSearch();
  void FinishQuickSearch();
  void StartStandardScan();
  void FinishGeometry(bool found);
  void FinishStandardScan();
  void TreeClickPartition(TreeNodeId node);

  // ---- The range step (range_step.cpp) ----
  void EnterRangeStep();
  void ReturnToRangeStep();  // Back from the found file systems
  void PresetRange();
  void NextFromRange();
  void StartAdvanceScan();
  void FinishAdvanceScan();

  // ---- A Search by File Type (content_search_step.cpp) ----
  // Next in its partition step: the types checked are searched for.
  void NextFromFileTypes();
  void StartContentSearch(std::vector<std::string> types, bool allSpace);
  void FinishContentSearch(const Outcome& outcome, std::uint32_t filesFound, bool stopped);

  // ---- The found-file-system step (found_file_system_step.cpp) ----
  void EnterFoundFileSystemStep();
  void ReturnToFoundFileSystemStep();  // Back from the items
  void LeaveFoundFileSystemStep();     // Back to the range step
  void StartMount();
  void FinishMount();
  void TreeClickFoundFileSystem(TreeNodeId node);

  // ---- The items step (items_step.cpp, items_step_actions.cpp) ----
  // Shows the filled items tree and lists its root folder.
  void EnterItemsStep();
  void LeaveItemsStep();
  // After a scan or mount: a box naming the directory sectors that could not be read.
  void NoticeUnreadableDirectories();
  void TreeClickItems(TreeNodeId node);
  void ShowParentFolder();  // the folder above the one the list shows
  void ChooseSelectedNodeAgain(TreeKind kind);  // after Back: as if clicked
  // What a click on `node` of the step's tree does.
  void ChooseNode(TreeKind kind, TreeNodeId node, TreeHit hit);
  void ShowFolderOfNode(TreeNodeId node);
  void BuildKeyOfNode();
  // Shows a folder and moves the tree to it; `fromList`: the keys stay in the list.
  void OpenFolder(TreeNodeId node, bool fromList = false);
  void OpenFile(std::size_t row, bool chooser);
  ItemSource Source() const;
  void FreeItems();
  // Which items-tree nodes hold something the view filters let through.
  void FindShownNodes();
  // The files of a folder's node in the items tree, by store position.
  MarkedItems::FilesOfNode FilesOfItemsNode() const;

  // ---- Snapshot loads (wizard_controller_commands.cpp) ----
  // Says why a snapshot did not load (the commands of the step it was asked
  // in come back), or what it warned of; false when it did not load.
  bool ReportSnapshotLoad(const std::string& path, const Outcome& outcome, WizardStep fromStep);
  void FinishTreeSnapshotLoad(const std::string& path, const Outcome& outcome, WizardStep fromStep,
                              std::unique_ptr<FolderTreeModel> tree);
  void FinishAdvanceSnapshotLoad(const std::string& path, const Outcome& outcome, WizardStep fromStep);

  Session& session_;
  WizardView& view_;
  Worker& worker_;
  ShellServices& shell_;
  Options options_;
  std::vector<std::string> refusedImages_;
  // Images added in the window (Open Disk Image, a drop, a finished
  // imaging), with their maps: a new listing keeps them.
  std::vector<std::pair<std::string, std::string>> addedImages_;
  std::unordered_map<std::string, std::uint32_t> partitionCounts_;  // by device path

  std::unique_ptr<FolderTreeModel> diskTree_;
  std::unique_ptr<FolderTreeModel> partitionsTree_;
  std::unique_ptr<FolderTreeModel> foundTree_;
  std::unique_ptr<FolderTreeModel> itemsTree_;
  TreeNodes diskNodes_;
  TreeNodes partitionNodes_;
  TreeNodes foundNodes_;
  ItemListModel list_;
  MarkedItems marks_;
  ViewFilter viewFilter_;
  // By items-tree node: whether the view filters leave it shown (empty
  // while no filter is on).
  std::vector<bool> shownNodes_;
  // The items tree's node whose folder the list shows.
  TreeNodeId shownNode_ = FolderTreeModel::kRoot;
  DeviceNumbers deviceNumbers_;
  WizardStep step_ = WizardStep::starting;

  bool treeIsActive_ = false;
  bool stopAsked_ = false;  // the Stop question is up
  bool nextShown_ = false;  // Next is shown and enabled: Enter presses it
  bool renameInProgress_ = false;
  std::string renameFallbackName_;
  std::size_t renameRow_ = 0;
  // The folder key of each items-tree node, built when a folder is first shown.
  std::vector<std::optional<std::uint32_t>> keyOfNode_;
  std::string tempFolder_;  // where opened files are extracted, made when first needed
};

}  // namespace salvex::wizard
