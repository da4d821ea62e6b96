#pragma once

#include <QDialog>

namespace salvex::gui {

// The product's name, its version and its release date, with "OK". Linux
// desktops give a window no system menu to put it in: Help > About is the
// way to it.
class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  // "Version 0.1.0" and "Released 2026-12-09": the build's own values.
  static QString VersionLine();
  static QString ReleaseLine();
};

}  // namespace salvex::gui
