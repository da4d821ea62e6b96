#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "items/folder_tree_model.h"
#include "platform/shell_services.h"
#include "session/outcome.h"
#include "session/session.h"
#include "session/worker.h"
#include "wizard/item_list_model.h"
#include "wizard/step_presentation.h"
#include "wizard/wizard_view.h"

namespace salvex::wizard {

// Asked before Back throws a scan's results away: a long Advance Scan must
// not end on a stray click.
inline constexpr const char* kDiscardResultsQuestion = "Going back discards the results of this scan. Go back ?";

// The wizard: turns the user's choices into engine calls, moves between the
// steps (0 disk, 1 partition or range, 2 found file systems, 3 items), runs
// every long operation on the worker and gives each step its face. It is
// driven by the window's events and draws only through the WizardView.
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

  // The window's commands that move the wizard (wizard_controller_commands.cpp).
  // Loads a tree snapshot (".RSNP") into the items step, or an advance-scan
  // snapshot (".RS2") into the file-system step; in the partition or
  // file-system step only. A file that is not a snapshot changes nothing.
  void LoadSnapshot(const std::string& path);
  // Lists a disk image as one more "Storage Device" of the disk step; with
  // `mapPath`, its ddrescue map, read with it whenever it is opened.
  void AddDiskImage(const std::string& path, const std::string& mapPath = {});
  // Shows a folder (by its tree node) with one of its files (by store
  // position) selected: where a found file lies.
  void ShowFoundFile(TreeNodeId folderNode, std::uint32_t filePosition);
  // After the File Filters dialog: the tree's root selected and focused,
  // and the root folder listed through the new filters.
  void ShowRootFolderAfterFilters();

  // Runs `work` on the worker; `done` follows on this thread. What the work
  // throws ends the program with a box that says why.
  void Run(Worker::Work work, std::function<void()> done);

  int WizardStep() const { return session_.scan.wizardStep; }
  bool TreeIsActive() const { return treeIsActive_; }
  bool RenameInProgress() const { return renameInProgress_; }
  bool Busy() const { return worker_.Running(); }
  const ItemListModel& List() const { return list_; }
  const FolderTreeModel* Tree(TreeKind kind) const;
  // Whether the item list's context menu may open: in the items step, with
  // the list active, holding items, and a row selected.
  bool CanShowRowMenu() const;

 private:
  // The presentation of a step: its label set, controls and menu state.
  void SetInfoPanel(LabelSet set);
  void ShowStepControls(int view, Direction direction);
  void SetMenuState(int state);
  void SetQuickHelp(QuickHelp help);
  void Show(Control control, Shown shown) { view_.SetControlShown(control, shown); }
  void PresetRange();

  // The trees: made anew, shown to the view, destroyed.
  FolderTreeModel& CreateTree(TreeKind kind, std::string rootCaption);
  void DestroyTree(TreeKind kind);
  std::unique_ptr<FolderTreeModel>& TreeSlot(TreeKind kind);
  void AddPartitionNodes();

  // Worker starts and their endings on this thread.
  void OnWorkerFailed(std::exception_ptr failure);
  void FinishDiskOpen(const std::string& error);
  void StartQuickSearch();
  void FinishQuickSearch();
  void StartStandardScan();
  void FinishGeometry(bool found);
  void FinishStandardScan();
  // After a scan or mount: a box naming the directory sectors that could not be read.
  void NoticeUnreadableDirectories();
  void StartAdvanceScan();
  void FinishAdvanceScan();
  void StartMount();
  void FinishMount();
  // Says why a snapshot did not load (the commands of the step it was asked
  // in come back), or what it warned of; false when it did not load.
  bool ReportSnapshotLoad(const std::string& path, const Outcome& outcome, int fromStep);
  void FinishTreeSnapshotLoad(const std::string& path, const Outcome& outcome, int fromStep,
                              std::unique_ptr<FolderTreeModel> tree);
  void FinishAdvanceSnapshotLoad(const std::string& path, const Outcome& outcome, int fromStep,
                                 std::unique_ptr<FolderTreeModel> tree);

  void TreeClickDisk(TreeNodeId node);
  void TreeClickPartition(TreeNodeId node);
  void TreeClickFoundFileSystem(TreeNodeId node);
  void TreeClickItems(TreeNodeId node);
  void ShowParentFolder();  // the folder above the one the list shows
  void ChooseSelectedNodeAgain(TreeKind kind);  // after Back: as if clicked

  // The items step: a folder into the list, from its tree node.
  void ShowFolderOfNode(TreeNodeId node);
  void BuildKeyOfNode();
  void OpenFolder(TreeNodeId node);
  void OpenFile(std::size_t row, bool chooser);
  ItemSource Source() const;
  void FreeItems();

  Session& session_;
  WizardView& view_;
  Worker& worker_;
  ShellServices& shell_;
  Options options_;
  std::vector<std::string> refusedImages_;

  std::unique_ptr<FolderTreeModel> diskTree_;
  std::unique_ptr<FolderTreeModel> partitionsTree_;
  std::unique_ptr<FolderTreeModel> foundTree_;
  std::unique_ptr<FolderTreeModel> itemsTree_;
  ItemListModel list_;

  bool treeIsActive_ = false;
  bool stopAsked_ = false;  // the Stop question is up
  bool renameInProgress_ = false;
  std::string renameFallbackName_;
  std::size_t renameRow_ = 0;
  // The folder key of each items-tree node, built when a folder is first shown.
  std::vector<std::optional<std::uint32_t>> keyOfNode_;
  std::string tempFolder_;  // where opened files are extracted, made when first needed
};

}  // namespace salvex::wizard
