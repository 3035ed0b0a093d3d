// The pool of office instances started ahead of need, with a scripted engine.
#include "TestSupport.h"
#include "coversheet/WordApplicationPool.h"
#include "coversheet/WordEngine.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace velmora {
namespace {

using namespace std::chrono_literals;

// What happened to the scripted instances, by the number each got when started.
struct Instances {
    std::mutex mutex;
    QStringList events;
    std::atomic<int> started{0};
    std::atomic<int> failuresToCome{0};
    std::atomic<bool> slow{false};

    void note(const QString& event) {
        const std::lock_guard lock(mutex);
        events << event;
    }
    bool saw(const QString& event) {
        const std::lock_guard lock(mutex);
        return events.contains(event);
    }
    // How many instances had `what` happen to them ("quit", "ended", "open a.doc").
    int count(const QString& what) {
        const std::lock_guard lock(mutex);
        return int(events
                       .filter(QRegularExpression(QStringLiteral("^\\d+ ") +
                                                  QRegularExpression::escape(what) + '$'))
                       .size());
    }
};

class ScriptedInstance : public WordConnection {
public:
    ScriptedInstance(Instances& instances, int number) : instances_(instances), number_(number) {}
    ~ScriptedInstance() override { note("ended"); }

    void documentsOpen(const QString& fileName, bool) override {
        if (!running) throw WordError(QStringLiteral("The office ended unexpectedly."));
        note("open " + fileName);
    }
    void setBookmarkText(const QString&, const QString&) override {}
    void fieldsUpdate() override {}
    void saveAs(const QString&) override {}
    void setDisplayAlerts(bool) override {}
    void close() override {}
    void closeWithoutSaving() override {}
    QImage copyAsPicture() override { return {}; }
    void quit() override { note("quit"); }
    bool alive() override { return running; }
    void warmUp() override { note("warmed"); }

    int number() const { return number_; }
    std::atomic<bool> running{true};

private:
    void note(const QString& what) {
        instances_.note(QStringLiteral("%1 %2").arg(number_).arg(what));
    }
    Instances& instances_;
    const int number_;
};

// The instances a test's pool started, by number, so a test can make one die.
struct Started {
    std::mutex mutex;
    std::vector<ScriptedInstance*> byNumber;
};

WordApplicationPool::Options ScriptedOptions(Instances& instances, Started& started) {
    WordApplicationPool::Options options;
    options.replaceDelay = 10ms;
    options.start = [&instances, &started]() -> std::unique_ptr<WordConnection> {
        if (instances.slow) std::this_thread::sleep_for(150ms);
        if (instances.failuresToCome > 0) {
            --instances.failuresToCome;
            throw WordError(QStringLiteral("The office engine could not be started. (scripted)"));
        }
        const int number = ++instances.started;
        auto instance = std::make_unique<ScriptedInstance>(instances, number);
        const std::lock_guard lock(started.mutex);
        started.byNumber.resize(number + 1);
        started.byNumber[number] = instance.get();
        return instance;
    };
    return options;
}

// Waits, with a generous bound, until `done` holds.
template <class Condition>
bool eventually(Condition done) {
    for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(5ms);
    return done();
}

TEST(WordApplicationPoolTest, HandsOutInstancesStartedAheadWithoutStartingAnother) {
    Instances instances;
    Started started;
    WordApplicationPool pool(ScriptedOptions(instances, started));
    pool.keepReady(2);
    pool.waitUntilSettled();
    EXPECT_EQ(pool.readyCount(), 2);
    EXPECT_EQ(instances.started, 2);

    const auto first = pool.take();
    const auto second = pool.take();
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->alive());
    EXPECT_EQ(instances.started, 2) << "both came from the pool";
    first->documentsOpen(QStringLiteral("a.doc"), true);
    second->documentsOpen(QStringLiteral("b.doc"), false);
    EXPECT_EQ(instances.count(QStringLiteral("open a.doc")), 1);
    EXPECT_EQ(instances.count(QStringLiteral("open b.doc")), 1);
    EXPECT_FALSE(instances.saw(QStringLiteral("3 open a.doc")));
    EXPECT_FALSE(instances.saw(QStringLiteral("3 open b.doc")));
}

TEST(WordApplicationPoolTest, WaitsForTheInstanceOnItsWayRatherThanStartingAThird) {
    Instances instances;
    Started started;
    instances.slow = true;
    WordApplicationPool pool(ScriptedOptions(instances, started));
    pool.keepReady(1);
    const auto word = pool.take();
    ASSERT_TRUE(word);
    EXPECT_EQ(instances.started, 1);
}

