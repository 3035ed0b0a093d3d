// Who can read a queued fax: HylaFAX's server as Debian installs it lets every local user list
// and download every queued job through hfaxd. The README tells how to keep one user's faxes
// from another; this row holds that advice to the real server (as root; skipped otherwise),
// with two real local users made for it: the configuration is the README's, the sender and the
// other user are separate accounts, and the other one is refused both through hfaxd and on disk.
#include "fax/FaxTiff.h"
#include "fax/HylaFaxFiles.h"

#include "HylaFaxServer.h"
#include "PdfReaders.h"
#include "Processes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <optional>

namespace velmora {
namespace {

using namespace std::chrono_literals;

const QString kHostsFile = QStringLiteral("/etc/hylafax/hosts.hfaxd");
const QString kServerConfig = QStringLiteral("/etc/hylafax/hfaxd.conf");
const QString kSpool = QLatin1String(hylafax::kSpoolFolder);
constexpr quint16 kHfaxdPort = 4559;

using test::ControlServer;
using test::RunAs;
using test::Said;

struct Reply {
    int code = 0;
    QString text;
};

// A client of hfaxd's protocol (FTP's, on 127.0.0.1), as another local user could write one;
// transfers in active mode, so that a refused one leaves nothing pending.
class HfaxdClient {
public:
    HfaxdClient() {
        control_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in server = Loopback(kHfaxdPort);
        if (control_ < 0 ||
            ::connect(control_, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
            return;
        const timeval bound{10, 0};
        ::setsockopt(control_, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
        greeting_ = reply();
    }
    ~HfaxdClient() {
        if (control_ >= 0) ::close(control_);
    }
    HfaxdClient(const HfaxdClient&) = delete;
    HfaxdClient& operator=(const HfaxdClient&) = delete;

    const Reply& greeting() const { return greeting_; }

    Reply command(const QString& line) {
        const QByteArray bytes = line.toLatin1() + "\r\n";
        if (::send(control_, bytes.constData(), bytes.size(), MSG_NOSIGNAL) != bytes.size())
            return {};
        return reply();
    }

    // What a transfer command (RETR, LIST, NLST) sends; nullopt when it is refused.
    std::optional<QByteArray> transfer(const QString& line, Reply* refusal = nullptr) {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener, 1) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            if (listener >= 0) ::close(listener);
            return std::nullopt;
        }
        const int port = ntohs(address.sin_port);
        std::optional<QByteArray> received;
        if (command(QStringLiteral("PORT 127,0,0,1,%1,%2").arg(port / 256).arg(port % 256)).code ==
            200) {
            const Reply started = command(line);
            if (started.code / 100 == 1) {
                pollfd waiting{listener, POLLIN, 0};
                if (::poll(&waiting, 1, 10000) == 1) {
                    const int data = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
                    received.emplace();
                    char buffer[65536];
                    for (ssize_t n; data >= 0 && (n = ::read(data, buffer, sizeof buffer)) > 0;)
                        received->append(buffer, n);
                    if (data >= 0) ::close(data);
                }
                reply();  // "226 Transfer complete."
            } else if (refusal) {
                *refusal = started;
            }
        }
        ::close(listener);
        return received;
    }

private:
    static sockaddr_in Loopback(quint16 port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    // Lines until the last of a reply ("123 ..." rather than "123-...").
    Reply reply() {
        for (;;) {
            const qsizetype end = pending_.indexOf("\r\n");
            if (end < 0) {
                char buffer[4096];
                const ssize_t n = ::recv(control_, buffer, sizeof buffer, 0);
                if (n <= 0) return {};
                pending_.append(buffer, n);
                continue;
            }
            const QString line = QString::fromLatin1(pending_.left(end));
            pending_.remove(0, end + 2);
            if (line.size() >= 4 && line[3] == QLatin1Char(' ') && line[0].isDigit())
                return {line.left(3).toInt(), line};
        }
    }

    int control_ = -1;
    QByteArray pending_;
    Reply greeting_;
};

bool ServerAnswers() {
    return HfaxdClient().greeting().text.contains(QLatin1String("HylaFAX"));
}

// A file of the system's, put back as it was found (bytes, owner, mode, times) when this ends,
// however the case ends.
class SavedFile {
public:
    explicit SavedFile(const QString& path) : path_(path) {
        QFile file(path);
        saved_ = ::stat(QFile::encodeName(path).constData(), &found_) == 0 &&
                 file.open(QIODevice::ReadOnly);
        if (saved_) bytes_ = file.readAll();
    }
    ~SavedFile() {
        if (written_) restore();
    }
    SavedFile(const SavedFile&) = delete;
    SavedFile& operator=(const SavedFile&) = delete;

    bool saved() const { return saved_; }
    const QByteArray& bytes() const { return bytes_; }

    // Writes over the file in place: its owner and mode stay.
    bool write(const QByteArray& bytes) {
        written_ = true;
        QFile file(path_);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(bytes) == bytes.size();
    }

    void restore() const {
        const int fd = ::open(QFile::encodeName(path_).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, found_.st_mode & 07777);
        if (fd < 0) return;
        for (qsizetype done = 0; done < bytes_.size();) {
            const ssize_t n = ::write(fd, bytes_.constData() + done, bytes_.size() - done);
            if (n <= 0) break;
            done += n;
        }
        [[maybe_unused]] const int owned = ::fchown(fd, found_.st_uid, found_.st_gid);
        (void)::fchmod(fd, found_.st_mode & 07777);
        const timespec times[2] = {found_.st_atim, found_.st_mtim};
        (void)::futimens(fd, times);
        ::close(fd);
    }

private:
    QString path_;
    struct stat found_ {};
    bool saved_ = false;
    bool written_ = false;
    QByteArray bytes_;
};

// A throwaway local account (a system account without a home or a login shell), removed with
// its group when this ends.
class LocalUser {
public:
    explicit LocalUser(const QString& name) : name_(name) {
        const Said added = RunAs({}, QStringLiteral("useradd"),
                                 {QStringLiteral("-M"), QStringLiteral("-r"), QStringLiteral("-s"),
                                  QStringLiteral("/usr/sbin/nologin"), name});
        if (added.exitCode != 0) return;
        uid_ = RunAs({}, QStringLiteral("id"), {QStringLiteral("-u"), name}).text.trimmed();
    }
    ~LocalUser() {
        if (!uid_.isEmpty()) RunAs({}, QStringLiteral("userdel"), {name_});
    }
    LocalUser(const LocalUser&) = delete;
    LocalUser& operator=(const LocalUser&) = delete;

    bool exists() const { return !uid_.isEmpty(); }
    const QString& name() const { return name_; }
    const QString& uid() const { return uid_; }

private:
    QString name_;
    QString uid_;
};

bool Lists(const QString& queue, const QString& job) {
    return queue.contains(QRegularExpression(QStringLiteral("(^|\\n)%1 ").arg(job)));
}

// The spool's files of `job`: its queue file and its documents (docq/doc<n>.<ext>.<job>), in
// whichever queue it is.
QStringList SpoolFilesOf(const QString& job) {
    QStringList files;
    for (const QString& queue : {QStringLiteral("sendq"), QStringLiteral("doneq")})
        if (QFileInfo::exists(kSpool + QLatin1Char('/') + queue + QStringLiteral("/q") + job))
            files << kSpool + QLatin1Char('/') + queue + QStringLiteral("/q") + job;
    for (const QString& document :
         QDir(kSpool + QStringLiteral("/docq"))
             .entryList({QStringLiteral("doc*.%1").arg(job)}, QDir::Files | QDir::System))
        files << kSpool + QStringLiteral("/docq/") + document;
    return files;
}

// The README's configuration on this machine's HylaFAX server, with a sender and another local
// user who each have a line of their own; everything is put back afterwards: the files byte for
// byte, the server running or stopped as it was found, no user and no job left.
class SpoolAccess : public ::testing::Test {
protected:
    void SetUp() override {
        if (::getuid() != 0) GTEST_SKIP() << "configuring the HylaFAX server needs root";
        if (!QFileInfo(QLatin1String(hylafax::kServerScript)).isExecutable())
            GTEST_SKIP() << "hylafax-server is not installed";
        ASSERT_TRUE(hosts_.saved() && config_.saved()) << "cannot read HylaFAX's configuration";
        wasRunning_ = ServerAnswers();
        const QString mark = QString::number(::getpid());
        sender_.emplace(QStringLiteral("vlmfaxa") + mark);
        other_.emplace(QStringLiteral("vlmfaxb") + mark);
        ASSERT_TRUE(sender_->exists() && other_->exists()) << "useradd failed";

        // A line of their own for each (their own uid as the one hfaxd gives them) instead of
        // the open "localhost:21::"; job files private.
        ASSERT_TRUE(
            hosts_.write(QStringLiteral("^%1@localhost$:%2\n^%3@localhost$:%4\n")
                             .arg(sender_->name(), sender_->uid(), other_->name(), other_->uid())
                             .toLatin1()));
        ASSERT_TRUE(config_.write(config_.bytes() +
                                  "PublicJobQ:\t\tfalse\t\t# list only a user's own jobs\n"
                                  "JobProtection:\t\t0600\t\t# job files private\n"));
        if (wasRunning_) stop();
        start();
    }

    void TearDown() override {
        if (IsSkipped()) return;
        for (const QString& job : jobs_) {
            if (ServerAnswers())
                RunAs(sender_->name(), QLatin1String(hylafax::kFaxRm),
                      {QStringLiteral("-h"), QLatin1String(hylafax::kDefaultServer), job});
            // Removed, the job moves to doneq, its documents kept until a clean-up; none of it
            // is to stay.
            test::Eventually(
                [&] { return !QFileInfo::exists(kSpool + QStringLiteral("/sendq/q") + job); }, 10s);
        }
        if (ServerAnswers()) stop();
        for (const QString& job : jobs_) {
            for (const QString& file : SpoolFilesOf(job)) QFile::remove(file);
            EXPECT_TRUE(SpoolFilesOf(job).isEmpty()) << SpoolFilesOf(job).join(' ');
        }
        hosts_.restore();
        config_.restore();
        EXPECT_EQ(ReadAll(kHostsFile), hosts_.bytes());
        EXPECT_EQ(ReadAll(kServerConfig), config_.bytes());
        if (wasRunning_) start();
        other_.reset();
        sender_.reset();
    }

    void start() { test::SwitchServer(true, ServerAnswers); }
    void stop() { test::SwitchServer(false, ServerAnswers); }
    static QByteArray ReadAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString queueAs(const LocalUser& user) const {
        return RunAs(user.name(), QLatin1String(hylafax::kFaxStat),
                     {QStringLiteral("-s"), QStringLiteral("-h"),
                      QLatin1String(hylafax::kDefaultServer)})
            .text;
    }

    SavedFile hosts_{kHostsFile};
    SavedFile config_{kServerConfig};
    bool wasRunning_ = false;
    std::optional<LocalUser> sender_;
    std::optional<LocalUser> other_;
    QStringList jobs_;
};

TEST_F(SpoolAccess, AnotherLocalUserCanNeitherListNorFetchAQueuedFaxWithTheReadmesConfiguration) {
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("packet.pdf"));
    const QString tiff = folder.filePath(QStringLiteral("packet.tif"));
    test::WriteTextPdf(pdf, {"Cover: for the sender's eyes", "Contract"}, QPageSize::Letter);
    WriteFaxTiff(pdf, tiff);

    // The sender queues the packet with HylaFAX's own client, run as that user (the TIFF on
    // its standard input: the test's folder is not theirs to read).
    const Said sent =
        RunAs(sender_->name(), QLatin1String(hylafax::kSendFax),
              {QStringLiteral("-n"), QStringLiteral("-h"), QLatin1String(hylafax::kDefaultServer),
               QStringLiteral("-d"), QStringLiteral("5550142278")},
              tiff);
    const QRegularExpressionMatch id =
        QRegularExpression(QStringLiteral("request id is (\\d+)")).match(sent.text);
    ASSERT_TRUE(id.hasMatch()) << sent.text;
    const QString job = id.captured(1);
    jobs_ << job;
    const QString queueFile = kSpool + QStringLiteral("/sendq/q") + job;
    QStringList documents;
    for (const QString& file : SpoolFilesOf(job))
        if (file.contains(QLatin1String("/docq/"))) documents << file;
    ASSERT_FALSE(documents.isEmpty()) << SpoolFilesOf(job).join(' ');

    // The sender still sees the job; the other user does not.
    EXPECT_TRUE(Lists(queueAs(*sender_), job)) << queueAs(*sender_);
    const QString othersQueue = queueAs(*other_);
    EXPECT_TRUE(othersQueue.contains(QLatin1String("HylaFAX scheduler"))) << othersQueue;
    EXPECT_FALSE(Lists(othersQueue, job)) << othersQueue;

    // Through hfaxd, as the campaign did: the sender fetches their own document (the client
    // works), the other user logged in under their own name gets neither the job's queue file
    // nor its document, and no line of it in the listing.
    const QString document = QStringLiteral("/docq/") + QFileInfo(documents[0]).fileName();
    {
        HfaxdClient sender;
        ASSERT_EQ(sender.command(QStringLiteral("USER ") + sender_->name()).code, 230);
        ASSERT_EQ(sender.command(QStringLiteral("TYPE I")).code, 200);
        const std::optional<QByteArray> own = sender.transfer(QStringLiteral("RETR ") + document);
        ASSERT_TRUE(own.has_value());
        EXPECT_EQ(*own, ReadAll(documents[0]));
    }
    HfaxdClient other;
    ASSERT_EQ(other.command(QStringLiteral("USER ") + other_->name()).code, 230);
    ASSERT_EQ(other.command(QStringLiteral("TYPE I")).code, 200);
    const std::optional<QByteArray> listing = other.transfer(QStringLiteral("LIST /sendq"));
    ASSERT_TRUE(listing.has_value());
    EXPECT_FALSE(Lists(QString::fromLatin1(*listing), job)) << listing->constData();
    for (const QString& file : {QStringLiteral("/sendq/q") + job, document}) {
        Reply refusal;
        const std::optional<QByteArray> fetched =
            other.transfer(QStringLiteral("RETR ") + file, &refusal);
        EXPECT_FALSE(fetched.has_value()) << file << ": " << fetched->size() << " bytes";
        EXPECT_EQ(refusal.code, 550) << refusal.text;
    }

    // On disk: the queue file is the server's alone (0600), the documents (group: the sender's
    // number in hosts.hfaxd) not readable by others, and the other user opens neither.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(queueFile).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u) << Qt::oct << (info.st_mode & 07777);
    for (const QString& file : QStringList{queueFile} + documents) {
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0007, 0u) << file;
        const Said read = RunAs(other_->name(), QStringLiteral("cat"), {file});
        EXPECT_NE(read.exitCode, 0) << file;
        EXPECT_TRUE(read.text.contains(QLatin1String("Permission denied"))) << read.text;
    }
}

}  // namespace
}  // namespace velmora
