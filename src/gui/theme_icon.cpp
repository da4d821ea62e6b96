#include "gui/theme_icon.h"

#include <QDir>
#include <QStandardPaths>

// Outside any namespace, as Qt's resource initialiser must be.
static void InitIconsResource() { Q_INIT_RESOURCE(icons); }

namespace salvex::gui {

void LoadBundledIcons() { InitIconsResource(); }

QIcon ThemeIcon(const QString& name, const QString& fallbackResource) {
  if (QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
  return QIcon(fallbackResource);
}

QIcon TreeIcon(TreeImage image) {
  switch (image) {
    case TreeImage::computer:
      return ThemeIcon(QStringLiteral("computer"), QStringLiteral(":/icons/computer.svg"));
    case TreeImage::disk:
      return ThemeIcon(QStringLiteral("drive-harddisk"), QStringLiteral(":/icons/drive.svg"));
    case TreeImage::folder:
      break;
  }
  const QIcon closed = ThemeIcon(QStringLiteral("folder"), QStringLiteral(":/icons/folder.svg"));
  const QIcon open = ThemeIcon(QStringLiteral("folder-open"), QStringLiteral(":/icons/folder-open.svg"));
  QIcon folder;
  for (const int size : {16, 22, 24, 32}) {
    folder.addPixmap(closed.pixmap(size), QIcon::Normal);
    folder.addPixmap(open.pixmap(size), QIcon::Selected);
  }
  return folder;
}

void ChooseIconTheme() {
  const QString current = QIcon::themeName();
  if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
  // Debian's own default theme, when it is installed.
  for (const QString& dir : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                      QStandardPaths::LocateDirectory)) {
    if (QDir(dir).exists(QStringLiteral("Adwaita/index.theme"))) {
      QIcon::setThemeName(QStringLiteral("Adwaita"));
      return;
    }
  }
}

}  // namespace salvex::gui
