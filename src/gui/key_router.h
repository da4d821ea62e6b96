#pragma once

#include <QObject>

#include <functional>
#include <optional>

#include "wizard/wizard_types.h"

class QKeyEvent;
class QWidget;

namespace salvex::gui {

// Hands F1, Esc, Enter, Tab, the Menu key and F2 pressed anywhere in
// `window` to `handle` before the focused control sees them; a key that
// `handle` swallows (returns true for) goes no further. Keys in other
// windows (the message boxes, dialogs) are left alone.
class KeyRouter final : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<bool(wizard::Key key)>;

  KeyRouter(QWidget& window, Handler handle);
  ~KeyRouter() override;

  // The wizard's key for a Qt key press, if it is one of those.
  static std::optional<wizard::Key> KeyOf(const QKeyEvent& event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  Handler handle_;
};

}  // namespace salvex::gui
