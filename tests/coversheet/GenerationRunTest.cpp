#include "FakeHost.h"
#include "FakeWord.h"
#include "TestSupport.h"
#include "coversheet/DateWording.h"
#include "coversheet/GenerationRun.h"
#include "coversheet/OfficeJobs.h"
#include "coversheet/PageSnapshot.h"
#include "shell/AtomicFile.h"
#include "shell/Clipboard.h"
#include "shell/FileProcedures.h"
#include "shell/Job.h"
#include "shell/Locations.h"
#include "shell/TempFolder.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <semaphore>

namespace velmora {
namespace {

class GenerationRunTest : public ::testing::Test {
protected:
    GenerationRunTest() {
        for (const auto& field : coversheet::Fields())
            host_.texts[QLatin1String(field.name)] =
                QLatin1String(field.name) + QStringLiteral(" text");
    }
    ~GenerationRunTest() override {
        for (const QString& name : QDir(TempFolder()).entryList(QDir::Files | QDir::System))
            QFile::remove(TempPath(name));
    }

    QStringList bookmarkWrites() const {
        return log_.calls.filter(QRegularExpression(QStringLiteral("^set ")));
    }
    static QStringList tempFiles() {
        return QDir(TempFolder()).entryList(QDir::Files | QDir::System, QDir::Name);
    }

    test::MessageRecorder boxes_;
    test::FakeWordLog log_;
    test::FakeWordEngine engine_{log_};
    test::FakeHost host_;
};

TEST_F(GenerationRunTest, DrivesTheEngineInOrderAndHandsThePageToThePreview) {
    host_.ticks = {{"CheckUrgent", 1}, {"CheckReply", 1}};
    host_.texts["txtLocation"] = "12 Harbour Row";
    ASSERT_TRUE(test::RunToEnd(host_));

    ASSERT_TRUE(boxes_.all().empty()) << boxes_.all()[0].text;
    const QString doc = log_.calls.filter("saveAs ").value(0).mid(7);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^%1/quillon[1-9]{8}\\.doc$")
                                       .arg(QRegularExpression::escape(TempFolder())))
                    .match(doc)
                    .hasMatch())
        << doc.toStdString();
    const QStringList expected = {
        "create",
        "open " + GenerationRun::TemplatePath() + " ro",
        "set bkFor=txtFor text",
        "set bkFaxFor=txtFaxFor text",
        "set bkFrom=txtFrom text",
        "set bkDate= Sunday, December 6th, 2026 ",
        "set bkSubj=txtSubj text",
        "set bkMsg=txtMsg text",
        "set bkFaxFrom=txtFaxFrom text",
        "set bkCC=txtCC text",
        "set bkUrgent=V",
        "set bkReply=V",
        "set bkPhone=txtPhone text",
        "set bkPhoneFor=txtPhoneFor text",
        "set bkStreet= 12 Harbour Row",
        "set bkCity=txtCity text",
        "set bkWWW=txtWWW text",
        "set bkOrgName=txtOrgName text",
        "fieldsUpdate",
        "saveAs " + doc,
        "displayAlerts false",
        "close",
        "quit",
        "create",
        "open " + doc + " rw",
        "copyAsPicture",
        "closeWithoutSaving",
        "quit",
    };
    QStringList calls = log_.calls;
    calls.replaceInStrings(coversheet::DateText(host_.date), " Sunday, December 6th, 2026 ");
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(host_.events, (QStringList{"hourglass", "arrow", "picture 34x44", "wordFile " + doc,
                                         "show preview", "hide editor"}));
    // Of the three temporary files only the document is left.
    EXPECT_EQ(tempFiles(), QStringList{QFileInfo(doc).fileName()});
}

