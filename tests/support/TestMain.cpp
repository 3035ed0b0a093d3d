// Test programs start here: an application object on the offscreen platform (unless a real
// display was asked for), and a private folder that stands in for the temporary folder and
// for the user's settings and cache, so that no test touches the real user's files.
#include "TestSupport.h"
#include "shell/ui/ErrorBox.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <optional>

namespace velmora::test {
namespace {
QString testFolder;
}

QString TestFolder() {
    return testFolder;
}

}  // namespace velmora::test

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A test program started by another one (to be killed, say) works in its parent's
    // folder, which the parent removes, however the child ends.
    std::optional<QTemporaryDir> ownFolder;
    QString folder = qEnvironmentVariable("VELMORA_TEST_FOLDER");
    if (folder.isEmpty()) {
        ownFolder.emplace(QDir::tempPath() + QStringLiteral("/velmora-test-XXXXXX"));
        folder = ownFolder->path();
        qputenv("VELMORA_TEST_FOLDER", folder.toLocal8Bit());
    }
    velmora::test::testFolder = folder;
    qputenv("TEMP", folder.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (folder + QStringLiteral("/config")).toLocal8Bit());
    // The record of faxes sent, and whatever else the program keeps as the user's data.
    qputenv("XDG_DATA_HOME", (folder + QStringLiteral("/data")).toLocal8Bit());
    // The office profiles live under the cache folder: the user's own stay untouched, and no
    // test depends on what earlier runs left in them.
    qputenv("XDG_CACHE_HOME", (folder + QStringLiteral("/cache")).toLocal8Bit());

    QApplication app(argc, argv);
    // Reports go to the boxes, as in the program, so that tests can answer them.
    const velmora::ScopedErrorBoxes boxes;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
