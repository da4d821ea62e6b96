#pragma once

#include <QLineEdit>

namespace salvex::gui {

// A one-line field that a dialog fills and the user can only read (and
// copy from), named for the tests.
inline QLineEdit* ReadOnlyField(const char* name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setReadOnly(true);
  return field;
}

}  // namespace salvex::gui