// Two programs on one desktop share the clipboard, and with one TEMP also temp.bmp: another
// run that writes or removes them between this run's snapshot and its hand-over must not
// change the page this run shows.
TEST_F(GenerationRunTest, AnotherRunBetweenSnapshotAndHandOverCannotSwapThePicture) {
    QImage theirs(50, 60, QImage::Format_RGB32);
    theirs.fill(Qt::blue);
    const auto theirRun = [&](bool removes) {
        QFile::remove(SnapshotPath());
        if (!removes) theirs.save(SnapshotPath(), "BMP");
        PutPictureOnClipboard(theirs);
    };
    for (const bool removes : {false, true}) {
        log_.pageColour = Qt::red;
        QImage written;
        log_.onCall = [&](const QString& call) {
            if (call != QLatin1String("closeWithoutSaving")) return;
            written = QImage(SnapshotPath());  // this run's, as its snapshot wrote it
            theirRun(removes);
        };
        host_.events.clear();
        ASSERT_TRUE(test::RunToEnd(host_));

        EXPECT_TRUE(boxes_.all().empty());
        EXPECT_EQ(written.size(), QSize(34, 44));
        EXPECT_EQ(written.pixelColor(0, 0), QColor(Qt::red));
        EXPECT_EQ(host_.picture.size(), QSize(34, 44)) << "removes " << removes;
        EXPECT_EQ(host_.picture.pixelColor(0, 0), QColor(Qt::red));
        EXPECT_TRUE(host_.events.contains("show preview"));
    }
}

TEST_F(GenerationRunTest, EachStyleWritesOnlyItsOwnBookmarks) {
    host_.ticks = {{"CheckUrgent", 1},
                   {"CheckReview", 1},
                   {"CheckComm", 1},
                   {"CheckReply", 1},
                   {"CheckRecycle", 1}};
    for (int tab = 0; tab < coversheet::kTabCount; ++tab) {
        log_.calls.clear();
        host_.tab = tab;
        ASSERT_TRUE(test::RunToEnd(host_));
        QStringList written;
        for (const QString& call : bookmarkWrites()) written << call.section('=', 0, 0).mid(4);
        QStringList expected;
        for (const auto& bookmark : coversheet::Bookmarks())
            if (bookmark.filledOnTab[tab]) expected << QLatin1String(bookmark.name);
        EXPECT_EQ(written, expected) << "tab " << tab;
    }
    EXPECT_TRUE(boxes_.all().empty());
}

TEST_F(GenerationRunTest, UntickedRemarksAndEmptyFieldsAreWrittenAsTheyAre) {
    host_.tab = coversheet::Contemporary;
    host_.texts["txtSubj"] = "";
    host_.ticks = {{"CheckRecycle", 2}};
    ASSERT_TRUE(test::RunToEnd(host_));
    const QStringList writes = bookmarkWrites();
    EXPECT_TRUE(writes.contains("set bkSubj="));
    EXPECT_TRUE(writes.contains("set bkRecycle=V"));
    EXPECT_TRUE(writes.filter("bkUrgent").isEmpty());
    EXPECT_TRUE(writes.filter("bkFaxFrom").isEmpty());
}

TEST_F(GenerationRunTest, AFailedStepIsReportedWithItsLineAndTheRunCarriesOn) {
    log_.onCall = [](const QString& call) {
        if (call.startsWith("set bkSubj")) throw WordError("Bookmark 'bkSubj' does not exist");
    };
    GenerationRun run(host_, host_);
    ASSERT_TRUE(test::RunToEnd(run));
    const auto reports = boxes_.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].location, QLatin1String(location::Form1_PushButton6_Click));
    EXPECT_EQ(reports[0].step, 144);
    EXPECT_EQ(reports[0].description, "Bookmark 'bkSubj' does not exist");
    EXPECT_TRUE(log_.calls.contains("set bkMsg=txtMsg text"));
    EXPECT_TRUE(host_.events.contains("show preview"));
    EXPECT_FALSE(run.busy());
}

TEST_F(GenerationRunTest, ADocumentThatWasNotSavedIsNeverHandedToThePreview) {
    log_.onCall = [](const QString& call) {
        if (call.startsWith("saveAs ")) throw WordError("Could not save the document.");
    };
    ASSERT_TRUE(test::RunToEnd(host_));
    ASSERT_FALSE(boxes_.errorReports().empty());
    EXPECT_EQ(boxes_.errorReports()[0].step, 204);
    EXPECT_TRUE(host_.events.contains("wordFile ")) << host_.events.join(", ");
    EXPECT_TRUE(host_.events.filter("wordFile /").isEmpty()) << host_.events.join(", ");
    EXPECT_TRUE(host_.events.contains("show preview"));
}

