// Documents filled, saved, reopened and read back through a real office; one office serves
// the whole suite.
#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "coversheet/office/PictureText.h"
#include "shell/AtomicFile.h"
#include "shell/FileProcedures.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <algorithm>
#include <limits>

namespace velmora::test {
namespace {

const QString kName = QStringLiteral("Zoë Ünal-Søndergård");
const QString kSubject = QStringLiteral("Angebot über 5 € — Größe “XL”");
const QString kMessage =
    QStringLiteral("First line of the note.\r\nSecond line, ünïcödé.\r\n\r\nAfter an empty line.");

class OfficeDocumentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        word_ = std::make_unique<office::OfficeConnection>(ProgramStartOptions());
    }
    static void TearDownTestSuite() { word_.reset(); }

    void SetUp() override {
        folder_ =
            TestFolder() + QLatin1Char('/') +
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
        QDir(folder_).removeRecursively();
        QDir().mkpath(folder_);
    }

    void TearDown() override {
        // Leave the shared office without open documents, whatever the test did.
        while (word_->activeDocument().is()) word_->closeWithoutSaving();
    }

    // The sample template, filled the way the generation run fills a cover sheet, saved as
    // `document` and closed.
    void fillAndSave(const QString& dot, const QString& document) {
        word_->documentsOpen(dot, true);
        word_->setBookmarkText(QStringLiteral("bkFor"), kName);
        word_->setBookmarkText(QStringLiteral("bkSubj"), kSubject);
        word_->setBookmarkText(QStringLiteral("bkDate"), QStringLiteral(" Tuesday, 9 March 2027 "));
        word_->setBookmarkText(QStringLiteral("bkMsg"), kMessage);
        word_->setBookmarkText(QStringLiteral("bkUrgent"), QStringLiteral("V"));
        word_->setBookmarkText(QStringLiteral("bkCC"), QString());
        word_->fieldsUpdate();
        word_->saveAs(document);
        word_->setDisplayAlerts(false);
        word_->close();
    }

    static std::unique_ptr<office::OfficeConnection> word_;
    QString folder_;
};

std::unique_ptr<office::OfficeConnection> OfficeDocumentTest::word_;

TEST_F(OfficeDocumentTest, TemplateOpenedReadOnlyIsTheFileItselfAndStaysUnchanged) {
    const QString dot = SampleTemplate(folder_);
    const QByteArray before = ReadFile(dot);

    word_->documentsOpen(dot, true);
    EXPECT_TRUE(OpenedReadOnlyFrom(*word_, dot));
    word_->close();
    fillAndSave(dot, folder_ + QStringLiteral("/sheet.doc"));

    EXPECT_EQ(ReadFile(dot), before);
}

TEST_F(OfficeDocumentTest, FilledTemplateSavedAsWordDocumentReadsBack) {
    const QString document = folder_ + QStringLiteral("/sheet.doc");
    fillAndSave(SampleTemplate(folder_), document);
    ASSERT_TRUE(QFileInfo(document).isFile());
    // An OLE compound file, as Word 97-2003 writes.
    EXPECT_TRUE(ReadFile(document).startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1")));

    word_->documentsOpen(document, false);
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkFor")), kName);
    // The alias bookmark on the same placeholder took the value as well.
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("To")), kName);
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkSubj")), kSubject);
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkDate")),
              QStringLiteral(" Tuesday, 9 March 2027 "));
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkUrgent")), QStringLiteral("V"));
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkCC")), QString());
    // CR LF became paragraph breaks, each paragraph a paragraph of its own.
    EXPECT_EQ(
        BookmarkText(*word_, QStringLiteral("bkMsg")),
        QStringLiteral("First line of the note.\nSecond line, ünïcödé.\n\nAfter an empty line."));
    EXPECT_EQ(ParagraphsCovered(*word_, QStringLiteral("bkMsg")), 4);
    // Unwritten placeholders are still there.
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkFaxFor")), QStringLiteral("[fax number]"));
}

