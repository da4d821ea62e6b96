#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

#include "disk/scan_state.h"
#include "gui/file_types.h"
#include "gui/preview_pane.h"
#include "wizard/wizard_view.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QSplitter;

namespace salvex::wizard {
class WizardCommands;
class WizardController;
}

namespace salvex::gui {

class ButtonBar;
class CommandActions;
class InfoPanel;
class ItemListPane;
class KeyRouter;
class ProgressRow;
class ScanOptions;
class StatusLine;
class TreePane;
class UiPortRelay;
class ViewFilterBar;
class WidgetPort;
class WizardButtons;

// The desktop window: draws what the wizard controller tells it and hands
// every click and key to the controller. It decides nothing itself. Calls
// that the engines make from a worker reach it through a UiPortRelay.
class MainWindow final : public QMainWindow, public wizard::WizardView {
  Q_OBJECT

 public:
  // `scan` is read on this thread for the rate of a sweep.
  explicit MainWindow(const ScanState& scan, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Connects the window's events to the controller and the commands,
  // which outlive it being shown.
  void Attach(wizard::WizardController& controller, wizard::WizardCommands& commands);
  // Runs `work` on this window's thread, after what the workers reported.
  void Post(std::function<void()> work);
  // From now on a worker's boxes answer at once: the program is ending.
  void BeginQuit();
  std::optional<int> QuitStatus() const { return quitStatus_; }
  // What Quit does once the current event is handled: by default it ends
  // the application's event loop; a test that outlives it records instead.
  void SetQuitAction(std::function<void(int status)> quit) { quit_ = std::move(quit); }
  FileTypes& Types() { return types_; }
  // Adds the preview pane beside the list (View > Preview shows and hides
  // it, remembered), reading through `reader`.
  void AttachPreview(wizard::PreviewReader& reader, PreviewPane::RequestOf requestOf);
  // The reader's answer, on this thread.
  void TakePreview(std::uint64_t ticket, PreviewBytes bytes);
  PreviewPane* Preview() const { return preview_; }
  // The Information panel, the scan's choices and the Quick Help, below the
  // panes: shown, or folded away for the list's sake (remembered).
  void ShowDetails(bool shown);
  bool DetailsShown() const;

  // The window's parts, for the screenshot tour and the tests.
  TreePane& Trees() const { return *trees_; }
  ItemListPane& List() const { return *list_; }
  InfoPanel& Panel() const { return *panel_; }
  ScanOptions& Options() const { return *options_; }
  WizardButtons& Buttons() const { return *buttons_; }
  ProgressRow& Progress() const { return *progress_; }
  StatusLine& Status() const { return *status_; }
  CommandActions& Actions() const { return *actions_; }
  ButtonBar& Bar() const { return *bar_; }
  ViewFilterBar& ViewFilters() const { return *viewFilterBar_; }
  // The Quick Help text as the wizard gave it, and as the pane shows it.
  QString QuickHelpText() const;
  QString QuickHelpShown() const;

  // UiPort
  void SetPanelValue(std::string_view label, std::string_view value) override;
  void SetStatus(std::string_view text) override;
  void ShowProgress(bool visible) override;
  void SetProgress(int percent) override;
  void SetStopVisible(bool visible) override;
  void Notice(NoticeKind kind, std::string_view text) override;
  bool Confirm(std::string_view text) override;

  // WizardView
  void SetTree(wizard::TreeKind kind, const FolderTreeModel* tree) override;
  void SetTreeShown(wizard::TreeKind kind, wizard::Shown shown) override;
  void SelectTreeNode(wizard::TreeKind kind, TreeNodeId node) override;
  void ExpandTreeNode(wizard::TreeKind kind, TreeNodeId node) override;
  void SetTreeNodeText(wizard::TreeKind kind, TreeNodeId node, std::string_view text) override;
  void ShowTreeNodes(wizard::TreeKind kind, const std::vector<bool>* shown) override;
  void ShowViewFilter(const wizard::ViewFilter& filter) override;
  std::optional<TreeNodeId> SelectedTreeNode(wizard::TreeKind kind) const override;
  void FocusTree(wizard::TreeKind kind) override;
  void SetListLayout(wizard::ListLayout layout) override;
  void ShowListRows(const wizard::ItemListModel* rows) override;
  void SetListVisible(bool visible) override;
  void SetViewMode(wizard::ViewMode mode) override;
  std::optional<std::size_t> SelectedListRow() const override;
  std::vector<std::size_t> SelectedListRows() const override;
  void SelectListRow(std::size_t row) override;
  std::optional<std::size_t> ShownListRow(wizard::ListEnd end) const override;
  void FocusList() override;
  void BeginListRename(std::size_t row) override;
  void MarksChanged() override;
  void RefreshListRow(std::size_t row) override;
  void SetPanelLabels(const wizard::PanelLabelSet& set) override;
  void HideFirstPanelLabel() override;
  void SetControlShown(wizard::Control control, wizard::Shown shown) override;
  void SetScanTypeChecked(ScanType type) override;
  void SetRangeFields(const wizard::RangeFields& fields) override;
  wizard::RangeFields ReadRangeFields() const override;
  void SetFileTypeChoices(const wizard::FileTypeChoices& choices) override;
  wizard::FileTypeChoices ReadFileTypeChoices() const override;
  void SetQuickHelp(std::string_view text) override;
  void SetCommandEnabled(wizard::Command command, bool enabled) override;
  bool CommandEnabled(wizard::Command command) const override;
  void Quit(int status) override;
  void CloseQuestion() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A disk image dropped on the window is offered to the wizard.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QWidget* BuildCentre(const ScanState& scan);
  QMenu* ViewMenu() const;
  void OnCommand(wizard::Command command);
  bool OnKey(wizard::Key key);
  // The item list's context menu, where the wizard allows it.
  void ShowRowMenu(QPoint globalPosition);
  void UpdatePreview();
  // Draws the preview after the events of this moment have settled.
  void SchedulePreview();
  // The status bar's counts of the list and of its selection.
  void UpdateListStatus();
  void UpdateSelectionStatus();

  static constexpr const char* kPreviewShownKey = "view/preview";
  static constexpr const char* kDetailsSplitKey = "window/details-split";
  static constexpr const char* kDetailsShownKey = "view/details";
  static constexpr const char* kPanesSplitKey = "window/panes-split";
  static constexpr const char* kGeometryKey = "window/geometry";

  FileTypes types_;
  CommandActions* actions_ = nullptr;
  ButtonBar* bar_ = nullptr;
  TreePane* trees_ = nullptr;
  ItemListPane* list_ = nullptr;
  ViewFilterBar* viewFilterBar_ = nullptr;
  QWidget* listColumn_ = nullptr;  // the view filters and the list
  QSplitter* panes_ = nullptr;
  QSplitter* outer_ = nullptr;  // the panes above, the information and help below
  PreviewPane* preview_ = nullptr;
  QAction* previewAction_ = nullptr;
  QAction* detailsAction_ = nullptr;
  bool previewPending_ = false;
  const wizard::ItemListModel* rows_ = nullptr;
  InfoPanel* panel_ = nullptr;
  ScanOptions* options_ = nullptr;
  QPlainTextEdit* quickHelp_ = nullptr;
  WizardButtons* buttons_ = nullptr;
  ProgressRow* progress_ = nullptr;
  StatusLine* status_ = nullptr;
  QString listCounts_;
  QString quickHelpText_;
  std::unique_ptr<WidgetPort> screen_;
  std::unique_ptr<UiPortRelay> relay_;
  KeyRouter* keys_ = nullptr;
  wizard::WizardController* controller_ = nullptr;
  wizard::WizardCommands* commands_ = nullptr;
  std::optional<int> quitStatus_;
  std::function<void(int)> quit_;
};

}  // namespace salvex::gui