TEST_F(GenerationRunTest, WithoutAnEngineEveryEngineStepIsReportedAndThePreviewStillShows) {
    ScopedWordApplicationFactory noEngine([]() -> std::unique_ptr<WordConnection> {
        throw WordError("The office engine could not be started.");
    });
    host_.tab = coversheet::Standard;
    GenerationRun run(host_, host_);
    ASSERT_TRUE(test::RunToEnd(run));

    std::vector<int> runSteps, snapshotSteps;
    for (const auto& report : boxes_.errorReports())
        (report.location == QLatin1String(location::Form1_SaveDocAsJPG) ? snapshotSteps : runSteps)
            .push_back(report.step);
    EXPECT_EQ(runSteps, (std::vector<int>{106, 128, 136, 138, 140, 142, 144, 146, 150, 168, 170,
                                          186, 204, 206, 208, 210, 220}));
    EXPECT_EQ(snapshotSteps, (std::vector<int>{116, 118, 120, 122, 124, 126}));
    EXPECT_TRUE(host_.events.contains("show preview"));
    EXPECT_TRUE(host_.events.contains("hide editor"));
    EXPECT_FALSE(run.busy());
    EXPECT_FALSE(FileExists(GenerationRun::TemplatePath()));
}

// Every bookmark write fails at its own step. A group whose test cannot read the tab is
// written all the same; the address forms, chosen by the tab read at 172, are not.
TEST_F(GenerationRunTest, EachBookmarkIsWrittenAtItsStepAndEachGroupAskedAtItsOwn) {
    ScopedWordApplicationFactory noEngine([]() -> std::unique_ptr<WordConnection> {
        throw WordError("The office engine could not be started.");
    });
    struct UnreadableTab : test::FakeHost {
        int selectedTab() const override { throw Failure(QStringLiteral("No tab.")); }
    };
    UnreadableTab unreadable;
    const auto bookmarkSteps = [&](test::FakeHost& host) {
        boxes_.clear();
        EXPECT_TRUE(test::RunToEnd(host));
        std::vector<int> steps;
        for (const auto& report : boxes_.errorReports())
            if (report.step >= 136 && report.step <= 184) steps.push_back(report.step);
        return steps;
    };
    host_.ticks = {{"CheckUrgent", 1},
                   {"CheckReview", 1},
                   {"CheckComm", 1},
                   {"CheckReply", 1},
                   {"CheckRecycle", 1}};
    unreadable.ticks = host_.ticks;

    host_.tab = coversheet::Contemporary;
    EXPECT_EQ(bookmarkSteps(host_),
              (std::vector<int>{136, 138, 140, 142, 144, 146, 154, 156, 158, 160, 162, 164, 174}));
    host_.tab = coversheet::Professional;
    EXPECT_EQ(bookmarkSteps(host_),
              (std::vector<int>{136, 138, 140, 142, 144, 146, 150, 154, 156, 158, 160, 162, 164,
                                168, 170, 178, 180, 182, 184}));
    EXPECT_EQ(bookmarkSteps(unreadable),
              (std::vector<int>{136, 138, 140, 142, 144, 146, 148, 150, 152, 154, 156, 158, 160,
                                162, 164, 166, 168, 170, 172}));
}

