#include "gui/info_panel.h"

#include <QGridLayout>
#include <QLabel>

#include "gui/qt_text.h"

namespace salvex::gui {

InfoPanel::InfoPanel(QWidget* parent) : QWidget(parent) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(4);
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
    Row& row = rows_[static_cast<std::size_t>(i)];
    row.label = new QLabel(this);
    row.value = new QLabel(this);
    row.label->setObjectName(QStringLiteral("panelLabel%1").arg(i));
    row.value->setObjectName(QStringLiteral("panelValue%1").arg(i));
    QFont bold = row.label->font();
    bold.setBold(true);
    row.label->setFont(bold);
    // Values are model names and sector numbers a user may want to copy.
    row.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Hidden rows keep their place, so the panel is the same size in every step.
    for (QLabel* part : {row.label, row.value}) {
      QSizePolicy policy = part->sizePolicy();
      policy.setRetainSizeWhenHidden(true);
      part->setSizePolicy(policy);
      part->hide();
    }
    grid->addWidget(row.label, i, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(row.value, i, 1, Qt::AlignLeft | Qt::AlignVCenter);
  }
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("statusLine"));
  QSizePolicy keep = status_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  status_->setSizePolicy(keep);
  status_->hide();
  grid->addWidget(status_, static_cast<int>(rows_.size()), 0, 1, 2);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(static_cast<int>(rows_.size()) + 1, 1);
}

void InfoPanel::SetLabels(const wizard::PanelLabelSet& set) {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    Row& row = rows_[i];
    row.shown = set.rows[i].shown;
    row.label->setText(ToQString(set.rows[i].label));
    row.value->setText(ToQString(set.rows[i].value));
    row.label->setVisible(row.shown);
    row.value->setVisible(row.shown);
  }
  status_->setText(ToQString(set.status));
  status_->setVisible(set.statusShown);
}

void InfoPanel::SetValue(std::string_view label, std::string_view value) {
  const QString name = ToQString(label);
  for (Row& row : rows_) {
    if (row.shown && row.label->text() == name) {
      row.value->setText(ToQString(value));
      return;
    }
  }
}

void InfoPanel::HideFirstLabel() { rows_[0].label->hide(); }

void InfoPanel::SetStatus(std::string_view text) {
  status_->setText(ToQString(text));
  status_->setVisible(!text.empty());
}

QString InfoPanel::LabelText(int row) const { return rows_[static_cast<std::size_t>(row)].label->text(); }
QString InfoPanel::ValueText(int row) const { return rows_[static_cast<std::size_t>(row)].value->text(); }
bool InfoPanel::RowShown(int row) const { return rows_[static_cast<std::size_t>(row)].shown; }
QString InfoPanel::StatusText() const { return status_->text(); }
bool InfoPanel::StatusShown() const { return !status_->isHidden(); }

}  // namespace salvex::gui
