// Each embedded template filled through the program's office connection, the way the generation
// run does it, and the saved document read back: by antiword (an independent reader of Word
// files) for the text, and by the office's Flat ODT for what the bookmarks hold and how the
// remark ticks show.
#include "TemplateFixture.h"
#include "TestSupport.h"
#include "coversheet/DateWording.h"
#include "coversheet/DocumentExport.h"
#include "coversheet/WordEngine.h"

#include <poppler-qt6.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace velmora::test {
namespace {

using namespace coversheet;

const QString kStreet = QStringLiteral("12 Ash Lane");

// A value of its own for every bookmark, short enough to stay on one line of a table cell.
QString DistinctValue(const Bookmark& bookmark) {
    static const std::map<std::string_view, const char*> values = {
        {"bkFor", "Ada Quill"},        {"bkFaxFor", "555-0101"},     {"bkFrom", "Bo Marsh"},
        {"bkSubj", "Gravel quote"},    {"bkMsg", "Call me back"},    {"bkFaxFrom", "555-0199"},
        {"bkCC", "Cy Dunn"},           {"bkPhone", "555-0142"},      {"bkPhoneFor", "555-0177"},
        {"bkAddress", "9 Elm Row"},    {"bkCity", "Oakby OR 97001"}, {"bkWWW", "www.quill.test"},
        {"bkOrgName", "Quill & Sons"},
    };
    switch (bookmark.form) {
        case Written::Date:
            return DateText(QDate(2027, 3, 9), QLocale(QLocale::English));
        case Written::Street:
            return QLatin1Char(' ') + kStreet;
        case Written::Tick:
            return QStringLiteral("V");
        case Written::Text:
            return QLatin1String(values.at(bookmark.name));
    }
    return {};
}

// Ticked in the full sheet; the other remarks stay unticked.
const std::set<std::string_view> kTicked = {"bkUrgent", "bkComm", "bkRecycle"};

// Where the written fields come on the sheet, line by line as a reader (and antiword) goes.
const std::map<int, QStringList> kReadingOrder = {
    {Casual, {"bkFor", "bkFaxFor", "bkFrom", "bkFaxFrom", "bkDate", "bkSubj", "bkMsg"}},
    {Contemporary,
     {"bkAddress", "bkFor", "bkFaxFor", "bkFrom", "bkDate", "bkSubj", "bkCC", "bkMsg"}},
    {Professional,
     {"bkStreet", "bkOrgName", "bkCity", "bkPhone", "bkFaxFrom", "bkWWW", "bkFor", "bkFrom",
      "bkFaxFor", "bkPhoneFor", "bkDate", "bkSubj", "bkCC", "bkMsg"}},
    {Standard,
     {"bkFor", "bkFrom", "bkFaxFor", "bkFaxFrom", "bkPhoneFor", "bkPhone", "bkSubj", "bkDate",
      "bkMsg"}},
};

// The click-here prompts of the templates.
const QStringList kPrompts = {"[Address]",        "[Name]",
                              "[fax number]",     "[subject of fax]",
                              "[Street Address]", "[City, ST  Zip Code]",
                              "[phone]",          "[fax]",
                              "[Web address]",    "[Company Name]"};

enum class Values { Distinct, Empty };

struct FilledSheet {
    QString problem;  // why there is no sheet
    bool skipped = false;
    QString document;                    // the saved .doc
    std::map<QString, QString> written;  // bookmark -> value
    QString antiword;
    std::optional<FlatDocument> flat;
};

QString ModulePath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libvelmora-office.so");
}

