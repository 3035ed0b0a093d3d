#include "shell/AppTitle.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(AppTitle, DropsTheLastWordOnceAndWhileLongerThanForty) {
    EXPECT_EQ(ShortenAppTitle(QStringLiteral("Velmora")), QStringLiteral("Velmora"));
    EXPECT_EQ(ShortenAppTitle(QStringLiteral("Velmora Fax Sheets")), QStringLiteral("Velmora Fax"));
    const QString fortyOne = QStringLiteral("Abcdefghij Abcdefghij Abcdefghij Abcdefg");
    ASSERT_EQ(fortyOne.size(), 40);
    EXPECT_EQ(ShortenAppTitle(fortyOne + QLatin1Char('h')),
              QStringLiteral("Abcdefghij Abcdefghij Abcdefghij"));
    EXPECT_EQ(
        ShortenAppTitle(QStringLiteral("Aaaaaaaaaaaaaaaaaaaaa Bbbbbbbbbbbbbbbbbbbbbbbbbb Ccc")),
        QStringLiteral("Aaaaaaaaaaaaaaaaaaaaa"));
    EXPECT_EQ(ShortenAppTitle(QString(50, QLatin1Char('x'))), QString(50, QLatin1Char('x')));
}

}  // namespace
}  // namespace velmora