TEST_F(OfficeDocumentTest, WrittenTextTakesTheParagraphsFormattingNotTheTickSymbols) {
    const QString dot = SampleTemplate(folder_);
    word_->documentsOpen(dot, true);
    ASSERT_EQ(BookmarkCharacterProperty(*word_, QStringLiteral("bkRev"), "CharFontName"),
              QStringLiteral("Wingdings"));

    word_->setBookmarkText(QStringLiteral("bkUrgent"), QStringLiteral("V"));
    word_->setBookmarkText(QStringLiteral("bkFor"), kName);
    for (const QString& bookmark : {QStringLiteral("bkUrgent"), QStringLiteral("bkFor")}) {
        SCOPED_TRACE(bookmark.toStdString());
        EXPECT_EQ(BookmarkCharacterProperty(*word_, bookmark, "CharFontName"),
                  QStringLiteral("Tahoma"));
        EXPECT_EQ(BookmarkCharacterProperty(*word_, bookmark, "CharColor"), QStringLiteral("-1"));
        EXPECT_EQ(BookmarkCharacterProperty(*word_, bookmark, "CharStyleName"), QString());
    }
    // The unticked remark keeps its square.
    EXPECT_EQ(BookmarkCharacterProperty(*word_, QStringLiteral("bkRev"), "CharFontName"),
              QStringLiteral("Wingdings"));
}

TEST_F(OfficeDocumentTest, IndependentWordReadersFindTheValues) {
    const QString document = folder_ + QStringLiteral("/sheet.doc");
    fillAndSave(SampleTemplate(folder_), document);

    const QString antiword = RunProgram(
        QStringLiteral("antiword"), {QStringLiteral("-m"), QStringLiteral("UTF-8.txt"), document});
    EXPECT_TRUE(antiword.contains(kName)) << antiword.toStdString();
    EXPECT_TRUE(antiword.contains(QStringLiteral("Angebot über 5 €"))) << antiword.toStdString();
    EXPECT_TRUE(antiword.contains(QStringLiteral("Second line, ünïcödé.")))
        << antiword.toStdString();
    EXPECT_FALSE(antiword.contains(QStringLiteral("[subject of fax]")));

    const QString catdoc = RunProgram(QStringLiteral("catdoc"),
                                      {QStringLiteral("-d"), QStringLiteral("utf-8"), document});
    EXPECT_TRUE(catdoc.contains(kName)) << catdoc.toStdString();
    // The page-count field was kept as a field and updated.
    EXPECT_TRUE(
        catdoc.contains(QRegularExpression(QStringLiteral("Pages: +NUMPAGES[^\\n]* 1 *\\n"))))
        << catdoc.toStdString();
}

// A long paragraph is not laid out while the bookmarks are written: the office holds the
// layout until the document is pictured. Otherwise it lays the paragraph out after writing it,
// and the writes that follow wait for it: seconds for a quarter of a megabyte, where held,
// the writes take as long as behind a short message. (The fastest of three tries each, so that
// a busy machine's pauses do not count.)
TEST_F(OfficeDocumentTest, ALongParagraphIsNotLaidOutWhileTheBookmarksAreWritten) {
    QString paragraph;
    for (int n = 1; paragraph.size() < 250'000; ++n)
        paragraph += QStringLiteral("Sentence %1 of one long paragraph. ").arg(n);
    const QString dot = SampleTemplate(folder_);
    const auto writing = [&](const QString& message) {
        qint64 fastest = std::numeric_limits<qint64>::max();
        for (int attempt = 0; attempt < 3; ++attempt) {
            word_->documentsOpen(dot, true);
            QElapsedTimer timer;
            timer.start();
            word_->setBookmarkText(QStringLiteral("bkMsg"), message);
            word_->setBookmarkText(QStringLiteral("bkCC"), kName);
            word_->setBookmarkText(QStringLiteral("bkUrgent"), QStringLiteral("V"));
            word_->setBookmarkText(QStringLiteral("bkFaxFor"), QStringLiteral("+1 555 0100"));
            fastest = std::min(fastest, timer.elapsed());
            word_->closeWithoutSaving();
        }
        return fastest;
    };
    const qint64 withShort = writing(kMessage);
    const qint64 withLong = writing(paragraph);
    EXPECT_LT(withLong, 2 * withShort + 1500)
        << "the writes took " << withLong << " ms with the long paragraph, " << withShort
        << " ms with a short message";
}

TEST_F(OfficeDocumentTest, MissingBookmarkFailsNamingIt) {
    word_->documentsOpen(SampleTemplate(folder_), true);
    try {
        word_->setBookmarkText(QStringLiteral("bkNowhere"), QStringLiteral("x"));
        FAIL() << "no error";
    } catch (const WordError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("'bkNowhere'")))
            << error.what();
    }
    // The document is still usable.
    word_->setBookmarkText(QStringLiteral("bkFor"), kName);
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkFor")), kName);
}