// Fills the template of `tab` as the generation run does, saves it and reads it back. A
// `message`, if given, is written in place of the distinct value of the message field.
FilledSheet Fill(int tab, Values values, bool readFlat, const QString& message = {}) {
    FilledSheet sheet;
    const QString folder = TestFolder() + QStringLiteral("/fill-") + TemplateName(tab) +
                           (message.isEmpty() ? QString() : QStringLiteral("-long"));
    QDir(folder).removeRecursively();
    const QString templatePath = WriteEmbeddedTemplate(tab, folder);
    sheet.document = folder + QStringLiteral("/sheet.doc");

    std::unique_ptr<WordConnection> word;
    try {
        word = CreateWordApplication();
    } catch (const WordError& error) {
        if (!QFileInfo::exists(ModulePath())) {
            sheet.skipped = true;
            sheet.problem = QStringLiteral("the office module is not built (") + ModulePath() +
                            QStringLiteral("): ") + QString::fromStdString(error.what());
        } else {
            sheet.problem = QStringLiteral("no office: ") + QString::fromStdString(error.what());
        }
        return sheet;
    }
    try {
        word->documentsOpen(templatePath, true);
        for (const auto& bookmark : Bookmarks()) {
            if (!bookmark.filledOnTab[tab]) continue;
            QString value;
            if (bookmark.form == Written::Tick) {
                // An unticked remark is left as it is.
                if (values == Values::Empty || !kTicked.count(bookmark.name)) continue;
                value = QStringLiteral("V");
            } else if (values == Values::Distinct) {
                value = bookmark.name == std::string_view("bkMsg") && !message.isEmpty()
                            ? message
                            : DistinctValue(bookmark);
            } else if (bookmark.form == Written::Street) {
                value = QStringLiteral(" ");
            }
            word->setBookmarkText(QLatin1String(bookmark.name), value);
            sheet.written[QLatin1String(bookmark.name)] = value;
        }
        word->fieldsUpdate();
        word->saveAs(sheet.document);
        word->setDisplayAlerts(false);
        word->close();
        word->quit();
    } catch (const WordError& error) {
        sheet.problem =
            QStringLiteral("office call failed: ") + QString::fromStdString(error.what());
        return sheet;
    }
    word.reset();

    if (!QFileInfo(sheet.document).isFile()) {
        sheet.problem = QStringLiteral("nothing saved at ") + sheet.document;
        return sheet;
    }
    QString error;
    sheet.antiword = AntiwordText(sheet.document, &error);
    if (sheet.antiword.isEmpty()) {
        sheet.problem = QStringLiteral("antiword cannot read the sheet: ") + error;
        return sheet;
    }
    if (readFlat) {
        bool ok = false;
        const QString log = ConvertWithOffice({sheet.document}, QStringLiteral("fodt"),
                                              folder + QStringLiteral("/fodt"), folder, &ok);
        if (!ok) {
            sheet.problem = QStringLiteral("conversion failed:\n") + log;
            return sheet;
        }
        sheet.flat = FlatDocument::Load(folder + QStringLiteral("/fodt/sheet.fodt"), &error);
        if (!error.isEmpty()) sheet.problem = error;
    }
    return sheet;
}

#define VELMORA_REQUIRE_SHEET(sheet)                               \
    do {                                                           \
        if ((sheet).skipped) GTEST_SKIP() << (sheet).problem;      \
        ASSERT_TRUE((sheet).problem.isEmpty()) << (sheet).problem; \
    } while (false)

class TemplateFilling : public testing::TestWithParam<int> {};

TEST_P(TemplateFilling, WrittenValuesReadBackInPlace) {
    const int tab = GetParam();
    const FilledSheet sheet = Fill(tab, Values::Distinct, false);
    VELMORA_REQUIRE_SHEET(sheet);
    const QString& text = sheet.antiword;
    SCOPED_TRACE(text.toStdString());

    // Every written value, in the order the sheet is read (the ticks are the same letter each).
    const QStringList& order = kReadingOrder.at(tab);
    std::set<QString> texts;
    for (const auto& [name, value] : sheet.written)
        if (value != QLatin1String("V")) texts.insert(name);
    ASSERT_TRUE(texts == std::set<QString>(order.begin(), order.end()));
    qsizetype at = 0;
    for (const auto& name : order) {
        const QString value = sheet.written.at(name).trimmed();
        const qsizetype found = text.indexOf(value, at);
        EXPECT_NE(found, -1) << name << " = " << value << " not found after position " << at;
        if (found != -1) at = found + value.size();
    }

    // A written field's prompt is gone (the unfilled bookmarks share their ranges).
    for (const auto& prompt : kPrompts) EXPECT_FALSE(text.contains(prompt)) << prompt;

    // The page count, updated with the fields, shows the sheet's one page.
    const auto pages = QRegularExpression(QStringLiteral("pages:[ |]*(\\S+)"),
                                          QRegularExpression::CaseInsensitiveOption)
                           .match(text);
    if (tab == Standard) {
        EXPECT_FALSE(pages.hasMatch());
    } else {
        ASSERT_TRUE(pages.hasMatch());
        EXPECT_EQ(pages.captured(1), QStringLiteral("1"));
    }
}

