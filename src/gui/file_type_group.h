#pragma once

#include <QGroupBox>

#include "wizard/wizard_view.h"

class QListWidget;
class QRadioButton;

namespace salvex::gui {

// The "File Types" group of a Search by File Type: a check box per family
// (laid out in as many columns as the group's width holds, its tool tip
// naming the extensions it covers), and whether only the free space of a
// volume is searched or all of it.
class FileTypeGroup final : public QGroupBox {
  Q_OBJECT

 public:
  explicit FileTypeGroup(QWidget* parent = nullptr);

  void SetChoices(const wizard::FileTypeChoices& choices);
  wizard::FileTypeChoices Choices() const;

  QListWidget& Types() const { return *types_; }

 private:
  QListWidget* types_ = nullptr;
  QRadioButton* freeSpace_ = nullptr;
  QRadioButton* allSpace_ = nullptr;
  wizard::FileTypeChoices shown_;
};

}  // namespace salvex::gui
