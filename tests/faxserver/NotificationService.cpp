#include "NotificationService.h"

#include "TestSupport.h"

#include <QDBusConnectionInterface>
#include <QTemporaryFile>
#include <QUuid>

#include <sys/prctl.h>
#include <csignal>

namespace velmora::test {

PrivateBus::PrivateBus() {
    // Its socket is an abstract one, which leaves nothing behind however the bus ends.
    QTemporaryFile config(TestFolder() + QStringLiteral("/bus-XXXXXX.conf"));
    if (!config.open()) return;
    config.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:abstract=velmora-test-bus-%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                     .arg(QUuid::createUuid().toString(QUuid::WithoutBraces))
                     .toUtf8());
    config.close();
    // It dies with the test, however the test ends.
    daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                   QStringLiteral("--config-file=") + config.fileName(),
                   QStringLiteral("--print-address=1")});
    // It writes its address once it takes connections.
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(20000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString& name : connections_) QDBusConnection::disconnectFromBus(name);
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.kill();
        daemon_.waitForFinished();
    }
}

QDBusConnection PrivateBus::connect() {
    const QString name =
        QStringLiteral("velmora-test-bus-%1-%2").arg(quintptr(this)).arg(connections_.size());
    connections_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}

NotificationService::NotificationService(PrivateBus& bus) {
    QDBusConnection connection = bus.connect();
    registered_ = connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                            QDBusConnection::ExportAllSlots) &&
                  connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint NotificationService::Notify(const QString& appName, uint, const QString& icon,
                                 const QString& summary, const QString& body, const QStringList&,
                                 const QVariantMap& hints, int expireTimeout) {
    notices_.push_back({appName, icon, summary, body, hints, expireTimeout});
    return uint(notices_.size());
}

QStringList NotificationService::GetCapabilities() {
    return {QStringLiteral("body")};
}

void NotificationService::CloseNotification(uint) {}

}  // namespace velmora::test
