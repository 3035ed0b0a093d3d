// The start-up check for the office engine: silent when it works, the exact message when not.
#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "coversheet/WordCheck.h"

#include <gtest/gtest.h>
#include <QFile>

namespace velmora::test {
namespace {

// Sets an environment variable for as long as it lives.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedVariable() { had_ ? qputenv(name_, previous_) : qunsetenv(name_); }

private:
    const char* name_;
    bool had_;
    QByteArray previous_;
};

const QString kMissingMessage = QStringLiteral(
    "Error 842001. A normal instance of Word could not be created.\r\n\r\n"
    "1. Please make sure Word is installed on this computer.\r\n\r\n"
    "2. Please open Word normally and make sure a blank document opens immediately without any "
    "interrupting window (such as an Word file recovery window).\r\n\r\n"
    "3. Please make sure that when you double-click on a DOC or DOCX file that Word opens "
    "normally without any interrupting messages.\r\n\r\n"
    "4. All versions of Word are supported by this software except for the rare Word Starter "
    "and Student editions.");

void ExpectMissingMessageOnly(const MessageRecorder& messages) {
    ASSERT_EQ(messages.all().size(), 1u);
    const MessageRequest& shown = messages.all().front();
    EXPECT_EQ(shown.text, kMissingMessage);
    EXPECT_TRUE(shown.title.isEmpty());
    EXPECT_EQ(shown.icon, MessageIcon::None);
    EXPECT_EQ(shown.buttons, MessageButtons::Ok);
}

TEST(WordCheckTest, WorkingEngineIsCheckedSilently) {
    MessageRecorder messages;
    EXPECT_TRUE(CheckWordAvailable());
    EXPECT_TRUE(messages.all().empty());
}

TEST(WordCheckTest, MissingOfficeShowsTheMessage) {
    const ScopedVariable office("VELMORA_OFFICE_PROGRAM",
                                QFile::encodeName(TestFolder() + "/not-installed/soffice.bin"));
    MessageRecorder messages;
    EXPECT_FALSE(CheckWordAvailable());
    ExpectMissingMessageOnly(messages);
}

TEST(WordCheckTest, MissingModuleShowsTheMessage) {
    const ScopedVariable module("VELMORA_OFFICE_MODULE",
                                QFile::encodeName(TestFolder() + "/libvelmora-office.so"));
    MessageRecorder messages;
    EXPECT_FALSE(CheckWordAvailable());
    ExpectMissingMessageOnly(messages);
}

TEST(WordCheckTest, OfficeThatNeverAnswersCountsAsMissing) {
    const QString silent = TestFolder() + QStringLiteral("/silent-office");
    QFile script(silent);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write("#!/bin/sh\nexec sleep 600\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const ScopedVariable office("VELMORA_OFFICE_PROGRAM", QFile::encodeName(silent));
    const ScopedVariable bound("VELMORA_OFFICE_START_TIMEOUT", "2");
    MessageRecorder messages;
    EXPECT_FALSE(CheckWordAvailable());
    ExpectMissingMessageOnly(messages);
}

}  // namespace
}  // namespace velmora::test
