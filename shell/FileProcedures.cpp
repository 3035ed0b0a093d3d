#include "FileProcedures.h"

#include "Failure.h"
#include "RunRecord.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace velmora {
namespace {

QString systemError(const QString& what, const QString& path) {
    return what + QStringLiteral(" '") + path + QStringLiteral("': ") +
           QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

bool FileExists(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool FileListed(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsReadOnlyFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (path.isEmpty() || ::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    return (info.st_mode & 0222) == 0 ||
           (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) != 0 && errno == EACCES);
}

void ForceDeleteFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    // Unlinking needs write access to the folder, not to the file, so a read-only file goes
    // without any change of its mode. Only a regular file of this user's is removed here:
    // what stands at the name is looked at itself (never through a link), and nothing is
    // ever changed, so a link planted at the name cannot lead to someone's file.
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) throw Failure(systemError("Cannot delete", path));
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
        throw Failure(QStringLiteral("Cannot delete '%1': not a file of this user's").arg(path));
    if (::unlink(native.constData()) != 0) throw Failure(systemError("Cannot delete", path));
    NoteRemovedFile(path);
}

void RemoveFileQuietly(const QString& path) {
    if (path.isEmpty()) return;
    if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT) {
        NoteRemovedFile(path);
        return;
    }
    try {
        ForceDeleteFile(path);
    } catch (...) {
    }
}

QString FullDiskReason(const QString& path) {
    QFileInfo at(path);
    while (!at.exists() && !at.isRoot() && at.absolutePath() != at.absoluteFilePath())
        at = QFileInfo(at.absolutePath());
    const QString folder = at.isDir() ? at.absoluteFilePath() : at.absolutePath();
    struct statvfs disk {};
    if (::statvfs(QFile::encodeName(folder).constData(), &disk) != 0) return {};
    if (quint64(disk.f_bavail) * disk.f_frsize >= 1024 * 1024) return {};
    return QStringLiteral("the disk that holds \"%1\" is full").arg(folder);
}

}  // namespace velmora
