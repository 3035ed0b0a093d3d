// Each embedded template filled through the program's office connection, the way the generation
// run does it, and the saved document read back: by antiword (an independent reader of Word
// files) for the text, and by the office's Flat ODT for what the bookmarks hold and how the
// remark ticks show.
#include "TemplateFixture.h"
#include "TestSupport.h"
#include "coversheet/DateWording.h"
#include "coversheet/WordConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <map>
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

// Fills the template of `tab` as the generation run does, saves it and reads it back.
FilledSheet Fill(int tab, Values values, bool readFlat) {
    FilledSheet sheet;
    const QString folder = TestFolder() + QStringLiteral("/fill-") + TemplateName(tab);
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
                value = DistinctValue(bookmark);
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

}  // namespace
}  // namespace velmora::test