TEST_P(TemplateFilling, EmptyValuesLeaveNoPrompt) {
    const int tab = GetParam();
    const FilledSheet sheet = Fill(tab, Values::Empty, false);
    VELMORA_REQUIRE_SHEET(sheet);
    SCOPED_TRACE(sheet.antiword.toStdString());
    for (const auto& prompt : kPrompts) EXPECT_FALSE(sheet.antiword.contains(prompt)) << prompt;
    // Nothing else in brackets either, but antiword's own picture marks.
    QString text = sheet.antiword;
    text.remove(QStringLiteral("[pic]"));
    EXPECT_FALSE(text.contains(QLatin1Char('['))) << "a bracketed prompt is left";
}

TEST_P(TemplateFilling, BookmarksHoldWhatWasWrittenAndTicksShowAsLetters) {
    const int tab = GetParam();
    const FilledSheet sheet = Fill(tab, Values::Distinct, true);
    VELMORA_REQUIRE_SHEET(sheet);
    const FlatDocument& flat = *sheet.flat;

    for (const auto& [name, value] : sheet.written) {
        SCOPED_TRACE(name.toStdString());
        const auto runs = flat.bookmarkRuns(name);
        ASSERT_TRUE(runs.has_value()) << "the bookmark is gone";
        if (runs->empty() && !value.isEmpty()) {
            // A bookmark that marks a point may stay one, with the value where it points.
            EXPECT_EQ(flat.textFrom(name, value.size()), value) << "the bookmark holds nothing";
        } else {
            EXPECT_EQ(FlatDocument::Text(*runs), value);
        }
        if (value == QLatin1String("V")) {
            // A ticked remark is the letter in the paragraph's own font, not a grey symbol.
            for (const auto& run : *runs) {
                EXPECT_NE(run.font, QStringLiteral("Wingdings"));
                EXPECT_NE(run.color, QStringLiteral("#808080"));
                EXPECT_TRUE(run.macro.isEmpty()) << "still inside the " << run.macro << " field";
            }
        }
    }

    // An unticked remark keeps its grey square.
    for (const auto& bookmark : Bookmarks()) {
        if (bookmark.form != Written::Tick || !bookmark.filledOnTab[tab] ||
            kTicked.count(bookmark.name))
            continue;
        SCOPED_TRACE(bookmark.name);
        const auto runs = flat.bookmarkRuns(QLatin1String(bookmark.name));
        ASSERT_TRUE(runs.has_value());
        ASSERT_EQ(FlatDocument::Text(*runs), QString(QChar(0xF0A8)));
        for (const auto& run : *runs) {
            EXPECT_EQ(run.font, QStringLiteral("Wingdings"));
            EXPECT_EQ(run.color, QStringLiteral("#808080"));
        }
    }

    if (tab == Professional) {
        // The street keeps the one space it is written with, and only that one.
        const auto street = flat.bookmarkRuns(QStringLiteral("bkStreet"));
        ASSERT_TRUE(street.has_value());
        const QString text = FlatDocument::Text(*street);
        EXPECT_TRUE(text.startsWith(QLatin1Char(' ') + kStreet)) << text;
    }
}

VELMORA_FOR_EACH_STYLE(TemplateFilling);

// ---- Sheets of more than one page, and the same pages in other readers ----

// The number of message lines that makes a sheet of three pages in each style (its third page
// part filled).
const std::map<int, int> kThreePageLines = {
    {Casual, 55}, {Contemporary, 47}, {Professional, 63}, {Standard, 136}};

QStringList MessageLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("Line %1 deliver the schedule by noon")
                     .arg(i, 3, 10, QLatin1Char('0'));
    return lines;
}

struct PdfWord {
    QString text;
    QRectF box;  // points
};

struct PdfPage {
    QImage image;
    double scale = 1;  // pixels per point
    std::vector<PdfWord> words;
    QStringList lines;  // the words of each line of text, top to bottom, left to right
};

