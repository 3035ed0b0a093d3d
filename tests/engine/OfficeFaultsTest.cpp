// Faults and bad input against the real office: what the user typed reaches the document,
// whatever it holds.
#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "shell/SettingsStore.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <functional>

#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>
#include <csignal>

namespace velmora::test {
namespace {

QString Folder(const char* name) {
    const QString folder = TestFolder() + QLatin1Char('/') + QLatin1String(name);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    return folder;
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

QString Text(std::initializer_list<char16_t> characters) {
    QString text;
    for (const char16_t c : characters) text += QChar(c);
    return text;
}

// Control characters pasted from other programs, and text that is not text at all, reach
// the document as what its text can hold; the store keeps what was typed.
TEST(OfficeFaults, ControlCharactersReachTheDocumentStoodInFor) {
    struct Case {
        const char* bookmark;
        QString typed;
        QString reads;  // as the office reads the bookmark back: line breaks as LF
        QString shows;  // as a Word reader shows it
    };
    const Case cases[] = {
        {"bkFor", Text({'a', 0x0C, 'b', 0x07, 'c'}), "a b c", "a b c"},
        {"bkSubj", Text({'a', 0x0B, 'b', '\t', 'c'}), "a\nb\tc", "a\nb"},
        {"bkMsg", Text({'a', 0x1B, 'b', 0x00, 'c', '\r', '\n', 'd', 0x01, 0x15}), "a b c\nd  ",
         "a b c\nd"},
        {"bkCC", Text({'a', 0xD800, 'b', 0xFFFF, 'c', 0xDC00}), "a\uFFFDb\uFFFDc\uFFFD",
         "a\uFFFDb\uFFFDc"},
        {"bkDate", Text({'a', 0x7F, 0x85, 0xD83D, 0xDE00}), Text({'a', 0x7F, 0x85, 0xD83D, 0xDE00}),
         "a"},
    };
    const QString folder = Folder("control");
    const QString document = folder + QStringLiteral("/sheet.doc");
    office::OfficeConnection word(ProgramStartOptions());
    word.documentsOpen(SampleTemplate(folder), true);
    for (const Case& each : cases) {
        SCOPED_TRACE(each.bookmark);
        word.setBookmarkText(QLatin1String(each.bookmark), each.typed);
        EXPECT_EQ(BookmarkText(word, QLatin1String(each.bookmark)), each.reads);
    }
    // A vertical tab is a line break within the paragraph, not a new one.
    EXPECT_EQ(ParagraphsCovered(word, QStringLiteral("bkSubj")), 1);
    word.fieldsUpdate();
    word.saveAs(document);
    word.close();

    word.documentsOpen(document, false);
    for (const Case& each : cases)
        EXPECT_EQ(BookmarkText(word, QLatin1String(each.bookmark)), each.reads) << each.bookmark;
    word.closeWithoutSaving();
    const QString shown = RunProgram(QStringLiteral("antiword"),
                                     {QStringLiteral("-m"), QStringLiteral("UTF-8.txt"), document});
    for (const Case& each : cases) EXPECT_TRUE(shown.contains(each.shows)) << each.shows << shown;

    for (const Case& each : cases) {
        SaveSetting(QStringLiteral("txtMsg"), each.typed);
        EXPECT_EQ(GetSetting(QStringLiteral("txtMsg")), each.typed) << each.bookmark;
    }
}

// Paths beyond ASCII work whatever locale the program inherits: none at all, or one that is
// not installed here.
class OfficeLocale : public ::testing::TestWithParam<const char*> {};

TEST_P(OfficeLocale, PathsBeyondAsciiWorkUnderAnyLocale) {
    const QString folder = Folder("locale") + QStringLiteral("/Tëmp € ünï");
    QDir().mkpath(folder);
    const QString document = folder + QStringLiteral("/sheet.doc");
    {
        const ScopedVariable all("LC_ALL", QByteArray());
        const ScopedVariable type("LC_CTYPE", QByteArray());
        const ScopedVariable language("LANG", GetParam());
        office::OfficeConnection word(ProgramStartOptions());
        word.documentsOpen(SampleTemplate(folder), true);
        word.setBookmarkText(QStringLiteral("bkFor"), QStringLiteral("Zoë"));
        word.saveAs(document);
        word.close();
        word.quit();
    }
    EXPECT_TRUE(RunProgram(QStringLiteral("antiword"),
                           {QStringLiteral("-m"), QStringLiteral("UTF-8.txt"), document})
                    .contains(QStringLiteral("Zoë")));
}

INSTANTIATE_TEST_SUITE_P(Inherited, OfficeLocale,
                         ::testing::Values("C", "de_DE.UTF-8", "tr_TR.ISO-8859-9"),
                         [](const auto& info) {
                             return std::string(info.index == 0   ? "C"
                                                : info.index == 1 ? "MissingUtf8"
                                                                  : "MissingLatin");
                         });

// An office that dies with a document open for editing leaves no lock file beside it, and
// none of its working files, once its connection ends.
TEST(OfficeFaults, AnOfficeThatDiesLeavesNothingBesideTheDocuments) {
    const QString folder = Folder("dies");
    const auto options = ProgramStartOptions();
    office::OfficeConnection word(options);
    const QString officeTemp =
        QStringLiteral("%1/slot-%2/tmp").arg(options.profileFolder).arg(word.profileSlot());
    word.documentsOpen(SampleTemplate(folder), true);
    word.saveAs(folder + QStringLiteral("/sheet.doc"));
    word.close();
    word.documentsOpen(folder + QStringLiteral("/sheet.doc"), false);
    ASSERT_EQ(::kill(word.officeProcessId(), SIGKILL), 0);
    EXPECT_THROW(word.copyAsPicture(), WordError);
    word.quit();
    EXPECT_EQ(Entries(folder), QStringList({"sample.dot", "sheet.doc"}));
    EXPECT_TRUE(QDir(officeTemp).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        << QDir(officeTemp)
               .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
               .join(' ')
               .toStdString();
}

// A program killed while its office has a document open for editing: the next start leaves
// nothing of the dead one's, beside the document or in the office's own folder.
TEST(OfficeFaults, TheNextStartTidiesWhatAKilledProgramsOfficeLeft) {
    const QString folder = Folder("killed");
    const QString profiles = Folder("killed-profiles");
    const QString document = folder + QStringLiteral("/sheet.doc");
    {
        office::OfficeConnection word(ProgramStartOptions());
        word.documentsOpen(SampleTemplate(folder), true);
        word.saveAs(document);
        word.close();
    }
    QProcess holder;
    holder.start(QCoreApplication::applicationDirPath() + QStringLiteral("/engine_office_holder"),
                 {profiles, document});
    ASSERT_TRUE(holder.waitForStarted());
    QByteArray line;
    while (!line.contains('\n') && holder.waitForReadyRead(60000)) line += holder.readAll();
    const QList<QByteArray> report = line.trimmed().split(' ');
    ASSERT_EQ(report.size(), 2) << line.toStdString()
                                << holder.readAllStandardError().toStdString();
    const pid_t office = report[0].toInt();
    ::kill(pid_t(holder.processId()), SIGKILL);
    holder.waitForFinished();
    ASSERT_TRUE(Eventually([&] { return !ProcessRuns(office); }));

    // Its keeper lets go of the profile a moment after the office has gone.
    const QString slotFolder = profiles + QStringLiteral("/slot-%1").arg(report[1].toInt());
    ASSERT_TRUE(Eventually([&] {
        QFile lock(slotFolder + QStringLiteral(".lock"));
        return lock.open(QIODevice::ReadWrite) && ::flock(lock.handle(), LOCK_EX | LOCK_NB) == 0;
    }));
    const QStringList deadOfficesFiles = Entries(slotFolder + QStringLiteral("/tmp"));
    ASSERT_FALSE(deadOfficesFiles.isEmpty());

    office::StartOptions options = ProgramStartOptions();
    options.profileFolder = profiles;
    office::OfficeConnection next(options);
    EXPECT_EQ(Entries(folder), QStringList({"sample.dot", "sheet.doc"}));
    for (const QString& file : Entries(slotFolder + QStringLiteral("/tmp")))
        EXPECT_FALSE(deadOfficesFiles.contains(file)) << file;
}

// A save that cannot complete (the temporary folder is full) fails and leaves no document,
// whole or in part, and nothing else of the office's.
TEST(OfficeFaults, ASaveThatCannotCompleteLeavesNoDocument) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a small file system";
    const QString folder = Folder("full");
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a file system here";
    const QString dot = SampleTemplate(folder);
    {
        QFile filler(folder + QStringLiteral("/filler"));
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    office::OfficeConnection word(ProgramStartOptions());
    word.documentsOpen(dot, true);
    word.setBookmarkText(QStringLiteral("bkFor"), QStringLiteral("Martin Hale"));
    // Told as a full disk, naming the folder, not in the system's or the office's words: the
    // document (placed by us) and a PDF (written by the office itself).
    const std::function<void()> saves[] = {
        [&] { word.saveAs(folder + QStringLiteral("/sheet.doc")); },
        [&] { word.exportAsPdf(folder + QStringLiteral("/sheet.pdf")); }};
    for (const auto& save : saves) {
        try {
            save();
            ADD_FAILURE() << "saved on a full disk";
        } catch (const WordError& error) {
            EXPECT_TRUE(
                QString::fromUtf8(error.what())
                    .contains(QStringLiteral("the disk that holds \"%1\" is full").arg(folder)))
                << error.what();
        }
    }
    word.close();
    word.quit();
    EXPECT_EQ(Entries(folder), QStringList({"filler", "sample.dot"}));
    ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
}

}  // namespace
}  // namespace velmora::test
