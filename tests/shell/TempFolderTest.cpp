#include "TestSupport.h"
#include "coversheet/office/OfficeFiles.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/RunRecord.h"
#include "shell/TempFolder.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace velmora {
namespace {

using test::ScopedVariable;

struct stat Lstat(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// What already stands at the private folder's name, and what the program must make of it.
struct Planted {
    const char* name;
    std::function<void(const QString& at, const QString& elsewhere)> plant;
    bool used;  // the name is used (as a 0700 folder of ours), or a fresh one instead
    bool needsRoot;
};

void PrintTo(const Planted& planted, std::ostream* out) {
    *out << planted.name;
}

class PrivateTempFolderTest : public ::testing::TestWithParam<Planted> {};

TEST_P(PrivateTempFolderTest, OnlyAFolderOfOursIsUsed) {
    if (GetParam().needsRoot && ::geteuid() != 0) GTEST_SKIP() << "needs root";
    const QTemporaryDir system(test::TestFolder() + QStringLiteral("/system-XXXXXX"));
    ::chmod(QFile::encodeName(system.path()).constData(), 01777);
    const QString wanted = system.path() + QStringLiteral("/velmora-%1").arg(::geteuid());
    const QString elsewhere = system.path() + QStringLiteral("/elsewhere");
    QDir().mkdir(elsewhere);
    GetParam().plant(wanted, elsewhere);
    const struct stat before = Lstat(elsewhere);

    const ScopedVariable temp("TEMP", QByteArray());
    const ScopedVariable tmpdir("TMPDIR", QFile::encodeName(system.path()));
    const QString folder = TempFolder();

    EXPECT_EQ(folder == wanted, GetParam().used) << folder;
    EXPECT_TRUE(folder.startsWith(system.path() + QStringLiteral("/velmora-"))) << folder;
    const struct stat info = Lstat(folder);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(TempPath(QStringLiteral("temp.bmp")), folder + QStringLiteral("/temp.bmp"));
    EXPECT_EQ(Lstat(elsewhere).st_mode, before.st_mode) << "what was planted was changed";
}

INSTANTIATE_TEST_SUITE_P(
    TempFolder, PrivateTempFolderTest,
    ::testing::Values(Planted{"Nothing", [](const QString&, const QString&) {}, true, false},
                      Planted{"OursButOpen",
                              [](const QString& at, const QString&) {
                                  QDir().mkdir(at);
                                  ::chmod(QFile::encodeName(at).constData(), 0777);
                              },
                              true, false},
                      Planted{"LinkToAnotherFolder",
                              [](const QString& at, const QString& elsewhere) {
                                  ::chmod(QFile::encodeName(elsewhere).constData(), 0777);
                                  QFile::link(elsewhere, at);
                              },
                              false, false},
                      Planted{"File",
                              [](const QString& at, const QString&) {
                                  QFile file(at);
                                  file.open(QIODevice::WriteOnly);
                              },
                              false, false},
                      Planted{"AnotherUsersFolder",
                              [](const QString& at, const QString&) {
                                  QDir().mkdir(at);
                                  ::chmod(QFile::encodeName(at).constData(), 0777);
                                  // Only root can give it away; the case needs root.
                                  if (::chown(QFile::encodeName(at).constData(), 65534, 65534))
                                      return;
                              },
                              false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TempFolder, TempIsUsedUnchangedWhenSetAndThePrivateFolderWhenEmpty) {
    const ScopedVariable temp("TEMP", "/some/where/");
    EXPECT_EQ(TempPath(QStringLiteral("temp.bmp")), QStringLiteral("/some/where//temp.bmp"));
    const ScopedVariable empty("TEMP", "");
    const ScopedVariable system("TMPDIR", QFile::encodeName(test::TestFolder()));
    EXPECT_EQ(TempFolder(), PrivateTempFolder());
    EXPECT_EQ(TempFolder(), QDir::tempPath() + QStringLiteral("/velmora-%1").arg(::geteuid()));
}

// A run in a process of its own that makes `names` in `folder` (with the office's lock file
// of each document, which goes with it as in the program), then either waits to be killed
// (its record stays locked) or ends at once without tidying, as a crash does.
pid_t RunInChild(const QString& folder, const QStringList& names, bool staysAlive, int ready) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    new RunRecord(folder, office::LockFileOf);  // never destroyed: no tidying at the end
    for (const QString& name : names) {
        NewFile::Write(folder + QLatin1Char('/') + name, "made by the run");
        if (!name.endsWith(QLatin1String(".doc"))) continue;
        QFile lock(office::LockFileOf(folder + QLatin1Char('/') + name));
        lock.open(QIODevice::WriteOnly);
    }
    [[maybe_unused]] const ssize_t written = ::write(ready, "x", 1);
    if (staysAlive)
        for (;;) ::pause();
    ::_exit(0);
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(RunRecord, TheNextStartTidiesAfterEndedRunsAndNeverAfterLivingOnes) {
    const QTemporaryDir folder(test::TestFolder() + QStringLiteral("/record-XXXXXX"));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    char byte;
    const pid_t living =
        RunInChild(folder.path(), {QStringLiteral("quillon11111111.doc")}, true, ready[1]);
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const pid_t crashed =
        RunInChild(folder.path(), {QStringLiteral("template.dot"), QStringLiteral("temp.bmp")},
                   false, ready[1]);
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::waitpid(crashed, nullptr, 0);
    // A file made at the same name since (by another run) is not the crashed run's.
    NewFile::Write(folder.path() + QStringLiteral("/temp.bmp"), "another run's picture");

    EXPECT_EQ(RunRecord::TidyAfterEndedRuns(folder.path(), office::LockFileOf), 1);
    EXPECT_EQ(FilesIn(folder.path()),
              (QStringList{QStringLiteral(".velmora-run-%1").arg(living),
                           office::LockFileName(QStringLiteral("quillon11111111.doc")),
                           QStringLiteral("quillon11111111.doc"), QStringLiteral("temp.bmp")}));

    ::kill(living, SIGKILL);
    ::waitpid(living, nullptr, 0);
    {
        // A run tidies at its start what the killed one left, and its own files at its end.
        const RunRecord record(folder.path(), office::LockFileOf);
        EXPECT_EQ(FilesIn(folder.path()),
                  (QStringList{QFileInfo(record.file()).fileName(), QStringLiteral("temp.bmp")}));
        NewFile::Write(folder.path() + QStringLiteral("/template.dot"), "ours");
    }
    EXPECT_EQ(FilesIn(folder.path()), QStringList{QStringLiteral("temp.bmp")});
    ::close(ready[0]);
    ::close(ready[1]);
}

// A run that dies while it writes the file that is to replace the user's (a document saved
// into the user's own folder, say) leaves that new file beside it; the next start removes it,
// and the user's file is as it was.
TEST(RunRecord, AFileLeftHalfWrittenBesideTheUsersIsRemovedAtTheNextStart) {
    const QTemporaryDir temp(test::TestFolder() + QStringLiteral("/record-XXXXXX"));
    const QTemporaryDir users(test::TestFolder() + QStringLiteral("/documents-XXXXXX"));
    const QString target = users.path() + QStringLiteral("/fax.pdf");
    NewFile::Write(target, "the user's fax");
    const pid_t run = ::fork();
    if (run == 0) {
        new RunRecord(temp.path());  // never destroyed: the run dies
        AtomicFile half(target);
        half.write("half a document");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(run, &status, 0), run);
    ASSERT_EQ(FilesIn(users.path()).size(), 2);  // the user's file and the one in the making

    EXPECT_EQ(RunRecord::TidyAfterEndedRuns(temp.path()), 1);
    EXPECT_EQ(FilesIn(users.path()), QStringList{QStringLiteral("fax.pdf")});
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "the user's fax");
}

// A temporary file is noted from the moment it exists, whatever it comes to hold: one that was
// replaced whole at its name (the packet's PDF written into it) still goes at the next start
// after a run that died, as does one it never closed.
TEST(RunRecord, ATemporaryFileReplacedWholeIsStillRemovedAtTheNextStart) {
    const QTemporaryDir temp(test::TestFolder() + QStringLiteral("/record-XXXXXX"));
    const pid_t run = ::fork();
    if (run == 0) {
        new RunRecord(temp.path());  // never destroyed: the run dies
        const QString packet =
            NewFile(temp.path(), QStringLiteral("velmora-packet"), QStringLiteral(".pdf")).keep();
        AtomicFile joined(packet);
        joined.write("%PDF-1.7 the packet");
        joined.commit();
        new NewFile(temp.path(), QStringLiteral("velmora-fax"), QStringLiteral(".tif"));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(run, &status, 0), run);
    ASSERT_EQ(FilesIn(temp.path()).size(), 3);  // the record and the two files

    EXPECT_EQ(RunRecord::TidyAfterEndedRuns(temp.path()), 1);
    EXPECT_EQ(FilesIn(temp.path()), QStringList());
}

// Saved over a link of the user's, a file replaces the file the link names, as QSaveFile does,
// and keeps that file's permissions; the link stays. Another user's link in a shared folder is
// not followed.
TEST(AtomicFile, ReplacesTheFileALinkOfTheUsersNamesAndKeepsItsPermissions) {
    const QTemporaryDir folder(test::TestFolder() + QStringLiteral("/atomic-XXXXXX"));
    const QString fax = folder.path() + QStringLiteral("/fax.pdf");
    const QString link = folder.path() + QStringLiteral("/latest.pdf");
    NewFile::Write(fax, "the old fax");
    ::chmod(QFile::encodeName(fax).constData(), 0640);
    ASSERT_TRUE(QFile::link(QStringLiteral("fax.pdf"), link));
    {
        AtomicFile file(link);
        file.write("the new fax");
        file.commit();
    }
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), fax);
    QFile written(fax);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "the new fax");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(fax).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FilesIn(folder.path()), QStringList({"fax.pdf", "latest.pdf"}));

    if (::geteuid() != 0) return;
    ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
    EXPECT_THROW(AtomicFile{link}, Failure);
    EXPECT_EQ(FilesIn(folder.path()), QStringList({"fax.pdf", "latest.pdf"}));
}

}  // namespace
}  // namespace velmora
