#include "BuildCache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace velmora::test {
namespace {

// The office the work was done with: its start script changes with every upgrade.
QByteArray OfficeIdentity() {
    const QFileInfo office(QStandardPaths::findExecutable(QStringLiteral("soffice")));
    const QFileInfo program(office.canonicalFilePath());
    return program.filePath().toUtf8() + ' ' +
           QByteArray::number(program.lastModified().toMSecsSinceEpoch()) + ' ' +
           QByteArray::number(program.size());
}

// An exclusive lock on a file for as long as the object lives (and no longer than the
// process: a test program killed while it holds the lock releases it).
class FileLock {
public:
    explicit FileLock(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

}  // namespace

QString CachedFolder(const QString& name, const QByteArray& input,
                     const std::function<bool(const QString& folder)>& make) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(input);
    hash.addData(OfficeIdentity());
    const QString root = QStringLiteral(VELMORA_TEST_CACHE_DIR);
    const QString base =
        root + QLatin1Char('/') + name + QLatin1Char('-') + hash.result().toHex().left(16);
    if (QFileInfo(base).isDir()) return base;

    QDir().mkpath(root);
    const FileLock lock(base + QStringLiteral(".lock"));
    if (QFileInfo(base).isDir()) return base;  // made while this one waited
    const QString partial = base + QStringLiteral(".partial");
    QDir(partial).removeRecursively();  // what a program killed while making it left
    if (!QDir().mkpath(partial) || !make(partial) ||
        std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(base).constData()) !=
            0) {
        QDir(partial).removeRecursively();
        return {};
    }
    return base;
}

}  // namespace velmora::test
