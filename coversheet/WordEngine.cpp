#include "WordEngine.h"

#include "WordApplicationPool.h"

#include "engine-libreoffice/OfficeModule.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
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

// A module stays loaded for the rest of the run: connections it made may still be alive.
OfficeConnectFunction loadModule(const QString& file) {
    static std::mutex mutex;
    static std::map<QString, OfficeConnectFunction> loaded;
    const std::lock_guard lock(mutex);
    if (const auto known = loaded.find(file); known != loaded.end()) return known->second;

    QLibrary module(file);
    if (!module.load())
        throw WordError(notStarted(
            QStringLiteral("Its module could not be loaded: %1").arg(module.errorString())));
    const auto connect = reinterpret_cast<OfficeConnectFunction>(module.resolve(kOfficeEntryPoint));
    if (!connect)
        throw WordError(notStarted(QStringLiteral("'%1' is not an office module.").arg(file)));
    loaded.emplace(file, connect);
    return connect;
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
    : previous_(servingPool().exchange(&pool)) {}

ScopedWordApplicationPool::~ScopedWordApplicationPool() {
    servingPool() = previous_;
}

std::unique_ptr<WordConnection> CreateWordApplication() {
    if (factoryOverride()) return factoryOverride()();
    if (WordApplicationPool* pool = servingPool()) return pool->take();
    return StartWordApplication();
}

void AbortOfficeWork() {
    if (WordApplicationPool* pool = servingPool()) pool->abortAll();
}

// Safe to call from any thread, so an instance can be started ahead of need on a worker
// thread and handed over once it is connected; a connection is used by one thread at a time,
// and copyAsPicture only on the GUI thread (it fills the clipboard).
std::unique_ptr<WordConnection> StartWordApplication() {
    const QString module = moduleFile();
    const OfficeConnectFunction connect = loadModule(module);

    office::StartOptions options;
    options.program = qEnvironmentVariable("VELMORA_OFFICE_PROGRAM");
    options.profileFolder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                            QStringLiteral("/velmora/office");
    options.fontConfigFile =
        QFileInfo(module).absolutePath() + QStringLiteral("/velmora-fonts.conf");
    options.startBound = boundFromEnvironment("VELMORA_OFFICE_START_TIMEOUT", options.startBound);
    options.callBound = boundFromEnvironment("VELMORA_OFFICE_CALL_TIMEOUT", options.callBound);

    QString error;
    std::unique_ptr<WordConnection> connection(connect(options, error));
    if (!connection) throw WordError(notStarted(error));
    return connection;
}

}  // namespace velmora
