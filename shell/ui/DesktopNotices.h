#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace velmora {

// Notices on the desktop through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus): a fax sent, a fax that failed. Posting
// never waits: the call goes out and its answer, or its lack, is heard later on this object's
// thread. A notice no service took (no session bus, no service on it, an error, no answer
// within a few seconds) comes back by notShown, for the window to show otherwise.
class DesktopNotices : public QObject {
    Q_OBJECT
public:
    // On the session bus.
    explicit DesktopNotices(QObject* parent = nullptr);
    // On `bus` (a bus of a test's own).
    DesktopNotices(const QDBusConnection& bus, QObject* parent = nullptr);

    // Posts a notice: the program's name and icon, `summary` and `body` (plain text), kept as
    // long as the desktop keeps notices.
    void post(const QString& summary, const QString& body);

    // How long a notice's call waits for the service's answer.
    static constexpr int kAnswerMs = 5000;

signals:
    // No notification service took the notice.
    void notShown(const QString& summary, const QString& body);

private:
    QDBusConnection bus_;
};

}  // namespace velmora