// The lines of a page: words whose middles lie within one another's height, in order of x.
QStringList LinesOf(std::vector<PdfWord> words) {
    std::sort(words.begin(), words.end(), [](const PdfWord& a, const PdfWord& b) {
        return a.box.center().y() < b.box.center().y();
    });
    std::vector<std::vector<PdfWord>> lines;
    for (const PdfWord& word : words) {
        if (lines.empty() || word.box.center().y() > lines.back().front().box.bottom())
            lines.emplace_back();
        lines.back().push_back(word);
    }
    QStringList texts;
    for (auto& line : lines) {
        std::sort(line.begin(), line.end(),
                  [](const PdfWord& a, const PdfWord& b) { return a.box.left() < b.box.left(); });
        QStringList parts;
        for (const PdfWord& word : line) parts << word.text;
        texts << parts.join(QLatin1Char(' '));
    }
    return texts;
}

std::vector<PdfPage> ReadPdf(const QString& file, double dpi, QString* problem) {
    std::vector<PdfPage> pages;
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(file);
    if (!document || document->isLocked()) {
        *problem = QStringLiteral("cannot read ") + file;
        return pages;
    }
    document->setPaperColor(Qt::white);
    for (int i = 0; i < document->numPages(); ++i) {
        const std::unique_ptr<Poppler::Page> page = document->page(i);
        PdfPage read;
        if (dpi > 0)
            read.image = page->renderToImage(dpi, dpi).convertToFormat(QImage::Format_RGB32);
        read.scale = dpi / 72.0;
        for (const auto& box : page->textList())
            read.words.push_back({box->text(), box->boundingBox()});
        read.lines = LinesOf(read.words);
        pages.push_back(std::move(read));
    }
    return pages;
}

bool SameWord(const PdfWord& a, const PdfWord& b) {
    return a.text == b.text && std::abs(a.box.left() - b.box.left()) < 1 &&
           std::abs(a.box.top() - b.box.top()) < 1;
}

QRect Pixels(const PdfPage& page, const QRectF& box, int grow) {
    return QRect(
        QPoint(int(box.left() * page.scale) - grow, int(box.top() * page.scale) - grow),
        QPoint(int(box.right() * page.scale) + grow, int(box.bottom() * page.scale) + grow));
}

int ChannelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// A sheet filled with the distinct values and a message, as a PDF exported by the program.
struct LongSheet {
    FilledSheet filled;
    QString pdf;
};

LongSheet FillAndExport(int tab, const QString& message, const QString& name) {
    LongSheet sheet{Fill(tab, Values::Distinct, false, message), {}};
    if (!sheet.filled.problem.isEmpty()) return sheet;
    sheet.pdf = QFileInfo(sheet.filled.document).absolutePath() + QLatin1Char('/') + name +
                QStringLiteral(".pdf");
    try {
        ExportDocument(sheet.filled.document, sheet.pdf, DocumentFormat::Pdf);
    } catch (const std::exception& error) {
        sheet.filled.problem =
            QStringLiteral("PDF export failed: ") + QString::fromUtf8(error.what());
    }
    return sheet;
}

class TemplatePages : public testing::TestWithParam<int> {};

