#include "shell/AppTitle.h"
#include "shell/TempFolder.h"

#include <gtest/gtest.h>
#include <QDir>

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

TEST(TempFolder, IsTempUnchangedOrTheSystemFolderWhenUnset) {
    const QByteArray saved = qgetenv("TEMP");
    qputenv("TEMP", "/some/where/");
    EXPECT_EQ(TempPath(QStringLiteral("temp.bmp")), QStringLiteral("/some/where//temp.bmp"));
    qputenv("TEMP", "");
    EXPECT_EQ(TempPath(QStringLiteral("temp.bmp")), QDir::tempPath() + QStringLiteral("/temp.bmp"));
    qunsetenv("TEMP");
    EXPECT_EQ(TempFolder(), QDir::tempPath());
    qputenv("TEMP", saved);
}

}  // namespace
}  // namespace velmora
