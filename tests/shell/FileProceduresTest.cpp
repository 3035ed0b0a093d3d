#include "TestSupport.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/ui/WindowLook.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace velmora {
namespace {

class FileProcedures : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir_{test::TestFolder() + QStringLiteral("/files-XXXXXX")};
    test::MessageRecorder boxes_;
};

TEST_F(FileProcedures, FileExistsForFilesAndFoldersOnly) {
    write(QStringLiteral("a.doc"), "x");
    EXPECT_TRUE(FileExists(path(QStringLiteral("a.doc"))));
    EXPECT_TRUE(FileExists(dir_.path()));
    EXPECT_FALSE(FileExists(path(QStringLiteral("missing.doc"))));
    EXPECT_FALSE(FileExists(path(QStringLiteral("no/such/folder/a.doc"))));
    EXPECT_FALSE(FileExists(QString()));
    // A listing shows files only.
    EXPECT_TRUE(FileListed(path(QStringLiteral("a.doc"))));
    EXPECT_FALSE(FileListed(dir_.path()));
    EXPECT_FALSE(FileListed(path(QStringLiteral("missing.doc"))));
    EXPECT_FALSE(FileListed(QString()));
    EXPECT_TRUE(boxes_.all().empty());
}

TEST_F(FileProcedures, RemoveFileQuietlyDeletesAlsoReadOnlyFilesAndNeverReports) {
    write(QStringLiteral("plain"), "x");
    write(QStringLiteral("readonly"), "x");
    ::chmod(QFile::encodeName(path(QStringLiteral("readonly"))).constData(), S_IRUSR);

    RemoveFileQuietly(path(QStringLiteral("plain")));
    RemoveFileQuietly(path(QStringLiteral("readonly")));
    RemoveFileQuietly(path(QStringLiteral("missing")));
    RemoveFileQuietly(path(QStringLiteral("no/such/folder/x")));

    EXPECT_FALSE(FileExists(path(QStringLiteral("plain"))));
    EXPECT_FALSE(FileExists(path(QStringLiteral("readonly"))));
    EXPECT_TRUE(boxes_.all().empty());
}

TEST_F(FileProcedures, ForceDeleteRemovesAFileWithoutWritePermission) {
    write(QStringLiteral("locked"), "x");
    ::chmod(QFile::encodeName(path(QStringLiteral("locked"))).constData(), 0);
    ForceDeleteFile(path(QStringLiteral("locked")));
    EXPECT_FALSE(FileExists(path(QStringLiteral("locked"))));
    EXPECT_THROW(ForceDeleteFile(path(QStringLiteral("locked"))), Failure);
}

TEST_F(FileProcedures, NewFileWriteReplacesAnOldFileAndNeverFollowsALink) {
    write(QStringLiteral("template.dot"), "stale template of another style");
    NewFile::Write(path(QStringLiteral("template.dot")), "fresh");
    EXPECT_EQ(read(QStringLiteral("template.dot")), QByteArray("fresh"));

    write(QStringLiteral("victim"), "someone else's file");
    ASSERT_TRUE(QFile::link(path(QStringLiteral("victim")), path(QStringLiteral("temp.bmp"))));
    NewFile::Write(path(QStringLiteral("temp.bmp")), "picture");
    EXPECT_EQ(read(QStringLiteral("victim")), QByteArray("someone else's file"));
    EXPECT_EQ(read(QStringLiteral("temp.bmp")), QByteArray("picture"));
    EXPECT_FALSE(QFileInfo(path(QStringLiteral("temp.bmp"))).isSymLink());

    EXPECT_THROW(NewFile::Write(path(QStringLiteral("no/such/folder/x")), "x"), Failure);
}

// A file of the program's own is its owner's alone whatever the umask (one the umask made
// read-only could not be replaced whole afterwards), goes with its object unless kept, and is
// never made where anything already stands: neither a file nor a link planted at its name is
// opened, and nothing is made where the link points.
TEST_F(FileProcedures, ANewFileIsTheOwnersAloneAndNeverMadeWhereSomethingStands) {
    for (const mode_t mask : {mode_t(0), mode_t(0277)}) {
        SCOPED_TRACE(mask);
        const mode_t before = ::umask(mask);
        {
            NewFile file(path(QStringLiteral("picture")));
            struct stat info {};
            ::umask(before);
            ASSERT_EQ(::stat(QFile::encodeName(file.path()).constData(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0600u);
            file.write("x");
        }
        EXPECT_FALSE(FileExists(path(QStringLiteral("picture"))));
    }

    write(QStringLiteral("taken"), "someone's file");
    ASSERT_TRUE(QFile::link(path(QStringLiteral("victim")), path(QStringLiteral("planted"))));
    EXPECT_THROW(NewFile{path(QStringLiteral("taken"))}, Failure);
    EXPECT_THROW(NewFile{path(QStringLiteral("planted"))}, Failure);
    EXPECT_EQ(read(QStringLiteral("taken")), QByteArray("someone's file"));
    EXPECT_FALSE(FileExists(path(QStringLiteral("victim"))));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList({"planted", "taken"}));
}

TEST_F(FileProcedures, ForcedDeleteNeverChangesOrFollowsAnythingButARegularFileOfOurs) {
    write(QStringLiteral("victim"), "someone's own file");
    ::chmod(QFile::encodeName(path(QStringLiteral("victim"))).constData(), 0644);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("victim")), path(QStringLiteral("template.dot"))));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder")));

    EXPECT_THROW(ForceDeleteFile(path(QStringLiteral("template.dot"))), Failure);
    EXPECT_THROW(ForceDeleteFile(path(QStringLiteral("folder"))), Failure);

    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path(QStringLiteral("victim"))).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u) << "the link was followed";
    EXPECT_EQ(read(QStringLiteral("victim")), QByteArray("someone's own file"));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("template.dot"))).isSymLink());
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder"))).isDir());
}

TEST(SetButtonFaceColors, ColoursFramesLabelsAndTicksButNotFieldsOrButtons) {
    QWidget window;
    QPalette white = window.palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::WindowText, Qt::red);  // would be inherited
    window.setPalette(white);
    auto* frame = new QFrame(&window);
    auto* label = new QLabel(QStringLiteral("For"), frame);
    auto* tick = new QCheckBox(QStringLiteral("Urgent"), frame);
    auto* field = new QLineEdit(frame);
    auto* button = new QPushButton(QStringLiteral("Go"), &window);

    SetButtonFaceColors(&window);

    const QColor face = QApplication::palette().color(QPalette::Button);
    const QColor faceText = QApplication::palette().color(QPalette::ButtonText);
    for (QWidget* w : {static_cast<QWidget*>(&window), static_cast<QWidget*>(frame),
                       static_cast<QWidget*>(label), static_cast<QWidget*>(tick)}) {
        EXPECT_EQ(w->palette().color(QPalette::Window), face) << w->metaObject()->className();
        // The face comes with its own text colour, readable on it in a dark theme too.
        EXPECT_EQ(w->palette().color(QPalette::WindowText), faceText);
    }
    EXPECT_EQ(field->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_FALSE(button->autoFillBackground());
}

}  // namespace
}  // namespace velmora
