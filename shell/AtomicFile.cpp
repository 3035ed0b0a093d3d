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

// The system's reason for `error`, or a full disk named as such when the disk that holds
// `path` is full.
QString reasonFor(int error, const QString& path) {
    if (error == ENOSPC || error == EDQUOT) {
        const QString full = FullDiskReason(path);
        if (!full.isEmpty()) return full + QLatin1Char('.');
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void failWriting(const QString& name, const QString& reason) {
    throw Failure(QStringLiteral("Cannot write '%1': %2").arg(name, reason));
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

QString randomLettersAndDigits(int count) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString letters;
    for (int i = 0; i < count; ++i)
        letters += QLatin1Char(kLetters[QRandomGenerator::system()->bounded(36)]);
    return letters;
}

// Flushes the folder that holds `path` to the disk, and with it a rename into it. File
// systems that cannot flush a folder have nothing to flush.
int syncFolderOf(const QString& path) {
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace

NewFile::NewFile(const std::function<QString(int attempt)>& nameFor, const QString& shown)
    : shown_(shown) {
    int error = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = nameFor(attempt);
        if (name.isEmpty()) break;
        path_ = name;  // what a failure names
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = errno;
            if (error == EEXIST) continue;  // someone else's: another name, if there is one
            break;
        }
        NoteFileInTheMaking(name);
        // 0600 also where the umask would take some of it away.
        if (::fchmod(fd, 0600) == 0) {
            fd_ = fd;
            return;
        }
        error = errno;
        ::close(fd);
        RemoveFileQuietly(name);
        break;
    }
    fail(true, error);
}

NewFile::NewFile(const QString& path)
    : NewFile([&](int attempt) { return attempt == 0 ? path : QString(); }, QString()) {}

NewFile::NewFile(const QString& folder, const QString& stem, const QString& suffix)
    : NewFile(
          [&](int) {
              return folder + QLatin1Char('/') + stem + QLatin1Char('-') +
                     randomLettersAndDigits(8) + suffix;
          },
          QString()) {}

NewFile::~NewFile() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (!path_.isEmpty()) RemoveFileQuietly(path_);
}

void NewFile::fail(bool creating, int error) const {
    const QString reason = reasonFor(error, path_);
    if (!shown_.isEmpty()) failWriting(shown_, reason);
    throw Failure(
        QStringLiteral("Cannot %1 '%2': %3")
            .arg(creating ? QStringLiteral("create") : QStringLiteral("write"), path_, reason));
}

void NewFile::write(const QByteArray& bytes) {
    if (fd_ < 0) fail(false, EBADF);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(false, n == 0 ? ENOSPC : errno);
        done += n;
    }
}

void NewFile::close() {
    if (fd_ < 0) return;
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) fail(false, errno);
}

QString NewFile::keep() {
    close();
    return std::exchange(path_, QString());
}

