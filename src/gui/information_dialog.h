#pragma once

#include <QDialog>

#include "platform/ui_port.h"

class QLabel;

namespace salvex::gui {

// A box that only shows rows of a label and a value, with "OK" and
// "Cancel" (either closes it): "Drive Information" and "File/Folder
// Properties", whose rows the wizard makes.
class InformationDialog final : public QDialog {
  Q_OBJECT

 public:
  InformationDialog(const QString& caption, const PanelRows& rows, QWidget* parent = nullptr);

  QString LabelText(int row) const;
  QString ValueText(int row) const;
  int RowCount() const { return static_cast<int>(values_.size()); }

 private:
  std::vector<QLabel*> labels_;
  std::vector<QLabel*> values_;
};

inline constexpr const char* kDriveInformationCaption = "Drive Information";
inline constexpr const char* kPropertiesCaption = "File/Folder Properties";

}  // namespace salvex::gui
