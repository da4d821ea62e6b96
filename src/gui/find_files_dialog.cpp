#include "gui/find_files_dialog.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QCheckBox>
#include <QColor>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "gui/file_types.h"
#include "gui/message_boxes.h"
#include "gui/qt_text.h"
#include "gui/read_only_field.h"
#include "wizard/content_search_texts.h"
#include "wizard/size_text.h"

namespace salvex::gui {

// The found files, appended in batches; a search may find millions.
class FoundRowsModel final : public QAbstractTableModel {
 public:
  // File Name, Path and Size; then, for a search by content, Offset and Hits.
  static constexpr int kColumns = 5;

  FoundRowsModel(FileTypes& types, QObject* parent) : QAbstractTableModel(parent), types_(types) {}

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kColumns; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const FoundFileRow& row = rows_[static_cast<std::size_t>(index.row())];
    const bool inFreeSpace = row.text && row.text->freeSector;
    if (role == Qt::DisplayRole) {
      switch (index.column()) {
        case 0: return ToQString(row.name);
        case 1: return ToQString(row.path);
        case 2: return inFreeSpace ? QString() : ToQString(wizard::ItemSizeText(row.size));  // as the item list shows it
        case 3: return ToQString(wizard::FoundOffsetText(row));
        default: return row.text ? QString::number(row.text->count) : QString();
      }
    }
    if (role == Qt::ToolTipRole && index.column() == 2 && !inFreeSpace) {
      return ToQString(wizard::ExactSizeText(row.size));
    }
    if (role == Qt::TextAlignmentRole && index.column() >= 2) return QVariant::fromValue(Qt::AlignVCenter | Qt::AlignRight);
    if (role == Qt::DecorationRole && index.column() == 0 && !inFreeSpace) return types_.FileIcon(row.name, row.deleted);
    // Deleted files in red, as in the item list.
    if (role == Qt::ForegroundRole) return QBrush(row.deleted ? QColor(255, 0, 0) : QColor(0, 0, 0));
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const char* const kTitles[kColumns] = {"File Name", "Path", "Size", wizard::kOffsetColumnTitle,
                                                  wizard::kHitsColumnTitle};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns) return {};
    return QString::fromLatin1(kTitles[section]);
  }

  void Append(std::vector<FoundFileRow>& more) {
    if (more.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(more.size()) - 1);
    std::move(more.begin(), more.end(), std::back_inserter(rows_));
    endInsertRows();
  }
  void Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
  }
  const FoundFileRow& At(int row) const { return rows_[static_cast<std::size_t>(row)]; }

 private:
  FileTypes& types_;
  std::vector<FoundFileRow> rows_;
};

namespace {

constexpr int kDrawIntervalMs = 100;
constexpr int kWidths[FoundRowsModel::kColumns] = {150, 250, 95, 140, 50};

// The list's width for its first `columns` columns, with room for the
// vertical scroll bar and the frame.
int ColumnsWidth(int columns) {
  int width = 24;
  for (int column = 0; column < columns; ++column) width += kWidths[column];
  return width;
}

}  // namespace

