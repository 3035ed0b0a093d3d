#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

// A D-Bus session of a test's own, and a desktop notification service on it that keeps what it
// is told: notices are seen arriving without a desktop, and without the real session's
// services (its own configuration names no service to start on demand).
namespace velmora::test {

// A session bus (dbus-daemon) of the test's own, a child of the test that dies with it.
class PrivateBus {
public:
    // Starts the bus; address() is empty when it could not be started.
    PrivateBus();
    // Kills the bus.
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Its address, for DBUS_SESSION_BUS_ADDRESS or connect().
    const QString& address() const { return address_; }
    // A connection of this process to the bus, gone with the bus object.
    QDBusConnection connect();

private:
    QProcess daemon_;
    QString address_;
    QStringList connections_;
};

// One notice, as the service was told it.
struct Notice {
    QString appName;
    QString icon;
    QString summary;
    QString body;
    QVariantMap hints;
    int expireTimeout = 0;
};

// A notification service (org.freedesktop.Notifications) on `bus`, answering each notice with
// a number of its own. Its calls are answered on this thread, while events are handled
// (QTest::qWaitFor).
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit NotificationService(PrivateBus& bus);
    // Whether it has the service's name on the bus.
    bool registered() const { return registered_; }
    // The notices received so far, first first.
    const std::vector<Notice>& notices() const { return notices_; }

public slots:
    // The service's methods, under the names the desktop's notification service answers to.
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout);
    QStringList GetCapabilities();
    void CloseNotification(uint id);

private:
    std::vector<Notice> notices_;
    bool registered_ = false;
};

}  // namespace velmora::test