// While the office works, the window goes on: a second click starts nothing, and whatever
// the user changes (fields, tab) does not reach the document, which gets the values of the
// click.
TEST_F(GenerationRunTest, WhileTheOfficeWorksAClickStartsNothingAndChangesMissTheDocument) {
    host_.tab = coversheet::Contemporary;
    host_.ticks = {{"CheckUrgent", 1}};
    std::binary_semaphore opened{0}, goOn{0};
    log_.onCall = [&](const QString& call) {
        if (!call.startsWith("open ") || !call.endsWith(" ro")) return;  // the template
        opened.release();
        goOn.acquire();
    };
    GenerationRun run(host_, host_);
    QSignalSpy finished(&run, &GenerationRun::finished);
    run.run();
    ASSERT_TRUE(run.busy());
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.try_acquire(); }, 60'000));

    const int connections = log_.connections;
    run.run();  // a second click while the office works
    host_.tab = coversheet::Casual;
    host_.texts["txtFor"] = "";
    host_.texts["txtMsg"] = "typed meanwhile";
    host_.ticks.clear();
    goOn.release();
    ASSERT_TRUE(finished.wait(60'000));

    EXPECT_EQ(log_.connections, connections + 1);  // the snapshot's, no second run's
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(boxes_.all().empty());
    EXPECT_FALSE(run.busy());
    const QStringList writes = bookmarkWrites();
    EXPECT_TRUE(writes.contains("set bkFor=txtFor text"));
    EXPECT_TRUE(writes.contains("set bkMsg=txtMsg text"));
    EXPECT_TRUE(writes.contains("set bkUrgent=V"));
    EXPECT_TRUE(writes.contains("set bkAddress=txtAddress text"));  // Contemporary's own
    EXPECT_TRUE(writes.filter("bkFaxFrom").isEmpty());
}

TEST_F(GenerationRunTest, ANameInUseIsDrawnAgainCompletely) {
    int drawn = 0;
    // Eight ones, then eight twos.
    GenerationRun run(host_, host_, [&] { return drawn++ < 8 ? 1 : 2; });
    NewFile::Write(TempPath("quillon11111111.doc"), "someone's earlier document");
    ASSERT_TRUE(test::RunToEnd(run));
    EXPECT_TRUE(log_.calls.contains("saveAs " + TempPath("quillon22222222.doc")));
    EXPECT_EQ(drawn, 16);
}

// Whatever stands in the temporary folder at the template's old name (a file of an
// interrupted run holding another style, someone's link) is neither opened nor followed.
TEST_F(GenerationRunTest, TheTemplateIsAFileOfTheRunsOwnAndNothingPlantedIsOpenedOrFollowed) {
    const QString victim = test::TestFolder() + "/victim.txt";
    NewFile::Write(victim, "precious");
    NewFile::Write(TempPath("template.dot"), "template of another style");
    ASSERT_TRUE(QFile::link(victim, TempPath("template-00000000.dot")));
    ASSERT_TRUE(QFile::link(victim, SnapshotPath()));
    host_.tab = coversheet::Casual;
    ASSERT_TRUE(test::RunToEnd(host_));
    EXPECT_TRUE(boxes_.all().empty());
    EXPECT_EQ(log_.openedTemplateBytes, coversheet::LoadResData(101));
    EXPECT_FALSE(log_.openedTemplateBytes.isEmpty());
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("precious"));
}

// A template that cannot be written stops the run there: one report, the editor stays.
TEST_F(GenerationRunTest, ATemplateThatCannotBeWrittenStopsTheRunWithOneReport) {
    const test::ScopedVariable nowhere("TEMP", QFile::encodeName(test::TestFolder() + "/none"));
    GenerationRun run(host_, host_);
    ASSERT_TRUE(test::RunToEnd(run));
    const auto reports = boxes_.errorReports();
    ASSERT_EQ(reports.size(), 1u) << reports.back().step;
    EXPECT_EQ(reports[0].step, 124);
    EXPECT_TRUE(reports[0].description.contains("none")) << reports[0].description;
    EXPECT_EQ(host_.events, (QStringList{"hourglass", "arrow"}));
    EXPECT_FALSE(run.busy());
    EXPECT_TRUE(log_.calls.filter("open ").isEmpty());
}

// An office that hangs is given up by the user (the window's Stop): the office is ended, no
// further step runs or is reported, nothing the run made stays, the editor stays, and the next
// run goes as usual.
TEST_F(GenerationRunTest, AGivenUpRunEndsQuietlyAndTheNextRunsAsUsual) {
    log_.onCall = [](const QString& call) {
        if (call.startsWith("fieldsUpdate")) {
            Job::current()->cancel();  // Stop, through the run's handle
            throw WordError(QStringLiteral("The office was ended."));
        }
    };
    GenerationRun run(host_, host_);
    ASSERT_TRUE(test::RunToEnd(run));
    EXPECT_TRUE(boxes_.all().empty()) << boxes_.all().front().text;
    EXPECT_EQ(host_.events, (QStringList{"hourglass", "arrow"}));
    EXPECT_TRUE(log_.calls.filter(QRegularExpression("^saveAs")).isEmpty())
        << log_.calls.join(", ");
    EXPECT_TRUE(tempFiles().isEmpty()) << tempFiles().join(' ');
    EXPECT_FALSE(run.busy());

    log_.onCall = {};
    host_.events.clear();
    ASSERT_TRUE(test::RunToEnd(run));
    EXPECT_TRUE(boxes_.all().empty());
    EXPECT_TRUE(host_.events.contains("show preview")) << host_.events.join(", ");
}

}  // namespace
}  // namespace velmora
