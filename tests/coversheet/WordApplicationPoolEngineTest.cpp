// The pool with the real office: instances started ahead, one killed while idle, and none
// left behind when the pool goes or the program is killed.
#include "Processes.h"
#include "TestSupport.h"
#include "coversheet/WordApplicationPool.h"
#include "coversheet/WordEngine.h"
#include "coversheet/office/OfficeFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <map>
#include <set>
#include <thread>

namespace velmora {
namespace {

using namespace std::chrono_literals;

QString SmallDocument() {
    const QString file = test::TestFolder() + QStringLiteral("/pool-note.txt");
    QFile note(file);
    note.open(QIODevice::WriteOnly);
    note.write("A note for the pool.\n");
    return file;
}

TEST(WordApplicationPoolEngineTest, AnOfficeKilledWhileIdleIsReplacedByAFreshOneThatWorks) {
    {
        WordApplicationPool pool({.start = StartWordApplication});
        pool.keepReady(2);
        pool.waitUntilSettled();
        ASSERT_EQ(pool.readyCount(), 2);
        const std::set<pid_t> idle = test::OfficesUnder(getpid());
        ASSERT_EQ(idle.size(), 2u);
        const pid_t victim = *idle.begin();
        ::kill(victim, SIGKILL);
        ASSERT_TRUE(test::Eventually([&] { return !test::ProcessRuns(victim); }, 30s));

        const QString note = SmallDocument();
        const QString lock = office::LockFileOf(note);
        for (int i = 0; i < 2; ++i) {
            auto word = pool.take();
            ASSERT_TRUE(word->alive());
            EXPECT_NO_THROW(word->documentsOpen(note, false));
            EXPECT_TRUE(QFile::exists(lock)) << "open for editing";
            EXPECT_NO_THROW(word->closeWithoutSaving());
            EXPECT_FALSE(QFile::exists(lock))
                << "the document's lock file goes as it closes, before the office ends";
            word->quit();
        }
        pool.waitUntilSettled();
    }
    EXPECT_TRUE(test::Eventually([] { return test::OfficesUnder(getpid()).empty(); }, 30s))
        << "no office outlives the pool";
}

// Run on its own by the next test: a program with two offices ready, waiting to be killed.
TEST(WordApplicationPoolEngineTest, DISABLED_ProgramHoldingReadyOffices) {
    WordApplicationPool pool({.start = StartWordApplication});
    pool.keepReady(2);
    pool.waitUntilSettled();
    std::printf("ready %d\n", pool.readyCount());
    std::fflush(stdout);
    std::this_thread::sleep_for(120s);
}

TEST(WordApplicationPoolEngineTest, AKilledProgramTakesItsReadyOfficesAlong) {
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=*DISABLED_ProgramHoldingReadyOffices"),
                  QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(holder.waitForStarted());
    QByteArray output;
    while (!output.contains("ready") && holder.waitForReadyRead(60000)) output += holder.readAll();
    ASSERT_TRUE(output.contains("ready 2")) << output.toStdString();
    const std::set<pid_t> offices = test::OfficesUnder(pid_t(holder.processId()));
    ASSERT_EQ(offices.size(), 2u);

    ::kill(pid_t(holder.processId()), SIGKILL);
    holder.waitForFinished();
    EXPECT_TRUE(test::Eventually(
        [&] {
            for (const pid_t office : offices)
                if (test::ProcessRuns(office)) return false;
            return true;
        },
        30s))
        << "an office outlived the killed program";
}

}  // namespace
}  // namespace velmora