TEST_F(OfficeDocumentTest, ClosingWithoutSavingLeavesTheFileUnchanged) {
    const QString document = folder_ + QStringLiteral("/sheet.doc");
    fillAndSave(SampleTemplate(folder_), document);
    const QByteArray before = ReadFile(document);
    const QDateTime modified = QFileInfo(document).lastModified();

    word_->documentsOpen(document, false);
    word_->setBookmarkText(QStringLiteral("bkFor"), QStringLiteral("Somebody else"));
    word_->closeWithoutSaving();

    EXPECT_EQ(ReadFile(document), before);
    EXPECT_EQ(QFileInfo(document).lastModified(), modified);
    word_->documentsOpen(document, false);
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkFor")), kName);
}

TEST_F(OfficeDocumentTest, FailuresNameWhatFailed) {
    const QString missing = folder_ + QStringLiteral("/no-such.dot");
    try {
        word_->documentsOpen(missing, true);
        FAIL() << "no error";
    } catch (const WordError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(missing)) << error.what();
    }
    // Nothing open: every document call fails instead of acting on nothing.
    EXPECT_THROW(word_->setBookmarkText(QStringLiteral("bkFor"), kName), WordError);
    EXPECT_THROW(word_->saveAs(folder_ + QStringLiteral("/x.doc")), WordError);
    EXPECT_THROW(word_->copyAsPicture(), WordError);

    word_->documentsOpen(SampleTemplate(folder_), true);
    // A file stands where the folder would be.
    NewFile::Write(folder_ + QStringLiteral("/plain"), "text");
    const QString unwritable = folder_ + QStringLiteral("/plain/sheet.doc");
    try {
        word_->saveAs(unwritable);
        FAIL() << "no error";
    } catch (const WordError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(unwritable)) << error.what();
    }
}

// A note long enough for a second page and a third.
QString LongNote() {
    QStringList lines;
    for (int i = 1; i <= 120; ++i) lines << QStringLiteral("Line %1 of the long note.").arg(i);
    return lines.join(QStringLiteral("\r\n"));
}