FindFilesDialog::FindFilesDialog(wizard::FindFilesFlow& flow, FileTypes& types, QWidget* parent)
    : QDialog(parent), flow_(flow) {
  setObjectName(QStringLiteral("findFilesDialog"));
  setWindowTitle(QStringLiteral("Find File(s)"));
  setModal(true);
  pattern_ = new QLineEdit(this);
  pattern_->setObjectName(QStringLiteral("patternField"));
  containing_ = new QLineEdit(this);
  containing_->setObjectName(QStringLiteral("containingField"));
  ignoreCase_ = new QCheckBox(QString::fromLatin1(wizard::kIgnoreCaseCaption), this);
  ignoreCase_->setObjectName(QStringLiteral("ignoreCaseBox"));
  auto* queryRows = new QGridLayout;
  queryRows->addWidget(new QLabel(QStringLiteral("Enter pattern to search"), this), 0, 0);
  queryRows->addWidget(pattern_, 0, 1, 1, 2);
  queryRows->addWidget(new QLabel(QString::fromLatin1(wizard::kContainingTextCaption), this), 1, 0);
  queryRows->addWidget(containing_, 1, 1);
  queryRows->addWidget(ignoreCase_, 1, 2);
  queryRows->setColumnStretch(1, 1);

  model_ = new FoundRowsModel(types, this);
  results_ = new QTableView(this);
  results_->setObjectName(QStringLiteral("foundFiles"));
  results_->setModel(model_);
  results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_->setSelectionMode(QAbstractItemView::SingleSelection);
  results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  results_->setShowGrid(true);
  results_->setWordWrap(false);
  results_->setIconSize(QSize(16, 16));
  results_->verticalHeader()->hide();
  results_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  results_->verticalHeader()->setDefaultSectionSize(std::max(results_->fontMetrics().height() + 6, 20));
  for (int column = 0; column < FoundRowsModel::kColumns; ++column) results_->setColumnWidth(column, kWidths[column]);
  results_->setMinimumSize(ColumnsWidth(3), 260);
  connect(results_, &QAbstractItemView::activated, this,
          [this](const QModelIndex& index) { flow_.OnRowActivated(*this, model_->At(index.row())); });

  lastFile_ = ReadOnlyField("lastFileField", this);
  filesFound_ = ReadOnlyField("filesFoundField", this);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("contentProgress"));
  progress_->setRange(0, 100);
  progress_->hide();
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("searchStatus"));
  status_->setWordWrap(true);

  auto* counts = new QFormLayout;
  counts->addRow(QStringLiteral("Last File"), lastFile_);
  counts->addRow(QStringLiteral("Files Found"), filesFound_);

  start_ = new QPushButton(QStringLiteral("&Start Search"), this);
  start_->setObjectName(QStringLiteral("startSearchButton"));
  start_->setDefault(true);
  stop_ = new QPushButton(QStringLiteral("S&top Search"), this);
  stop_->setObjectName(QStringLiteral("stopSearchButton"));
  stop_->setAutoDefault(false);
  connect(start_, &QPushButton::clicked, this, [this] { flow_.OnStart(*this); });
  connect(stop_, &QPushButton::clicked, this, [this] { flow_.OnStop(*this); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(start_);
  buttons->addWidget(stop_);

  auto* column = new QVBoxLayout(this);
  column->addLayout(queryRows);
  column->addWidget(results_, 1);
  column->addWidget(progress_);
  column->addWidget(status_);
  column->addLayout(counts);
  column->addLayout(buttons);

  timer_.setInterval(kDrawIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &FindFilesDialog::Draw);
  timer_.start();
  flow_.OnOpened(*this);
}

FindFilesDialog::~FindFilesDialog() = default;

std::string FindFilesDialog::Pattern() const { return pattern_->text().toStdString(); }

std::string FindFilesDialog::ContainingText() const { return containing_->text().toStdString(); }

bool FindFilesDialog::IgnoreCase() const { return ignoreCase_->isChecked(); }

void FindFilesDialog::SetTextColumnsVisible(bool visible) {
  results_->setColumnHidden(3, !visible);
  results_->setColumnHidden(4, !visible);
  // The dialog widens with the list, so that Offset and Hits are in view.
  results_->setMinimumWidth(ColumnsWidth(visible ? FoundRowsModel::kColumns : 3));
  if (!visible) {
    percent_ = -1;
    progress_->hide();
  }
}

void FindFilesDialog::SetProgress(int percent) { percent_ = percent; }

void FindFilesDialog::SetStatus(std::string_view text) { status_->setText(ToQString(text)); }

void FindFilesDialog::ClearRows() {
  {
    const std::lock_guard lock(mutex_);
    pending_.clear();
    pendingCount_ = 0;
  }
  model_->Clear();
  lastFile_->clear();
  filesFound_->clear();
}

void FindFilesDialog::AddRow(const FoundFileRow& row, std::size_t found) {
  const std::lock_guard lock(mutex_);
  pending_.push_back(row);
  pendingCount_ = found;
}

void FindFilesDialog::Draw() {
  if (const int percent = percent_; percent >= 0) {
    progress_->setValue(percent);
    progress_->show();
  }
  std::vector<FoundFileRow> rows;
  std::size_t found = 0;
  {
    const std::lock_guard lock(mutex_);
    std::swap(rows, pending_);
    found = pendingCount_;
  }
  if (rows.empty()) return;
  lastFile_->setText(ToQString(rows.back().name));
  filesFound_->setText(QString::number(found));
  model_->Append(rows);
}

void FindFilesDialog::SetStartEnabled(bool enabled) {
  // A search that ended has left its last hits: all of them are listed first.
  Draw();
  start_->setEnabled(enabled);
}

void FindFilesDialog::SetStopEnabled(bool enabled) { stop_->setEnabled(enabled); }

bool FindFilesDialog::Confirm(std::string_view question) { return AskYesNo(this, question); }

void FindFilesDialog::Close() { QDialog::accept(); }

void FindFilesDialog::reject() {
  // Not while a search runs: the close box and Esc do nothing then.
  if (flow_.MayClose()) QDialog::reject();
}

}  // namespace salvex::gui
