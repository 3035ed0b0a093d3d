// Sending through HylaFAX's client to a real HylaFAX server on this machine, started and
// stopped by the tests (as root; skipped otherwise), and to a server that never answers.
#include "fax/FaxSending.h"
#include "fax/FaxTiff.h"
#include "fax/HylaFaxFiles.h"
#include "fax/ImagePages.h"
#include "shell/Failure.h"
#include "shell/TempFolder.h"

#include "HylaFaxServer.h"
#include "PdfReaders.h"
#include "Processes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora {
namespace {

using namespace std::chrono_literals;

const QString kNumber = QStringLiteral("555-014-2278");
const QString kServer = QLatin1String(hylafax::kDefaultServer);

using test::ControlServer;
using test::Said;

Said RunProgram(const QString& program, const QStringList& arguments) {
    return test::RunAs({}, program, arguments);
}

bool ServerAnswers() {
    return test::FaxStatAnswers();
}

// The fax files this run left in the temporary folder.
QStringList FaxFilesInTemp() {
    return QDir(TempFolder())
        .entryList({QStringLiteral("*velmora-fax-*")}, QDir::Files | QDir::Hidden);
}

// The server's queue as `faxstat -s` lists it.
QString Queue() {
    return RunProgram(QLatin1String(hylafax::kFaxStat),
                      {QStringLiteral("-s"), QStringLiteral("-h"), kServer})
        .text;
}

bool Listed(const QString& job) {
    return Queue().contains(QRegularExpression(QStringLiteral("(^|\\n)%1 ").arg(job)));
}

// The server's queue file of `job`: "name:value" lines.
QString QueueFileOf(const QString& job) {
    QFile queueFile(QLatin1String(hylafax::kSpoolFolder) + QStringLiteral("/sendq/q") + job);
    return queueFile.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(queueFile.readAll())
                                               : QString();
}

// The documents a queue file names, as files of the spool.
QStringList SpooledDocuments(const QString& queueFile) {
    QStringList documents;
    // "<kind>:<page>:<name>:<file>", kind "tiff", "postscript" (HylaFAX's own cover), ...
    static const QRegularExpression document(QStringLiteral("^!?[a-z]+:\\d*:[^:]*:(docq/.+)$"));
    for (const QString& line : queueFile.split('\n'))
        if (const auto match = document.match(line); match.hasMatch())
            documents << QLatin1String(hylafax::kSpoolFolder) + QLatin1Char('/') +
                             match.captured(1);
    return documents;
}

// A HylaFAX server on this machine (hylafax-server, started as root), left afterwards as it was
// found: running or stopped.
class FaxServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (::getuid() != 0) GTEST_SKIP() << "starting the HylaFAX server needs root";
        if (!QFileInfo(QLatin1String(hylafax::kServerScript)).isExecutable())
            GTEST_SKIP() << "hylafax-server is not installed";
        ASSERT_TRUE(FaxSendingAvailable()) << "hylafax-client is not installed";
        wasRunning_ = ServerAnswers();
        start();
        test::WriteTextPdf(packet(), {"Cover", "Contract one", "Contract two"}, QPageSize::Letter);
    }
    void TearDown() override {
        for (const QString& job : jobs_)
            RunProgram(QLatin1String(hylafax::kFaxRm), {QStringLiteral("-h"), kServer, job});
        if (!IsSkipped() && ServerAnswers() != wasRunning_) wasRunning_ ? start() : stop();
    }

    void start() { test::SwitchServer(true); }
    void stop() { test::SwitchServer(false); }
    QString packet() const { return folder_.filePath(QStringLiteral("packet.pdf")); }
    // Sends the packet; the job is removed at the end.
    QString send() {
        const QString job = SendPdfAsFax(packet(), {kNumber, kServer, FaxResolution::Fine});
        jobs_ << job;
        return job;
    }
    void remove(const QString& job) {
        const Said said =
            RunProgram(QLatin1String(hylafax::kFaxRm), {QStringLiteral("-h"), kServer, job});
        EXPECT_EQ(said.exitCode, 0) << said.text;
        EXPECT_TRUE(said.text.contains(QStringLiteral("Job %1 removed").arg(job))) << said.text;
        jobs_.removeAll(job);
    }

private:
    QTemporaryDir folder_;
    bool wasRunning_ = false;
    QStringList jobs_;
};

