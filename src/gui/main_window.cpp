#include "gui/main_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QCoreApplication>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/button_bar.h"
#include "gui/command_actions.h"
#include "gui/file_type_group.h"
#include "gui/folder_tree_item_model.h"
#include "gui/folder_tree_view.h"
#include "gui/qt_text.h"
#include "gui/info_panel.h"
#include "gui/item_list_pane.h"
#include "gui/key_router.h"
#include "gui/message_boxes.h"
#include "gui/progress_row.h"
#include "gui/scan_options.h"
#include "gui/status_line.h"
#include "gui/theme_icon.h"
#include "gui/tree_pane.h"
#include "gui/view_filter_bar.h"
#include "gui/ui_port_relay.h"
#include "gui/widget_port.h"
#include "gui/wizard_buttons.h"
#include "wizard/list_summary.h"
#include "wizard/wizard_commands.h"
#include "wizard/wizard_controller.h"

namespace salvex::gui {

using wizard::Command;
using wizard::Control;

MainWindow::MainWindow(const ScanState& scan, QWidget* parent) : QMainWindow(parent) {
  LoadBundledIcons();
  setWindowTitle(QString::fromLatin1(kBoxTitle));
  setWindowIcon(QIcon(QStringLiteral(":/icons/salvex.svg")));
  setObjectName(QStringLiteral("mainWindow"));
  actions_ = new CommandActions(this);
  actions_->FillMenuBar(*menuBar());
  setCentralWidget(BuildCentre(scan));
  detailsAction_ = new QAction(QStringLiteral("&Information and Quick Help"), this);
  detailsAction_->setObjectName(QStringLiteral("viewDetailsArea"));
  detailsAction_->setCheckable(true);
  if (QMenu* view = ViewMenu()) {
    view->addSeparator();
    view->addAction(detailsAction_);
  }
  connect(detailsAction_, &QAction::triggered, this, &MainWindow::ShowDetails);
  connect(outer_, &QSplitter::splitterMoved, this, [this] {
    detailsAction_->setChecked(DetailsShown());
    QSettings().setValue(kDetailsShownKey, DetailsShown());
  });
  status_ = new StatusLine(this);
  statusBar()->addWidget(status_, 1);
  screen_ = std::make_unique<WidgetPort>(*this, *panel_, *progress_, *buttons_, *status_);
  relay_ = std::make_unique<UiPortRelay>(*this, *screen_);
  setAcceptDrops(true);
  resize(1040, 740);
  restoreGeometry(QSettings().value(kGeometryKey).toByteArray());
  // The splitter's sizes are only known once it is laid out: the state last
  // saved says whether the details were folded away.
  detailsAction_->setChecked(QSettings().value(kDetailsShownKey, true).toBool());
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::BuildCentre(const ScanState& scan) {
  auto* centre = new QWidget(this);
  trees_ = new TreePane(centre);
  list_ = new ItemListPane(
      types_, [this](const std::string& text) { if (controller_ != nullptr) controller_->OnRenameEnded(text); }, centre);
  auto* panes = new QSplitter(Qt::Horizontal, centre);
  panes_ = panes;
  panes->setObjectName(QStringLiteral("panes"));
  // Above the list, the view filters: what of the items found it shows.
  auto* listColumn = new QWidget(centre);
  listColumn_ = listColumn;
  // Shown with the items (see SetListVisible).
  listColumn->hide();
  viewFilterBar_ = new ViewFilterBar(listColumn);
  viewFilterBar_->hide();
  auto* listLayout = new QVBoxLayout(listColumn);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->setSpacing(2);
  listLayout->addWidget(viewFilterBar_);
  listLayout->addWidget(list_, 1);
  // The tree keeps room for its captions; the list gives way first.
  trees_->setMinimumWidth(170);
  panes->addWidget(trees_);
  panes->addWidget(listColumn);
  panes->setStretchFactor(1, 1);
  panes->setSizes({260, 760});
  panes->setChildrenCollapsible(false);

  // Below the panes, in a splitter of their own that remembers where it was
  // left: the Information panel, the scan's choices and the Quick Help. They
  // give way to the list (and fold away) on a small screen.
  auto* details = new QWidget(centre);
  details->setObjectName(QStringLiteral("detailsArea"));
  auto* information = new QGroupBox(QStringLiteral("Information"), details);
  panel_ = new InfoPanel(information);
  auto* informationLayout = new QVBoxLayout(information);
  informationLayout->addWidget(panel_);
  information->setMinimumWidth(380);
  options_ = new ScanOptions(details);
  // One row: the panel, the scan's choices, and the Quick Help beside them
  // rather than below, so that the list keeps the height.
  auto* middle = new QHBoxLayout;
  middle->addWidget(information);
  middle->addWidget(options_);

  auto* help = new QGroupBox(QStringLiteral("Quick Help"), details);
  quickHelp_ = new QPlainTextEdit(help);
  quickHelp_->setObjectName(QStringLiteral("quickHelp"));
  quickHelp_->setReadOnly(true);
  // Read, never edited: no stop for the Tab key, which shows nothing there.
  quickHelp_->setFocusPolicy(Qt::NoFocus);
  quickHelp_->setFrameShape(QFrame::NoFrame);
  quickHelp_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  quickHelp_->setMinimumHeight(quickHelp_->fontMetrics().lineSpacing() + 8);
  quickHelp_->setMaximumHeight(quickHelp_->fontMetrics().lineSpacing() * 5 + 12);
  quickHelp_->setMinimumWidth(200);
  // Read, not edited: drawn on the window's own background.
  QPalette calm = quickHelp_->palette();
  calm.setColor(QPalette::Base, calm.color(QPalette::Window));
  quickHelp_->setPalette(calm);
  auto* helpLayout = new QVBoxLayout(help);
  helpLayout->addWidget(quickHelp_);

  progress_ = new ProgressRow(scan, centre);
  buttons_ = new WizardButtons(centre);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(progress_, 1);
  bottom->addSpacing(24);
  bottom->addWidget(buttons_);

  middle->addWidget(help, 1);
  middle->setContentsMargins(0, 0, 0, 0);
  details->setLayout(middle);
  // As tall as its panel needs, never more: the list takes the rest.
  details->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

  outer_ = new QSplitter(Qt::Vertical, centre);
  outer_->setObjectName(QStringLiteral("outerSplitter"));
  outer_->addWidget(panes);
  outer_->addWidget(details);
  outer_->setStretchFactor(0, 1);
  outer_->setStretchFactor(1, 0);
  outer_->setCollapsible(0, false);
  outer_->setCollapsible(1, true);
  if (!outer_->restoreState(QSettings().value(kDetailsSplitKey).toByteArray())) {
    outer_->setSizes({600, details->minimumSizeHint().height()});
  }
  connect(outer_, &QSplitter::splitterMoved, this,
          [this] { QSettings().setValue(kDetailsSplitKey, outer_->saveState()); });

  auto* column = new QVBoxLayout(centre);
  column->addWidget(outer_, 1);
  column->addLayout(bottom);
  return centre;
}

QMenu* MainWindow::ViewMenu() const {
  for (QAction* menu : menuBar()->actions()) {
    if (menu->menu() != nullptr && menu->text() == QStringLiteral("&View")) return menu->menu();
  }
  return nullptr;
}

void MainWindow::ShowDetails(bool shown) {
  QWidget* details = outer_->widget(1);
  const int total = outer_->height();
  outer_->setSizes({shown ? std::max(total - details->sizeHint().height(), total / 2) : total,
                    shown ? std::min(details->sizeHint().height(), total / 2) : 0});
  detailsAction_->setChecked(shown);
  QSettings settings;
  settings.setValue(kDetailsSplitKey, outer_->saveState());
  settings.setValue(kDetailsShownKey, shown);
}

bool MainWindow::DetailsShown() const { return outer_->sizes().value(1) > 0; }

void MainWindow::Attach(wizard::WizardController& controller, wizard::WizardCommands& commands) {
  controller_ = &controller;
  commands_ = &commands;
  auto* c = &controller;
  connect(trees_, &TreePane::nodeClicked, this,
          [c](std::optional<TreeNodeId> node, wizard::TreeHit hit) { c->OnTreeClick(node, hit); });
  connect(buttons_, &WizardButtons::nextClicked, this, [c] { c->OnNext(); });
  connect(buttons_, &WizardButtons::backClicked, this, [c] { c->OnBack(); });
  connect(buttons_, &WizardButtons::stopClicked, this, [c] { c->OnStop(); });
  connect(buttons_, &WizardButtons::searchPartitionsClicked, this, [c] { c->OnSearchPartitions(); });
  connect(options_, &ScanOptions::scanTypeChosen, this, [c](ScanType type) { c->OnScanType(type); });
  connect(list_, &ItemListPane::pressed, this, [c] { c->OnListClick(); });
  connect(list_, &ItemListPane::doubleClicked, this, [c] { c->OnListDoubleClick(); });
  connect(list_, &ItemListPane::menuRequested, this, &MainWindow::ShowRowMenu);
  connect(list_, &ItemListPane::selectionChanged, this, &MainWindow::UpdateSelectionStatus);
  connect(viewFilterBar_, &ViewFilterBar::changed, this, [c](const wizard::ViewFilter& filter) { c->SetViewFilter(filter); });
  // Check boxes on the rows and the items tree's folders: the wizard keeps the marks.
  const auto checkState = [](wizard::MarkedItems::State state) {
    return state == wizard::MarkedItems::State::marked  ? Qt::Checked
           : state == wizard::MarkedItems::State::partly ? Qt::PartiallyChecked
                                                         : Qt::Unchecked;
  };
  list_->Model().SetMarks({[c, checkState](int row) { return checkState(c->ListRowMark(static_cast<std::size_t>(row))); },
                           [c](int row, bool marked) { c->MarkListRow(static_cast<std::size_t>(row), marked); }});
  trees_->View(wizard::TreeKind::items)
      .Nodes()
      .SetMarks({[c, checkState](TreeNodeId node) { return checkState(c->TreeNodeMark(node)); },
                 [c](TreeNodeId node, bool marked) { c->MarkTreeNode(node, marked); }});
  // A cancelled edit, or one that lost its row, ends the rename with no text.
  connect(list_, &ItemListPane::renameClosed, this, [c] {
    if (c->RenameInProgress()) c->OnRenameEnded("");
  });
  connect(actions_, &CommandActions::commandTriggered, this, &MainWindow::OnCommand);
  bar_ = new ButtonBar(*actions_, commands.HasHomePage(), this);
  addToolBar(Qt::TopToolBarArea, bar_);
  connect(bar_, &ButtonBar::commandClicked, this, &MainWindow::OnCommand);
  keys_ = new KeyRouter(*this, [this](wizard::Key key) { return OnKey(key); });
}

void MainWindow::AttachPreview(wizard::PreviewReader& reader, PreviewPane::RequestOf requestOf) {
  preview_ = new PreviewPane(reader, std::move(requestOf), panes_);
  panes_->addWidget(preview_);
  // A wider window widens the list and the preview most, the tree a little
  // (its disk captions are long).
  panes_->setStretchFactor(0, 1);
  panes_->setStretchFactor(1, 3);
  panes_->setStretchFactor(2, 2);
  // The list first: its six columns fit beside a tree and a preview on a
  // 1024-pixel screen.
  panes_->setSizes({220, 560, 244});
  QSettings settings;
  const bool shown = settings.value(kPreviewShownKey, true).toBool();
  preview_->setVisible(shown && !listColumn_->isHidden());
  previewAction_ = new QAction(QStringLiteral("&Preview"), this);
  previewAction_->setObjectName(QStringLiteral("viewPreview"));
  previewAction_->setCheckable(true);
  previewAction_->setChecked(shown);
  if (QMenu* view = ViewMenu()) view->insertAction(detailsAction_, previewAction_);
  connect(previewAction_, &QAction::toggled, this, [this](bool on) {
    preview_->setVisible(on && !listColumn_->isHidden());
    QSettings().setValue(kPreviewShownKey, on);
    UpdatePreview();
  });
  const QByteArray columns = settings.value(kPanesSplitKey).toByteArray();
  if (!columns.isEmpty()) panes_->restoreState(columns);
  connect(panes_, &QSplitter::splitterMoved, this, [this] { QSettings().setValue(kPanesSplitKey, panes_->saveState()); });
  // A click makes its row current before it selects it: the pane is drawn
  // once both have settled, from what is selected then.
  connect(list_, &ItemListPane::currentRowChanged, this, &MainWindow::SchedulePreview);
  connect(list_, &ItemListPane::selectionChanged, this, &MainWindow::SchedulePreview);
}

void MainWindow::SchedulePreview() {
  if (previewPending_) return;
  previewPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        previewPending_ = false;
        UpdatePreview();
      },
      Qt::QueuedConnection);
}

