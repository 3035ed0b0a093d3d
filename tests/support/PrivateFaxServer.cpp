#include "PrivateFaxServer.h"

#include "Processes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUuid>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
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

// A process of the server's in a process group of its own (so that it is ended with all it
// started), gone with the test however the test ends.
std::unique_ptr<QProcess> StartInGroup(const QString& program, const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    process->start(program, arguments);
    if (!process->waitForStarted(10'000)) return nullptr;
    return process;
}

// The processes the server's left to this one (its children that ended after their parent):
// reaped, by pid and name, so that no other child's status is taken from QProcess.
void ReapOrphans() {
    static const QStringList theirs{"faxq",  "hfaxd", "faxsend", "transmit", "faxmodem", "sh",
                                    "sleep", "sed",   "grep",    "cat",      "tr"};
    for (int round = 0; round < 30; ++round) {
        bool left = false;
        QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
        while (processes.hasNext()) {
            const QString folder = processes.next();
            bool number = false;
            const pid_t pid = QFileInfo(folder).fileName().toInt(&number);
            if (!number) continue;
            QFile stat(folder + QStringLiteral("/stat"));
            if (!stat.open(QIODevice::ReadOnly)) continue;
            const QByteArray line = stat.readAll();
            const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
            if (open < 0 || close < open) continue;
            const QList<QByteArray> fields = line.mid(close + 2).split(' ');
            if (fields.size() < 2 || fields[1].toInt() != ::getpid()) continue;
            if (!theirs.contains(QString::fromLatin1(line.mid(open + 1, close - open - 1))))
                continue;
            if (fields[0] == "Z")
                ::waitpid(pid, nullptr, WNOHANG);
            else
                left = true;
        }
        if (!left) return;
        ::usleep(100'000);
    }
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
    // What the servers leave behind comes to this process, which reaps it.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const Ran prepared = Run(kScript, {QStringLiteral("prepare"), spool_});
    if (prepared.exitCode != 0) {
        whyNot_ = QStringLiteral("the fax server's spool was not made: ") + prepared.said;
        return;
    }
    if (!run()) whyNot_ = QStringLiteral("the fax server does not answer on port %1").arg(port_);
}

PrivateFaxServer::~PrivateFaxServer() {
    end();
    if (!spool_.isEmpty()) Run(kScript, {QStringLiteral("stop"), spool_});
}

bool PrivateFaxServer::run() {
    faxq_ = StartInGroup(QStringLiteral("/usr/sbin/faxq"),
                         {QStringLiteral("-D"), QStringLiteral("-q"), spool_});
    hfaxd_ =
        StartInGroup(QStringLiteral("/usr/sbin/hfaxd"),
                     {QStringLiteral("-d"), QStringLiteral("-q"), spool_, QStringLiteral("-i"),
                      QString::number(port_), QStringLiteral("-l"), QStringLiteral("127.0.0.1")});
    modem_ = StartInGroup(kScript, {QStringLiteral("modem"), spool_});
    return faxq_ && hfaxd_ && modem_ && Eventually([&] { return Answers(port_); });
}

// Ends the servers, the modem's loop and all they started, and reaps them all.
void PrivateFaxServer::end() {
    for (std::unique_ptr<QProcess>* process : {&modem_, &hfaxd_, &faxq_}) {
        if (!*process) continue;
        if ((*process)->state() != QProcess::NotRunning)
            ::kill(-pid_t((*process)->processId()), SIGKILL);
        (*process)->waitForFinished(5000);
        process->reset();
    }
    ReapOrphans();
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
    end();
}

bool PrivateFaxServer::start() {
    return run();
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