// A message of three pages: page 1 shows the artwork and stamps exactly as a one-page sheet
// does, the message lies on blank paper on every page, each of its lines whole, and nothing
// lies over anything else.
TEST_P(TemplatePages, LongMessageFlowsOverPagesUnderTheFirstPageArtwork) {
    const int tab = GetParam();
    const QStringList lines = MessageLines(kThreePageLines.at(tab));
    const LongSheet one = FillAndExport(tab, {}, QStringLiteral("one"));
    VELMORA_REQUIRE_SHEET(one.filled);
    const LongSheet three =
        FillAndExport(tab, lines.join(QLatin1Char('\n')), QStringLiteral("three"));
    VELMORA_REQUIRE_SHEET(three.filled);
    QString problem;
    const double dpi = 40;
    const auto onePages = ReadPdf(one.pdf, dpi, &problem);
    const auto pages = ReadPdf(three.pdf, dpi, &problem);
    ASSERT_TRUE(problem.isEmpty()) << problem;
    ASSERT_EQ(onePages.size(), 1u);
    ASSERT_EQ(pages.size(), 3u);

    // Page 1 as the one-page sheet, but where the words differ (the message, the page count).
    const PdfPage& first = pages[0];
    const PdfPage& single = onePages[0];
    ASSERT_EQ(first.image.size(), single.image.size());
    QImage mask(first.image.size(), QImage::Format_Grayscale8);
    mask.fill(0);
    std::vector<PdfWord> added;
    const auto unmatched = [](const PdfPage& page, const PdfPage& other) {
        std::vector<PdfWord> words;
        for (const PdfWord& word : page.words)
            if (std::none_of(other.words.begin(), other.words.end(),
                             [&](const PdfWord& o) { return SameWord(word, o); }))
                words.push_back(word);
        return words;
    };
    added = unmatched(first, single);
    // What differs is the message and the page count; every other word stays in its place.
    std::set<QString> messageWords, designed;
    for (const QString& line : lines)
        for (const QString& word : line.split(QLatin1Char(' '))) messageWords.insert(word);
    for (const PdfWord& word : single.words) designed.insert(word.text);
    const QStringList shortMessage = DistinctValue(BookmarkNamed("bkMsg")).split(QLatin1Char(' '));
    for (const PdfWord& word : added)
        EXPECT_TRUE(messageWords.count(word.text) || word.text == QLatin1String("3"))
            << "page 1: '" << word.text << "' is not where the one-page sheet has it";
    for (const PdfWord& word : unmatched(single, first))
        EXPECT_TRUE(shortMessage.contains(word.text) || word.text == QLatin1String("1"))
            << "page 1: '" << word.text << "' of the one-page sheet is not in its place";
    QImage ownText = mask;  // the one-page sheet's words that page 1 does not have
    {
        QPainter painter(&mask);
        QPainter own(&ownText);
        for (const PdfWord& word : added) painter.fillRect(Pixels(first, word.box, 2), Qt::white);
        for (const PdfWord& word : unmatched(single, first)) {
            painter.fillRect(Pixels(first, word.box, 2), Qt::white);
            own.fillRect(Pixels(first, word.box, 2), Qt::white);
        }
    }
    int differing = 0;
    QImage difference = first.image;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (!qGray(mask.pixel(x, y)) &&
                ChannelDistance(first.image.pixel(x, y), single.image.pixel(x, y)) > 48) {
                ++differing;
                difference.setPixel(x, y, qRgb(255, 0, 0));
            }
    // (Marked in red beside the PDF, for whoever looks into a failure.)
    if (differing)
        difference.save(QFileInfo(three.pdf).absolutePath() + QStringLiteral("/difference.png"));
    EXPECT_EQ(differing, 0)
        << "pixels of page 1 away from the message differ from the one-page sheet";

    // Under every word the message adds to page 1, the one-page sheet is blank paper (but for
    // its own short message).
    for (const PdfWord& word : added) {
        const QRect area = Pixels(first, word.box, 0) & single.image.rect();
        std::optional<QRgb> paper;
        bool blank = true;
        for (int y = area.top(); y <= area.bottom() && blank; ++y)
            for (int x = area.left(); x <= area.right() && blank; ++x) {
                if (qGray(ownText.pixel(x, y))) continue;
                if (!paper) paper = single.image.pixel(x, y);
                blank = ChannelDistance(single.image.pixel(x, y), *paper) <= 24;
            }
        EXPECT_TRUE(blank) << "page 1: '" << word.text << "' lies over the artwork";
    }

    for (size_t i = 0; i < pages.size(); ++i) {
        const PdfPage& page = pages[i];
        SCOPED_TRACE("page " + std::to_string(i + 1));
        // No word over another.
        for (size_t a = 0; a < page.words.size(); ++a)
            for (size_t b = a + 1; b < page.words.size(); ++b) {
                // (The boxes of neighbouring lines may touch: a box reaches from the font's
                // ascent to its descent.)
                const QRectF both = page.words[a].box & page.words[b].box;
                const auto area = [](const QRectF& box) { return box.width() * box.height(); };
                EXPECT_LT(area(both),
                          0.3 * std::min(area(page.words[a].box), area(page.words[b].box)))
                    << page.words[a].text << " and " << page.words[b].text << " overlap";
            }
        if (i == 0) continue;
        // The following pages hold the message, and of page 1's words none (a symbol, such as
        // the bullet of a footer, may be on both).
        for (const PdfWord& word : page.words)
            EXPECT_TRUE(messageWords.count(word.text) || !designed.count(word.text) ||
                        std::none_of(word.text.begin(), word.text.end(),
                                     [](QChar c) { return c.isLetterOrNumber(); }))
                << "'" << word.text << "' of page 1 on a following page";
        // The following pages are text on white paper.
        QImage rest = page.image;
        {
            QPainter painter(&rest);
            for (const PdfWord& word : page.words)
                painter.fillRect(Pixels(page, word.box, 2), Qt::white);
        }
        int marked = 0;
        for (int y = 0; y < rest.height(); ++y)
            for (int x = 0; x < rest.width(); ++x) marked += qGray(rest.pixel(x, y)) < 224;
        EXPECT_EQ(marked, 0) << "something other than text on the page";
    }

    // Every line of the message is found whole, in order.
    QStringList all;
    for (const PdfPage& page : pages) all += page.lines;
    qsizetype at = 0;
    for (const QString& line : lines) {
        const auto found = std::find_if(all.begin() + at, all.end(),
                                        [&](const QString& text) { return text.contains(line); });
        EXPECT_NE(found, all.end()) << "not found whole: " << line;
        if (found != all.end()) at = found - all.begin() + 1;
    }
}

