#include "gui/view_filter_bar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "wizard/size_text.h"

namespace salvex::gui {
namespace {

QLineEdit* BoundField(const char* name, const char* placeholder, int width, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setPlaceholderText(QString::fromLatin1(placeholder));
  // As wide as a value, narrower when the pane is: the bar never widens the list.
  field->setMaximumWidth(width);
  field->setMinimumWidth(48);
  field->setClearButtonEnabled(true);
  return field;
}

// A bound that reads as nothing is marked, so it is not taken for applied.
void MarkUnread(QLineEdit* field, bool unread) {
  field->setStyleSheet(unread ? QStringLiteral("QLineEdit { color: #c00000; }") : QString());
}

QString DayText(int day) {
  return QStringLiteral("%1-%2-%3").arg(day % 100, 2, 10, QLatin1Char('0')).arg(day / 100 % 100, 2, 10, QLatin1Char('0')).arg(day / 10000);
}

}  // namespace

ViewFilterBar::ViewFilterBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("viewFilterBar"));
  deleted_ = new QComboBox(this);
  deleted_->setObjectName(QStringLiteral("showDeletedChoice"));
  deleted_->addItems({QStringLiteral("All items"), QStringLiteral("Deleted only"), QStringLiteral("Live only")});
  type_ = new QComboBox(this);
  type_->setObjectName(QStringLiteral("typeGroupChoice"));
  type_->addItems({QStringLiteral("All types"), QStringLiteral("Pictures"), QStringLiteral("Video"),
                   QStringLiteral("Documents"), QStringLiteral("Archives"), QStringLiteral("Other")});
  for (QComboBox* choice : {deleted_, type_}) {
    choice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    choice->setMinimumContentsLength(7);
  }
  const int sizeWidth = fontMetrics().horizontalAdvance(QStringLiteral("000.0 MB")) + 36;
  const int dayWidth = fontMetrics().horizontalAdvance(QStringLiteral("00-00-0000")) + 36;
  minSize_ = BoundField("minSizeField", "min size", sizeWidth, this);
  maxSize_ = BoundField("maxSizeField", "max size", sizeWidth, this);
  fromDay_ = BoundField("fromDayField", "from dd-mm-yyyy", dayWidth, this);
  toDay_ = BoundField("toDayField", "to dd-mm-yyyy", dayWidth, this);
  clear_ = new QPushButton(QStringLiteral("Show &All"), this);
  clear_->setObjectName(QStringLiteral("clearViewFilterButton"));
  clear_->setToolTip(QStringLiteral("Takes the view filters away"));

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 2);
  row->addWidget(new QLabel(QStringLiteral("Show"), this));
  row->addWidget(deleted_);
  row->addWidget(type_);
  row->addWidget(minSize_);
  row->addWidget(maxSize_);
  row->addWidget(fromDay_);
  row->addWidget(toDay_);
  row->addWidget(clear_);
  row->addStretch(1);
  setToolTip(QStringLiteral("What the list and the tree show of the items found. It changes nothing a recovery "
                            "takes: File Filters (Tools menu) do that."));

  connect(deleted_, &QComboBox::currentIndexChanged, this, &ViewFilterBar::Changed);
  connect(type_, &QComboBox::currentIndexChanged, this, &ViewFilterBar::Changed);
  for (QLineEdit* field : {minSize_, maxSize_, fromDay_, toDay_}) {
    connect(field, &QLineEdit::editingFinished, this, &ViewFilterBar::Changed);
    // The clear button empties the field without finishing an edit.
    connect(field, &QLineEdit::textChanged, this, [this, field](const QString& text) {
      if (text.isEmpty()) Changed();
      if (!field->hasFocus()) Changed();
    });
  }
  connect(clear_, &QPushButton::clicked, this, [this] {
    Fill({});
    Changed();
  });
}

wizard::ViewFilter ViewFilterBar::Filter() const {
  wizard::ViewFilter filter;
  filter.deleted = static_cast<wizard::ShowDeleted>(deleted_->currentIndex());
  filter.type = static_cast<wizard::TypeGroup>(type_->currentIndex());
  filter.minBytes = wizard::ParseSizeText(minSize_->text().toStdString());
  filter.maxBytes = wizard::ParseSizeText(maxSize_->text().toStdString());
  filter.fromDay = wizard::ParseDayText(fromDay_->text().toStdString());
  filter.toDay = wizard::ParseDayText(toDay_->text().toStdString());
  return filter;
}

void ViewFilterBar::Show(const wizard::ViewFilter& filter) {
  Fill(filter);
  last_ = Filter();
}

void ViewFilterBar::Fill(const wizard::ViewFilter& filter) {
  const QSignalBlocker blockDeleted(deleted_);
  const QSignalBlocker blockType(type_);
  deleted_->setCurrentIndex(static_cast<int>(filter.deleted));
  type_->setCurrentIndex(static_cast<int>(filter.type));
  for (QLineEdit* field : {minSize_, maxSize_, fromDay_, toDay_}) {
    const QSignalBlocker block(field);
    field->clear();
    MarkUnread(field, false);
  }
  if (filter.minBytes) minSize_->setText(QString::fromStdString(wizard::ExactSizeText(*filter.minBytes)));
  if (filter.maxBytes) maxSize_->setText(QString::fromStdString(wizard::ExactSizeText(*filter.maxBytes)));
  if (filter.fromDay) fromDay_->setText(DayText(*filter.fromDay));
  if (filter.toDay) toDay_->setText(DayText(*filter.toDay));
}

void ViewFilterBar::Changed() {
  MarkUnread(minSize_, !minSize_->text().trimmed().isEmpty() && !wizard::ParseSizeText(minSize_->text().toStdString()));
  MarkUnread(maxSize_, !maxSize_->text().trimmed().isEmpty() && !wizard::ParseSizeText(maxSize_->text().toStdString()));
  MarkUnread(fromDay_, !fromDay_->text().trimmed().isEmpty() && !wizard::ParseDayText(fromDay_->text().toStdString()));
  MarkUnread(toDay_, !toDay_->text().trimmed().isEmpty() && !wizard::ParseDayText(toDay_->text().toStdString()));
  const wizard::ViewFilter filter = Filter();
  // The same filter again (a field left without a change): nothing to do.
  if (filter == last_) return;
  last_ = filter;
  emit changed(filter);
}

}  // namespace salvex::gui
