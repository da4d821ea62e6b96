#include "gui/file_type_group.h"

#include <QHBoxLayout>
#include <QStyle>

#include <algorithm>
#include <QListWidget>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/qt_text.h"

namespace salvex::gui {

FileTypeGroup::FileTypeGroup(QWidget* parent) : QGroupBox(QStringLiteral("File Types"), parent) {
  setObjectName(QStringLiteral("fileTypeGroup"));
  types_ = new QListWidget(this);
  types_->setObjectName(QStringLiteral("fileTypeList"));
  // Left to right, wrapped: twenty short names fit a few rows.
  types_->setFlow(QListView::LeftToRight);
  types_->setWrapping(true);
  types_->setResizeMode(QListView::Adjust);
  types_->setSelectionMode(QAbstractItemView::NoSelection);
  freeSpace_ = new QRadioButton(QStringLiteral("Free space only"), this);
  freeSpace_->setObjectName(QStringLiteral("freeSpaceOption"));
  freeSpace_->setToolTip(QStringLiteral("In a FAT or exFAT volume, only the clusters no live file holds: what the "
                                        "volume lists is there already"));
  allSpace_ = new QRadioButton(QStringLiteral("All space"), this);
  allSpace_->setObjectName(QStringLiteral("allSpaceOption"));
  allSpace_->setToolTip(QStringLiteral("Every sector, live files' clusters too"));
  freeSpace_->setChecked(true);
  auto* space = new QHBoxLayout;
  space->addWidget(freeSpace_);
  space->addWidget(allSpace_);
  space->addStretch(1);
  auto* column = new QVBoxLayout(this);
  column->addWidget(types_, 1);
  column->addLayout(space);
}

void FileTypeGroup::SetChoices(const wizard::FileTypeChoices& choices) {
  shown_ = choices;
  types_->clear();
  for (const wizard::FileTypeChoice& type : choices.types) {
    auto* item = new QListWidgetItem(ToQString(type.name), types_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(type.checked ? Qt::Checked : Qt::Unchecked);
    item->setToolTip(ToQString(type.toolTip));
  }
  // Cells as wide as the longest name with its box: no name is cut.
  int widest = 0;
  for (const wizard::FileTypeChoice& type : choices.types) {
    widest = std::max(widest, types_->fontMetrics().horizontalAdvance(ToQString(type.name)));
  }
  const int box = types_->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                  2 * types_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin);
  const QSize cell(widest + box + 16, types_->fontMetrics().height() + 6);
  types_->setGridSize(cell);
  // Five to a row, so that the families show in four rows, beside a
  // scroll bar should the rows not fit.
  constexpr int kColumns = 5;
  types_->setMinimumWidth(kColumns * cell.width() + 2 * types_->frameWidth() +
                          types_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
  const int rows = (static_cast<int>(choices.types.size()) + kColumns - 1) / kColumns;
  types_->setMinimumHeight(std::min(rows, 4) * cell.height() + 2 * types_->frameWidth() + 4);
  (choices.allSpace ? allSpace_ : freeSpace_)->setChecked(true);
}

wizard::FileTypeChoices FileTypeGroup::Choices() const {
  wizard::FileTypeChoices choices = shown_;
  for (int row = 0; row < types_->count() && row < static_cast<int>(choices.types.size()); ++row) {
    choices.types[static_cast<std::size_t>(row)].checked = types_->item(row)->checkState() == Qt::Checked;
  }
  choices.allSpace = allSpace_->isChecked();
  return choices;
}

}  // namespace salvex::gui
