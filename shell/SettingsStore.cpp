#include "SettingsStore.h"

#include "ErrorSink.h"
#include "FileProcedures.h"
#include "IniStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace velmora {
namespace {

constexpr auto kApplication = "Brindlework";
constexpr auto kSection = "Velmora";

QString keyPath(const QString& key) {
    return QLatin1String(kSection) + QLatin1Char('/') + key;
}

QString lastSystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The first failed write of the run tells the user; later ones say nothing more.
void tellOnce(const QString& problem) {
    static std::atomic<bool> told{false};
    if (told.exchange(true)) return;
    const QString text = QStringLiteral(
                             "Your entries cannot be remembered: %1.\r\n\r\n"
                             "Velmora goes on working, but what you type now will not be there "
                             "the next time it starts.")
                             .arg(problem);
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) return;
    QMetaObject::invokeMethod(
        application, [text] { CurrentErrorSink().tellUser(text); }, Qt::QueuedConnection);
}

// The program's own writer of the file, one per file (tests move the configuration folder).
template <class Use>
auto withFastStore(const QString& file, Use&& use) {
    static std::mutex mutex;
    static std::map<QString, IniStore> stores;
    const std::lock_guard lock(mutex);
    auto found = stores.find(file);
    if (found == stores.end()) found = stores.emplace(file, IniStore(file)).first;
    return use(found->second);
}

// What stands at the settings file's name when it is there but no regular file (a FIFO, a
// device, a folder): such a thing is never opened, as reading a FIFO waits for a writer
// forever. Empty for a regular file or none.
QString OddSettingsFile(const QString& file) {
    struct stat info {};
    if (::stat(QFile::encodeName(file).constData(), &info) != 0 || S_ISREG(info.st_mode)) return {};
    return QStringLiteral("the settings file \"%1\" is not a file (%2)")
        .arg(file, S_ISFIFO(info.st_mode)  ? QStringLiteral("a pipe")
                   : S_ISDIR(info.st_mode) ? QStringLiteral("a folder")
                                           : QStringLiteral("a device or a socket"));
}

}  // namespace

QString SettingsFile() {
    // QSettings reads its file as soon as it is made, and a pipe at that name would hold the
    // read forever: the name is worked out from a QSettings for a sibling that is never there.
    const QString sibling = QSettings(QSettings::NativeFormat, QSettings::UserScope,
                                      QLatin1String(kApplication) + QStringLiteral(".name-only"))
                                .fileName();
    return QFileInfo(sibling).path() + QLatin1Char('/') + QLatin1String(kApplication) +
           QStringLiteral(".conf");
}

QString SettingsWriteProblem() {
    const QString file = SettingsFile();
    const QString folder = QFileInfo(file).path();
    // The store writes a new file beside the old one and renames it into place.
    QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.Brindlework-XXXXXX"));
    const int probeFd = ::mkstemp(probe.data());
    if (probeFd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QStringLiteral("the settings folder \"%1\" cannot be made (%2)")
                .arg(folder, lastSystemError());
        return QStringLiteral("the settings folder \"%1\" cannot be written (%2)")
            .arg(folder, lastSystemError());
    }
    ::close(probeFd);
    ::unlink(probe.constData());
    const QByteArray nativeFile = QFile::encodeName(file);
    if (::access(nativeFile.constData(), F_OK) == 0) {
        const int fd = ::open(nativeFile.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0)
            return QStringLiteral("the settings file \"%1\" cannot be written (%2)")
                .arg(file, lastSystemError());
        ::close(fd);
    }
    return FullDiskReason(folder);
}

void SaveSetting(const QString& key, const QString& value) {
    const QString file = SettingsFile();
    if (const QString odd = OddSettingsFile(file); !odd.isEmpty()) {
        tellOnce(odd);
        return;
    }
    if (withFastStore(file, [&](IniStore& store) { return store.write(keyPath(key), value); }))
        return;
    // A settings file made read-only stays so, as every file the program writes whole does.
    if (IsReadOnlyFile(file)) {
        tellOnce(QStringLiteral("the settings file \"%1\" is read-only").arg(file));
        return;
    }
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kApplication));
    store.setValue(keyPath(key), value);
    store.sync();
    if (store.status() == QSettings::NoError) return;
    QString problem = SettingsWriteProblem();
    if (problem.isEmpty())
        problem =
            QStringLiteral("the settings file \"%1\" could not be written").arg(store.fileName());
    tellOnce(problem);
}

QString GetSetting(const QString& key, const QString& defaultValue) {
    const QString file = SettingsFile();
    if (const QString odd = OddSettingsFile(file); !odd.isEmpty()) {
        tellOnce(odd);
        return defaultValue;
    }
    if (const auto known = withFastStore(
            file, [&](const IniStore& store) { return store.read(keyPath(key), defaultValue); }))
        return *known;
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                          QLatin1String(kApplication));
    return store.value(keyPath(key), defaultValue).toString();
}

}  // namespace velmora
