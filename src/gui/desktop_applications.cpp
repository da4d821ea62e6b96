#include "gui/desktop_applications.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTextStream>
#include <QUrl>

namespace salvex::gui {
namespace {

// Desktop entries and caches are small; a larger file is not one.
constexpr qint64 kMaxFileBytes = 1 << 20;

QString ReadText(const QString& path) {
  QFile file(path);
  if (file.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  return QString::fromUtf8(file.read(kMaxFileBytes));
}

// Values of desktop entries escape blanks and line breaks.
QString Unescape(const QString& value) {
  QString text;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
      text += value[i];
      continue;
    }
    const QChar next = value[++i];
    text += next == QLatin1Char('s')   ? QChar(' ')
            : next == QLatin1Char('n') ? QChar('\n')
            : next == QLatin1Char('t') ? QChar('\t')
            : next == QLatin1Char('r') ? QChar('\r')
                                       : next;
  }
  return text;
}

// Splits an Exec line into words: blanks separate them, double quotes group
// them, and inside quotes a backslash takes the next character as it is.
QStringList SplitExec(const QString& exec) {
  QStringList words;
  QString word;
  bool quoted = false;
  bool inWord = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    const QChar c = exec[i];
    if (quoted) {
      if (c == QLatin1Char('"')) {
        quoted = false;
      } else if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
        word += exec[++i];
      } else {
        word += c;
      }
    } else if (c == QLatin1Char('"')) {
      quoted = inWord = true;
    } else if (c.isSpace()) {
      if (inWord) words += word;
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words += word;
  return words;
}

}  // namespace

QStringList XdgDataDirs() {
  QString home = qEnvironmentVariable("XDG_DATA_HOME");
  if (home.isEmpty()) home = QDir::homePath() + QStringLiteral("/.local/share");
  QString system = qEnvironmentVariable("XDG_DATA_DIRS");
  if (system.isEmpty()) system = QStringLiteral("/usr/local/share:/usr/share");
  return QStringList{home} + system.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QStringList ParseMimeCache(const QString& text, const QStringList& types) {
  QStringList ids;
  for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0 || !types.contains(line.left(equals).trimmed())) continue;
    for (const QStringView id : line.mid(equals + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      ids += id.trimmed().toString();
    }
  }
  return ids;
}

std::optional<DesktopApplication> ReadDesktopEntry(const QString& path, const QString& id) {
  return ParseDesktopEntry(ReadText(path), path, id);
}

std::optional<DesktopApplication> ParseDesktopEntry(const QString& text, const QString& path, const QString& id) {
  DesktopApplication application{id, {}, {}, {}, path};
  bool inEntry = false;
  bool usable = true;
  QString type;
  for (const QString& raw : text.split(QLatin1Char('\n'))) {
    const QString line = raw.trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inEntry = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (!inEntry || equals <= 0) continue;
    const QString key = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (key == QLatin1String("Name")) application.name = Unescape(value);
    if (key == QLatin1String("Exec")) application.exec = Unescape(value);
    if (key == QLatin1String("Icon")) application.icon = Unescape(value);
    if (key == QLatin1String("Type")) type = value;
    // A program that needs a terminal would open none from here (vim,
    // htop): such entries are left out with the hidden ones.
    const bool flag = key == QLatin1String("Hidden") || key == QLatin1String("NoDisplay") ||
                      key == QLatin1String("Terminal");
    if (flag && value == QLatin1String("true")) usable = false;
  }
  if (!usable || type != QLatin1String("Application") || application.exec.isEmpty()) return std::nullopt;
  if (application.name.isEmpty()) application.name = id;
  return application;
}

std::vector<DesktopApplication> ApplicationsFor(const QMimeType& type, const QStringList& dataDirs) {
  const QStringList types = QStringList{type.name()} + type.aliases() + type.allAncestors();
  std::vector<DesktopApplication> found;
  QSet<QString> seen;
  for (const QString& dir : dataDirs) {
    const QString applications = dir + QStringLiteral("/applications/");
    for (const QString& id : ParseMimeCache(ReadText(applications + QStringLiteral("mimeinfo.cache")), types)) {
      if (seen.contains(id)) continue;
      seen.insert(id);
      // An id names a file in a sub-folder with "-" for its "/".
      QString path = applications + id;
      if (!QFile::exists(path)) path = applications + QString(id).replace(QLatin1Char('-'), QLatin1Char('/'));
      if (auto application = ReadDesktopEntry(path, id)) found.push_back(std::move(*application));
    }
  }
  return found;
}

QStringList LaunchArguments(const DesktopApplication& application, const QString& file) {
  QStringList arguments;
  bool fileGiven = false;
  for (const QString& word : SplitExec(application.exec)) {
    if (word == QLatin1String("%i")) {
      if (!application.icon.isEmpty()) arguments << QStringLiteral("--icon") << application.icon;
      continue;
    }
    QString expanded;
    bool dropped = false;
    for (qsizetype i = 0; i < word.size(); ++i) {
      if (word[i] != QLatin1Char('%') || i + 1 == word.size()) {
        expanded += word[i];
        continue;
      }
      const QChar code = word[++i];
      if (code == QLatin1Char('f') || code == QLatin1Char('F')) {
        expanded += file;
        fileGiven = true;
      } else if (code == QLatin1Char('u') || code == QLatin1Char('U')) {
        expanded += QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded());
        fileGiven = true;
      } else if (code == QLatin1Char('c')) {
        expanded += application.name;
      } else if (code == QLatin1Char('k')) {
        expanded += application.path;
      } else if (code == QLatin1Char('%')) {
        expanded += QLatin1Char('%');
      } else {
        dropped = true;  // %d, %D, %n, %N, %v, %m: deprecated, nothing
      }
    }
    if (!expanded.isEmpty() || !dropped) arguments += expanded;
  }
  if (!fileGiven && !arguments.isEmpty()) arguments += file;
  return arguments;
}

}  // namespace salvex::gui
