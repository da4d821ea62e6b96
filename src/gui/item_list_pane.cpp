#include "gui/item_list_pane.h"

#include <QAbstractItemDelegate>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QSettings>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/column_widths.h"
#include "gui/item_sort_proxy.h"
#include "wizard/step_presentation.h"

namespace salvex::gui {
namespace {

// The list is drawn black (deleted rows red) on white, whatever the theme.
void WhiteBackground(QAbstractItemView* view) {
  QPalette palette = view->palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::AlternateBase, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  view->setPalette(palette);
}

// The Modified column is 70 pixels wide: the list's font is narrowed, and
// made smaller only when that is not enough, until a date fits there. It
// is never larger than the desktop's.
void FitDatesToColumns(QAbstractItemView* view) {
  const int room = wizard::ItemColumns(wizard::ListLayout::itemsSizeRight)[4].width - 10;
  const auto fits = [room](const QFont& font) {
    return QFontMetrics(font).horizontalAdvance(QStringLiteral("28-12-2006 ")) <= room;
  };
  QFont font = view->font();
  for (const int stretch : {QFont::Unstretched, QFont::SemiCondensed, QFont::Condensed}) {
    font.setStretch(stretch);
    if (fits(font)) break;
  }
  while (font.pointSizeF() > 7 && !fits(font)) font.setPointSizeF(font.pointSizeF() - 0.5);
  view->setFont(font);
}

}  // namespace

ItemListPane::ItemListPane(FileTypes& types, ItemTableModel::Renamed renamed, QWidget* parent) : QWidget(parent) {
  model_ = new ItemTableModel(types, std::move(renamed), this);
  proxy_ = new ItemSortProxy(*model_, this);

  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("itemTable"));
  FitDatesToColumns(table_);
  table_->setModel(proxy_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideRight);
  table_->setIconSize(QSize(16, 16));
  table_->verticalHeader()->hide();
  // Fixed row heights: a folder of 200,000 files scrolls without measuring each.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(std::max(table_->fontMetrics().height() + 6, 20));
  // However small the window, the list keeps room for a few rows below its
  // header: the panels beside and below it give way first.
  table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                           6 * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth() + 4);
  // The last column shown takes what room is left: no blank band beside it
  // on a wide screen.
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  // The header's menu shows or hides columns; the ID column (how a row
  // leads back to the store) is hidden until asked for.
  table_->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(table_->horizontalHeader(), &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ShowColumnMenu(table_->horizontalHeader()->mapToGlobal(at)); });
  table_->horizontalHeader()->setHighlightSections(false);
  // Discovery order until a header is clicked.
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  WhiteBackground(table_);
  widths_ = new ColumnWidths(*table_, *model_);

  icons_ = new QListView(this);
  icons_->setObjectName(QStringLiteral("itemIcons"));
  icons_->setModel(proxy_);
  icons_->setSelectionModel(table_->selectionModel());
  icons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  icons_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  icons_->setUniformItemSizes(true);
  icons_->setLayoutMode(QListView::Batched);
  icons_->setResizeMode(QListView::Adjust);
  icons_->setWrapping(true);
  WhiteBackground(icons_);

  // Where the list is hidden: an empty pane of the same look.
  auto* blank = new QFrame(this);
  blank->setFrameShape(QFrame::StyledPanel);
  blank->setAutoFillBackground(true);
  blank->setBackgroundRole(QPalette::Base);
  blank_ = blank;

  pages_ = new QStackedWidget(this);
  pages_->addWidget(table_);
  pages_->addWidget(icons_);
  pages_->addWidget(blank_);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(pages_);

  Watch(table_);
  Watch(icons_);
  connect(table_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { emit currentRowChanged(); });
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { emit selectionChanged(); });
  SetLayout(wizard::ListLayout::details);
}

void ItemListPane::Watch(QAbstractItemView* view) {
  view->viewport()->installEventFilter(this);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QAbstractItemView::doubleClicked, this, [this] { emit doubleClicked(); });
  connect(view, &QWidget::customContextMenuRequested, this,
          [this, view](const QPoint& at) { emit menuRequested(view->viewport()->mapToGlobal(at)); });
  connect(view->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] { emit renameClosed(); });
}

bool ItemListPane::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && (watched == table_->viewport() || watched == icons_->viewport())) {
    emit pressed();
  }
  return QWidget::eventFilter(watched, event);
}

void ItemListPane::SetLayout(wizard::ListLayout layout) {
  model_->SetLayout(layout);
  widths_->Apply(layout);
  ApplyHiddenColumns();
  QHeaderView* header = table_->horizontalHeader();
  const bool items = layout != wizard::ListLayout::details;
  table_->setShowGrid(items);
  table_->setSortingEnabled(items);
  header->setSortIndicatorShown(items);
  header->setSortIndicator(-1, Qt::AscendingOrder);
  proxy_->sort(-1);
}

void ItemListPane::SetRows(const wizard::ItemListModel* rows) {
  // A new fill shows the order the scan found.
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  proxy_->sort(-1);
  model_->SetRows(rows);
  widths_->FitNames(rows);
}

