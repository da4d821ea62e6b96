#pragma once

#include <QDialog>
#include <QHBoxLayout>

namespace salvex::gui {

// OK (the default button, accepting) and Cancel (rejecting), right-aligned,
// named for the tests.
QHBoxLayout* OkCancelRow(QDialog* dialog);

}  // namespace salvex::gui
