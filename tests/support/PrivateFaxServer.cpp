#include "PrivateFaxServer.h"

#include "Processes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUuid>

#include <unistd.h>

namespace velmora::test {
namespace {

const QString kScript = QStringLiteral(VELMORA_SOURCE_DIR "/tools/private-fax-server");

struct Ran {
    int exitCode = -1;
    QString said;
};

Ran Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60'000)) {
        process.kill();
        process.waitForFinished();
        return {-1, QStringLiteral("%1 did not end within a minute").arg(program)};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

quint16 FreePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

bool Answers(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(500) && socket.waitForReadyRead(2000) &&
           socket.readAll().startsWith("220");
}

}  // namespace

PrivateFaxServer::PrivateFaxServer() {
    if (::getuid() != 0) {
        whyNot_ = QStringLiteral("a HylaFAX server of the test's own needs root");
        return;
    }
    if (!QFile::exists(QStringLiteral("/usr/sbin/faxq"))) {
        whyNot_ = QStringLiteral("hylafax-server is not installed");
        return;
    }
    // Not in the test's folder: faxq and hfaxd run as uucp, which must reach the spool.
    spool_ = QStringLiteral("/tmp/velmora-fax-spool-") +
             QUuid::createUuid().toString(QUuid::Id128).left(12);
    port_ = FreePort();
    const Ran started = Run(kScript, {QStringLiteral("start"), spool_, QString::number(port_)});
    if (started.exitCode != 0) {
        whyNot_ = QStringLiteral("the fax server did not start: ") + started.said;
        return;
    }
    if (!Eventually([&] { return Answers(port_); }))
        whyNot_ = QStringLiteral("the fax server does not answer on port %1").arg(port_);
}

PrivateFaxServer::~PrivateFaxServer() {
    if (!spool_.isEmpty()) Run(kScript, {QStringLiteral("stop"), spool_});
}

QString PrivateFaxServer::server() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

void PrivateFaxServer::setOutcome(const QString& number, const QString& outcome) {
    QString name = number;
    if (name != QLatin1String("default")) name.remove(QRegularExpression(QStringLiteral("\\D")));
    QFile file(spool_ + QStringLiteral("/outcomes/") + name);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(outcome.toUtf8());
}

void PrivateFaxServer::halt() {
    Run(kScript, {QStringLiteral("halt"), spool_});
}

bool PrivateFaxServer::start() {
    if (Run(kScript, {QStringLiteral("restart"), spool_, QString::number(port_)}).exitCode != 0)
        return false;
    return Eventually([&] { return Answers(port_); });
}

QString PrivateFaxServer::faxstat(const QStringList& arguments) const {
    return Run(QStringLiteral("faxstat"),
               QStringList{QStringLiteral("-h"), QStringLiteral("127.0.0.1:%1").arg(port_)} +
                   arguments)
        .said;
}

QString PrivateFaxServer::queueFile(const QString& jobId) const {
    for (const char* queue : {"sendq", "doneq"}) {
        QFile file(spool_ + QLatin1Char('/') + QLatin1String(queue) + QStringLiteral("/q") + jobId);
        if (file.open(QIODevice::ReadOnly)) return QString::fromUtf8(file.readAll());
    }
    return {};
}

}  // namespace velmora::test
