// Handing a fax to a server that takes the connection and never says a word: the wait ends at
// the bound. Needs no root: a listening socket of the test's own. (Faxes through a real
// HylaFAX server: tests/faxserver.)
#include "fax/FaxSending.h"
#include "fax/FaxTiff.h"
#include "fax/server/HylaFaxSession.h"
#include "fax/server/SendJob.h"
#include "shell/Failure.h"
#include "shell/TempFolder.h"

#include "PdfReaders.h"
#include "Processes.h"
#include "SlowFaxServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>

#include <unistd.h>

namespace velmora {
namespace {

using namespace std::chrono_literals;

// The fax files this run left in the temporary folder.
QStringList FaxFilesInTemp() {
    return QDir(TempFolder())
        .entryList({QStringLiteral("*velmora-fax-*")}, QDir::Files | QDir::Hidden);
}

TEST(FaxSending, AServerThatNeverAnswersIsGivenUpAtTheBoundAndBadNumbersAreRefused) {
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("page.pdf"));
    test::WriteTextPdf(pdf, {"One page"}, QPageSize::Letter);

    // The system completes the connection; nobody ever reads or writes on it.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const QString server = QStringLiteral("127.0.0.1:%1").arg(silent.serverPort());
    const FaxServerAddress address = *FaxServerAddress::parse(server);
    QElapsedTimer waited;
    waited.start();
    try {
        HylaFaxSession session(address, 1500ms);
        ADD_FAILURE() << "logged in to a server that says nothing";
    } catch (const Failure& failure) {
        const QString message = QString::fromStdString(failure.what());
        EXPECT_TRUE(message.contains(QStringLiteral("%1 did not answer within").arg(server)))
            << message.toStdString();
    }
    EXPECT_LT(waited.elapsed(), 6000);

    // Nothing listens: told at once, in words naming the server.
    const quint16 port = silent.serverPort();
    silent.close();
    try {
        HylaFaxSession session(*FaxServerAddress::parse(QStringLiteral("127.0.0.1:%1").arg(port)));
        ADD_FAILURE() << "logged in where nothing listens";
    } catch (const Failure& failure) {
        EXPECT_TRUE(
            QString::fromStdString(failure.what()).contains(QLatin1String("could not be reached")))
            << failure.what();
    }

    // Servers as the user names them.
    EXPECT_EQ(FaxServerAddress::parse(QStringLiteral("fax.example.org"))->text(),
              QStringLiteral("fax.example.org:4559"));
    EXPECT_EQ(FaxServerAddress::parse(QStringLiteral(" [::1]:14571 "))->text(),
              QStringLiteral("[::1]:14571"));
    for (const char* none : {"", "host:0", "host:65536", "host:port", "a b", "user@host"})
        EXPECT_FALSE(FaxServerAddress::parse(QLatin1String(none))) << none;
    {
        const test::ScopedVariable named("FAXSERVER", "localhost:14571");
        EXPECT_EQ(FaxServerAddress::fallback().port, 14571) << "the port of $FAXSERVER is used";
    }

    for (const QString& number :
         {QStringLiteral("555-014-2278"), QStringLiteral("+1 (555) 014-2278, 22")})
        EXPECT_TRUE(FaxNumberProblem(number).isEmpty()) << number.toStdString();
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
            << FaxNumberProblem(QLatin1String(bad.number)).toStdString();
    }
    EXPECT_TRUE(FaxFilesInTemp().isEmpty()) << FaxFilesInTemp().join(' ').toStdString();
}

// A server whose job list never ends is cut off at a bound: the outbox's poll never takes the
// program's memory with it.
TEST(FaxSending, AJobListWithoutEndIsCutOffAtItsBound) {
    QTemporaryDir folder;
    test::SlowFaxServer flooding(folder.path(), 0, true);
    ASSERT_NE(flooding.port(), 0);
    const long before = test::ResidentKb(::getpid());
    try {
        HylaFaxSession session(*FaxServerAddress::parse(flooding.server()));
        session.jobs();
        ADD_FAILURE() << "an endless list was taken";
    } catch (const Failure& failure) {
        EXPECT_TRUE(QString::fromStdString(failure.what()).contains(QLatin1String("sent more")))
            << failure.what();
    }
    EXPECT_LT(test::ResidentKb(::getpid()) - before, 200 * 1024) << "kB taken by the list";
}

}  // namespace
}  // namespace velmora