TEST_F(FaxServer, APacketIsQueuedForItsNumberWithAllItsPagesAndCanBeRemoved) {
    const QString job = send();
    EXPECT_TRUE(job.contains(QRegularExpression(QStringLiteral("^\\d+$")))) << job;
    EXPECT_TRUE(FaxFilesInTemp().isEmpty()) << FaxFilesInTemp().join(' ');

    const QString queue = Queue();
    const QRegularExpressionMatch line =
        QRegularExpression(QStringLiteral("(^|\\n)(%1 [^\\n]*)").arg(job)).match(queue);
    ASSERT_TRUE(line.hasMatch()) << job << " not in\n" << queue;
    EXPECT_TRUE(line.captured(2).contains(kNumber)) << line.captured(2);

    // As the server holds it: one fax TIFF of the packet's three pages, to go out in fine
    // resolution as it was made (not made again at the server's default), with no cover page
    // of HylaFAX's.
    const QString queueFile = QueueFileOf(job);
    EXPECT_TRUE(queueFile.contains(QLatin1String("\nresolution:196\n"))) << queueFile;
    const QStringList documents = SpooledDocuments(queueFile);
    ASSERT_EQ(documents.size(), 1) << documents.join(' ');
    ImagePages pages(documents[0]);
    EXPECT_EQ(pages.count(), 3);
    for (int i = 0; i < pages.count(); ++i) {
        const QImage page = pages.next();
        EXPECT_EQ(page.width(), kFaxDotsAcross);
        EXPECT_EQ(page.height(), FaxPageLines(FaxResolution::Fine));
    }

    remove(job);
    EXPECT_TRUE(test::Eventually([&] { return !Listed(job); })) << Queue();
}

TEST_F(FaxServer, AStoppedServerIsToldPlainlyAndATryAfterItStartsAgainIsSent) {
    stop();
    try {
        send();
        ADD_FAILURE() << "sent with the server stopped";
    } catch (const Failure& failure) {
        const QString message = QString::fromStdString(failure.what());
        EXPECT_TRUE(message.contains(
            QStringLiteral("The fax server \"%1\" could not be reached").arg(kServer)))
            << message;
        // HylaFAX's own words follow.
        EXPECT_TRUE(message.contains(QLatin1String("Can not reach"))) << message;
    }
    EXPECT_TRUE(FaxFilesInTemp().isEmpty()) << FaxFilesInTemp().join(' ');
    EXPECT_TRUE(QFileInfo(packet()).size() > 0) << "the packet is kept for another try";

    start();
    const QString job = send();
    EXPECT_TRUE(Listed(job)) << Queue();
    remove(job);
}

// A server that takes the connection and never says a word: the wait ends at the bound, and
// sendfax with it. Needs no root: a listening socket of the test's own.
TEST(FaxSending, AServerThatNeverAnswersIsGivenUpAtTheBoundAndBadNumbersAreRefused) {
    if (!FaxSendingAvailable()) GTEST_SKIP() << "hylafax-client is not installed";
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("page.pdf"));
    const QString tiff = folder.filePath(QStringLiteral("page.tif"));
    test::WriteTextPdf(pdf, {"One page"}, QPageSize::Letter);
    WriteFaxTiff(pdf, tiff);

    // The system completes the connection; nobody ever reads or writes on it.
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(silent, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const QString server = QStringLiteral("localhost:%1").arg(ntohs(address.sin_port));
    QElapsedTimer waited;
    waited.start();
    try {
        SubmitFax(tiff, {kNumber, server, FaxResolution::Fine}, 1500ms);
        ADD_FAILURE() << "submitted to a server that says nothing";
    } catch (const Failure& failure) {
        const QString message = QString::fromStdString(failure.what());
        EXPECT_TRUE(message.contains(QStringLiteral("\"%1\" did not answer within").arg(server)))
            << message;
    }
    EXPECT_LT(waited.elapsed(), 6000);
    EXPECT_TRUE(test::Eventually(
        [] {
            return RunProgram(QStringLiteral("pgrep"),
                              {QStringLiteral("-P"), QString::number(::getpid()),
                               QStringLiteral("-x"), QLatin1String(hylafax::kSendFax)})
                .text.isEmpty();
        },
        5s))
        << "sendfax was left running";

    for (const QString& number :
         {QStringLiteral("555-014-2278"), QStringLiteral("+1 (555) 014-2278, 22")})
        EXPECT_TRUE(FaxNumberProblem(number).isEmpty()) << number;
    const struct {
        const char* number;
        const char* says;
    } refused[] = {{"", "Enter the fax number"},
                   {"  ", "Enter the fax number"},
                   {"555-CALL-NOW", "may hold only digits"},
                   {"555;reboot", "may hold only digits"},
                   {"+( ) -", "has no digit"}};
    for (const auto& bad : refused) {
        SCOPED_TRACE(bad.number);
        EXPECT_TRUE(FaxNumberProblem(QLatin1String(bad.number)).contains(QLatin1String(bad.says)))
            << FaxNumberProblem(QLatin1String(bad.number));
        // Refused before anything is written or sent.
        EXPECT_THROW(SendPdfAsFax(pdf, {QLatin1String(bad.number), server, FaxResolution::Fine}),
                     Failure);
    }
    EXPECT_TRUE(FaxFilesInTemp().isEmpty()) << FaxFilesInTemp().join(' ');
    ::close(silent);
}

}  // namespace
}  // namespace velmora