TEST(WordApplicationPoolTest, AnInstanceThatDiedWhileIdleIsEndedAndNeverHandedOut) {
    Instances instances;
    Started started;
    WordApplicationPool pool(ScriptedOptions(instances, started));
    pool.keepReady(2);
    pool.waitUntilSettled();
    started.byNumber[1]->running = false;
    started.byNumber[2]->running = false;

    const auto word = pool.take();
    ASSERT_TRUE(word);
    EXPECT_TRUE(word->alive());
    EXPECT_NO_THROW(word->documentsOpen(QStringLiteral("c.doc"), true));
    EXPECT_TRUE(instances.saw(QStringLiteral("3 open c.doc"))) << "a fresh start";
    EXPECT_TRUE(instances.saw(QStringLiteral("1 ended")));
    EXPECT_TRUE(instances.saw(QStringLiteral("2 ended")));
}

TEST(WordApplicationPoolTest, AFailedStartAheadFallsBackToAFreshStartWhoseErrorTheCallerGets) {
    Instances instances;
    Started started;
    instances.failuresToCome = 1;
    WordApplicationPool pool(ScriptedOptions(instances, started));
    pool.keepReady(1);
    pool.waitUntilSettled();
    EXPECT_EQ(pool.readyCount(), 0);
    EXPECT_TRUE(pool.take()) << "started afresh";

    instances.failuresToCome = 2;
    WordApplicationPool failing(ScriptedOptions(instances, started));
    failing.keepReady(1);
    try {
        failing.take();
        FAIL() << "no instance can start";
    } catch (const WordError& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  QStringLiteral("The office engine could not be started. (scripted)"));
    }
}

TEST(WordApplicationPoolTest, QuitEndsTheInstanceAndReplacementsFollowOnceNothingIsInUse) {
    Instances instances;
    Started started;
    WordApplicationPool pool(ScriptedOptions(instances, started));
    pool.keepReady(2);
    pool.waitUntilSettled();

    auto fill = pool.take();
    auto picture = pool.take();
    fill->quit();
    EXPECT_THROW(fill->documentsOpen(QStringLiteral("late.doc"), true), WordError);
    EXPECT_TRUE(eventually([&] { return instances.count(QStringLiteral("ended")) == 1; }));
    EXPECT_EQ(instances.count(QStringLiteral("quit")), 1);
    EXPECT_TRUE(picture->alive());
    picture->quit();
    fill.reset();
    picture.reset();

    EXPECT_TRUE(eventually([&] { return pool.readyCount() == 2; }));
    EXPECT_EQ(instances.started, 4);
    EXPECT_EQ(instances.count(QStringLiteral("quit")), 2);
    EXPECT_EQ(instances.count(QStringLiteral("ended")), 2);
}

TEST(WordApplicationPoolTest, AConnectionDroppedWithoutQuitEndsItsInstance) {
    Instances instances;
    Started started;
    WordApplicationPool pool(ScriptedOptions(instances, started));
    pool.keepReady(1);
    pool.waitUntilSettled();
    pool.take().reset();
    EXPECT_TRUE(instances.saw(QStringLiteral("1 ended")));
}

TEST(WordApplicationPoolTest, DestroyingThePoolEndsEveryIdleInstanceAndStartsUnderWay) {
    Instances instances;
    Started started;
    {
        WordApplicationPool pool(ScriptedOptions(instances, started));
        pool.keepReady(2);
        pool.waitUntilSettled();
        instances.slow = true;
        pool.take()->quit();
        pool.keepReady(3);  // two more on their way as the pool goes
    }
    for (int number = 1; number <= instances.started; ++number) {
        EXPECT_TRUE(instances.saw(QStringLiteral("%1 ended").arg(number))) << number;
    }
    EXPECT_EQ(instances.started, 4);
    // Those still starting as the pool went were not warmed up only to be ended.
    EXPECT_EQ(instances.count(QStringLiteral("warmed")), 2);
    EXPECT_FALSE(instances.saw(QStringLiteral("3 warmed")));
    EXPECT_FALSE(instances.saw(QStringLiteral("4 warmed")));
}

TEST(WordApplicationPoolTest, CreateWordApplicationTakesFromThePoolWhileItServes) {
    Instances instances;
    Started started;
    WordApplicationPool pool(ScriptedOptions(instances, started));
    pool.keepReady(1);
    pool.waitUntilSettled();
    {
        const ScopedWordApplicationPool serving(pool);
        const auto word = CreateWordApplication();
        word->documentsOpen(QStringLiteral("d.doc"), true);
    }
    EXPECT_TRUE(instances.saw(QStringLiteral("1 open d.doc")));
}

}  // namespace
}  // namespace velmora
