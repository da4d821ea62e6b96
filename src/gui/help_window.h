#pragma once

#include <QWidget>

class QTextBrowser;

namespace salvex::gui {

// The manual that comes with the program (HTML pages and the screenshot
// tour's pictures, as Qt resources), in a window of its own beside the
// main one.
class HelpWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Whether the manual was built into the program.
  static bool ManualBundled();
  static constexpr const char* kManualPage = "qrc:/manual/index.html";

  QTextBrowser& Browser() const { return *browser_; }

 private:
  QTextBrowser* browser_ = nullptr;
};

}  // namespace salvex::gui