void MainWindow::TakePreview(std::uint64_t ticket, PreviewBytes bytes) {
  if (preview_ != nullptr) preview_->Take(ticket, std::move(bytes));
}

void MainWindow::UpdatePreview() {
  if (preview_ == nullptr) return;
  // Exactly one file selected: that file. A folder, several rows or none:
  // the empty frame.
  const std::vector<std::size_t> selected = list_->SelectedRows();
  const bool oneFile = rows_ != nullptr && selected.size() == 1 && selected[0] < rows_->RowCount() &&
                       !rows_->At(selected[0]).folder;
  if (!preview_->isVisible() || !oneFile) {
    preview_->ShowNothing();
    return;
  }
  preview_->ShowFile(*rows_, selected[0]);
}

void MainWindow::UpdateListStatus() {
  listCounts_ = rows_ == nullptr || !rows_->HoldsItems() ? QString() : ToQString(wizard::ListCountsText(wizard::CountRows(*rows_)));
  UpdateSelectionStatus();
}

void MainWindow::UpdateSelectionStatus() {
  const bool items = rows_ != nullptr && rows_->HoldsItems();
  QString right = items ? ToQString(wizard::SelectionText(*rows_, list_->SelectedRows())) : QString();
  // What the check boxes mark, across folders, beside what is selected here.
  if (controller_ != nullptr && !controller_->Marks().Empty()) {
    const auto marked = controller_->CountMarked();
    const QString marks = ToQString(wizard::MarkedText(marked.files, marked.bytes));
    right = right.isEmpty() ? marks : right + QStringLiteral("  |  ") + marks;
  }
  status_->SetListTexts(listCounts_, right);
}

