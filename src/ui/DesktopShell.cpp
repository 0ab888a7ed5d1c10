#include "ui/DesktopShell.h"

#include "fs/LPUtilities.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>
#include <QVariantMap>

namespace qm {

void DesktopShell::reveal(const QString &path)
{
    const QString item = LPUtilities::NearestExistingAncestor(path);
    if (item.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(service)) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                           service, QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(item).toString()} << QString();
        if (bus.send(call))
            return;
    }
    LPUtilities().OpenFolder(item);
}

bool DesktopShell::notify(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Quillmere") << 0u << QStringLiteral("quillmere") << summary << body
         << QStringList() << QVariantMap() << -1;
    // Not waited for: a slow notification service must not hold the window.
    return bus.send(call);
}

} // namespace qm
