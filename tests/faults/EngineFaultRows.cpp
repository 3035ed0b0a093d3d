// Linked into the fault test programs that drive the product's own classes (the engine's, the
// packet's): each of their cases is a row of the fault campaign's table too, named
// "<prefix>: Suite.Case" (VELMORA_FAULT_ROW_PREFIX: "engine", "packet"), with the leftovers it
// added to the temporary folder and the offices still running under this process once it ended.
#include "FaultRows.h"
#include "Processes.h"
#include "TestSupport.h"
#include "coversheet/office/OfficeFiles.h"

#include <unistd.h>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>

namespace velmora::faults {
namespace {

using namespace std::chrono_literals;

// The files of ours under TEMP (the test program's folder) that nothing is to keep: the
// office's lock and working files, the packet's PDFs and fax TIFFs, our page exports, saves on
// their way, warm-up documents and files being replaced. What a case made on purpose (its templates
// and documents, its office profiles) is not counted.
QSet<QString> LeftoversInTemp() {
    static const QRegularExpression leftover(QStringLiteral(
        R"((^|/)(warm-up\.[a-z]+|temp\.bmp|template(-[a-z0-9]{8})?\.dot|[^/]*\.new-\d+)$)"
        R"(|(^|/)velmora-[a-z]+-[A-Za-z0-9]{8}\.(pdf|tif)$)"
        R"(|(^|/)(page|save)-[^/]*/)"));
    const QString folder = test::TestFolder();
    QSet<QString> files;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString file = walk.next().mid(folder.size() + 1);
        const QString name = walk.fileName();
        if ((office::IsLockFileName(name) || office::IsWorkingFileName(name) ||
             file.contains(leftover)) &&
            !file.startsWith(QLatin1String("config/")))
            files.insert(file);
    }
    return files;
}

class EngineFaultRows : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { before_ = LeftoversInTemp(); }

    void OnTestEnd(const ::testing::TestInfo& info) override {
        QStringList files = (LeftoversInTemp() - before_).values();
        files.sort();
        // An office asked to end a moment ago gets a few seconds to do so.
        test::Eventually([] { return test::OfficesUnder(::getpid()).empty(); }, 10s);
        WriteFaultRow(QStringLiteral(VELMORA_FAULT_ROW_PREFIX ": ") + CaseName(info), info, files,
                      test::OfficesUnder(::getpid()));
    }

    QSet<QString> before_;
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new EngineFaultRows);
    return true;
}();

}  // namespace
}  // namespace velmora::faults
