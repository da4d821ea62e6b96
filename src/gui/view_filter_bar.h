#pragma once

#include <QWidget>

#include "wizard/view_filter.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace salvex::gui {

// Above the item list: which of the found items to look at (deleted only,
// live only, a type of file, sizes and days between two bounds). Every
// change is handed on whole; the wizard applies it to the list and the tree.
// A bound that does not read as a size or a day is shown in red and left
// out until it does.
class ViewFilterBar final : public QWidget {
  Q_OBJECT

 public:
  explicit ViewFilterBar(QWidget* parent = nullptr);

  // Shows `filter` (the wizard's own, after it reset it) without telling it back.
  void Show(const wizard::ViewFilter& filter);
  wizard::ViewFilter Filter() const;

  QComboBox& DeletedChoice() const { return *deleted_; }
  QComboBox& TypeChoice() const { return *type_; }
  QLineEdit& MinSizeField() const { return *minSize_; }
  QLineEdit& MaxSizeField() const { return *maxSize_; }
  QLineEdit& FromDayField() const { return *fromDay_; }
  QLineEdit& ToDayField() const { return *toDay_; }

 signals:
  void changed(const salvex::wizard::ViewFilter& filter);

 private:
  void Changed();
  // Sets the controls to `filter` without a word to anyone.
  void Fill(const wizard::ViewFilter& filter);

  QComboBox* deleted_ = nullptr;
  QComboBox* type_ = nullptr;
  QLineEdit* minSize_ = nullptr;
  QLineEdit* maxSize_ = nullptr;
  QLineEdit* fromDay_ = nullptr;
  QLineEdit* toDay_ = nullptr;
  QPushButton* clear_ = nullptr;
  wizard::ViewFilter last_;
};

}  // namespace salvex::gui
