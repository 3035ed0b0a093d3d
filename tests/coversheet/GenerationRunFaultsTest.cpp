// The run and the office pool against the real office under faults: long values, offices
// that stop answering.
#include "FakeHost.h"
#include "PdfReaders.h"
#include "Processes.h"
#include "TestSupport.h"
#include "coversheet/DocumentExport.h"
#include "coversheet/GenerationRun.h"
#include "coversheet/WordApplicationPool.h"
#include "coversheet/WordEngine.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/SettingsStore.h"
#include "shell/TempFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <csignal>
#include <set>

namespace velmora {
namespace {

using test::ScopedVariable;

using namespace std::chrono_literals;

// A long message through the whole run: while the office works, the window's events keep
// being handled (a timer ticks, a second click is dropped), and a call that takes longer than
// the call bound because the office is busy with much text is not taken for a hung office.
// (A megabyte of short lines in the table cell of Casual or Standard gives a correct document
// too, but the office takes minutes to lay such a cell out, once to save and once to picture;
// a megabyte of them outside a cell takes it a minute, a quarter of the suite's office time:
// three hundred kilobytes, 10,000 lines, show the same.)
// A long paragraph through the whole run as well; a megabyte of it takes minutes (the page
// picture lays it out in an office of its own) and is timed by tools/bench-engine instead.
// That the paragraph is not laid out while the bookmarks are written is OfficeDocumentTest's.
struct LongMessage {
    const char* name;
    coversheet::Tab tab;
    qsizetype size;
    bool oneParagraph;
};

void PrintTo(const LongMessage& message, std::ostream* out) {
    *out << message.name;
}

class GenerationRunLongMessage : public ::testing::TestWithParam<LongMessage> {};

TEST_P(GenerationRunLongMessage, KeepsTheWindowAliveAndReachesTheDocumentAndItsPage) {
    const ScopedVariable shortBound("VELMORA_OFFICE_CALL_TIMEOUT", "1");
    const LongMessage& param = GetParam();
    QString message;
    for (int n = 1; message.size() < param.size; ++n)
        message += QStringLiteral("Line %1 of the long message.").arg(n) +
                   (param.oneParagraph ? QStringLiteral(" ") : QStringLiteral("\r\n"));
    const QString last = QStringLiteral("Line %1 of the long message.")
                             .arg(message.count(QStringLiteral("of the long message.")));
    test::MessageRecorder boxes;
    test::FakeHost host;
    host.tab = param.tab;
    host.texts = {{"txtFor", "Martin Hale"}, {"txtMsg", message}};
    GenerationRun run(host, host);
    QWidget window;  // the editor, on screen while the run works
    window.show();

    int ticksWhileBusy = 0;
    QTimer clicks;
    QObject::connect(&clicks, &QTimer::timeout, [&] {
        if (!run.busy()) return;
        ++ticksWhileBusy;
        run.run();  // dropped
    });
    clicks.start(10);
    ASSERT_TRUE(test::RunToEnd(run));
    clicks.stop();

    ASSERT_TRUE(boxes.all().empty()) << boxes.all().front().text;
    EXPECT_GT(ticksWhileBusy, 0);
    EXPECT_EQ(host.events.count("show preview"), 1);
    EXPECT_TRUE(host.events.contains("picture 1360x1760")) << host.events.join(", ");
    const QStringList left = QDir(TempFolder()).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(left.size(), 1) << left.join(' ');
    QProcess reader;
    reader.start(QStringLiteral("antiword"),
                 {QStringLiteral("-w"), QStringLiteral("0"), TempPath(left[0])});
    reader.waitForFinished(300'000);
    const QString text = QString::fromUtf8(reader.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("Line 1 of the long message.")));
    EXPECT_TRUE(text.contains(last)) << qPrintable(last);
    EXPECT_EQ(text.count(QStringLiteral("of the long message.")),
              message.count(QStringLiteral("of the long message.")));
    QFile::remove(TempPath(left[0]));
}

INSTANTIATE_TEST_SUITE_P(Sizes, GenerationRunLongMessage,
                         ::testing::Values(LongMessage{"HundredKilobytesOfLines",
                                                       coversheet::Casual, 100'000, false},
                                           LongMessage{"ThreeHundredKilobytesOfLines",
                                                       coversheet::Contemporary, 300'000, false},
                                           LongMessage{"HundredKilobyteParagraph",
                                                       coversheet::Professional, 100'000, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Idle offices that stop answering are found out by a check of about a second each, ended,
// and replaced; the call bound (here two minutes) is never waited for.
TEST(OfficePoolFaults, HungIdleOfficesAreEndedAndReplacedWithoutWaitingForTheCallBound) {
    const ScopedVariable longBound("VELMORA_OFFICE_CALL_TIMEOUT", "120");
    WordApplicationPool pool({.start = StartWordApplication});
    pool.keepReady(2, WordApplicationPool::Readiness::Started);
    pool.waitUntilSettled();
    const std::set<pid_t> hung = test::OfficesUnder(::getpid());
    ASSERT_EQ(hung.size(), 2u);
    for (const pid_t office : hung) ASSERT_TRUE(test::Stop(office));

    QElapsedTimer waited;
    waited.start();
    const auto word = pool.take();
    EXPECT_LT(waited.elapsed(), 60'000);
    // What was handed over is a fresh office, not one of the hung ones. (Asking it with the
    // one-second liveness check could fail on a loaded machine while it is still settling.)
    ASSERT_TRUE(word);
    const std::set<pid_t> now = test::OfficesUnder(::getpid());
    EXPECT_TRUE(std::any_of(now.begin(), now.end(), [&](pid_t p) { return !hung.contains(p); }));
    for (const pid_t office : hung)
        EXPECT_TRUE(test::Eventually([&] { return !test::ProcessRuns(office); })) << office;
    word->quit();
}

// Closing with offices that no longer answer ends them at once, not one call bound each.
TEST(OfficePoolFaults, ClosingWithHungIdleOfficesEndsAtOnce) {
    const ScopedVariable longBound("VELMORA_OFFICE_CALL_TIMEOUT", "120");
    std::set<pid_t> hung;
    QElapsedTimer closing;
    {
        WordApplicationPool pool({.start = StartWordApplication});
        pool.keepReady(2, WordApplicationPool::Readiness::Started);
        pool.waitUntilSettled();
        hung = test::OfficesUnder(::getpid());
        ASSERT_EQ(hung.size(), 2u);
        for (const pid_t office : hung) ASSERT_TRUE(test::Stop(office));
        closing.start();
    }
    EXPECT_LT(closing.elapsed(), 10'000);
    for (const pid_t office : hung)
        EXPECT_TRUE(test::Eventually([&] { return !test::ProcessRuns(office); })) << office;
}

// A hung office is given up after the call bound, grown with the characters written, not with
// the bytes of the file opened: the Casual template's picture alone (150 KB) made the bound
// of its open more than three times the call bound.
TEST(OfficePoolFaults, AHungOfficeIsGivenUpAfterTheBoundOfTheCharactersWritten) {
    const ScopedVariable bound("VELMORA_OFFICE_CALL_TIMEOUT", "2");
    test::MessageRecorder boxes;
    // Every office the run starts stops answering once it is connected.
    const ScopedWordApplicationFactory hanging([] {
        const std::set<pid_t> before = test::OfficesUnder(::getpid());
        auto word = StartWordApplication();
        for (const pid_t office : test::OfficesUnder(::getpid()))
            if (!before.contains(office)) test::Stop(office);
        return word;
    });
    test::FakeHost host;
    host.tab = coversheet::Casual;
    ASSERT_TRUE(test::RunToEnd(host));
    const auto reports = boxes.errorReports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front().step, 128);
    EXPECT_TRUE(reports.front().description.contains(QLatin1String("ended after 2 seconds")))
        << reports.front().description;
}

// An office that never answers at start is waited for once, not once more by a fresh start.
TEST(OfficePoolFaults, AnOfficeHungAtStartIsWaitedForOnce) {
    const QString fake = test::TestFolder() + QStringLiteral("/hangs-at-start.sh");
    QFile script(fake);
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\necho started >> \"$0.log\"\nexec sleep 600\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const ScopedVariable program("VELMORA_OFFICE_PROGRAM", QFile::encodeName(fake));
    const ScopedVariable bound("VELMORA_OFFICE_START_TIMEOUT", "2");

    WordApplicationPool pool({.start = StartWordApplication});
    pool.keepReady(1, WordApplicationPool::Readiness::Started);
    EXPECT_THROW(pool.take(), WordError);
    QFile log(fake + QStringLiteral(".log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("started"), 1);
}

// One rule for every file written whole, whatever its format: a link is followed to the file
// it names, which is replaced while the link stays; a file made read-only is refused, with
// the same words, and stays as it was (also for root, who could write it).
TEST(SaveFaults, LinksAreFollowedAndReadOnlyFilesRefusedAlikeInEveryFormat) {
    const QString folder = test::TestFolder() + QStringLiteral("/saves");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/real"));
    const QString sheet = folder + QStringLiteral("/sheet.doc");
    QFile source(sheet);
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write(coversheet::LoadResData(coversheet::StyleOfTab(coversheet::Standard).resourceId));
    source.close();
    const auto content = [](const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const auto plant = [&](const QString& file, bool readOnly) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the old file");
        f.close();
        if (readOnly) f.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    };
    const QString settings = SettingsFile();
    QDir().mkpath(QFileInfo(settings).path());
    const std::pair<QString, std::function<void(const QString&)>> writers[] = {
        {QStringLiteral("doc"), [&](const QString& to) { AtomicFile::Copy(sheet, to); }},
        {QStringLiteral("pdf"),
         [&](const QString& to) { ExportDocument(sheet, to, DocumentFormat::Pdf); }},
        {QStringLiteral("docx"),
         [&](const QString& to) { ExportDocument(sheet, to, DocumentFormat::Docx); }},
    };
    for (const auto& [format, write] : writers) {
        SCOPED_TRACE(format.toStdString());
        const QString target = folder + QStringLiteral("/real/x.") + format;
        const QString link = folder + QStringLiteral("/x.") + format;
        plant(target, false);
        ASSERT_TRUE(QFile::link(target, link));
        ASSERT_NO_THROW(write(link));
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), target) << "the link was replaced";
        EXPECT_NE(content(target), QByteArray("the old file"));

        const QString readOnly = folder + QStringLiteral("/ro.") + format;
        plant(readOnly, true);
        try {
            write(readOnly);
            ADD_FAILURE() << "a read-only file was replaced";
        } catch (const std::exception& refused) {
            EXPECT_TRUE(QString::fromUtf8(refused.what()).contains(QLatin1String("read-only")))
                << refused.what();
        }
        EXPECT_EQ(content(readOnly), QByteArray("the old file"));
    }
    // The settings file: the same, through the store.
    {
        SCOPED_TRACE("settings");
        const QString target = folder + QStringLiteral("/real/settings.conf");
        plant(target, false);
        QFile::remove(settings);
        ASSERT_TRUE(QFile::link(target, settings));
        SaveSetting(QStringLiteral("txtFor"), QStringLiteral("Nora"));
        EXPECT_EQ(QFileInfo(settings).symLinkTarget(), target) << "the link was replaced";
        EXPECT_TRUE(content(target).contains("Nora"));

        test::MessageRecorder boxes;
        QFile::remove(settings);
        plant(settings, true);
        SaveSetting(QStringLiteral("txtFor"), QStringLiteral("Martin"));
        EXPECT_EQ(content(settings), QByteArray("the old file"));
        // Told by a queued call.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.all().empty(); }, 10'000));
        ASSERT_EQ(boxes.all().size(), 1u);
        EXPECT_TRUE(boxes.all().front().text.contains(QLatin1String("read-only")))
            << boxes.all().front().text;
        QFile::remove(settings);
    }
}

// Text in Thai, Devanagari and Hangul, and emoji, reach the document and its PDF in fonts that
// have them, not as boxes: every sample is set in a font that fontconfig says covers its
// language (pdffonts names the fonts each page uses), and pdftotext reads each back.
TEST(FontFaults, OtherScriptsAndEmojiAreSetInFontsThatHaveThem) {
    const std::pair<const char*, QString> samples[] = {
        {"th", QStringLiteral("สวัสดีครับ")},
        {"hi", QStringLiteral("नमस्ते दुनिया")},
        {"ko", QStringLiteral("안녕하세요")},
        {"und-zsye", QStringLiteral("📠✅")},
    };
    test::FakeHost host = test::SampleSheet(coversheet::Professional);
    host.texts[QStringLiteral("txtFor")] = samples[0].second;
    host.texts[QStringLiteral("txtFrom")] = samples[1].second;
    host.texts[QStringLiteral("txtSubj")] = samples[2].second;
    host.texts[QStringLiteral("txtMsg")] = QStringLiteral("Sent ") + samples[3].second;
    test::MessageRecorder boxes;
    ASSERT_TRUE(test::RunToEnd(host));
    ASSERT_TRUE(boxes.all().empty()) << boxes.all().front().text;
    const QStringList made = QDir(TempFolder()).entryList({QStringLiteral("*.doc")}, QDir::Files);
    ASSERT_EQ(made.size(), 1);
    const QString pdf = test::TestFolder() + QStringLiteral("/scripts.pdf");
    ExportDocument(TempPath(made[0]), pdf, DocumentFormat::Pdf);
    QFile::remove(TempPath(made[0]));

    // Font names as "NotoSansThai-Regular" and families as "Noto Sans Thai", compared alike.
    const auto bare = [](QString name) { return name.remove(' ').remove('-').toLower(); };
    QStringList used;  // pdffonts: two heading lines, then a font a line, its name first
    for (const QString& line :
         test::ToolOutput(QStringLiteral("pdffonts"), {pdf}).split('\n').mid(2)) {
        const QString name = line.section(' ', 0, 0, QString::SectionSkipEmpty);
        used << bare(name.mid(name.indexOf('+') + 1));  // without the subset's tag
    }
    const QString text = test::PdfPageText(pdf, 1).remove(' ');
    for (const auto& [language, sample] : samples) {
        SCOPED_TRACE(language);
        QStringList covering;
        for (const QString& families :
             test::ToolOutput(
                 QStringLiteral("fc-list"),
                 {QStringLiteral(":lang=") + QLatin1String(language), QStringLiteral("family")})
                 .split('\n', Qt::SkipEmptyParts))
            for (const QString& family : families.split(',')) covering << bare(family);
        ASSERT_FALSE(covering.isEmpty()) << "no font on this machine covers it";
        const bool setInOne = std::any_of(used.begin(), used.end(), [&](const QString& font) {
            return std::any_of(covering.begin(), covering.end(),
                               [&](const QString& family) { return font.startsWith(family); });
        });
        EXPECT_TRUE(setInOne) << "fonts used: " << used.join(' ').toStdString();
        EXPECT_TRUE(text.contains(QString(sample).remove(' '))) << text.toStdString();
    }
}

}  // namespace
}  // namespace velmora
