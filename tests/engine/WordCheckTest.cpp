// The start-up check for the office engine: silent when it works, the exact message when not.
#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "coversheet/WordCheck.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryFile>
#include <cstdio>

namespace velmora::test {
namespace {

// What the program writes to standard error while it lives.
class StandardErrorCapture {
public:
    StandardErrorCapture() : file_(TestFolder() + QStringLiteral("/stderr-XXXXXX")) {
        file_.open();
        std::fflush(stderr);
        saved_ = ::dup(2);
        ::dup2(file_.handle(), 2);
    }
    ~StandardErrorCapture() { restore(); }
    QString text() {
        restore();
        file_.seek(0);
        return QString::fromLocal8Bit(file_.readAll());
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(std::exchange(saved_, -1));
    }
    QTemporaryFile file_;
    int saved_ = -1;
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

// The five paragraphs about Word exactly, then the engine's own reason and how to install it.
void ExpectMissingMessageOnly(const MessageRecorder& messages, const QString& reason) {
    ASSERT_EQ(messages.all().size(), 1u);
    const MessageRequest& shown = messages.all().front();
    const QStringList paragraphs = shown.text.split(QStringLiteral("\r\n\r\n"));
    ASSERT_EQ(paragraphs.size(), 6) << shown.text;
    EXPECT_EQ(paragraphs.mid(0, 5).join(QStringLiteral("\r\n\r\n")), kMissingMessage);
    EXPECT_TRUE(paragraphs[5].startsWith(QStringLiteral(
        "On this computer Velmora uses LibreOffice Writer in Word's place, and it could not be "
        "started: The office engine could not be started. ")))
        << paragraphs[5];
    EXPECT_TRUE(paragraphs[5].contains(reason)) << paragraphs[5];
    EXPECT_TRUE(paragraphs[5].endsWith(
        QStringLiteral(" To install it, run: sudo apt install libreoffice-writer")));
    EXPECT_TRUE(shown.title.isEmpty());
    EXPECT_EQ(shown.icon, MessageIcon::None);
    EXPECT_EQ(shown.buttons, MessageButtons::Ok);
}

TEST(WordCheckTest, WorkingEngineIsCheckedSilently) {
    MessageRecorder messages;
    EXPECT_TRUE(CheckWordAvailable());
    EXPECT_TRUE(messages.all().empty());
}

// What standard error should say: the reason the message's last paragraph gives.
QString ReasonLine(const MessageRecorder& messages) {
    const QString reason = messages.all()
                               .front()
                               .text.split(QStringLiteral("\r\n\r\n"))
                               .last()
                               .section(QStringLiteral("started: "), 1)
                               .section(QStringLiteral(" To install it"), 0, 0);
    return QStringLiteral("velmora: ") + reason + QLatin1Char('\n');
}

TEST(WordCheckTest, MissingOfficeShowsTheMessage) {
    const ScopedVariable office("VELMORA_OFFICE_PROGRAM",
                                QFile::encodeName(TestFolder() + "/not-installed/soffice.bin"));
    MessageRecorder messages;
    StandardErrorCapture standardError;
    EXPECT_FALSE(CheckWordAvailable());
    ExpectMissingMessageOnly(messages, "cannot be run: No such file or directory.");
    EXPECT_EQ(standardError.text(), ReasonLine(messages));
}

TEST(WordCheckTest, MissingModuleShowsTheMessage) {
    const ScopedVariable module("VELMORA_OFFICE_MODULE",
                                QFile::encodeName(TestFolder() + "/libvelmora-office.so"));
    MessageRecorder messages;
    StandardErrorCapture standardError;
    EXPECT_FALSE(CheckWordAvailable());
    ExpectMissingMessageOnly(messages, "Its module could not be loaded");
    EXPECT_EQ(standardError.text(), ReasonLine(messages));
}

// A plugin of another interface (here one of Qt's own) is refused from what it declares,
// before anything in it is called.
TEST(WordCheckTest, ForeignModuleIsRefused) {
    const QString foreign =
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libqminimal.so");
    ASSERT_TRUE(QFile::exists(foreign)) << foreign.toStdString();
    const ScopedVariable module("VELMORA_OFFICE_MODULE", QFile::encodeName(foreign));
    MessageRecorder messages;
    StandardErrorCapture standardError;
    EXPECT_FALSE(CheckWordAvailable());
    ExpectMissingMessageOnly(messages, "is not an office module of this version of Velmora");
    EXPECT_EQ(standardError.text(), ReasonLine(messages));
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
    StandardErrorCapture standardError;
    EXPECT_FALSE(CheckWordAvailable());
    ExpectMissingMessageOnly(messages, "did not answer within 2 seconds.");
    EXPECT_EQ(standardError.text(), ReasonLine(messages));
}

}  // namespace
}  // namespace velmora::test