void NewFile::Write(const QString& path, const QByteArray& bytes) {
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        throw Failure(QStringLiteral("Cannot replace '%1': %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    NewFile file(path);
    file.write(bytes);
    // Complete: from now on the record removes this very file, not one put at its name later.
    NoteCreatedFile(file.keep());
}

QString NewFile::WriteOfItsOwn(const QString& folder, const QString& stem, const QString& suffix,
                               const QByteArray& bytes) {
    NewFile file(folder, stem, suffix);
    file.write(bytes);
    const QString path = file.keep();
    NoteCreatedFile(path);
    return path;
}

AtomicFile::Target AtomicFile::Resolve(const QString& name, Access access) {
    QString target = name;
    const auto fail = [&](const QString& reason) { failWriting(name, reason); };
    // The file the target finally names.
    struct stat info {};
    bool exists = false;
    for (int links = 0;; ++links) {
        const QByteArray native = QFile::encodeName(target);
        if (::lstat(native.constData(), &info) != 0) {
            if (errno != ENOENT) fail(reasonFor(errno, target));
            break;
        }
        if (!S_ISLNK(info.st_mode)) {
            exists = true;
            break;
        }
        if (links == kMostLinks) fail(reasonFor(ELOOP, target));
        // A link another user put in a shared folder does not choose which file is replaced.
        if (info.st_uid != ::geteuid() && info.st_uid != 0)
            fail(QStringLiteral("it is a link of another user's."));
        QByteArray to(PATH_MAX, 0);
        const ssize_t length = ::readlink(native.constData(), to.data(), size_t(to.size()));
        if (length < 0 || length == to.size())
            fail(reasonFor(length < 0 ? errno : ENAMETOOLONG, target));
        to.truncate(length);
        const QString next = QFile::decodeName(to);
        target = QFileInfo(next).isAbsolute()
                     ? next
                     : QFileInfo(target).absolutePath() + QLatin1Char('/') + next;
    }
    if (exists) {
        if (!S_ISREG(info.st_mode)) fail(QStringLiteral("it is not a file."));
        // Whatever its format, a file made read-only stays as it is.
        if (IsReadOnlyFile(target)) fail(QStringLiteral("the file is read-only."));
        if (::faccessat(AT_FDCWD, QFile::encodeName(target).constData(), W_OK, AT_EACCESS) != 0)
            fail(reasonFor(errno, target));
    }
    const unsigned mode = access == Access::OwnerOnly ? 0600u
                          : exists                    ? unsigned(info.st_mode & 07777)
                                                      : unsigned(newFileMode());
    return {target, mode};
}

AtomicFile::AtomicFile(const QString& target, Flush flush, Access access)
    : AtomicFile(target, flush, Resolve(target, access)) {}

AtomicFile::AtomicFile(const QString& name, Flush flush, Target target)
    : name_(name),
      target_(std::move(target.path)),
      flush_(flush),
      mode_(target.mode),
      file_(
          [this](int) {
              const QFileInfo file(target_);
              // Short enough for any file system, whatever the target's name.
              return file.absolutePath() + QStringLiteral("/.") + file.fileName().left(200) +
                     QStringLiteral(".new-") +
                     QString::number(QRandomGenerator::system()->bounded(100000000u, 999999999u));
          },
          name_) {}

AtomicFile::~AtomicFile() = default;

void AtomicFile::fail(const QString& reason) const {
    failWriting(name_, reason);
}

void AtomicFile::write(const QByteArray& bytes) {
    file_.write(bytes);
}

void AtomicFile::copyFrom(const QString& source) {
    const auto cannotRead = [&](int error) {
        return Failure(QStringLiteral("Cannot read '%1': %2")
                           .arg(source, QString::fromLocal8Bit(std::strerror(error))));
    };
    const int fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw cannotRead(errno);
    struct Closed {
        int fd;
        ~Closed() { ::close(fd); }
    } closed{fd};
    constexpr qsizetype kChunk = 256 * 1024;
    QByteArray chunk;
    for (;;) {
        chunk.resize(kChunk);
        const ssize_t n = ::read(fd, chunk.data(), size_t(kChunk));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw cannotRead(errno);
        if (n == 0) break;
        chunk.resize(n);
        file_.write(chunk);
    }
}

void AtomicFile::moveIn(const QString& file) {
    if (file_.fd_ < 0) fail(reasonFor(EBADF, target_));
    const QByteArray from = QFile::encodeName(file);
    if (::rename(from.constData(), QFile::encodeName(file_.path()).constData()) == 0) {
        file_.close();
        return;
    }
    if (errno != EXDEV) fail(reasonFor(errno, target_));
    copyFrom(file);
    ::unlink(from.constData());
}

void AtomicFile::commit() {
    if (file_.path().isEmpty()) fail(reasonFor(EBADF, target_));
    file_.close();
    // Whatever now stands at the new file's name (another program may have written it anew):
    // it goes in place only as a regular file that holds something, and once on the disk.
    const QByteArray native = QFile::encodeName(file_.path());
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) fail(reasonFor(errno, target_));
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
    if (error != 0) fail(reasonFor(error, target_));
    if (::rename(native.constData(), QFile::encodeName(target_).constData()) != 0)
        fail(reasonFor(errno, target_));
    NoteRemovedFile(file_.keep());
    if (flush_ == Flush::ToDisk) {
        if (const int folderError = syncFolderOf(target_)) fail(reasonFor(folderError, target_));
    }
}

void AtomicFile::Copy(const QString& source, const QString& target) {
    // An empty file is one that was not saved completely: it never replaces anything.
    const QFileInfo from(source);
    if (from.isFile() && from.size() == 0)
        throw Failure(QStringLiteral("Cannot copy '%1': the file is empty.").arg(source));
    AtomicFile file(target);
    file.copyFrom(source);
    file.commit();
}

}  // namespace velmora
