#include "TestSupport.h"
#include "shell/SettingsStore.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace velmora {
namespace {

TEST(SettingsStore, MissingKeysGiveTheDefault) {
    EXPECT_EQ(GetSetting(QStringLiteral("neverWritten")), QString());
    EXPECT_EQ(GetSetting(QStringLiteral("neverWrittenTab"), QStringLiteral("0")),
              QStringLiteral("0"));
}

TEST(SettingsStore, EveryReadSeesTheLastWriteAndValuesKeepTheirLineBreaks) {
    const QString message =
        QStringLiteral("first line\r\nsecond line\r\n\r\nlast, with = and ; and ü");
    SaveSetting(QStringLiteral("txtMsg"), message);
    EXPECT_EQ(GetSetting(QStringLiteral("txtMsg")), message);
    SaveSetting(QStringLiteral("txtMsg"), QString());
    EXPECT_EQ(GetSetting(QStringLiteral("txtMsg"), QStringLiteral("default")), QString());
}

TEST(SettingsStore, WritesAreOnDiskUnderTheApplicationAndSectionBeforeReturning) {
    SaveSetting(QStringLiteral("txtFor"), QStringLiteral("Martin Hale"));
    // Another reader of the file, as a second process would see it.
    const QString file =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Brindlework.conf");
    ASSERT_TRUE(QFile::exists(file));
    const QSettings onDisk(file, QSettings::IniFormat);
    EXPECT_EQ(onDisk.value(QStringLiteral("Velmora/txtFor")).toString(),
              QStringLiteral("Martin Hale"));
    EXPECT_TRUE(file.startsWith(test::TestFolder())) << "tests must not touch the user's settings";
}

}  // namespace
}  // namespace velmora
