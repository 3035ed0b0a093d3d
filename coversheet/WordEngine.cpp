#include "WordEngine.h"

#include "WordApplicationPool.h"

#include "coversheet/office/OfficeModule.h"
#include "shell/ProgramEnding.h"
#include "shell/RunRecord.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>
#include <QPluginLoader>
#include <QStandardPaths>
#include <atomic>
#include <map>
#include <mutex>

namespace velmora {
namespace {

WordApplicationFactory& factoryOverride() {
    static WordApplicationFactory factory;
    return factory;
}

std::atomic<WordApplicationPool*>& servingPool() {
    static std::atomic<WordApplicationPool*> pool{nullptr};
    return pool;
}

QString notStarted(const QString& reason) {
    return QStringLiteral("The office engine could not be started. ") + reason;
}

QString moduleFile() {
    const QString chosen = qEnvironmentVariable("VELMORA_OFFICE_MODULE");
    if (!chosen.isEmpty()) return chosen;
    // Beside the program in a build tree; in lib/velmora where it is installed.
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString beside = programFolder + QStringLiteral("/libvelmora-office.so");
    const QString installed =
        programFolder + QStringLiteral("/../lib/velmora/libvelmora-office.so");
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed)
               ? beside
               : QFileInfo(installed).canonicalFilePath();
}

// What the program lends the module: its notes go into this run's record, and its work is
// no longer wanted once the program is on its way out, or once the job it is done for was given
// up (an office the job's own thread starts is broken off; offices started ahead of need, on
// threads of their own, go on). Work under way in an office the job gave up ends by its offices
// being ended (the job's cancel hook, EndOfficeWorkInUse).
office::HostServices programServices() {
    office::HostServices services;
    services.noteFile = NoteFile;
    services.workGivenUp = [] { return ProgramEnding() || WorkGivenUp(); };
    return services;
}

// A module stays loaded for the rest of the run: connections it made may still be alive.
// Nothing in a module is called before its interface identifier, read from the file without
// loading it, is found to be this contract's, so a stale or foreign module is refused with
// the reason instead of being called through a contract it does not share. The first call is
// the one that lends it the program's services.
office::OfficeModule& loadModule(const QString& file) {
    static std::mutex mutex;
    static std::map<QString, office::OfficeModule*> loaded;
    const std::lock_guard lock(mutex);
    if (const auto known = loaded.find(file); known != loaded.end()) return *known->second;

    QPluginLoader loader(file);
    const QString offered = loader.metaData().value(QStringLiteral("IID")).toString();
    const QString wanted = QStringLiteral(VELMORA_OFFICE_MODULE_IID);
    if (offered.isEmpty()) {
        loader.load();
        throw WordError(notStarted(
            QStringLiteral("Its module could not be loaded: %1").arg(loader.errorString())));
    }
    if (offered != wanted)
        throw WordError(notStarted(
            QStringLiteral("'%1' is not an office module of this version of Velmora: it offers "
                           "'%2', Velmora needs '%3'.")
                .arg(file, offered, wanted)));
    auto* module = qobject_cast<office::OfficeModule*>(loader.instance());
    if (!module)
        throw WordError(notStarted(
            QStringLiteral("Its module could not be loaded: %1").arg(loader.errorString())));
    module->lend(programServices());
    loaded.emplace(file, module);
    return *module;
}

std::chrono::milliseconds boundFromEnvironment(const char* name,
                                               std::chrono::milliseconds fallback) {
    bool ok = false;
    const double seconds = qEnvironmentVariable(name).toDouble(&ok);
    return ok && seconds > 0 ? std::chrono::milliseconds(qint64(seconds * 1000)) : fallback;
}

}  // namespace

ScopedWordApplicationFactory::ScopedWordApplicationFactory(WordApplicationFactory factory)
    : ScopedOverride(factoryOverride(), std::move(factory)) {}

ScopedWordApplicationPool::ScopedWordApplicationPool(WordApplicationPool& pool)
    : ScopedAtomicOverride(servingPool(), &pool) {}

std::unique_ptr<WordConnection> CreateWordApplication() {
    if (factoryOverride()) return factoryOverride()();
    if (WordApplicationPool* pool = servingPool()) return pool->take();
    return StartWordApplication();
}

void AbortOfficeWork() {
    if (WordApplicationPool* pool = servingPool()) pool->abortAll();
}

void EndOfficeWorkInUse() {
    if (WordApplicationPool* pool = servingPool()) pool->endInUse();
}

// Safe to call from any thread, so an instance can be started ahead of need on a thread of
// the pool's and handed over once it is connected. A connection is used by one thread at a
// time: the pool's while it starts, warms up, checks or ends it, then the one that took it
// (the office worker's jobs, coversheet/OfficeJobs.h; the start-up check on the application's
// thread). copyAsPicture runs on the office worker like the rest: the module hands the picture
// to the application's thread for the clipboard.
std::unique_ptr<WordConnection> StartWordApplication() {
    const QString module = moduleFile();
    office::OfficeModule& engine = loadModule(module);

    office::StartOptions options;
    options.program = qEnvironmentVariable("VELMORA_OFFICE_PROGRAM");
    options.profileFolder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                            QStringLiteral("/velmora/office");
    options.fontConfigFile =
        QFileInfo(module).absolutePath() + QStringLiteral("/velmora-fonts.conf");
    options.startBound = boundFromEnvironment("VELMORA_OFFICE_START_TIMEOUT", options.startBound);
    options.callBound = boundFromEnvironment("VELMORA_OFFICE_CALL_TIMEOUT", options.callBound);

    QString error;
    std::unique_ptr<WordConnection> connection = engine.connect(options, error);
    if (!connection) throw WordError(notStarted(error));
    return connection;
}

}  // namespace velmora
