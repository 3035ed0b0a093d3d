#include "FaxSending.h"

#include "FaxTiff.h"
#include "HylaFaxFiles.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/Job.h"
#include "shell/TempFolder.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <climits>

#include <signal.h>
#include <unistd.h>

namespace velmora {
namespace {

QString SendFaxProgram() {
    return QStandardPaths::findExecutable(QLatin1String(hylafax::kSendFax));
}

Failure NotInstalled() {
    return Failure(
        QStringLiteral("Faxes cannot be sent: HylaFAX's sendfax is not installed "
                       "(Debian package hylafax-client)."));
}

void CheckNumber(const QString& number) {
    const QString problem = FaxNumberProblem(number);
    if (!problem.isEmpty()) throw Failure(problem);
}

// What sendfax said when it could not connect at all, as against a server that answered.
bool NotReached(const QString& said) {
    return said.contains(QLatin1String("Can not reach"), Qt::CaseInsensitive) ||
           said.contains(QLatin1String("getaddrinfo"), Qt::CaseInsensitive) ||
           said.contains(QLatin1String("Can not create socket"), Qt::CaseInsensitive);
}

}  // namespace

bool FaxSendingAvailable() {
    return !SendFaxProgram().isEmpty();
}

QString FaxNumberProblem(const QString& number) {
    const QString trimmed = number.trimmed();
    if (trimmed.isEmpty()) return QStringLiteral("Enter the fax number to send to.");
    static const QRegularExpression allowed(QStringLiteral("^[0-9 +\\-(),]*$"));
    if (!allowed.match(trimmed).hasMatch())
        return QStringLiteral(
                   "\"%1\" is not a fax number: it may hold only digits, spaces and "
                   "+ - ( ) , (a comma waits a moment while dialling).")
            .arg(trimmed);
    if (!trimmed.contains(QRegularExpression(QStringLiteral("[0-9]"))))
        return QStringLiteral("\"%1\" is not a fax number: it has no digit.").arg(trimmed);
    return {};
}

QString DefaultFaxServer() {
    const QString named = qEnvironmentVariable(hylafax::kServerVariable).trimmed();
    return named.isEmpty() ? QLatin1String(hylafax::kDefaultServer) : named;
}

QString SubmitFax(const QString& tiff, const FaxCall& call, std::chrono::milliseconds bound) {
    CheckNumber(call.number);
    const QString program = SendFaxProgram();
    if (program.isEmpty()) throw NotInstalled();
    const QString server = call.server.trimmed();
    const QString serverName = server.isEmpty() ? DefaultFaxServer() : server;

    // -n: no cover page of HylaFAX's; -m / -l: sent in fine or standard resolution, as the
    // TIFF was made (else the server would make it again at its default).
    QStringList arguments{QStringLiteral("-n"), call.resolution == FaxResolution::Fine
                                                    ? QStringLiteral("-m")
                                                    : QStringLiteral("-l")};
    if (!server.isEmpty()) arguments << QStringLiteral("-h") << server;
    arguments << QStringLiteral("-d") << call.number.trimmed()
              << QFileInfo(tiff).absoluteFilePath();
    QProcess sendfax;
    sendfax.setProgram(program);
    sendfax.setArguments(arguments);
    sendfax.setProcessChannelMode(QProcess::MergedChannels);
    sendfax.setStandardInputFile(QProcess::nullDevice());
    // A session of its own, without a terminal: a server that asks for a password is refused
    // at once instead of waiting at a prompt nobody sees, and a kill reaches all of it. It
    // inherits no descriptor of the program's but its standard ones (the offices' files, the
    // run record): every other one closes as it starts.
    sendfax.setChildProcessModifier([] {
        ::setsid();
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    });

    const QDeadlineTimer deadline(bound);
    const auto left = [&] { return int(std::clamp<qint64>(deadline.remainingTime(), 1, INT_MAX)); };
    sendfax.start();
    if (!sendfax.waitForStarted(left()))
        throw Failure(QStringLiteral("Faxes cannot be sent: %1 could not be started: %2")
                          .arg(program, sendfax.errorString()));
    // Giving the job up (Stop, the program's end, from any thread) kills sendfax and its
    // session at that moment, before it hands the fax over if it has not yet; the session is
    // its process group, whose number stays sendfax's own until it is waited for here.
    const pid_t session = pid_t(sendfax.processId());
    const auto killAll = [&] {
        if (session > 0) ::kill(-session, SIGKILL);
        sendfax.kill();
        sendfax.waitForFinished(5000);
    };
    {
        const ScopedCancelHook killOnCancel([session] {
            if (session > 0) ::kill(-session, SIGKILL);
        });
        while (sendfax.state() != QProcess::NotRunning && !deadline.hasExpired() && !JobCancelled())
            sendfax.waitForFinished(std::min(left(), 100));
    }
    // Given up: unless sendfax had ended on its own already (the fax handed over, or refused),
    // which is then told as it is.
    if (JobCancelled() &&
        (sendfax.state() != QProcess::NotRunning || sendfax.exitStatus() != QProcess::NormalExit)) {
        killAll();
        throw JobGivenUp();
    }
    if (sendfax.state() != QProcess::NotRunning) {
        killAll();
        throw Failure(QStringLiteral("The fax server \"%1\" did not answer within %2 seconds, "
                                     "so the fax was not sent.")
                          .arg(serverName)
                          .arg(std::chrono::duration_cast<std::chrono::seconds>(bound).count()));
    }
    const QString said = QString::fromLocal8Bit(sendfax.readAll()).simplified();
    if (sendfax.exitStatus() != QProcess::NormalExit)
        throw Failure(QStringLiteral("The fax was not sent: sendfax ended abnormally. %1")
                          .arg(said)
                          .trimmed());
    if (sendfax.exitCode() != 0) {
        const QString words =
            said.isEmpty()
                ? QStringLiteral("(nothing; sendfax ended with status %1)").arg(sendfax.exitCode())
                : said;
        if (NotReached(said))
            throw Failure(QStringLiteral("The fax server \"%1\" could not be reached, so the fax "
                                         "was not sent. HylaFAX said: %2")
                              .arg(serverName, words));
        throw Failure(QStringLiteral("The fax server \"%1\" refused the fax. It said: %2")
                          .arg(serverName, words));
    }
    static const QRegularExpression requestId(QStringLiteral("request id is (\\d+)"));
    const QRegularExpressionMatch id = requestId.match(said);
    if (!id.hasMatch())
        throw Failure(QStringLiteral("The fax server \"%1\" gave no job number for the fax. It "
                                     "said: %2")
                          .arg(serverName, said));
    return id.captured(1);
}

QString SendPdfAsFax(const QString& pdf, const FaxCall& call, const std::vector<PageKind>& kinds,
                     std::chrono::milliseconds bound) {
    CheckNumber(call.number);
    if (!FaxSendingAvailable()) throw NotInstalled();
    // Noted whatever it holds (the TIFF replaces it whole), so that a run that ends while the
    // fax is on its way leaves nothing after the next start; removed once the fax is handed on.
    NewFile tiff(TempFolder(), QStringLiteral("velmora-fax"), QStringLiteral(".tif"));
    tiff.close();
    WriteFaxTiff(pdf, tiff.path(), call.resolution, kinds);
    return SubmitFax(tiff.path(), call, bound);
}

}  // namespace velmora
