#pragma once

#include <QMimeType>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace salvex::gui {

// A program the desktop knows, from its .desktop entry.
struct DesktopApplication {
  QString id;    // "org.gnome.TextEditor.desktop"
  QString name;
  QString exec;  // the Exec line, field codes and all
  QString icon;
  QString path;  // of the .desktop file
};

// $XDG_DATA_HOME, then $XDG_DATA_DIRS (with the usual defaults).
QStringList XdgDataDirs();

// The programs registered for `type` or the types it inherits from, as the
// data folders' applications/mimeinfo.cache files list them, earlier
// folders first; entries marked Hidden or NoDisplay, or whose Exec is
// missing, are left out. Each program comes once.
std::vector<DesktopApplication> ApplicationsFor(const QMimeType& type, const QStringList& dataDirs);

// The [Desktop Entry] group of a .desktop file, if it is a usable
// application; the file's text, and the file itself.
std::optional<DesktopApplication> ParseDesktopEntry(const QString& text, const QString& path, const QString& id);
std::optional<DesktopApplication> ReadDesktopEntry(const QString& path, const QString& id);

// The desktop ids a mimeinfo.cache text lists for any of `types`, in order.
QStringList ParseMimeCache(const QString& text, const QStringList& types);

// The program and its arguments that open `file`: the Exec line split as
// desktop entries quote it, with %f %F %u %U replaced by the file (or
// added at the end when the line has none), %i %c %k by what they stand
// for, and other field codes dropped.
QStringList LaunchArguments(const DesktopApplication& application, const QString& file);

}  // namespace salvex::gui
