// The input is a .desktop file and a mimeinfo.cache, split at the first zero
// byte. Parsing either must not crash or hang on anything (they come from
// the user's data folders); an entry that parses keeps its Exec line, and
// the launch line made from it always names the file to open.

#include <QString>
#include <QStringList>

#include <algorithm>
#include <string_view>

#include "fuzz_support.h"
#include "gui/desktop_applications.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = std::min(input.find('\0'), input.size());
  const QString entry = QString::fromUtf8(input.data(), static_cast<qsizetype>(split));
  const QString cache = split < input.size() ? QString::fromUtf8(input.data() + split + 1, static_cast<qsizetype>(size - split - 1))
                                             : QString();

  const QString file = QStringLiteral("/tmp/a file.txt");
  if (const auto application = salvex::gui::ParseDesktopEntry(entry, QStringLiteral("/x/app.desktop"), QStringLiteral("app.desktop"))) {
    FUZZ_CHECK(!application->exec.isEmpty());
    const QStringList arguments = salvex::gui::LaunchArguments(*application, file);
    const bool named = std::any_of(arguments.begin(), arguments.end(), [&](const QString& word) {
      return word.contains(file) || word.contains(QStringLiteral("a%20file.txt"));
    });
    FUZZ_CHECK(arguments.isEmpty() || named);
  }
  for (const QString& id : salvex::gui::ParseMimeCache(cache, {QStringLiteral("text/plain"), QStringLiteral("image/png")})) {
    FUZZ_CHECK(!id.contains(QLatin1Char(';')));
  }
  return 0;
}
