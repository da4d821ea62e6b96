#pragma once

#include <QDialog>

#include "search/file_filters.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace salvex::gui {

// "File Filters": a field, the filters newest first, "&Add" (the default
// button, so Enter adds), "&Remove" and "&Close". A refused filter is said
// why in a box; Close, the close box and Esc all keep the list as it stands.
class FileFiltersDialog final : public QDialog {
  Q_OBJECT

 public:
  FileFiltersDialog(FilterTable& filters, QWidget* parent = nullptr);

  QLineEdit& FilterField() const { return *field_; }
  QListWidget& List() const { return *list_; }
  QPushButton& AddButton() const { return *add_; }
  QPushButton& RemoveButton() const { return *remove_; }
  QPushButton& CloseButton() const { return *close_; }

 protected:
  void reject() override;

 private:
  void Add();
  void Remove();

  FilterTable& filters_;
  // Edited here, and handed to the table as the dialog closes.
  FilterTable edited_;
  QLineEdit* field_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace salvex::gui
