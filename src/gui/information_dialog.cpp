#include "gui/information_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/ok_cancel_row.h"
#include "gui/qt_text.h"

namespace salvex::gui {

InformationDialog::InformationDialog(const QString& caption, const PanelRows& rows, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("informationDialog"));
  setWindowTitle(caption);
  setModal(true);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(12);
  for (const PanelRow& row : rows) {
    auto* label = new QLabel(ToQString(row.label), this);
    auto* value = new QLabel(ToQString(row.value), this);
    // A name or a date can be copied from here.
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setMinimumWidth(220);
    const int at = grid->rowCount();
    grid->addWidget(label, at, 0);
    grid->addWidget(value, at, 1);
    labels_.push_back(label);
    values_.push_back(value);
  }
  QHBoxLayout* buttons = OkCancelRow(this);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addSpacing(8);
  column->addLayout(buttons);
}

QString InformationDialog::LabelText(int row) const { return labels_.at(static_cast<std::size_t>(row))->text(); }

QString InformationDialog::ValueText(int row) const { return values_.at(static_cast<std::size_t>(row))->text(); }

}  // namespace salvex::gui