void MainWindow::OnCommand(Command command) { commands_->Run(command); }

bool MainWindow::OnKey(wizard::Key key) {
  // The rename editor needs Esc to give up the edit.
  if (key == wizard::Key::escape && controller_->RenameInProgress()) return false;
  if (controller_->OnKey(key)) return true;
  if (key != wizard::Key::applications) return false;
  QAbstractItemView* view = list_->ActiveView();
  const auto row = list_->SelectedRow();
  const QRect at = row ? view->visualRect(list_->IndexOfRow(*row)) : view->viewport()->rect();
  ShowRowMenu(view->viewport()->mapToGlobal(at.center()));
  return true;
}

void MainWindow::ShowRowMenu(QPoint globalPosition) {
  if (controller_ == nullptr || !controller_->CanShowRowMenu()) return;
  const auto row = list_->SelectedRow();
  const bool folder = row && *row < controller_->List().RowCount() && controller_->List().At(*row).folder;
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("rowMenu"));
  actions_->FillRowMenu(menu, folder);
  menu.exec(globalPosition);
}

void MainWindow::Post(std::function<void()> work) { relay_->Post(std::move(work)); }

void MainWindow::BeginQuit() { relay_->BeginQuit(); }

QString MainWindow::QuickHelpText() const { return quickHelpText_; }
QString MainWindow::QuickHelpShown() const { return quickHelp_->toPlainText(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  // The close box asks as Exit does; the window goes only once Quit is called.
  if (!quitStatus_ && controller_ != nullptr) controller_->OnExit();
  if (quitStatus_ || controller_ == nullptr) {
    QSettings().setValue(kGeometryKey, saveGeometry());
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* dropped = event->mimeData();
  if (dropped->hasUrls() && !dropped->urls().isEmpty() && dropped->urls().first().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (controller_ == nullptr) return;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) controller_->AddDiskImage(url.toLocalFile().toStdString());
  }
  event->acceptProposedAction();
}

// ---- UiPort: through the relay, from whichever thread ----------------------

void MainWindow::SetPanelValue(std::string_view label, std::string_view value) { relay_->SetPanelValue(label, value); }
void MainWindow::SetStatus(std::string_view text) { relay_->SetStatus(text); }
void MainWindow::ShowProgress(bool visible) { relay_->ShowProgress(visible); }
void MainWindow::SetProgress(int percent) { relay_->SetProgress(percent); }
void MainWindow::SetStopVisible(bool visible) { relay_->SetStopVisible(visible); }
void MainWindow::Notice(NoticeKind kind, std::string_view text) { relay_->Notice(kind, text); }
bool MainWindow::Confirm(std::string_view text) { return relay_->Confirm(text); }

void MainWindow::CloseQuestion() { CloseOpenQuestion(); }

// ---- WizardView: the controller, on this thread ------------------------------

void MainWindow::SetTree(wizard::TreeKind kind, const FolderTreeModel* tree) { trees_->SetTree(kind, tree); }
void MainWindow::SetTreeShown(wizard::TreeKind kind, wizard::Shown shown) { trees_->SetShown(kind, shown); }
void MainWindow::SelectTreeNode(wizard::TreeKind kind, TreeNodeId node) { trees_->Select(kind, node); }
void MainWindow::ExpandTreeNode(wizard::TreeKind kind, TreeNodeId node) { trees_->Expand(kind, node); }
void MainWindow::ShowTreeNodes(wizard::TreeKind kind, const std::vector<bool>* shown) {
  trees_->View(kind).Nodes().SetShownNodes(shown);
}
void MainWindow::ShowViewFilter(const wizard::ViewFilter& filter) { viewFilterBar_->Show(filter); }
void MainWindow::SetTreeNodeText(wizard::TreeKind kind, TreeNodeId node, std::string_view) {
  // The controller has renamed the node in its tree; only the drawing is stale.
  trees_->RefreshNode(kind, node);
}
std::optional<TreeNodeId> MainWindow::SelectedTreeNode(wizard::TreeKind kind) const { return trees_->Selected(kind); }
void MainWindow::FocusTree(wizard::TreeKind kind) { trees_->Focus(kind); }

void MainWindow::SetListLayout(wizard::ListLayout layout) { list_->SetLayout(layout); }
void MainWindow::ShowListRows(const wizard::ItemListModel* rows) {
  rows_ = rows;
  // The view filters are the items step's: shown while the list holds items.
  if (rows != nullptr) viewFilterBar_->setVisible(rows->HoldsItems());
  if (controller_ != nullptr && controller_->Step() != wizard::WizardStep::items) {
    viewFilterBar_->hide();
    SetListVisible(false);
  }
  list_->SetRows(rows);
  UpdatePreview();
  UpdateListStatus();
}
// The steps before the items have no list: the tree takes the width, so that
// the disks' and partitions' names are read whole.
void MainWindow::SetListVisible(bool visible) {
  list_->SetListVisible(visible);
  const bool appears = visible && listColumn_->isHidden();
  listColumn_->setVisible(visible);
  // Laid out at once, so that the names fitted into the list next are
  // measured against its real width.
  if (appears) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  if (preview_ != nullptr) preview_->setVisible(visible && previewAction_->isChecked());
}
void MainWindow::SetViewMode(wizard::ViewMode mode) { list_->SetViewMode(mode); }
std::optional<std::size_t> MainWindow::SelectedListRow() const { return list_->SelectedRow(); }
std::vector<std::size_t> MainWindow::SelectedListRows() const { return list_->SelectedRows(); }
void MainWindow::SelectListRow(std::size_t row) { list_->SelectRow(row); }
std::optional<std::size_t> MainWindow::ShownListRow(wizard::ListEnd end) const { return list_->ShownRow(end); }
void MainWindow::FocusList() { list_->Focus(); }
void MainWindow::BeginListRename(std::size_t row) { list_->BeginRename(row); }
void MainWindow::MarksChanged() {
  list_->Model().RefreshMarks();
  // A folder's mark covers everything below it: all the boxes drawn anew.
  trees_->View(wizard::TreeKind::items).viewport()->update();
  UpdateSelectionStatus();
}
void MainWindow::RefreshListRow(std::size_t row) { list_->RefreshRow(row); }

void MainWindow::SetPanelLabels(const wizard::PanelLabelSet& set) {
  relay_->Flush();
  panel_->SetLabels(set);
}
void MainWindow::HideFirstPanelLabel() { panel_->HideFirstLabel(); }

void MainWindow::SetControlShown(Control control, wizard::Shown shown) {
  relay_->Flush();
  QWidget* part = buttons_->Button(control);
  if (part == nullptr) part = options_->Part(control);
  if (part == nullptr) return;
  part->setVisible(shown.visible);
  part->setEnabled(shown.enabled);
  if (control == Control::stop) {
    progress_->SetStopShown(shown.visible);
    status_->SetScanning(shown.visible);
  }
}

void MainWindow::SetScanTypeChecked(ScanType type) { options_->SetChecked(type); }
void MainWindow::SetRangeFields(const wizard::RangeFields& fields) { options_->SetRange(fields); }
wizard::RangeFields MainWindow::ReadRangeFields() const { return options_->Range(); }
void MainWindow::SetFileTypeChoices(const wizard::FileTypeChoices& choices) {
  options_->FileTypes().SetChoices(choices);
}
wizard::FileTypeChoices MainWindow::ReadFileTypeChoices() const { return options_->FileTypes().Choices(); }
void MainWindow::SetQuickHelp(std::string_view text) {
  quickHelpText_ = ToQString(text);
  // The text's indents and runs of blanks laid out lines of a fixed width;
  // in a pane that wraps they are only gaps. Shown as a rich-text panel
  // shows them: a line each, blanks run together.
  QStringList lines;
  for (const QString& line : quickHelpText_.split(QLatin1Char('\n'))) {
    if (!line.trimmed().isEmpty()) lines << line.simplified();
  }
  quickHelp_->setPlainText(lines.join(QLatin1Char('\n')));
}
void MainWindow::SetCommandEnabled(Command command, bool enabled) { actions_->Action(command)->setEnabled(enabled); }
bool MainWindow::CommandEnabled(Command command) const { return actions_->Action(command)->isEnabled(); }

void MainWindow::Quit(int status) {
  quitStatus_ = status;
  relay_->BeginQuit();
  // After the event being handled, as the controller expects.
  QMetaObject::invokeMethod(
      this,
      [this, status] {
        if (quit_) {
          quit_(status);
        } else {
          QCoreApplication::exit(status);
        }
      },
      Qt::QueuedConnection);
}

}  // namespace salvex::gui
