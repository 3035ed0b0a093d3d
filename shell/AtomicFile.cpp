#include "AtomicFile.h"

#include "Failure.h"
#include "FileProcedures.h"
#include "RunRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace velmora {
namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// What a new file gets: everything the umask allows of rw-rw-rw-.
mode_t newFileMode() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (!line.startsWith("Umask:")) continue;
            bool ok = false;
            const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok) return mode_t(0666 & ~mask);
        }
    }
    return 0644;
}

// As many links as the system follows in one path.
constexpr int kMostLinks = 40;

bool writeAll(int fd, const char* bytes, qint64 size, int& error) {
    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size_t(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n == 0 ? ENOSPC : errno;
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

AtomicFile::AtomicFile(const QString& target, Flush flush, Access access)
    : name_(target), target_(target), flush_(flush) {
    // The file the target finally names.
    struct stat info {};
    bool exists = false;
    for (int links = 0;; ++links) {
        const QByteArray native = QFile::encodeName(target_);
        if (::lstat(native.constData(), &info) != 0) {
            if (errno != ENOENT) fail(because(errno));
            break;
        }
        if (!S_ISLNK(info.st_mode)) {
            exists = true;
            break;
        }
        if (links == kMostLinks) fail(because(ELOOP));
        // A link another user put in a shared folder does not choose which file is replaced.
        if (info.st_uid != ::geteuid() && info.st_uid != 0)
            fail(QStringLiteral("it is a link of another user's."));
        QByteArray to(PATH_MAX, 0);
        const ssize_t length = ::readlink(native.constData(), to.data(), size_t(to.size()));
        if (length < 0 || length == to.size()) fail(because(length < 0 ? errno : ENAMETOOLONG));
        to.truncate(length);
        const QString next = QFile::decodeName(to);
        target_ = QFileInfo(next).isAbsolute()
                      ? next
                      : QFileInfo(target_).absolutePath() + QLatin1Char('/') + next;
    }
    if (exists) {
        if (!S_ISREG(info.st_mode)) fail(QStringLiteral("it is not a file."));
        // Whatever its format, a file made read-only stays as it is.
        if (IsReadOnlyFile(target_)) fail(QStringLiteral("the file is read-only."));
        if (::faccessat(AT_FDCWD, QFile::encodeName(target_).constData(), W_OK, AT_EACCESS) != 0)
            fail(because(errno));
    }
    mode_ = access == Access::OwnerOnly ? 0600u
            : exists                    ? unsigned(info.st_mode & 07777)
                                        : unsigned(newFileMode());

    const QFileInfo file(target_);
    // Short enough for any file system, whatever the target's name.
    const QString stem = file.absolutePath() + QStringLiteral("/.") + file.fileName().left(200) +
                         QStringLiteral(".new-");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate =
            stem + QString::number(QRandomGenerator::system()->bounded(100000000u, 999999999u));
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            fail(because(errno));
        }
        fd_ = fd;
        path_ = candidate;
        NoteFileInTheMaking(path_);
        return;
    }
    fail(because(EEXIST));
}

AtomicFile::~AtomicFile() {
    discard();
}

QString AtomicFile::because(int error) const {
    if (error == ENOSPC || error == EDQUOT) {
        const QString full = FullDiskReason(target_);
        if (!full.isEmpty()) return full + QLatin1Char('.');
    }
    return systemReason(error);
}

void AtomicFile::fail(const QString& reason) const {
    throw Failure(QStringLiteral("Cannot write '%1': %2").arg(name_, reason));
}

void AtomicFile::write(const QByteArray& bytes) {
    int error = 0;
    if (fd_ < 0) fail(because(EBADF));
    if (!writeAll(fd_, bytes.constData(), bytes.size(), error)) fail(because(error));
}

void AtomicFile::moveIn(const QString& file) {
    if (fd_ < 0) fail(because(EBADF));
    const QByteArray from = QFile::encodeName(file);
    if (::rename(from.constData(), QFile::encodeName(path_).constData()) == 0) {
        closeWriter();
        return;
    }
    if (errno != EXDEV) fail(because(errno));
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) fail(in.errorString());
    constexpr qint64 kChunk = 256 * 1024;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty()) {
            if (in.error() != QFileDevice::NoError) fail(in.errorString());
            break;
        }
        write(chunk);
    }
    in.close();
    ::unlink(from.constData());
}

void AtomicFile::closeWriter() {
    if (fd_ < 0) return;
    const int result = ::close(std::exchange(fd_, -1));
    if (result != 0 && errno != EINTR) fail(because(errno));
}

void AtomicFile::commit() {
    if (path_.isEmpty()) fail(because(EBADF));
    closeWriter();
    // Whatever now stands at the new file's name (another program may have written it anew):
    // it goes in place only as a regular file that holds something, and once on the disk.
    const QByteArray native = QFile::encodeName(path_);
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) fail(because(errno));
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno;
    else if (!S_ISREG(info.st_mode))
        error = EINVAL;
    else if (info.st_size == 0)
        error = -1;
    else if (::fchmod(fd, mode_t(mode_)) != 0 || (flush_ == Flush::ToDisk && ::fsync(fd) != 0))
        error = errno;
    ::close(fd);
    if (error == -1) {
        // An office that found the disk full may write nothing and say something else.
        const QString full = FullDiskReason(target_);
        fail(full.isEmpty() ? QStringLiteral("nothing was written.") : full + QLatin1Char('.'));
    }
    if (error != 0) fail(because(error));
    if (::rename(native.constData(), QFile::encodeName(target_).constData()) != 0)
        fail(because(errno));
    NoteRemovedFile(path_);
    path_.clear();
}

void AtomicFile::discard() noexcept {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (path_.isEmpty()) return;
    ::unlink(QFile::encodeName(path_).constData());
    NoteRemovedFile(path_);
    path_.clear();
}

}  // namespace velmora
