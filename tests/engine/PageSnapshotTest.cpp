// The preview's snapshot: through the real engine for the picture itself, through a scripted
// engine for the order of the steps and what happens when one fails.
#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "coversheet/PageSnapshot.h"
#include "coversheet/WordEngine.h"
#include "shell/Locations.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

namespace velmora::test {
namespace {

// Notes every call; copyAsPicture puts `picture` on the clipboard.
class ScriptedWord : public WordConnection {
public:
    ScriptedWord(QStringList& calls, QImage picture)
        : calls_(calls), picture_(std::move(picture)) {}
    void documentsOpen(const QString& file, bool readOnly) override {
        calls_
            << QStringLiteral("open %1 %2").arg(QFileInfo(file).fileName(), readOnly ? "ro" : "rw");
    }
    void setBookmarkText(const QString&, const QString&) override { calls_ << "set"; }
    void fieldsUpdate() override { calls_ << "fieldsUpdate"; }
    void saveAs(const QString&) override { calls_ << "saveAs"; }
    void setDisplayAlerts(bool) override { calls_ << "displayAlerts"; }
    void close() override { calls_ << "close"; }
    void closeWithoutSaving() override { calls_ << "closeWithoutSaving"; }
    QImage copyAsPicture() override {
        calls_ << "copyAsPicture";
        if (!picture_.isNull()) QGuiApplication::clipboard()->setImage(picture_);
        return picture_;
    }
    void quit() override { calls_ << "quit"; }

private:
    QStringList& calls_;
    QImage picture_;
};

QImage SmallPage() {
    QImage page(34, 44, QImage::Format_RGB32);
    page.fill(Qt::white);
    return page;
}

std::vector<int> Steps(const MessageRecorder& messages) {
    std::vector<int> steps;
    for (const auto& report : messages.errorReports()) steps.push_back(report.step);
    return steps;
}

TEST(PageSnapshotTest, SnapshotIsABitmapOfTheWholeLetterPage) {
    const QString document = TestFolder() + QStringLiteral("/snapshot/sheet.doc");
    {
        const auto word = CreateWordApplication();
        word->documentsOpen(SampleTemplate(TestFolder() + QStringLiteral("/snapshot")), true);
        word->setBookmarkText(QStringLiteral("bkFor"), QStringLiteral("Zoë Ünal"));
        word->setBookmarkText(QStringLiteral("bkUrgent"), QStringLiteral("V"));
        // Failures inside the module arrive as the program's own error type.
        EXPECT_THROW(word->setBookmarkText(QStringLiteral("bkNowhere"), QString()), WordError);
        word->saveAs(document);
        word->close();
        word->quit();
    }
    QFile::remove(SnapshotPath());
    QGuiApplication::clipboard()->clear();
    const QByteArray before = ReadFile(document);
    MessageRecorder messages;

    SaveDocAsJPG(document);

    EXPECT_TRUE(messages.all().empty());
    QImageReader reader(SnapshotPath());
    EXPECT_EQ(reader.format(), "bmp");
    const QImage snapshot = reader.read();
    ASSERT_FALSE(snapshot.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(snapshot.size(), QSize(1360, 1760));
    EXPECT_EQ(snapshot.dotsPerMeterX(), kSnapshotDotsPerMeter);
    EXPECT_EQ(snapshot.dotsPerMeterY(), kSnapshotDotsPerMeter);
    // Natural size 5100 x 6600 twips.
    EXPECT_EQ(qRound(snapshot.width() * 1440 / (snapshot.dotsPerMeterX() * 0.0254)), 5100);
    EXPECT_EQ(qRound(snapshot.height() * 1440 / (snapshot.dotsPerMeterY() * 0.0254)), 6600);
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), snapshot.size());
    // The document was opened to be pictured, not changed.
    EXPECT_EQ(ReadFile(document), before);
}

TEST(PageSnapshotTest, PlantedLinkIsReplacedNotWrittenThrough) {
    const QString victim = TestFolder() + QStringLiteral("/victim.txt");
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("keep me");
    file.close();
    QFile::remove(SnapshotPath());
    ASSERT_TRUE(QFile::link(victim, SnapshotPath()));
    QStringList calls;
    ScopedWordApplicationFactory engine(
        [&] { return std::make_unique<ScriptedWord>(calls, SmallPage()); });
    MessageRecorder messages;

    SaveDocAsJPG(TestFolder() + QStringLiteral("/any.doc"));

    EXPECT_TRUE(messages.all().empty());
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_FALSE(QFileInfo(SnapshotPath()).isSymLink());
    EXPECT_EQ(QImage(SnapshotPath()).size(), QSize(34, 44));
}

TEST(PageSnapshotTest, StepsRunInOrderAndEveryFailureIsReported) {
    QStringList calls;
    {
        // No picture comes: reported at its step, and the document is still closed and the
        // office ended.
        ScopedWordApplicationFactory engine(
            [&] { return std::make_unique<ScriptedWord>(calls, QImage()); });
        ScopedClipboardPictureRequest clipboard([] { return QImage(); });
        MessageRecorder messages;
        SaveDocAsJPG(TestFolder() + QStringLiteral("/sheet.doc"));
        EXPECT_EQ(calls, QStringList(
                             {"open sheet.doc rw", "copyAsPicture", "closeWithoutSaving", "quit"}));
        EXPECT_EQ(Steps(messages), std::vector<int>{122});
        EXPECT_EQ(messages.errorReports().at(0).location,
                  QLatin1String(location::Form1_SaveDocAsJPG));
    }
    {
        // No engine: every step that needs it fails on its own, and the procedure goes on.
        QGuiApplication::clipboard()->clear();
        ScopedWordApplicationFactory engine([]() -> std::unique_ptr<WordConnection> {
            throw WordError(QStringLiteral("The office engine could not be started."));
        });
        MessageRecorder messages;
        SaveDocAsJPG(TestFolder() + QStringLiteral("/sheet.doc"));
        EXPECT_EQ(Steps(messages), (std::vector<int>{116, 118, 120, 122, 124, 126}));
        EXPECT_EQ(messages.errorReports().at(0).description,
                  QStringLiteral("The office engine could not be started."));
    }
}

TEST(PageSnapshotTest, ClipboardIsAskedAgainUntilAPictureComes) {
    int requests = 0;
    {
        ScopedClipboardPictureRequest clipboard(
            [&] { return ++requests == 1 ? QImage() : SmallPage(); });
        EXPECT_EQ(GetClipboardPicture(0).size(), QSize(34, 44));
        EXPECT_EQ(requests, 2);
    }
    requests = 0;
    {
        ScopedClipboardPictureRequest clipboard([&] {
            ++requests;
            return QImage();
        });
        EXPECT_TRUE(GetClipboardPicture(0).isNull());
        EXPECT_EQ(requests, 1000);
    }
}

}  // namespace
}  // namespace velmora::test
