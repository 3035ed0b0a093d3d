// What each embedded template holds, read back through the real office: the resources are
// written out as files and converted to Flat ODT once for the whole suite (and kept in the
// build tree until the templates or the office change).
#include "BuildCache.h"
#include "TemplateFixture.h"
#include "TestSupport.h"

#include <QFile>
#include <map>
#include <set>

namespace velmora::test {
namespace {

using namespace coversheet;

class TemplateStructure : public testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() {
        // The conversion takes the office seconds; it is done once per build tree and set of
        // templates, not once per test program.
        QFile fonts(SourceDir() + QStringLiteral("/templates/fonts.conf"));
        fonts.open(QIODevice::ReadOnly);
        QByteArray templates = fonts.readAll();
        for (int tab = 0; tab < kTabCount; ++tab)
            templates += LoadResData(StyleOfTab(tab).resourceId);
        QString log;
        const QString converted =
            CachedFolder(QStringLiteral("template-structure"), templates, [&](const QString& out) {
                const QString folder = TestFolder() + QStringLiteral("/structure");
                QStringList files;
                for (int tab = 0; tab < kTabCount; ++tab)
                    files << WriteEmbeddedTemplate(tab, folder);
                bool ok = false;
                log = ConvertWithOffice(files, QStringLiteral("fodt"), out, folder, &ok);
                return ok;
            });
        if (converted.isEmpty()) {
            problem_ = new QString(QStringLiteral("conversion failed:\n") + log);
            return;
        }
        for (int tab = 0; tab < kTabCount; ++tab) {
            QString error;
            documents_[tab] = FlatDocument::Load(
                converted + QLatin1Char('/') + TemplateName(tab) + QStringLiteral(".fodt"), &error);
            if (!error.isEmpty()) problem_ = new QString(error);
        }
    }

    void SetUp() override {
        if (problem_) GTEST_FAIL() << *problem_;
    }

    const FlatDocument& document() const { return documents_.at(GetParam()); }

