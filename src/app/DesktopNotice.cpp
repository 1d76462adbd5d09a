#include "app/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace tovik {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

bool SendDesktopNotice(const QString& appName, const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    // A service the bus starts on demand counts as there.
    if (!names || (!names->isServiceRegistered(kService).value() &&
                   !names->activatableServiceNames().value().contains(kService)))
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
    call << appName << 0u << QStringLiteral("org.example.tovik.VideoConverter") << summary << body
         << QStringList() << QVariantMap() << -1;
    // The answer (the notice's number) is of no use: the call must not wait on the desktop.
    return bus.send(call);
}

} // namespace tovik
