// Starting and ending offices: no office outlives its connection or its program, a hung or
// dead office makes calls fail instead of hang, and nothing left over blocks the next start.
#include "EngineTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <csignal>

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

QString What(const WordError& error) {
    return QString::fromUtf8(error.what());
}

// A private profile folder, for tests that look at which slot an office gets.
QString PrivateProfiles(const char* name) {
    const QString folder = TestFolder() + QStringLiteral("/profiles-") + QLatin1String(name);
    QDir().mkpath(folder);
    return folder;
}

// A stand-in for the office program: a script that records its process id.
QString FakeOffice(const QString& name, const QString& body) {
    const QString path = TestFolder() + QLatin1Char('/') + name;
    QFile script(path);
    script.open(QIODevice::WriteOnly | QIODevice::Truncate);
    script.write("#!/bin/sh\necho $$ > \"$0.pid\"\n" + body.toUtf8() + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

bool SlotFree(const QString& profiles, int slot) {
    const int fd = ::open(
        QFile::encodeName(QStringLiteral("%1/slot-%2.lock").arg(profiles).arg(slot)).constData(),
        O_RDWR | O_CLOEXEC);
    const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) ::close(fd);
    return free;
}

pid_t RecordedPid(const QString& fakeOffice) {
    return ReadFile(fakeOffice + QStringLiteral(".pid")).trimmed().toInt();
}

TEST(OfficeLifecycleTest, QuitEndsTheOfficeAndRemovesItsPipes) {
    office::OfficeConnection word(ProgramStartOptions());
    const pid_t pid = word.officeProcessId();
    ASSERT_TRUE(ProcessRuns(pid));
    const QStringList pipes = office::OfficeProcess::listeningSockets(pid);
    ASSERT_FALSE(pipes.isEmpty());

    word.quit();

    EXPECT_FALSE(ProcessRuns(pid));
    for (const QString& pipe : pipes) EXPECT_FALSE(QFileInfo::exists(pipe)) << pipe.toStdString();
    // Ending twice is harmless; working on an ended office is an error, not a hang.
    word.quit();
    EXPECT_THROW(word.documentsOpen(SampleTemplate(TestFolder() + "/quit"), true), WordError);
}

TEST(OfficeLifecycleTest, TwoOfficesRunSideBySideOnProfilesOfTheirOwn) {
    office::OfficeConnection first(ProgramStartOptions());
    office::OfficeConnection second(ProgramStartOptions());
    EXPECT_NE(first.profileSlot(), second.profileSlot());
    EXPECT_NE(first.officeProcessId(), second.officeProcessId());

    first.documentsOpen(SampleTemplate(TestFolder() + "/first"), true);
    second.documentsOpen(SampleTemplate(TestFolder() + "/second"), true);
    first.setBookmarkText(QStringLiteral("bkFor"), QStringLiteral("one"));
    second.setBookmarkText(QStringLiteral("bkFor"), QStringLiteral("two"));
    EXPECT_EQ(BookmarkText(first, QStringLiteral("bkFor")), QStringLiteral("one"));
    EXPECT_EQ(BookmarkText(second, QStringLiteral("bkFor")), QStringLiteral("two"));
}

TEST(OfficeLifecycleTest, ProfileHeldByAnotherOfficeIsLeftAlone) {
    // A stray office (here: a lock like the one it would hold) keeps slot 0 taken.
    const QString profiles = PrivateProfiles("held");
    const int stray = ::open(QFile::encodeName(profiles + "/slot-0.lock").constData(),
                             O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(stray, LOCK_EX | LOCK_NB), 0);

    office::StartOptions options = ProgramStartOptions();
    options.profileFolder = profiles;
    office::OfficeConnection word(options);
    EXPECT_EQ(word.profileSlot(), 1);
    word.documentsOpen(SampleTemplate(TestFolder() + "/held"), true);
    word.quit();
    ::close(stray);
}

// A slot used before holds what earlier runs left in its settings, here lock files switched
// off. A save that cannot be made still fails at once with a reason, in the same slot again
// and again, and the office stays up instead of being ended by the watchdog.
TEST(OfficeLifecycleTest, FailedSaveFailsAtOnceInAReusedProfile) {
    const QString profiles = PrivateProfiles("reused");
    QDir().mkpath(profiles + "/slot-0/user");
    QFile settings(profiles + "/slot-0/user/registrymodifications.xcu");
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items "
        "xmlns:oor=\"http://openoffice.org/2001/registry\">\n"
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
        "oor:name=\"UseDocumentOOoLockFile\" oor:op=\"fuse\"><value>false</value></prop></item>\n"
        "</oor:items>\n");
    settings.close();
    const QString folder = TestFolder() + "/reused";
    QDir().mkpath(folder);
    QFile plain(folder + "/plain");  // a file where the folder would be
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString unwritable = folder + "/plain/sheet.doc";

    office::StartOptions options = ProgramStartOptions();
    options.profileFolder = profiles;
    options.callBound = 15s;
    for (int run = 0; run < 2; ++run) {
        office::OfficeConnection word(options);
        ASSERT_EQ(word.profileSlot(), 0);
        EXPECT_THROW(word.documentsOpen(folder + "/no-such.dot", true), WordError);
        word.documentsOpen(SampleTemplate(folder), true);
        try {
            word.saveAs(unwritable);
            ADD_FAILURE() << "saved";
        } catch (const WordError& error) {
            EXPECT_TRUE(What(error).contains(unwritable)) << error.what();
            EXPECT_FALSE(What(error).contains("stopped answering")) << error.what();
        }
        EXPECT_TRUE(word.alive()) << "run " << run;
        word.closeWithoutSaving();
        word.quit();
    }
}