    static inline std::map<int, FlatDocument> documents_;
    static inline QString* problem_ = nullptr;
};

// The bookmarks each template must hold, filled or not, as the templates were designed.
const std::map<int, QStringList> kBookmarks = {
    {Casual, {"bkFor", "bkFaxFor", "bkFrom", "bkDate", "bkSubj", "bkMsg", "bkFaxFrom", "bkNoPg"}},
    {Contemporary,
     {"bkFor", "bkFaxFor", "bkFrom", "bkDate", "bkSubj", "bkMsg", "bkCC", "bkUrgent", "bkRev",
      "bkComm", "bkReply", "bkRecycle", "bkAddress", "Address", "To"}},
    {Professional,
     {"bkFor",      "bkFaxFor", "bkFrom", "bkDate", "bkSubj",    "bkMsg",     "bkFaxFrom",
      "bkCC",       "bkUrgent", "bkRev",  "bkComm", "bkReply",   "bkRecycle", "bkPhone",
      "bkPhoneFor", "bkStreet", "bkCity", "bkWWW",  "bkOrgName", "Company"}},
    {Standard,
     {"bkFor", "bkFaxFor", "bkFrom", "bkDate", "bkSubj", "bkMsg", "bkFaxFrom", "bkPhone",
      "bkPhoneFor"}},
};

TEST_P(TemplateStructure, HoldsExactlyItsBookmarks) {
    const QStringList found = document().bookmarks();
    EXPECT_EQ(size_t(found.size()), std::set<QString>(found.begin(), found.end()).size())
        << "a bookmark occurs twice: " << found.join(' ');

    const QStringList& expected = kBookmarks.at(GetParam());
    const std::set<QString> want(expected.begin(), expected.end());
    const std::set<QString> have(found.begin(), found.end());
    for (const auto& name : want) EXPECT_TRUE(have.count(name)) << "missing bookmark " << name;
    for (const auto& name : have) EXPECT_TRUE(want.count(name)) << "unexpected bookmark " << name;

    // The program's own table must agree: everything it fills is there.
    for (const auto& name : FilledBookmarks(GetParam()))
        EXPECT_TRUE(have.count(name))
            << "the program fills a bookmark the template lacks: " << name;
}

struct Margins {
    double left, right, top, bottom;
};
const std::map<int, Margins> kMargins = {
    {Casual, {1800, 1800, 1440, 1440}},
    {Contemporary, {1440, 1440, 1440, 864}},
    {Professional, {965, 1800, 965, 1440}},
    {Standard, {1080, 1080, 1440, 1440}},
};

TEST_P(TemplateStructure, PagesAreLetterPortraitWithTheStyleMargins) {
    const auto pages = document().pages();
    ASSERT_FALSE(pages.empty());
    const Margins& want = kMargins.at(GetParam());
    for (const auto& page : pages) {
        SCOPED_TRACE(page.masterName.toStdString());
        EXPECT_NEAR(page.width, 12240, 2);
        EXPECT_NEAR(page.height, 15840, 2);
        EXPECT_EQ(page.orientation, QStringLiteral("portrait"));
        EXPECT_NEAR(page.left, want.left, 2);
        EXPECT_NEAR(page.right, want.right, 2);
        EXPECT_NEAR(page.top, want.top, 2);
        EXPECT_NEAR(page.bottom, want.bottom, 2);
    }
}

struct StyleCheck {
    const char* name;  // as Word names it
    const char* font = nullptr;
    double sizePt = 0;
    std::optional<bool> bold = std::nullopt;
    std::optional<bool> caps = std::nullopt;
    const char* color = nullptr;
};
const std::map<int, std::vector<StyleCheck>> kStyles = {
    {Casual,
     {{"Normal", "Verdana", 11},
      {"Heading 1", nullptr, 36, true, true, "#ffffff"},
      {"Comments"},
      {"Balloon Text", "Tahoma", 8}}},
    {Contemporary,
     {{"Normal", "Tahoma", 8},
      {"Heading 1", "Tahoma", 24, std::nullopt, std::nullopt, "#808080"},
      {"Bold", nullptr, 0, true},
      {"Bold Char", nullptr, 0, true},
      {"Line"},
      {"Notes"},
      {"confidential", "Tahoma", 72, std::nullopt, std::nullopt, "#c0c0c0"}}},
    {Professional,
     {{"Normal", "Arial", 10},
      {"Company Info", nullptr, 8},
      {"Company Name", "Arial Black", 16},
      {"Document Label", "Arial Black", 54},
      {"Message Header"},
      {"Message Header Label", "Arial Black", 9},
      {"Message Header Last"},
      {"Body Text"},
      {"Emphasis", "Arial Black", 9}}},
    {Standard,
     {{"Normal", "Tahoma", 9},
      {"Heading 1", nullptr, 48, true, true},
      {"Heading 2", nullptr, 8, std::nullopt, true}}},
};

// The office shows a few of Word's built-in styles under its own names.
QString OfficeStyleName(const char* wordName) {
    const QString name = QLatin1String(wordName);
    if (name == QLatin1String("Normal")) return QStringLiteral("Standard");
    if (name == QLatin1String("Body Text")) return QStringLiteral("Text body");
    return name;
}

TEST_P(TemplateStructure, DefinesItsStyles) {
    for (const auto& check : kStyles.at(GetParam())) {
        SCOPED_TRACE(check.name);
        const auto style = document().style(OfficeStyleName(check.name));
        ASSERT_TRUE(style.has_value()) << "no style " << check.name;
        if (check.font) {
            EXPECT_EQ(style->font, QLatin1String(check.font));
        }
        if (check.sizePt) {
            EXPECT_DOUBLE_EQ(style->sizePt, check.sizePt);
        }
        if (check.bold) {
            EXPECT_EQ(style->bold, *check.bold);
        }
        if (check.caps) {
            EXPECT_EQ(style->upperCase, *check.caps);
        }
        if (check.color) {
            EXPECT_EQ(style->color, QLatin1String(check.color));
        }
    }
}

struct Prompt {
    const char* bookmark;
    const char* text;
};
const std::map<int, std::vector<Prompt>> kPrompts = {
    {Casual, {}},
    {Contemporary,
     {{"bkAddress", "[Address]"},
      {"Address", "[Address]"},
      {"bkFor", "[Name]"},
      {"To", "[Name]"},
      {"bkFaxFor", "[fax number]"},
      {"bkFrom", "[Name]"},
      {"bkSubj", "[subject of fax]"},
      {"bkCC", "[Name]"}}},
    {Professional,
     {{"bkStreet", "[Street Address]"},
      {"bkCity", "[City, ST  Zip Code]"},
      {"bkPhone", "[phone]"},
      {"bkFaxFrom", "[fax]"},
      {"bkWWW", "[Web address]"},
      {"bkOrgName", "[Company Name]"},
      {"Company", "[Company Name]"}}},
    {Standard, {}},
};

TEST_P(TemplateStructure, PlaceholdersAreClickFieldsWithTheirPrompt) {
    for (const auto& prompt : kPrompts.at(GetParam())) {
        SCOPED_TRACE(prompt.bookmark);
        const auto runs = document().bookmarkRuns(QLatin1String(prompt.bookmark));
        ASSERT_TRUE(runs.has_value());
        // The office writes a field's shown text without its double spaces; antiword below
        // reads them as they are.
        EXPECT_EQ(FlatDocument::Text(*runs), QString::fromLatin1(prompt.text).simplified());
        for (const auto& run : *runs) EXPECT_EQ(run.macro, QStringLiteral("DoFieldClick"));
    }

    QString error;
    const QString text = AntiwordText(
        WriteEmbeddedTemplate(GetParam(), TestFolder() + QStringLiteral("/antiword")), &error);
    ASSERT_FALSE(text.isEmpty()) << error;
    for (const auto& prompt : kPrompts.at(GetParam()))
        EXPECT_TRUE(text.contains(QLatin1String(prompt.text))) << prompt.text << " in\n" << text;
}

TEST_P(TemplateStructure, RemarkTicksAreGreyEmptySquares) {
    const int tab = GetParam();
    int ticks = 0;
    for (const auto& bookmark : Bookmarks()) {
        if (bookmark.form != Written::Tick || !bookmark.filledOnTab[tab]) continue;
        SCOPED_TRACE(bookmark.name);
        ++ticks;
        const auto runs = document().bookmarkRuns(QLatin1String(bookmark.name));
        ASSERT_TRUE(runs.has_value());
        ASSERT_EQ(FlatDocument::Text(*runs), QString(QChar(0xF0A8)));
        for (const auto& run : *runs) {
            EXPECT_EQ(run.macro, QStringLiteral("CheckIt"));
            EXPECT_EQ(run.font, QStringLiteral("Wingdings"));
            EXPECT_EQ(run.color, QStringLiteral("#808080"));
        }
    }
    const bool hasRemarks = tab == Contemporary || tab == Professional;
    EXPECT_EQ(ticks, hasRemarks ? 5 : 0);
}

TEST_P(TemplateStructure, ShowsThePageCount) {
    // The Standard sheet has no page line; the others count their one page.
    const auto fields = document().pageCountFields();
    ASSERT_EQ(fields.size(), GetParam() == Standard ? 0u : 1u);
    for (const auto& field : fields) EXPECT_EQ(field.text, QStringLiteral("1"));
}

VELMORA_FOR_EACH_STYLE(TemplateStructure);

}  // namespace
}  // namespace velmora::test
