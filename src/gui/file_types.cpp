#include "gui/file_types.h"

#include <QPainter>
#include <QPixmap>

#include "gui/theme_icon.h"

namespace salvex::gui {

FileTypes::FileTypes() {
  emblem_ = QIcon(QStringLiteral(":/icons/emblem-deleted.svg"));
  folder_ = ThemeIcon(QStringLiteral("folder"), QStringLiteral(":/icons/folder.svg"));
  deletedFolder_ = WithEmblem(folder_);
}

QMimeType FileTypes::TypeOf(std::string_view fileName) const {
  return database_.mimeTypeForFile(QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size())),
                                   QMimeDatabase::MatchExtension);
}

std::string FileTypes::TypeName(std::string_view fileName) {
  const QMimeType type = TypeOf(fileName);
  const auto known = names_.constFind(type.name());
  if (known != names_.constEnd()) return *known;
  // A name without a known extension is "plain data" to the database;
  // whatever it says is what the list shows.
  std::string name = type.comment().toStdString();
  names_.insert(type.name(), name);
  return name;
}

QIcon FileTypes::FileIcon(std::string_view fileName, bool deleted) {
  const QMimeType type = TypeOf(fileName);
  const QString key = deleted ? QLatin1Char('!') + type.name() : type.name();
  const auto known = icons_.constFind(key);
  if (known != icons_.constEnd()) return *known;
  QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
  if (icon.isNull()) icon = QIcon(QStringLiteral(":/icons/file.svg"));
  if (deleted) icon = WithEmblem(icon);
  icons_.insert(key, icon);
  return icon;
}

QIcon FileTypes::FolderIcon(bool deleted) { return deleted ? deletedFolder_ : folder_; }

QIcon FileTypes::OverwrittenIcon() {
  if (overwritten_.isNull()) {
    overwritten_ = QIcon::fromTheme(QStringLiteral("dialog-warning"));
    if (overwritten_.isNull()) overwritten_ = WithEmblem(QIcon(QStringLiteral(":/icons/file.svg")));
  }
  return overwritten_;
}

QIcon FileTypes::WithEmblem(const QIcon& icon) {
  QIcon marked;
  for (const int size : {16, 22, 32, 48}) {
    QPixmap pixmap = icon.pixmap(size);
    if (pixmap.isNull()) continue;
    // The painter works in the icon's own units, whatever the screen's scale.
    const QSize logical = pixmap.deviceIndependentSize().toSize();
    QPainter painter(&pixmap);
    const int side = logical.width() * 5 / 8;
    painter.drawPixmap(logical.width() - side, logical.height() - side, emblem_.pixmap(side, side));
    painter.end();
    marked.addPixmap(pixmap);
  }
  return marked;
}

}  // namespace salvex::gui