TEST(OfficeLifecycleTest, ProgramThatCannotRunCannotStart) {
    office::StartOptions options = ProgramStartOptions();
    options.program = TestFolder() + QStringLiteral("/no-office-here/soffice.bin");
    try {
        office::OfficeConnection word(options);
        FAIL() << "started";
    } catch (const WordError& error) {
        EXPECT_TRUE(What(error).contains(options.program)) << error.what();
    }
}

TEST(OfficeLifecycleTest, ProgramThatEndsAtOnceCannotStart) {
    office::StartOptions options = ProgramStartOptions();
    options.program = FakeOffice(QStringLiteral("ends.sh"), QStringLiteral("exit 3"));
    try {
        office::OfficeConnection word(options);
        FAIL() << "started";
    } catch (const WordError& error) {
        EXPECT_TRUE(What(error).contains(QStringLiteral("exit status 3"))) << error.what();
    }
}

TEST(OfficeLifecycleTest, ProgramThatNeverAnswersIsGivenUpAndEnded) {
    office::StartOptions options = ProgramStartOptions();
    options.program = FakeOffice(QStringLiteral("silent.sh"), QStringLiteral("exec sleep 600"));
    options.startBound = 2s;
    try {
        office::OfficeConnection word(options);
        FAIL() << "started";
    } catch (const WordError& error) {
        EXPECT_TRUE(What(error).contains(QStringLiteral("did not answer"))) << error.what();
    }
    const pid_t pid = RecordedPid(options.program);
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(ProcessRuns(pid));
}

TEST(OfficeLifecycleTest, HungOfficeFailsTheCallAndIsEnded) {
    office::StartOptions options = ProgramStartOptions();
    options.callBound = 3s;
    office::OfficeConnection word(options);
    word.documentsOpen(SampleTemplate(TestFolder() + "/hung"), true);
    const pid_t pid = word.officeProcessId();
    ASSERT_TRUE(test::Stop(pid));

    try {
        word.setBookmarkText(QStringLiteral("bkFor"), QStringLiteral("x"));
        FAIL() << "a stopped office answered";
    } catch (const WordError& error) {
        EXPECT_TRUE(What(error).contains(QStringLiteral("stopped answering"))) << error.what();
        EXPECT_TRUE(What(error).contains(QStringLiteral("bkFor"))) << error.what();
    }
    EXPECT_TRUE(Eventually([&] { return !ProcessRuns(pid); }));
    // Later calls fail at once, saying why.
    try {
        word.fieldsUpdate();
        FAIL() << "no error";
    } catch (const WordError& error) {
        EXPECT_TRUE(What(error).contains(QStringLiteral("stopped answering"))) << error.what();
    }
    word.quit();
}

TEST(OfficeLifecycleTest, OfficeThatDiesFailsTheNextCall) {
    office::OfficeConnection word(ProgramStartOptions());
    word.documentsOpen(SampleTemplate(TestFolder() + "/dies"), true);
    ASSERT_EQ(::kill(word.officeProcessId(), SIGKILL), 0);

    try {
        word.setBookmarkText(QStringLiteral("bkFor"), QStringLiteral("x"));
        FAIL() << "a dead office answered";
    } catch (const WordError& error) {
        EXPECT_TRUE(What(error).contains(QStringLiteral("ended unexpectedly"))) << error.what();
    }
    word.quit();
}

// The holder program connects to an office and waits; killing it must take its office along,
// and what that office left must not stand in the way of the next one.
TEST(OfficeLifecycleTest, KilledProgramTakesItsOfficeAlong) {
    const QString profiles = PrivateProfiles("killed");
    QProcess holder;
    holder.start(QCoreApplication::applicationDirPath() + QStringLiteral("/engine_office_holder"),
                 {profiles});
    ASSERT_TRUE(holder.waitForStarted());
    QByteArray line;
    Eventually(
        [&] {
            holder.waitForReadyRead(100);
            line += holder.readAll();
            return line.contains('\n') || holder.state() == QProcess::NotRunning;
        },
        60s);
    const QList<QByteArray> report = line.trimmed().split(' ');
    ASSERT_EQ(report.size(), 2) << line.toStdString()
                                << holder.readAllStandardError().toStdString();
    const pid_t office = report[0].toInt();
    ASSERT_TRUE(ProcessRuns(office));
    const QStringList pipes = office::OfficeProcess::listeningSockets(office);

    ::kill(pid_t(holder.processId()), SIGKILL);
    holder.waitForFinished();

    EXPECT_TRUE(Eventually([&] { return !ProcessRuns(office); }));
    // Its keeper lets go of the profile and removes the pipes a moment after the office has gone.
    EXPECT_TRUE(Eventually([&] { return SlotFree(profiles, report[1].toInt()); }));
    for (const QString& pipe : pipes) EXPECT_FALSE(QFileInfo::exists(pipe)) << pipe.toStdString();
    // The next office starts on that profile as if nothing had happened.
    office::StartOptions options = ProgramStartOptions();
    options.profileFolder = profiles;
    office::OfficeConnection next(options);
    EXPECT_EQ(next.profileSlot(), report[1].toInt());
    next.documentsOpen(SampleTemplate(TestFolder() + "/killed"), true);
    next.quit();
}

}  // namespace
}  // namespace velmora::test
