#include "HylaFaxSession.h"

#include "shell/Job.h"
#include "shell/RunPasswords.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>

#include <algorithm>

namespace velmora {
namespace {

QString ServerWords(const char* text) {
    return QCoreApplication::translate("FaxServer", text);
}

// The columns asked of the server's job list, tab-separated (nothing the program sends holds a
// tab); the status, free text of the server's, comes last.
constexpr char kJobFormat[] = "%j\t%g\t%o\t%a\t%P\t%D\t%T\t%Z\t%e\t%R\t%C\t%s";
constexpr int kJobColumns = 12;
// The most a job list may hold: some 100,000 jobs' lines. A server that sends more is not
// followed into the program's memory.
constexpr qint64 kListingLimit = 32 << 20;

// The columns asked of the server's list of received faxes, tab-separated as the jobs'; the
// error, free text, comes last. %Z is the time as seconds since 1970, %z a "*" while the fax is
// still coming in.
constexpr char kReceivedFormat[] = "%f\t%s\t%j\t%i\t%p\t%Z\t%z\t%e";
constexpr int kReceivedColumns = 8;

// How often a wait looks whether its job was given up.
constexpr int kSlice = 50;

// A value for a quoted JPARM string: no quote, tab or line break of its own.
QString Quoted(const QString& value) {
    QString clean = value;
    clean.replace(QLatin1Char('"'), QLatin1Char('\''));
    clean.replace(QRegularExpression(QStringLiteral("[\\t\\r\\n]+")), QStringLiteral(" "));
    return QLatin1Char('"') + clean.trimmed() + QLatin1Char('"');
}

// "sent:total" as the list gives it ("  1:4 ").
std::pair<int, int> Counts(const QString& field) {
    const QStringList parts = field.trimmed().split(QLatin1Char(':'));
    return {parts.value(0).toInt(), parts.value(1).toInt()};
}

QString PasswordKey(const FaxServerAddress& address) {
    return QStringLiteral("fax:") + address.user + QLatin1Char('@') + address.text();
}

}  // namespace

FaxServerPasswordNeeded::FaxServerPasswordNeeded(const FaxServerAddress& address, bool refused)
    : Failure(refused ? ServerWords("The fax server %1 refused the password for %2.")
                            .arg(address.text(), address.user)
                      : ServerWords("The fax server %1 asks for a password for %2.")
                            .arg(address.text(), address.user)),
      address_(address),
      refused_(refused) {}

void FaxServerPasswords::remember(const FaxServerAddress& address, const QString& password) {
    RunPasswords::remember(PasswordKey(address), password);
}

std::optional<QString> FaxServerPasswords::find(const FaxServerAddress& address) {
    return RunPasswords::find(PasswordKey(address));
}

void FaxServerPasswords::forget(const FaxServerAddress& address) {
    RunPasswords::forget(PasswordKey(address));
}

QString HylaFaxSession::Reply::text() const {
    return lines.join(QLatin1Char(' ')).simplified();
}

HylaFaxSession::HylaFaxSession(const FaxServerAddress& address, std::chrono::milliseconds bound)
    : address_(address), bound_(bound), control_(std::make_unique<QTcpSocket>()) {
    ThrowIfJobCancelled();
    control_->connectToHost(address_.host, address_.port);
    const QDeadlineTimer deadline(bound_);
    while (control_->state() != QAbstractSocket::ConnectedState) {
        ThrowIfJobCancelled();
        if (control_->state() == QAbstractSocket::UnconnectedState)
            throw Failure(ServerWords("The fax server %1 could not be reached: %2")
                              .arg(address_.text(), control_->errorString()));
        if (deadline.hasExpired())
            throw Failure(ServerWords("The fax server %1 did not answer within %2 seconds.")
                              .arg(address_.text())
                              .arg(bound_.count() / 1000));
        control_->waitForConnected(kSlice);
    }
    const Reply greeting = readReply(*control_);
    if (greeting.code != 220) refused(ServerWords("take a connection"), greeting);
    login();
}

HylaFaxSession::~HylaFaxSession() {
    if (control_->state() == QAbstractSocket::ConnectedState && !JobCancelled()) {
        control_->write("QUIT\r\n");
        control_->waitForBytesWritten(200);
    }
    control_->abort();
}

void HylaFaxSession::login() {
    const Reply user = command(QStringLiteral("USER ") + address_.user);
    if (user.code == 230) return;
    if (user.code != 331) refused(ServerWords("let %1 in").arg(address_.user), user);
    const std::optional<QString> password = FaxServerPasswords::find(address_);
    if (!password) throw FaxServerPasswordNeeded(address_, false);
    const Reply pass = command(QStringLiteral("PASS ") + *password);
    if (pass.code == 230) return;
    if (pass.code == 530) {
        FaxServerPasswords::forget(address_);
        throw FaxServerPasswordNeeded(address_, true);
    }
    refused(ServerWords("let %1 in").arg(address_.user), pass);
}

HylaFaxSession::Reply HylaFaxSession::command(const QString& line) {
    ThrowIfJobCancelled();
    control_->write(line.toUtf8() + "\r\n");
    return readReply(*control_);
}

HylaFaxSession::Reply HylaFaxSession::expect(const QString& line,
                                             std::initializer_list<int> codes) {
    Reply reply = command(line);
    if (std::find(codes.begin(), codes.end(), reply.code) == codes.end())
        refused(line.section(QLatin1Char(' '), 0, 1), reply);
    return reply;
}

// An answer: "ddd-text" lines, then "ddd text". Waits at most the bound for it.
HylaFaxSession::Reply HylaFaxSession::readReply(QTcpSocket& socket) {
    Reply reply;
    const QDeadlineTimer deadline(bound_);
    for (;;) {
        while (!socket.canReadLine()) {
            ThrowIfJobCancelled();
            if (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0)
                lost(ServerWords("closed the connection"));
            if (deadline.hasExpired())
                throw Failure(ServerWords("The fax server %1 did not answer within %2 seconds.")
                                  .arg(address_.text())
                                  .arg(bound_.count() / 1000));
            socket.waitForReadyRead(kSlice);
        }
        const QString line = QString::fromUtf8(socket.readLine()).trimmed();
        static const QRegularExpression coded(QStringLiteral("^(\\d{3})([ -])(.*)$"));
        const QRegularExpressionMatch match = coded.match(line);
        if (!match.hasMatch()) {
            reply.lines << line;  // a continuation line of a long answer
            continue;
        }
        reply.lines << match.captured(3);
        if (match.captured(2) == QLatin1String(" ")) {
            reply.code = match.captured(1).toInt();
            return reply;
        }
    }
}

void HylaFaxSession::refused(const QString& what, const Reply& reply) const {
    throw Failure(ServerWords("The fax server %1 would not %2. It said: %3 %4")
                      .arg(address_.text(), what)
                      .arg(reply.code)
                      .arg(reply.text()));
}

void HylaFaxSession::lost(const QString& what) const {
    throw Failure(ServerWords("The fax server %1 %2.").arg(address_.text(), what));
}

// A data connection the server listens for (PASV). Its address is taken from the control
// connection, not from the answer: the data goes to the server the user named, nowhere else.
std::unique_ptr<QTcpSocket> HylaFaxSession::openData() {
    const Reply passive = expect(QStringLiteral("PASV"), {227});
    static const QRegularExpression numbers(
        QStringLiteral("\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)"));
    const QRegularExpressionMatch match = numbers.match(passive.text());
    if (!match.hasMatch()) refused(QStringLiteral("PASV"), passive);
    const int port = match.captured(5).toInt() * 256 + match.captured(6).toInt();
    auto data = std::make_unique<QTcpSocket>();
    data->connectToHost(control_->peerAddress(), quint16(port));
    const QDeadlineTimer deadline(bound_);
    while (data->state() != QAbstractSocket::ConnectedState) {
        ThrowIfJobCancelled();
        if (data->state() == QAbstractSocket::UnconnectedState || deadline.hasExpired())
            lost(ServerWords("took no data connection"));
        data->waitForConnected(kSlice);
    }
    return data;
}

// Everything the server sends on `data` until it closes it, at most `limit` bytes; each wait
// bounded.
QByteArray HylaFaxSession::readAll(QTcpSocket& data, qint64 limit) {
    QByteArray bytes;
    QDeadlineTimer deadline(bound_);
    while (data.state() == QAbstractSocket::ConnectedState || data.bytesAvailable() > 0) {
        ThrowIfJobCancelled();
        if (data.bytesAvailable() > 0) {
            bytes += data.readAll();
            if (bytes.size() > limit) lost(ServerWords("sent more than a client takes"));
            deadline.setRemainingTime(bound_);
            continue;
        }
        if (deadline.hasExpired())
            throw Failure(ServerWords("The fax server %1 did not answer within %2 seconds.")
                              .arg(address_.text())
                              .arg(bound_.count() / 1000));
        data.waitForReadyRead(kSlice);
    }
    return bytes;
}

QList<QByteArray> HylaFaxSession::list(const QString& queue) {
    std::unique_ptr<QTcpSocket> data = openData();
    const Reply opening = command(QStringLiteral("LIST ") + queue);
    if (opening.code != 150 && opening.code != 125)
        refused(QStringLiteral("LIST %1").arg(queue), opening);
    const QByteArray listing = readAll(*data, kListingLimit);
    const Reply end = readReply(*control_);
    if (end.code != 226) refused(QStringLiteral("LIST %1").arg(queue), end);
    return listing.split('\n');
}

std::vector<ServerJob> HylaFaxSession::jobs() {
    expect(QStringLiteral("JOBFMT \"%1\"").arg(QLatin1String(kJobFormat)), {200});
    std::vector<ServerJob> found;
    for (const char* queue : {"sendq", "doneq"}) {
        for (const QByteArray& raw : list(QLatin1String(queue))) {
            const QStringList columns =
                QString::fromUtf8(raw).remove(QLatin1Char('\r')).split(QLatin1Char('\t'));
            if (columns.size() < kJobColumns) continue;
            ServerJob job;
            job.jobId = columns[0].trimmed();
            job.groupId = columns[1].trimmed();
            job.owner = columns[2].trimmed();
            // Only this user's: the server may list every user's jobs.
            if (job.owner != address_.user) continue;
            const QString letter = columns[3].trimmed();
            job.state = FaxJobStateFromLetter(letter.isEmpty() ? QChar(u'?') : letter.front());
            std::tie(job.pagesSent, job.pagesTotal) = Counts(columns[4]);
            job.dials = Counts(columns[5]).first;
            job.tries = Counts(columns[6]).first;
            if (const qint64 at = columns[7].trimmed().toLongLong(); at > 0)
                job.sendTime = QDateTime::fromSecsSinceEpoch(at, Qt::UTC);
            job.number = columns[8].trimmed();
            job.receiver = columns[9].trimmed();
            job.company = columns[10].trimmed();
            job.status = columns.mid(11).join(QLatin1Char('\t')).trimmed();
            job.done = QLatin1String(queue) == QLatin1String("doneq");
            found.push_back(job);
        }
    }
    return found;
}

SubmittedJob HylaFaxSession::submit(const FaxSubmission& fax) {
    QFile tiff(fax.tiff);
    if (!tiff.open(QIODevice::ReadOnly))
        throw Failure(
            ServerWords("Cannot read the fax to send (%1): %2").arg(fax.tiff, tiff.errorString()));

    // The document, stored under a name of the server's own in its temporary folder.
    expect(QStringLiteral("TYPE I"), {200});
    expect(QStringLiteral("FORM TIFF"), {200});
    std::unique_ptr<QTcpSocket> data = openData();
    const Reply opening = command(QStringLiteral("STOT"));
    if (opening.code != 150 && opening.code != 125) refused(QStringLiteral("STOT"), opening);
    static const QRegularExpression fileName(QStringLiteral("FILE: (\\S+)"));
    const QString stored = fileName.match(opening.text()).captured(1);
    if (stored.isEmpty()) refused(QStringLiteral("STOT"), opening);
    while (!tiff.atEnd()) {
        ThrowIfJobCancelled();
        const QByteArray chunk = tiff.read(256 * 1024);
        if (data->write(chunk) != chunk.size()) lost(ServerWords("took no more of the fax"));
        const QDeadlineTimer deadline(bound_);
        while (data->bytesToWrite() > 0) {
            ThrowIfJobCancelled();
            if (data->state() != QAbstractSocket::ConnectedState || deadline.hasExpired())
                lost(ServerWords("took no more of the fax"));
            data->waitForBytesWritten(kSlice);
        }
    }
    data->disconnectFromHost();
    if (data->state() != QAbstractSocket::UnconnectedState) data->waitForDisconnected(kSlice);
    const Reply stored226 = readReply(*control_);
    if (stored226.code != 226) refused(QStringLiteral("STOT"), stored226);

    // The job: its number, how it is sent, and for whom, then queued.
    const Reply created = expect(QStringLiteral("JNEW"), {200});
    static const QRegularExpression ids(QStringLiteral("jobid: (\\d+) groupid: (\\d+)"));
    const QRegularExpressionMatch id = ids.match(created.text());
    if (!id.hasMatch()) refused(QStringLiteral("JNEW"), created);
    const QStringList parameters{
        QStringLiteral("DIALSTRING ") + Quoted(fax.number),
        QStringLiteral("VRES %1").arg(fax.resolution == FaxResolution::Fine ? 196 : 98),
        QStringLiteral("NOTIFY NONE"),
        QStringLiteral("SENDTIME ") +
            (fax.sendAt.isValid() ? sendTimeText(fax.sendAt) : QStringLiteral("NOW")),
        // As HylaFAX's own client asks: given up 3 hours after its time to send (which the
        // server counts from the SENDTIME given before it), after 12 dials or 3 tries that
        // reached a fax machine.
        QStringLiteral("LASTTIME 000259"),
        QStringLiteral("MAXDIALS 12"),
        QStringLiteral("MAXTRIES 3"),
        QStringLiteral("TOUSER ") + Quoted(fax.recipient),
        QStringLiteral("TOCOMPANY ") + Quoted(fax.company),
        QStringLiteral("DOCUMENT ") + stored,
    };
    for (const QString& parameter : parameters) {
        const Reply set = command(QStringLiteral("JPARM ") + parameter);
        if (set.code != 213 && set.code != 200) refused(parameter.section(' ', 0, 0), set);
    }
    expect(QStringLiteral("JSUBM"), {200});
    return {id.captured(1), id.captured(2)};
}

std::vector<ServerReceivedFax> HylaFaxSession::receivedFaxes() {
    expect(QStringLiteral("RCVFMT \"%1\"").arg(QLatin1String(kReceivedFormat)), {200});
    std::vector<ServerReceivedFax> found;
    for (const QByteArray& raw : list(QStringLiteral("recvq"))) {
        const QStringList columns =
            QString::fromUtf8(raw).remove(QLatin1Char('\r')).split(QLatin1Char('\t'));
        if (columns.size() < kReceivedColumns) continue;
        ServerReceivedFax fax;
        fax.file = columns[0].trimmed();
        // Only a name of the queue's own: it becomes part of a path asked for later.
        static const QRegularExpression name(QStringLiteral("^fax\\d+\\.tif$"));
        if (!name.match(fax.file).hasMatch()) continue;
        fax.sender = columns[1].trimmed();
        if (fax.sender == QLatin1String("<unknown>")) fax.sender.clear();
        fax.callerNumber = columns[2].trimmed();
        fax.callerName = columns[3].trimmed();
        fax.pages = columns[4].trimmed().toInt();
        if (const qint64 at = columns[5].trimmed().toLongLong(); at > 0)
            fax.received = QDateTime::fromSecsSinceEpoch(at, Qt::UTC);
        fax.receiving = columns[6].trimmed() == QLatin1String("*");
        fax.error = columns.mid(7).join(QLatin1Char('\t')).trimmed();
        found.push_back(fax);
    }
    return found;
}

void HylaFaxSession::removeFile(const QString& path) {
    expect(QStringLiteral("DELE ") + path, {250, 200});
}

void HylaFaxSession::selectJob(const QString& jobId) {
    expect(QStringLiteral("JOB ") + jobId, {200});
}

QString HylaFaxSession::parameter(const QString& jobId, const QString& name) {
    selectJob(jobId);
    return expect(QStringLiteral("JPARM ") + name, {213}).text();
}

void HylaFaxSession::setParameter(const QString& jobId, const QString& name, const QString& value) {
    selectJob(jobId);
    // A queued job takes new parameters only while it is held.
    const Reply held = command(QStringLiteral("JSUSP"));
    const bool wasQueued = held.code == 200;
    const Reply set = command(QStringLiteral("JPARM %1 %2").arg(name, value));
    if (wasQueued) expect(QStringLiteral("JSUBM"), {200});
    if (set.code != 213 && set.code != 200) refused(name, set);
}

void HylaFaxSession::kill(const QString& jobId) {
    selectJob(jobId);
    expect(QStringLiteral("JKILL"), {200});
}

void HylaFaxSession::suspend(const QString& jobId) {
    selectJob(jobId);
    expect(QStringLiteral("JSUSP"), {200});
}

void HylaFaxSession::release(const QString& jobId) {
    selectJob(jobId);
    expect(QStringLiteral("JSUBM"), {200});
}

QByteArray HylaFaxSession::retrieve(const QString& path, qint64 limit) {
    expect(QStringLiteral("TYPE I"), {200});
    std::unique_ptr<QTcpSocket> data = openData();
    const Reply opening = command(QStringLiteral("RETR ") + path);
    if (opening.code != 150 && opening.code != 125) refused(QStringLiteral("RETR"), opening);
    const QByteArray bytes = readAll(*data, limit);
    const Reply end = readReply(*control_);
    if (end.code != 226) refused(QStringLiteral("RETR"), end);
    return bytes;
}

QString HylaFaxSession::sendTimeText(const QDateTime& at) {
    return at.toUTC().toString(QStringLiteral("yyyyMMddHHmm"));
}

}  // namespace velmora
