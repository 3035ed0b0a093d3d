// The windows while the real office works for them: held still (stopped) at the moment the
// user acts, so that what the user does lands while the office work is surely under way.
#include "EditorFixture.h"
#include "Processes.h"
#include "coversheet/WordApplicationPool.h"
#include "coversheet/WordEngine.h"
#include "preview/Form2.h"
#include "shell/TempFolder.h"

#include <unistd.h>
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <mutex>
#include <set>

namespace velmora {
namespace {

class OfficeBusyTest : public test::EditorTest {
protected:
    // Once the office the pool starts next (holdNext_) is held still, runs `whileHeld`, then
    // lets the office go on. Returns whether an office was held.
    bool holdNextOffice(const std::function<void()>& whileHeld) {
        if (!QTest::qWaitFor([&] { return !heldNow().empty(); }, 120'000)) return false;
        whileHeld();
        for (pid_t pid : heldNow()) ::kill(pid, SIGCONT);
        const std::lock_guard lock(mutex_);
        held_.clear();
        return true;
    }

    std::set<pid_t> heldNow() {
        const std::lock_guard lock(mutex_);
        return held_;
    }

    std::unique_ptr<WordConnection> start() {
        const std::set<pid_t> before = test::OfficesUnder(::getpid());
        std::unique_ptr<WordConnection> connection = StartWordApplication();
        if (holdNext_.exchange(false)) {
            std::set<pid_t> stopped;
            for (pid_t pid : test::OfficesUnder(::getpid()))
                if (!before.count(pid) && test::Stop(pid)) stopped.insert(pid);
            const std::lock_guard lock(mutex_);
            held_ = stopped;
        }
        return connection;
    }

    // No office of ours runs any more: the work is over and its instances have ended.
    static bool officesEnded(int bound = 120'000) {
        return QTest::qWaitFor([] { return test::OfficesUnder(::getpid()).empty(); }, bound);
    }

    static QString documentText(const QString& path) {
        QProcess reader;
        reader.start(QStringLiteral("antiword"), {QStringLiteral("-w"), QStringLiteral("0"), path});
        reader.waitForFinished(60'000);
        return QString::fromUtf8(reader.readAllStandardOutput());
    }

    // The office the pool starts next is stopped once it is connected, before the job that
    // takes it makes its first call.
    std::atomic<bool> holdNext_{false};
    std::mutex mutex_;
    std::set<pid_t> held_;
    WordApplicationPool offices_{{.start = [this] { return start(); }}};
    ScopedWordApplicationPool useOffices_{offices_};
};

TEST_F(OfficeBusyTest, TheDocumentGetsTheValuesOfTheClickAndThePreviewWaitsForItsExport) {
    Form1& editor = openEditor();
    editor.PushButton3_Click();  // the sample, on Casual
    auto* start = control<QPushButton>(QStringLiteral("PushButton6"));

    // The user goes on while the office works: a second start, Clear, another tab, typing.
    bool held = false;
    QTimer::singleShot(0, [&] {
        held = holdNextOffice([&] {
            EXPECT_FALSE(start->isEnabled());
            QTest::keyClick(&editor, Qt::Key_Return, Qt::ControlModifier);
            editor.PushButton2_Click();
            editor.tabControl()->setCurrentIndex(coversheet::Professional);
            QTest::keyClicks(control(QStringLiteral("txtFor_0")), QStringLiteral("Typed"));
        });
    });
    holdNext_ = true;
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return held && editor.previewWindow() && editor.previewWindow()->isVisible(); },
        120'000));
    EXPECT_TRUE(messages_.all().empty()) << messages_.all().front().text;

    Form2& preview = *editor.previewWindow();
    const QString document = preview.mWordFile();
    const QString text = documentText(document);
    for (const char* sample : {"Martin Hale", "555-014-2278", "Nora Quist", "555-016-3391",
                               "What's up man", "Did you eat that cheeseburger yet?"})
        EXPECT_TRUE(text.contains(QLatin1String(sample))) << sample << "\n" << text;
    EXPECT_FALSE(text.contains(QLatin1String("Typed")));
    EXPECT_TRUE(start->isEnabled());

    // A save as PDF: while its export waits on the office, saving, printing and going back
    // are inert, and afterwards they work.
    const QString folder = test::TestFolder() + QStringLiteral("/saved");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    int dialogs = 0, printDialogs = 0;
    QString chosen = folder + QStringLiteral("/fax.pdf");
    preview.setSaveDialog([&](QWidget*, const SaveDialogRequest&) {
        ++dialogs;
        return SaveDialogChoice{std::exchange(chosen, QString()), {}};
    });
    preview.setPrintDialog([&](QWidget*, QPrinter&) { return ++printDialogs, false; });
    auto* save = preview.findChild<QPushButton*>(QStringLiteral("PushButton6"));
    auto* back = preview.findChild<QPushButton*>(QStringLiteral("PushButton8"));
    QTimer::singleShot(0, [&] {
        held = holdNextOffice([&] {
            EXPECT_FALSE(save->isEnabled());
            EXPECT_FALSE(back->isEnabled());
            QTest::keyClick(&preview, Qt::Key_S, Qt::ControlModifier);
            QTest::keyClick(&preview, Qt::Key_P, Qt::ControlModifier);
            QTest::keyClick(&preview, Qt::Key_Left, Qt::AltModifier);
            EXPECT_EQ(dialogs, 1);
            EXPECT_EQ(printDialogs, 0);
            EXPECT_TRUE(preview.isVisible());
            EXPECT_TRUE(QFile::exists(document));
        });
    });
    held = false;
    holdNext_ = true;
    QTest::mouseClick(save, Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return held && !messages_.otherMessages().empty(); }, 120'000));
    ASSERT_EQ(messages_.otherMessages().size(), 1u);
    EXPECT_EQ(messages_.otherMessages()[0].text, QStringLiteral("Done."));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/fax.pdf")));
    QTest::keyClick(&preview, Qt::Key_S, Qt::ControlModifier);  // cancelled
    QTest::keyClick(&preview, Qt::Key_P, Qt::ControlModifier);  // cancelled
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(printDialogs, 1);

    // Closing while an export waits on the office ends it: no part of the new file beside the
    // target, and no document left in the temporary folder.
    chosen = folder + QStringLiteral("/second.pdf");
    QTimer::singleShot(0, [&] { held = holdNextOffice([&] { preview.close(); }); });
    held = false;
    holdNext_ = true;
    QTest::mouseClick(save, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return held; }, 120'000));
    QElapsedTimer ending;
    ending.start();
    EXPECT_TRUE(officesEnded(2000));
    EXPECT_LT(ending.elapsed(), 2000);
    QTest::qWait(200);  // the export's failure reaches the window
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"fax.pdf"});
    EXPECT_FALSE(QFile::exists(document));
    EXPECT_TRUE(QDir(TempFolder()).entryList({QStringLiteral("*.doc")}, QDir::Files).isEmpty());
}

}  // namespace
}  // namespace velmora
