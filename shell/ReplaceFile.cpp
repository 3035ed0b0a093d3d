#include "ReplaceFile.h"

#include "Failure.h"
#include "RunRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace velmora {
namespace {

QString systemError(const char* what, const QString& path) {
    return QStringLiteral("%1 '%2': %3")
        .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}

// The new file beside the target; removed when the object goes unless it was renamed.
class NewFileBeside {
public:
    explicit NewFileBeside(const QString& target) : target_(target) {
        const QFileInfo info(target);
        struct stat existing {};
        const bool exists = ::stat(QFile::encodeName(target).constData(), &existing) == 0;
        for (int attempt = 0; attempt < 100 && path_.isEmpty(); ++attempt) {
            const QString candidate =
                info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                QStringLiteral(".%1").arg(QRandomGenerator::system()->generate(), 8, 16,
                                          QLatin1Char('0'));
            const QByteArray native = QFile::encodeName(candidate);
            const int fd = ::open(native.constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                throw Failure(systemError("Cannot write", target));
            }
            if (exists && S_ISREG(existing.st_mode)) ::fchmod(fd, existing.st_mode & 07777);
            ::close(fd);
            path_ = candidate;
            NoteFileInTheMaking(path_);
        }
        if (path_.isEmpty()) throw Failure(QStringLiteral("Cannot write '%1'.").arg(target));
    }
    ~NewFileBeside() {
        if (path_.isEmpty()) return;
        ::unlink(QFile::encodeName(path_).constData());
        NoteRemovedFile(path_);
    }
    NewFileBeside(const NewFileBeside&) = delete;
    NewFileBeside& operator=(const NewFileBeside&) = delete;

    const QString& path() const { return path_; }

    void renameOverTarget() {
        struct stat written {};
        if (::stat(QFile::encodeName(path_).constData(), &written) != 0 || written.st_size == 0)
            throw Failure(QStringLiteral("Cannot write '%1': nothing was written.").arg(target_));
        if (::rename(QFile::encodeName(path_).constData(),
                     QFile::encodeName(target_).constData()) != 0)
            throw Failure(systemError("Cannot write", target_));
        NoteRemovedFile(path_);
        path_.clear();
    }

private:
    QString target_;
    QString path_;
};

}  // namespace

void ReplaceFile(const QString& target, const std::function<void(const QString& newFile)>& write) {
    NewFileBeside file(target);
    write(file.path());
    file.renameOverTarget();
}

}  // namespace velmora
