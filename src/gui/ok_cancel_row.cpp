#include "gui/ok_cancel_row.h"

#include <QPushButton>

namespace salvex::gui {

QHBoxLayout* OkCancelRow(QDialog* dialog) {
  auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

}  // namespace salvex::gui