void ItemListPane::SetListVisible(bool visible) {
  listVisible_ = visible;
  SetViewMode(mode_);
}

void ItemListPane::SetViewMode(wizard::ViewMode mode) {
  mode_ = mode;
  // Small icons with their names beside them: row after row in the icons
  // mode, column after column in the list mode.
  if (mode == wizard::ViewMode::icons) {
    icons_->setFlow(QListView::LeftToRight);
    icons_->setGridSize(QSize(180, icons_->fontMetrics().height() + 10));
  } else if (mode == wizard::ViewMode::list) {
    icons_->setFlow(QListView::TopToBottom);
    icons_->setGridSize(QSize(220, icons_->fontMetrics().height() + 8));
  }
  icons_->setViewMode(QListView::ListMode);
  icons_->setIconSize(QSize(16, 16));
  icons_->setWordWrap(false);
  icons_->setTextElideMode(Qt::ElideRight);
  // Both modes arrange themselves anew as the pane changes size.
  icons_->setMovement(QListView::Static);
  icons_->setWrapping(true);
  icons_->setResizeMode(QListView::Adjust);
  QWidget* page = !listVisible_ ? blank_ : mode == wizard::ViewMode::details ? static_cast<QWidget*>(table_) : icons_;
  pages_->setCurrentWidget(page);
}

QAbstractItemView* ItemListPane::ActiveView() const {
  return mode_ == wizard::ViewMode::details ? static_cast<QAbstractItemView*>(table_) : icons_;
}

QModelIndex ItemListPane::IndexOfRow(std::size_t row) const {
  return proxy_->mapFromSource(model_->index(static_cast<int>(row), 0));
}

std::optional<std::size_t> ItemListPane::SelectedRow() const {
  const QItemSelectionModel* selection = table_->selectionModel();
  QModelIndex current = selection->currentIndex();
  if (!current.isValid() || !selection->isRowSelected(current.row(), current.parent())) {
    const QModelIndexList rows = selection->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    current = rows.first();
  }
  const QModelIndex source = proxy_->mapToSource(current);
  if (!source.isValid()) return std::nullopt;
  return static_cast<std::size_t>(source.row());
}

std::vector<std::size_t> ItemListPane::SelectedRows() const {
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
    const QModelIndex source = proxy_->mapToSource(index);
    if (source.isValid()) rows.push_back(static_cast<std::size_t>(source.row()));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::optional<std::size_t> ItemListPane::ShownRow(wizard::ListEnd end) const {
  const int count = proxy_->rowCount();
  if (count == 0) return std::nullopt;
  const QModelIndex source = proxy_->mapToSource(proxy_->index(end == wizard::ListEnd::first ? 0 : count - 1, 0));
  if (!source.isValid()) return std::nullopt;
  return static_cast<std::size_t>(source.row());
}

void ItemListPane::SelectRow(std::size_t row) {
  const QModelIndex index = IndexOfRow(row);
  if (!index.isValid()) return;
  ActiveView()->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ActiveView()->scrollTo(index);
}

void ItemListPane::BeginRename(std::size_t row) {
  const QModelIndex index = IndexOfRow(row);
  if (!index.isValid()) return;
  QAbstractItemView* view = ActiveView();
  view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->scrollTo(index);
  view->edit(index);
}

std::vector<int> ItemListPane::HiddenColumns() {
  const QVariant saved = QSettings().value(kHiddenColumnsKey);
  if (!saved.isValid()) return {kIdColumn};
  std::vector<int> hidden;
  for (const QVariant& column : saved.toList()) hidden.push_back(column.toInt());
  return hidden;
}

void ItemListPane::ApplyHiddenColumns() {
  const std::vector<int> hidden = HiddenColumns();
  const bool items = model_->columnCount() > 1;
  for (int column = 0; column < model_->columnCount(); ++column) {
    const bool hide = items && column != 0 && std::find(hidden.begin(), hidden.end(), column) != hidden.end();
    table_->setColumnHidden(column, hide);
  }
}

void ItemListPane::ShowColumnMenu(QPoint globalPosition) {
  if (model_->columnCount() <= 1) return;
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("columnMenu"));
  std::vector<int> hidden = HiddenColumns();
  for (int column = 1; column < model_->columnCount(); ++column) {
    QAction* action = menu.addAction(model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    action->setCheckable(true);
    action->setChecked(!table_->isColumnHidden(column));
    action->setData(column);
  }
  const QAction* chosen = menu.exec(globalPosition);
  if (chosen == nullptr) return;
  SetColumnShown(chosen->data().toInt(), chosen->isChecked());
}

void ItemListPane::SetColumnShown(int column, bool shown) {
  std::vector<int> hidden = HiddenColumns();
  std::erase(hidden, column);
  if (!shown) hidden.push_back(column);
  QList<QVariant> saved;
  for (const int each : hidden) saved.append(each);
  QSettings().setValue(kHiddenColumnsKey, saved);
  ApplyHiddenColumns();
}

void ItemListPane::RefreshRow(std::size_t row) { model_->RefreshRow(static_cast<int>(row)); }

void ItemListPane::Focus() { ActiveView()->setFocus(Qt::OtherFocusReason); }

}  // namespace salvex::gui
