#include "gui/file_filters_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/message_boxes.h"
#include "gui/qt_text.h"

namespace salvex::gui {
namespace {

// Longer texts are not read from the field.
constexpr int kFieldLength = 300;

}  // namespace

FileFiltersDialog::FileFiltersDialog(FilterTable& filters, QWidget* parent)
    : QDialog(parent), filters_(filters), edited_(filters) {
  setObjectName(QStringLiteral("fileFiltersDialog"));
  setWindowTitle(QStringLiteral("File Filters"));
  setModal(true);
  field_ = new QLineEdit(this);
  field_->setObjectName(QStringLiteral("filterField"));
  field_->setMaxLength(kFieldLength);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("filterList"));
  for (const std::string& filter : edited_.Filters()) list_->addItem(ToQString(filter));

  add_ = new QPushButton(QStringLiteral("&Add"), this);
  add_->setObjectName(QStringLiteral("addFilterButton"));
  add_->setDefault(true);
  remove_ = new QPushButton(QStringLiteral("&Remove"), this);
  remove_->setObjectName(QStringLiteral("removeFilterButton"));
  remove_->setAutoDefault(false);
  close_ = new QPushButton(QStringLiteral("&Close"), this);
  close_->setObjectName(QStringLiteral("closeFiltersButton"));
  close_->setAutoDefault(false);
  connect(add_, &QPushButton::clicked, this, &FileFiltersDialog::Add);
  connect(remove_, &QPushButton::clicked, this, &FileFiltersDialog::Remove);
  connect(close_, &QPushButton::clicked, this, &FileFiltersDialog::reject);

  auto* fieldRow = new QHBoxLayout;
  fieldRow->addWidget(new QLabel(QStringLiteral("Enter Filter"), this));
  fieldRow->addWidget(field_, 1);
  fieldRow->addWidget(add_);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(remove_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(list_, 1);
  listRow->addLayout(buttons);
  auto* column = new QVBoxLayout(this);
  column->addLayout(fieldRow);
  column->addLayout(listRow);
  field_->setFocus(Qt::OtherFocusReason);
}

void FileFiltersDialog::Add() {
  const std::string text = field_->text().toStdString();
  const FilterTable::AddResult result = edited_.Add(text);
  if (result != FilterTable::AddResult::added) ShowNoticeBox(this, NoticeKind::error, FilterRefusalMessage(result));
  switch (result) {
    case FilterTable::AddResult::added:
      list_->insertItem(0, field_->text());
      field_->clear();
      break;
    case FilterTable::AddResult::tooLong:
      field_->setSelection(0, static_cast<int>(FilterTable::kMaxFilterLength));
      break;
    case FilterTable::AddResult::alreadyListed:
      field_->selectAll();
      break;
    case FilterTable::AddResult::blank:
    case FilterTable::AddResult::tableFull:
      break;
  }
  field_->setFocus(Qt::OtherFocusReason);
}

void FileFiltersDialog::Remove() {
  const int row = list_->currentRow();
  if (row < 0 || list_->currentItem() == nullptr || !list_->currentItem()->isSelected()) return;
  edited_.Remove(static_cast<std::size_t>(row));
  delete list_->takeItem(row);
}

void FileFiltersDialog::reject() {
  filters_ = edited_;
  QDialog::reject();
}

}  // namespace salvex::gui
