// Test programs start here: an application object on the offscreen platform (unless a real
// display was asked for), and a private folder that stands in for the temporary folder and
// for the user's settings, so that no test touches the real user's files.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

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
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/velmora-test-XXXXXX"));
    velmora::test::testFolder = folder.path();
    qputenv("TEMP", folder.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (folder.path() + QStringLiteral("/config")).toLocal8Bit());

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
