#include "gui/portal_open_with.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QVariantMap>

#include <fcntl.h>
#include <unistd.h>

namespace salvex::gui {
namespace {

constexpr const char* kService = "org.freedesktop.portal.Desktop";

bool PortalRuns(const QDBusConnection& bus) {
  const QDBusConnectionInterface* names = bus.interface();
  if (names == nullptr) return false;
  if (names->isServiceRegistered(QString::fromLatin1(kService))) return true;
  // A portal that is not running yet is started on the first call.
  const QStringList startable = names->activatableServiceNames();
  return startable.contains(QString::fromLatin1(kService));
}

}  // namespace

bool AskPortalToOpenWith(const QString& path) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !PortalRuns(bus)) return false;
  // OpenFile hands the portal the file itself, so a sandboxed or remote
  // chooser can read it without knowing our private folder.
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService),
                                                     QStringLiteral("/org/freedesktop/portal/desktop"),
                                                     QStringLiteral("org.freedesktop.portal.OpenURI"),
                                                     QStringLiteral("OpenFile"));
  QVariantMap options;
  options.insert(QStringLiteral("ask"), true);
  call << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(fd)) << options;
  ::close(fd);  // the descriptor object holds its own copy
  const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
  return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace salvex::gui
