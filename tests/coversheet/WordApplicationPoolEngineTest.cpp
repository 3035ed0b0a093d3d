// The pool with the real office: instances started ahead, one killed while idle, and none
// left behind when the pool goes or the program is killed.
#include "TestSupport.h"
#include "coversheet/WordApplicationPool.h"

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

// The office processes descending from `ancestor`.
std::set<pid_t> OfficesUnder(pid_t ancestor) {
    std::map<pid_t, pid_t> parents;
    std::map<pid_t, QByteArray> names;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
        if (open < 0 || close < 0) continue;
        const QList<QByteArray> rest = text.mid(close + 2).split(' ');
        if (rest.value(0) == "Z") continue;  // ended, waiting to be reaped
        names[pid] = text.mid(open + 1, close - open - 1);
        parents[pid] = rest.value(1).toInt();
    }
    std::set<pid_t> offices;
    for (const auto& [pid, name] : names) {
        if (!name.startsWith("soffice")) continue;
        for (pid_t up = parents[pid]; up > 1; up = parents.count(up) ? parents[up] : 0)
            if (up == ancestor) {
                offices.insert(pid);
                break;
            }
    }
    return offices;
}

bool Running(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

template <class Condition>
bool eventually(Condition done) {
    for (int i = 0; i < 600 && !done(); ++i) std::this_thread::sleep_for(50ms);
    return done();
}

QString SmallDocument() {
    const QString file = test::TestFolder() + QStringLiteral("/pool-note.txt");
    QFile note(file);
    note.open(QIODevice::WriteOnly);
    note.write("A note for the pool.\n");
    return file;
}

TEST(WordApplicationPoolEngineTest, AnOfficeKilledWhileIdleIsReplacedByAFreshOneThatWorks) {
    {
        WordApplicationPool pool;
        pool.keepReady(2);
        pool.waitUntilSettled();
        ASSERT_EQ(pool.readyCount(), 2);
        const std::set<pid_t> idle = OfficesUnder(getpid());
        ASSERT_EQ(idle.size(), 2u);
        const pid_t victim = *idle.begin();
        ::kill(victim, SIGKILL);
        ASSERT_TRUE(eventually([&] { return !Running(victim); }));

        const QString note = SmallDocument();
        for (int i = 0; i < 2; ++i) {
            auto word = pool.take();
            ASSERT_TRUE(word->alive());
            EXPECT_NO_THROW(word->documentsOpen(note, false));
            EXPECT_TRUE(
                QFile::exists(test::TestFolder() + QStringLiteral("/.~lock.pool-note.txt#")))
                << "open for editing";
            EXPECT_NO_THROW(word->closeWithoutSaving());
            EXPECT_FALSE(
                QFile::exists(test::TestFolder() + QStringLiteral("/.~lock.pool-note.txt#")))
                << "the document's lock file goes as it closes, before the office ends";
            word->quit();
        }
        pool.waitUntilSettled();
    }
    EXPECT_TRUE(eventually([] { return OfficesUnder(getpid()).empty(); }))
        << "no office outlives the pool";
}

// Run on its own by the next test: a program with two offices ready, waiting to be killed.
TEST(WordApplicationPoolEngineTest, DISABLED_ProgramHoldingReadyOffices) {
    WordApplicationPool pool;
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
    const std::set<pid_t> offices = OfficesUnder(pid_t(holder.processId()));
    ASSERT_EQ(offices.size(), 2u);

    ::kill(pid_t(holder.processId()), SIGKILL);
    holder.waitForFinished();
    EXPECT_TRUE(eventually([&] {
        for (const pid_t office : offices)
            if (Running(office)) return false;
        return true;
    })) << "an office outlived the killed program";
}

}  // namespace
}  // namespace velmora