TEST_F(OfficeDocumentTest, CopyAsPicturePutsTheFirstPageOnTheClipboard) {
    QGuiApplication::clipboard()->clear();
    const QString scratch = folder_ + QStringLiteral("/tmp");
    QDir().mkpath(scratch);
    const QByteArray tmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(scratch));
    word_->documentsOpen(SampleTemplate(folder_), true);
    word_->setBookmarkText(QStringLiteral("bkFor"), kName);
    word_->setBookmarkText(QStringLiteral("bkMsg"), LongNote());
    const QImage picture = word_->copyAsPicture();

    ASSERT_FALSE(picture.isNull());
    // The caller gets the very picture the clipboard was given.
    EXPECT_EQ(QGuiApplication::clipboard()->image(), picture);
    EXPECT_EQ(picture.size(), QSize(1360, 1760));
    EXPECT_EQ(picture.dotsPerMeterX(), 15118);
    EXPECT_EQ(picture.dotsPerMeterY(), 15118);
    // White paper with dark text on it.
    EXPECT_EQ(picture.pixelColor(5, 5), QColor(Qt::white));
    int dark = 0;
    for (int y = 0; y < picture.height(); y += 4)
        for (int x = 0; x < picture.width(); x += 4) dark += qGray(picture.pixel(x, y)) < 96;
    EXPECT_GT(dark, 200);
    // What the page says, for those who cannot see it, and how many pages there are.
    const QString text = picture.text(QLatin1String(kPictureTextKey));
    EXPECT_TRUE(text.contains(kName)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Line 1 of the long note."))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Line 120 "))) << text.toStdString();
    EXPECT_EQ(picture.text(QLatin1String(kPicturePagesKey)), QStringLiteral("3"));
    // The page went through a file of its own, which is gone again.
    EXPECT_TRUE(QDir(scratch).isEmpty());
    tmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir);
}

}  // namespace
}  // namespace velmora::test

namespace velmora::test {
namespace {

TEST_F(OfficeDocumentTest, PdfExportHasEveryPageEmbeddedFontsAndSelectableText) {
    const QString document = folder_ + QStringLiteral("/sheet.doc");
    word_->documentsOpen(SampleTemplate(folder_), true);
    word_->setBookmarkText(QStringLiteral("bkFor"), kName);
    word_->setBookmarkText(QStringLiteral("bkMsg"), LongNote());
    word_->fieldsUpdate();
    word_->saveAs(document);
    word_->close();

    word_->documentsOpen(document, true);
    const QString pdf = folder_ + QStringLiteral("/sheet.pdf");
    word_->exportAsPdf(pdf);
    word_->closeWithoutSaving();

    // As many pages as the document's own page-count field says, the last line on the last.
    const QString text = RunProgram(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    const QRegularExpressionMatch pages = QRegularExpression("Pages: (\\d+)").match(text);
    ASSERT_TRUE(pages.hasMatch()) << text.toStdString();
    EXPECT_GE(pages.captured(1).toInt(), 2);
    EXPECT_TRUE(RunProgram(QStringLiteral("pdfinfo"), {pdf})
                    .contains(QRegularExpression("\\nPages: +" + pages.captured(1) + "\\n")));
    const QString last = RunProgram(QStringLiteral("pdftotext"),
                                    {QStringLiteral("-f"), pages.captured(1), pdf, "-"});
    EXPECT_TRUE(last.contains(QStringLiteral("Line 120 of the long note."))) << last.toStdString();
    EXPECT_TRUE(text.contains(kName));

    // Every font embedded; the list has a heading of two lines.
    const QStringList fonts =
        RunProgram(QStringLiteral("pdffonts"), {pdf}).split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(fonts.size(), 2);
    for (const QString& font : fonts.mid(2))
        EXPECT_TRUE(font.contains(QRegularExpression(" yes +(yes|no) +(yes|no) +\\d+ +\\d+$")))
            << font.toStdString();

    // The document is still the one opened, unchanged.
    word_->documentsOpen(document, false);
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkFor")), kName);
}

TEST_F(OfficeDocumentTest, DocxCopyReopensWithItsValues) {
    const QString document = folder_ + QStringLiteral("/sheet.doc");
    fillAndSave(SampleTemplate(folder_), document);
    const QString docx = folder_ + QStringLiteral("/sheet.docx");
    word_->documentsOpen(document, true);
    word_->saveAsDocx(docx);
    word_->closeWithoutSaving();
    EXPECT_TRUE(ReadFile(docx).startsWith("PK")) << "a zip package";

    word_->documentsOpen(docx, false);
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkFor")), kName);
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkSubj")), kSubject);
    EXPECT_EQ(BookmarkText(*word_, QStringLiteral("bkUrgent")), QStringLiteral("V"));
}

}  // namespace
}  // namespace velmora::test
