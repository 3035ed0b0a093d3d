#include "DesktopNotices.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QGuiApplication>
#include <QVariantMap>

namespace velmora {

DesktopNotices::DesktopNotices(QObject* parent)
    : DesktopNotices(QDBusConnection::sessionBus(), parent) {}

DesktopNotices::DesktopNotices(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {}

void DesktopNotices::post(const QString& summary, const QString& body) {
    if (!bus_.isConnected()) {
        // Told as an answer would be, once the caller is done.
        QMetaObject::invokeMethod(
            this, [this, summary, body] { emit notShown(summary, body); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    // The desktop entry lets the desktop group the notices under the program and its icon.
    const QString desktopEntry = QGuiApplication::desktopFileName();
    if (!desktopEntry.isEmpty()) hints.insert(QStringLiteral("desktop-entry"), desktopEntry);
    notify << QStringLiteral("Velmora") << 0u << QStringLiteral("velmora") << summary << body
           << QStringList() << hints << -1;
    auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(notify, kAnswerMs), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, summary, body](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (call->isError()) emit notShown(summary, body);
            });
}

}  // namespace velmora