// The sheet saved as .doc and .docx, opened by an office that has none of the program's font
// set-up (a desktop's), shows the same words on each line as the program's own PDF: no word cut
// or pushed on to the next line, and the tick squares and symbols there. (Where the lines break
// into pages may differ: the .doc cannot carry fonts, and the office spaces a .docx's paragraphs
// as Word does.)
TEST_P(TemplatePages, WordFilesShowTheSameLinesElsewhere) {
    const int tab = GetParam();
    const LongSheet sheet = FillAndExport(
        tab, MessageLines(kThreePageLines.at(tab)).join(QLatin1Char('\n')), QStringLiteral("own"));
    VELMORA_REQUIRE_SHEET(sheet.filled);
    const QString folder = QFileInfo(sheet.pdf).absolutePath();
    const QString docx = folder + QStringLiteral("/sheet-2007.docx");
    ASSERT_NO_THROW(ExportDocument(sheet.filled.document, docx, DocumentFormat::Docx));

    const QString plainFonts = folder + QStringLiteral("/plain-fonts.conf");
    {
        QFile config(plainFonts);
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        // The system's fonts, as a desktop has them: without Wine's folder.
        config.write(
            "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
            "<fontconfig><include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>"
            "</fontconfig>\n");
    }
    const QString elsewhere = folder + QStringLiteral("/elsewhere");
    bool ok = false;
    const QString log =
        ConvertWithOffice({sheet.filled.document, docx}, QStringLiteral("pdf"), elsewhere,
                          folder + QStringLiteral("/elsewhere-work"), &ok, plainFonts);
    ASSERT_TRUE(ok) << log;

    QString problem;
    const auto own = ReadPdf(sheet.pdf, 0, &problem);
    ASSERT_TRUE(problem.isEmpty()) << problem;
    const auto linesOf = [](const std::vector<PdfPage>& pages) {
        QStringList lines;
        for (const PdfPage& page : pages) lines += page.lines;
        lines.sort();
        return lines;
    };
    const QStringList mine = linesOf(own);
    for (const QString& name : {QStringLiteral("sheet"), QStringLiteral("sheet-2007")}) {
        SCOPED_TRACE(name.toStdString());
        const QStringList theirs = linesOf(
            ReadPdf(elsewhere + QLatin1Char('/') + name + QStringLiteral(".pdf"), 0, &problem));
        ASSERT_TRUE(problem.isEmpty()) << problem;
        QStringList missing, added;
        for (const QString& line : mine)
            if (!theirs.contains(line)) missing << line;
        for (const QString& line : theirs)
            if (!mine.contains(line)) added << line;
        EXPECT_TRUE(missing.isEmpty() && added.isEmpty() && mine.size() == theirs.size())
            << "lines of the program's PDF not found:\n  "
            << missing.join(QStringLiteral("\n  ")).toStdString() << "\nlines found instead:\n  "
            << added.join(QStringLiteral("\n  ")).toStdString();
    }
}

VELMORA_FOR_EACH_STYLE(TemplatePages);

}  // namespace
}  // namespace velmora::test
