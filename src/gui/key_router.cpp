#include "gui/key_router.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace salvex::gui {

KeyRouter::KeyRouter(QWidget& window, Handler handle) : QObject(&window), window_(window), handle_(std::move(handle)) {
  qApp->installEventFilter(this);
}

KeyRouter::~KeyRouter() { qApp->removeEventFilter(this); }

std::optional<wizard::Key> KeyRouter::KeyOf(const QKeyEvent& event) {
  if (event.key() == Qt::Key_Up && event.modifiers() == Qt::AltModifier) return wizard::Key::parentFolder;
  // Shift+Tab and keys with Ctrl or Alt keep their usual meaning.
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return std::nullopt;
  switch (event.key()) {
    case Qt::Key_F1:
      return wizard::Key::f1;
    case Qt::Key_Escape:
      return wizard::Key::escape;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return wizard::Key::enter;
    case Qt::Key_Tab:
      return wizard::Key::tab;
    case Qt::Key_Menu:
      return wizard::Key::applications;
    case Qt::Key_F2:
      return wizard::Key::f2;
    case Qt::Key_Backspace:
      return wizard::Key::parentFolder;
    case Qt::Key_Home:
      return wizard::Key::home;
    case Qt::Key_End:
      return wizard::Key::end;
    default:
      return std::nullopt;
  }
}

bool KeyRouter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != &window_) return false;
  // A key a control ignores travels on to its parents: only its first stop,
  // the focused control, counts.
  const QWidget* focus = QApplication::focusWidget();
  if (widget != (focus != nullptr ? focus : &window_)) return false;
  const auto key = KeyOf(*static_cast<QKeyEvent*>(event));
  // Enter on a focused button is that button's, never the wizard's Next.
  if (key == wizard::Key::enter && qobject_cast<const QAbstractButton*>(focus) != nullptr) return false;
  return key && handle_(*key);
}

}  // namespace salvex::gui
