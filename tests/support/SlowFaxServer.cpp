#include "SlowFaxServer.h"

#include "Processes.h"

#include <QFile>

namespace velmora::test {

SlowFaxServer::SlowFaxServer(const QString& folder, double delay, bool flood)
    : notes_(folder + QStringLiteral("/fax-server-notes")) {
    const QString portFile = folder + QStringLiteral("/fax-server-port");
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(
        QStringLiteral(VELMORA_TEST_SUPPORT_DIR "/slow-fax-server.py"),
        {portFile, notes_, QString::number(delay), flood ? QStringLiteral("FLOOD") : QString()});
    if (!process_.waitForStarted(10'000)) return;
    Eventually([&] { return QFile::exists(portFile); });
    QFile file(portFile);
    if (file.open(QIODevice::ReadOnly)) port_ = quint16(file.readAll().trimmed().toUInt());
}

SlowFaxServer::~SlowFaxServer() {
    process_.kill();
    process_.waitForFinished(5000);
}

QString SlowFaxServer::server() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

int SlowFaxServer::noted(const char* what) const {
    QFile file(notes_);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    return int(file.readAll().split('\n').count(QByteArray(what)));
}

}  // namespace velmora::test
