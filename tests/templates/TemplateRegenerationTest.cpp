// The committed templates are what their sources make: tools/make-templates.sh --check rebuilds
// all four in a scratch folder and compares bytes. Other office versions write other bytes, so
// this only runs with the version recorded in templates/office-version.txt.
#include "OfficeFileReaders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace velmora::test {
namespace {

QString RecordedOfficeVersion() {
    QFile file(SourceDir() + QStringLiteral("/templates/office-version.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) return line;
    }
    return {};
}

TEST(TemplateRegeneration, SourcesReproduceTheCommittedTemplates) {
    const QString recorded = RecordedOfficeVersion();
    ASSERT_FALSE(recorded.isEmpty()) << "templates/office-version.txt names no version";
    for (const char* tool : {"rsvg-convert", "faketime"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed (tools/install-deps.sh installs it)";
    const QString installed = InstalledOfficeVersion();
    if (installed != recorded)
        GTEST_SKIP() << "the templates were made with LibreOffice " << recorded << "; installed is "
                     << (installed.isEmpty() ? "none" : installed) << ", which writes other bytes";

    // About ten seconds: one office run converts all four sources.
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(SourceDir() + QStringLiteral("/tools/make-templates.sh"),
                 {QStringLiteral("--check")});
    ASSERT_TRUE(script.waitForStarted());
    script.waitForFinished(-1);
    const QString output = QString::fromUtf8(script.readAll());
    EXPECT_EQ(script.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(script.exitCode(), 0) << output;
}

}  // namespace
}  // namespace velmora::test
