#include "coversheet/CoverSheet.h"

#include <gtest/gtest.h>
#include <QSet>

namespace velmora::coversheet {
namespace {

QSet<QString> filledOn(int tab) {
    QSet<QString> names;
    for (const auto& bookmark : Bookmarks())
        if (bookmark.filledOnTab[tab]) names << QLatin1String(bookmark.name);
    return names;
}

TEST(TemplateCatalogue, EachStyleFillsExactlyItsBookmarks) {
    const QSet<QString> common{"bkFor", "bkFaxFor", "bkFrom", "bkDate", "bkSubj", "bkMsg"};
    const QSet<QString> remarks{"bkCC", "bkUrgent", "bkRev", "bkComm", "bkReply", "bkRecycle"};
    EXPECT_EQ(filledOn(Casual), (common + QSet<QString>{"bkFaxFrom"}));
    EXPECT_EQ(filledOn(Contemporary), (common + remarks + QSet<QString>{"bkAddress"}));
    EXPECT_EQ(filledOn(Professional), (common + remarks +
                                       QSet<QString>{"bkFaxFrom", "bkPhone", "bkPhoneFor",
                                                     "bkStreet", "bkCity", "bkWWW", "bkOrgName"}));
    EXPECT_EQ(filledOn(Standard), (common + QSet<QString>{"bkFaxFrom", "bkPhone", "bkPhoneFor"}));
    EXPECT_FALSE(BookmarkNamed("bkFaxFrom").filledOnTab[Contemporary]);
}

TEST(TemplateCatalogue, StylesMapTabsToTheirResources) {
    const char* captions[] = {"Casual", "Contemporary", "Professional", "Standard"};
    for (int tab = 0; tab < kTabCount; ++tab) {
        EXPECT_EQ(StyleOfTab(tab).resourceId, 101 + tab);
        EXPECT_STREQ(StyleOfTab(tab).caption, captions[tab]);
    }
    EXPECT_THROW(StyleOfTab(4), std::out_of_range);
    EXPECT_THROW(StyleOfTab(-1), std::out_of_range);
}

TEST(CoverSheetField, AStyleOnlyFillsFieldsItsTabShows) {
    for (const auto& bookmark : Bookmarks()) {
        const auto& field = Field(bookmark.field);
        for (int tab = 0; tab < kTabCount; ++tab) {
            if (!bookmark.filledOnTab[tab]) continue;
            EXPECT_GE(field.memberOnTab(tab), 0) << bookmark.name << " on tab " << tab;
        }
    }
}

TEST(CoverSheetField, TheRunReadsTheHighestMember) {
    EXPECT_EQ(Field("txtFor").runMember(), 3);
    EXPECT_EQ(Field("txtFaxFrom").runMember(), 2);
    EXPECT_EQ(Field("txtFaxFrom").memberOnTab(Contemporary), -1);
    EXPECT_EQ(Field("txtFaxFrom").memberOnTab(Standard), 2);
    EXPECT_EQ(Field("CheckUrgent").runMember(), 1);
    EXPECT_EQ(Field("txtWWW").runMember(), 0);
    EXPECT_TRUE(Field("txtWWW").single);
    EXPECT_EQ(Fields().size(), 20u);
    EXPECT_THROW(Field("txtNothing"), std::out_of_range);
}

}  // namespace
}  // namespace velmora::coversheet
