#include "RunRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

RunRecord*& current() {
    static RunRecord* record = nullptr;
    return record;
}

// Files are noted from any thread (an office starting in the background writes its settings).
std::mutex& notes() {
    static std::mutex mutex;
    return mutex;
}

// Where notes go instead of the record; guarded by notes().
FileNoteSink& noteSink() {
    static FileNoteSink elsewhere;
    return elsewhere;
}

const QRegularExpression& recordName() {
    static const QRegularExpression name(QStringLiteral("^\\.velmora-run-\\d+$"));
    return name;
}

bool ourRegularFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

qint64 modifiedNs(const struct stat& info) {
    return qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

void removeIfOurs(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) == 0 && ourRegularFile(info))
        ::unlink(native.constData());
}

// Noted for a file in the making, which is whatever it has become.
constexpr qint64 kAnyContent = -1;

// The file's companion (the office's lock file) goes with it, or after it; it stays while
// another file stands at the noted file's name.
void removeIfSame(const QString& path, quint64 device, quint64 inode, qint64 modified,
                  const RunRecord::CompanionOf& companionOf) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) == 0) {
        const bool same = modified == kAnyContent ||
                          (quint64(info.st_dev) == device && quint64(info.st_ino) == inode &&
                           modifiedNs(info) == modified);
        if (!ourRegularFile(info) || !same) return;
        ::unlink(native.constData());
    }
    if (companionOf) removeIfOurs(companionOf(path));
}

// Lines of "device inode modified-ns path".
void removeRecorded(const QByteArray& record, const RunRecord::CompanionOf& companionOf) {
    for (const QByteArray& line : record.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 4) continue;
        const QString path =
            QFile::decodeName(line.mid(fields[0].size() + fields[1].size() + fields[2].size() + 3));
        removeIfSame(path, fields[0].toULongLong(), fields[1].toULongLong(), fields[2].toLongLong(),
                     companionOf);
    }
}

QByteArray readAll(int fd) {
    QByteArray bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::pread(fd, buffer, sizeof buffer, bytes.size())) > 0) bytes.append(buffer, n);
    return bytes;
}

}  // namespace

int RunRecord::TidyAfterEndedRuns(const QString& folder, const CompanionOf& companionOf) {
    int tidied = 0;
    const QStringList names =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!recordName().match(name).hasMatch()) continue;
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        const int fd = ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        // A record still locked belongs to a run that lives.
        if (::fstat(fd, &info) == 0 && ourRegularFile(info) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            removeRecorded(readAll(fd), companionOf);
            ::unlink(path.constData());
            ++tidied;
        }
        ::close(fd);
    }
    return tidied;
}

RunRecord::RunRecord(const QString& folder, CompanionOf companionOf)
    : companionOf_(std::move(companionOf)) {
    {
        const std::lock_guard lock(notes());
        previous_ = std::exchange(current(), this);
    }
    TidyAfterEndedRuns(folder, companionOf_);
    // Locked before it takes its name, so that no other start ever sees it unlocked.
    const QString name = folder + QStringLiteral("/.velmora-run-%1").arg(::getpid());
    const QByteArray unnamed = QFile::encodeName(name + QStringLiteral(".new"));
    const int fd =
        ::open(unnamed.constData(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX) != 0 ||
        ::rename(unnamed.constData(), QFile::encodeName(name).constData()) != 0) {
        ::unlink(unnamed.constData());
        ::close(fd);
        return;
    }
    const std::lock_guard lock(notes());
    fd_ = fd;
    file_ = name;
}

RunRecord::~RunRecord() {
    const std::lock_guard lock(notes());
    for (const auto& [path, id] : files_)
        removeIfSame(path, id.device, id.inode, id.modifiedNs, companionOf_);
    if (fd_ >= 0) {
        ::unlink(QFile::encodeName(file_).constData());
        ::close(fd_);
    }
    current() = previous_;
}

// Rewritten in place, not through AtomicFile: the lock that tells other starts this run lives
// is held on this very file, and a new file renamed over it would stand unlocked at the name
// (taken for a dead run's record and tidied away); AtomicFile also notes its new file in this
// record, which would then note itself. A record cut short by a crash only spares files.
void RunRecord::write() {
    QByteArray text;
    for (const auto& [path, id] : files_)
        text += QByteArray::number(id.device) + ' ' + QByteArray::number(id.inode) + ' ' +
                QByteArray::number(id.modifiedNs) + ' ' + QFile::encodeName(path) + '\n';
    if (::ftruncate(fd_, 0) == 0) {
        qsizetype done = 0;
        ssize_t n;
        while (done < text.size() &&
               (n = ::pwrite(fd_, text.constData() + done, text.size() - done, done)) > 0)
            done += n;
    }
}

void RunRecord::Note(FileNote note, const QString& path) {
    const std::lock_guard lock(notes());
    RunRecord* record = current();
    if (!record || record->fd_ < 0) return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    switch (note) {
        case FileNote::Created: {
            struct stat info {};
            if (path.contains(QLatin1Char('\n')) ||
                ::lstat(QFile::encodeName(path).constData(), &info) != 0 || !ourRegularFile(info))
                return;
            record->files_[absolute] = {quint64(info.st_dev), quint64(info.st_ino),
                                        modifiedNs(info)};
            break;
        }
        case FileNote::InTheMaking:
            if (path.contains(QLatin1Char('\n'))) return;
            record->files_[absolute] = {0, 0, kAnyContent};
            break;
        case FileNote::Removed:
            if (!record->files_.erase(absolute)) return;
            break;
    }
    record->write();
}

void NoteFile(FileNote note, const QString& path) {
    FileNoteSink elsewhere;
    {
        const std::lock_guard lock(notes());
        elsewhere = noteSink();
    }
    if (elsewhere)
        elsewhere(note, path);
    else
        RunRecord::Note(note, path);
}

void NoteCreatedFile(const QString& path) {
    NoteFile(FileNote::Created, path);
}

void NoteFileInTheMaking(const QString& path) {
    NoteFile(FileNote::InTheMaking, path);
}

void NoteRemovedFile(const QString& path) {
    NoteFile(FileNote::Removed, path);
}

void SendFileNotesTo(FileNoteSink sink) {
    const std::lock_guard lock(notes());
    noteSink() = std::move(sink);
}

}  // namespace velmora
