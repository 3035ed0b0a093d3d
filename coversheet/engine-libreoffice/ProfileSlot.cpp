#include "ProfileSlot.h"

#include "coversheet/office/OfficeFiles.h"
#include "coversheet/office/WordConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>
#include <utility>

namespace velmora::office {
namespace {

QString leftoversFile(const QString& folder) {
    return folder + QStringLiteral("/leftovers");
}

// Only the office's own pipe sockets in /tmp, owned by this user, are ever removed.
bool isOurOfficePipe(const QString& path) {
    const QString prefix = PipePrefix();
    if (!path.startsWith(prefix) || path.indexOf(QLatin1Char('/'), prefix.size()) >= 0)
        return false;
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode) &&
           info.st_uid == ::getuid();
}

// A lock file the office puts beside a document it opens for editing, left by an office of
// this slot: ours, a plain file, and naming the slot's profile.
bool isOurLockFile(const QString& path, const QString& profileUrl) {
    if (!IsLockFileName(QFileInfo(path).fileName())) return false;
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != ::getuid() || info.st_size > 4096)
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(profileUrl.toUtf8());
}

}  // namespace

ProfileSlot::ProfileSlot(int number, QString folder, int lockFd)
    : number_(number), folder_(std::move(folder)), lockFd_(lockFd) {}

ProfileSlot::ProfileSlot(ProfileSlot&& other) noexcept
    : number_(other.number_),
      folder_(std::move(other.folder_)),
      lockFd_(std::exchange(other.lockFd_, -1)) {}

ProfileSlot::~ProfileSlot() {
    if (lockFd_ >= 0) ::close(lockFd_);
}

ProfileSlot ProfileSlot::acquire(const QString& baseFolder,
                                 std::chrono::steady_clock::time_point deadline) {
    if (!QDir().mkpath(baseFolder))
        throw WordError(
            QStringLiteral("Cannot create the office profile folder '%1'.").arg(baseFolder));
    QFile::setPermissions(baseFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    for (;;) {
        for (int number = 0; number < kSlotCount; ++number) {
            const QString lockPath = QStringLiteral("%1/slot-%2.lock").arg(baseFolder).arg(number);
            const int fd = ::open(QFile::encodeName(lockPath).constData(),
                                  O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0) continue;
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                ::close(fd);
                continue;
            }
            ProfileSlot slot(number, QStringLiteral("%1/slot-%2").arg(baseFolder).arg(number), fd);
            slot.tidy();
            if (!QFileInfo(slot.tempFolder()).isDir())
                throw WordError(QStringLiteral("Cannot create the office's temporary folder '%1'.")
                                    .arg(slot.tempFolder()));
            tidyFreeSlots(baseFolder, number);
            return slot;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    throw WordError(
        QStringLiteral("All %1 office profiles in '%2' are in use by other office instances.")
            .arg(kSlotCount)
            .arg(baseFolder));
}

void ProfileSlot::tidy() const {
    removeLeftovers();
    QDir(tempFolder()).removeRecursively();
    QDir().mkpath(tempFolder());
}

// What the offices of slots nobody uses left behind (an office that died, a program that was
// killed) goes now rather than when the slot is next taken.
void ProfileSlot::tidyFreeSlots(const QString& baseFolder, int taken) {
    for (int number = 0; number < kSlotCount; ++number) {
        const QString folder = QStringLiteral("%1/slot-%2").arg(baseFolder).arg(number);
        if (number == taken || !QFileInfo::exists(folder)) continue;
        const int fd =
            ::open(QFile::encodeName(QStringLiteral("%1/slot-%2.lock").arg(baseFolder).arg(number))
                       .constData(),
                   O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ProfileSlot(number, folder, fd).tidy();
        else
            ::close(fd);
    }
}

QString ProfileSlot::profileUrl() const {
    return QUrl::fromLocalFile(folder_).toString(QUrl::FullyEncoded);
}

QString ProfileSlot::tempFolder() const {
    return folder_ + QStringLiteral("/tmp");
}

QString ProfileSlot::logFile() const {
    return folder_ + QStringLiteral("/office.log");
}

void ProfileSlot::recordLeftovers(const QStringList& paths) const {
    QFile file(leftoversFile(folder_));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    for (const QString& path : paths) file.write(QFile::encodeName(path) + '\n');
}

void ProfileSlot::removeLeftovers() const {
    QFile file(leftoversFile(folder_));
    if (!file.open(QIODevice::ReadOnly)) return;
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    for (const QByteArray& line : lines) {
        const QString path = QFile::decodeName(line);
        if (isOurOfficePipe(path) || isOurLockFile(path, profileUrl())) ::unlink(line.constData());
    }
    file.remove();
}

}  // namespace velmora::office
