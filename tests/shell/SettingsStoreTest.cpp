#include "TestSupport.h"
#include "shell/SettingsStore.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
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

// Points the store at another folder while it lives.
class ScopedStoreFolder {
public:
    explicit ScopedStoreFolder(const QString& folder) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    }
    ~ScopedStoreFolder() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           qEnvironmentVariable("XDG_CONFIG_HOME"));
    }
};

TEST(SettingsStore, AFailedWriteIsToldOnceWithItsReasonAndTheProgramGoesOn) {
    QFile blocker(test::TestFolder() + QStringLiteral("/blocker"));  // a file, not a folder
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const ScopedStoreFolder unwritable(blocker.fileName() + QStringLiteral("/config"));
    test::MessageRecorder boxes;

    EXPECT_TRUE(SettingsWriteProblem().contains(blocker.fileName() + QStringLiteral("/config")))
        << SettingsWriteProblem();
    SaveSetting(QStringLiteral("txtFor"), QStringLiteral("M"));
    EXPECT_TRUE(boxes.all().empty()) << "the box waits until the keystroke is handled";
    SaveSetting(QStringLiteral("txtFor"), QStringLiteral("Ma"));
    QCoreApplication::processEvents();
    SaveSetting(QStringLiteral("txtFor"), QStringLiteral("Mar"));
    QCoreApplication::processEvents();

    ASSERT_EQ(boxes.all().size(), 1u);
    const MessageRequest& box = boxes.all().front();
    EXPECT_TRUE(box.title.isEmpty());  // the application title
    EXPECT_EQ(box.icon, MessageIcon::None);
    EXPECT_EQ(box.buttons, MessageButtons::Ok);
    EXPECT_TRUE(box.text.startsWith(
        QStringLiteral("Your entries cannot be remembered: the settings folder \"") +
        blocker.fileName() + QStringLiteral("/config\" cannot be made (Not a directory)")))
        << box.text;
}

TEST(SettingsStore, AWritableStoreHasNoProblem) {
    SaveSetting(QStringLiteral("txtFor"), QStringLiteral("x"));
    EXPECT_EQ(SettingsWriteProblem(), QString());
}

}  // namespace
}  // namespace velmora
