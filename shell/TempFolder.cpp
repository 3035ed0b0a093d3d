#include "TempFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace velmora {
namespace {

// Empty when `folder` is a private folder of ours (mending its mode when only that is
// wrong); otherwise why it cannot be used.
QString unusableBecause(const QByteArray& folder) {
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return QString::fromLocal8Bit(std::strerror(errno));
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ELOOP || errno == ENOTDIR ? QStringLiteral("it is not a folder")
                                                  : QString::fromLocal8Bit(std::strerror(errno));
    struct stat info {};
    QString reason;
    if (::fstat(fd, &info) != 0)
        reason = QString::fromLocal8Bit(std::strerror(errno));
    else if (info.st_uid != ::geteuid())
        reason = QStringLiteral("it belongs to another user");
    else if ((info.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0)
        reason = QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return reason;
}

}  // namespace

QString PrivateTempFolder() {
    static std::mutex mutex;
    static std::map<QString, QString> chosen;  // by system folder: decided once per run
    const QString system = QDir::tempPath();
    const std::lock_guard lock(mutex);
    const QString wanted = system + QStringLiteral("/velmora-%1").arg(::geteuid());
    const auto known = chosen.find(system);
    if (known != chosen.end()) {
        // Made again if someone removed it meanwhile; the checks are repeated then.
        if (known->second != wanted || unusableBecause(QFile::encodeName(wanted)).isEmpty())
            return known->second;
    }
    const QString reason = unusableBecause(QFile::encodeName(wanted));
    if (reason.isEmpty()) return chosen[system] = wanted;

    QByteArray pattern = QFile::encodeName(wanted + QStringLiteral("-XXXXXX"));
    const char* made = ::mkdtemp(pattern.data());  // mode 0700, ours
    const QString fallback = made ? QFile::decodeName(made) : system;
    std::fprintf(stderr, "velmora: the temporary folder %s cannot be used (%s); using %s\n",
                 QFile::encodeName(wanted).constData(), reason.toLocal8Bit().constData(),
                 QFile::encodeName(fallback).constData());
    return chosen[system] = fallback;
}

QString TempFolder() {
    const QString temp = qEnvironmentVariable("TEMP");
    return temp.isEmpty() ? PrivateTempFolder() : temp;
}

QString TempPath(const QString& fileName) {
    return TempFolder() + QLatin1Char('/') + fileName;
}

}  // namespace velmora
