// The office module links a copy of the shell of its own: what it needs of the program's run
// comes through the services the program lends it, not through symbols the two share.
#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "coversheet/WordEngine.h"
#include "shell/RunRecord.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

namespace velmora::test {
namespace {

// A document the module saves is made as a new file beside its target; while it is made it is
// in the program's run record (a program that dies then leaves nothing there after its next
// start), and once in place it is not.
TEST(OfficeModuleTest, TheFileTheModuleIsMakingIsInTheProgramsRunRecord) {
    const QTemporaryDir folder(TestFolder() + QStringLiteral("/module-notes-XXXXXX"));
    const RunRecord record(folder.path());
    ASSERT_FALSE(record.file().isEmpty());
    const QString saved = folder.path() + QStringLiteral("/saved.doc");
    // The record as it reads after each note of a file in that folder.
    QStringList recorded;
    SendFileNotesTo([&](FileNote note, const QString& path) {
        RunRecord::Note(note, path);
        if (QFileInfo(path).absolutePath() == folder.path())
            recorded << QString::fromUtf8(ReadFile(record.file()));
    });
    const auto backToTheRecord = qScopeGuard([] { SendFileNotesTo({}); });

    const std::unique_ptr<WordConnection> word = StartWordApplication();  // through the module
    word->documentsOpen(SampleTemplate(TestFolder() + QStringLiteral("/module-notes")), true);
    word->saveAs(saved);
    word->close();
    word->quit();

    ASSERT_EQ(recorded.size(), 2) << recorded.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(recorded[0].contains(QStringLiteral("/.saved.doc.new-"))) << recorded[0];
    EXPECT_FALSE(recorded[1].contains(QStringLiteral(".saved.doc.new-"))) << recorded[1];
    EXPECT_TRUE(QFile::exists(saved));
}

}  // namespace
}  // namespace velmora::test
