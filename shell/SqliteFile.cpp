#include "SqliteFile.h"

#include "Failure.h"
#include "FileProcedures.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace velmora {
namespace {

// How long a call waits for another program's write to end before it gives up.
constexpr int kBusyMs = 5000;

// SQLite's primary result codes that matter here.
constexpr int kSqlitePerm = 3, kSqliteBusy = 5, kSqliteLocked = 6, kSqliteReadOnly = 8,
              kSqliteCorrupt = 11, kSqliteFull = 13, kSqliteNotADatabase = 26;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// SQLite's result code of a failed statement (extended codes reduced to their primary one).
int codeOf(const QSqlError& error) {
    return error.nativeErrorCode().toInt() & 0xff;
}

bool damageCode(int code) {
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

// Holds the lock on the file's folder that one program at a time takes to look the file over
// and repair or make it.
class FolderLock {
public:
    explicit FolderLock(const QString& folder)
        : fd_(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0) return;
        for (int waited = 0; ::flock(fd_, LOCK_EX | LOCK_NB) != 0; waited += 50) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= kBusyMs) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
            QThread::msleep(50);
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // and with it the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

QString connectionName() {
    static std::atomic<quint64> made{0};
    return QStringLiteral("velmora-sqlite-%1").arg(++made);
}

}  // namespace

QString ProgramDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/velmora");
}

void MakePrivateFolder(const QString& path) {
    const auto cannot = [](const QString& folder, int error) {
        return Failure(
            QCoreApplication::translate("velmora::SqliteFile", "Cannot make the folder '%1': %2.")
                .arg(folder, systemReason(error)));
    };
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString sofar;
    for (const QString& part : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        sofar += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(sofar);
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) throw cannot(sofar, errno);
    }
    struct stat info {};
    const QByteArray native = QFile::encodeName(absolute);
    errno = 0;
    if (::stat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw cannot(absolute, errno ? errno : ENOTDIR);
    if ((info.st_mode & 07777) != 0700 && info.st_uid == ::geteuid())
        ::chmod(native.constData(), 0700);
}

SqliteFile::SqliteFile(const QString& file, int schemaVersion, Schema schema, Words words,
                       const QStringList& folders)
    : file_(file),
      schemaVersion_(schemaVersion),
      schema_(std::move(schema)),
      words_(std::move(words)),
      folders_(folders) {
    prepare();
}

QString SqliteFile::problem() const {
    const std::lock_guard lock(mutex_);
    if (!damage_.isEmpty()) return damage_;
    return ready_ ? QString() : failure_;
}

void SqliteFile::ensureReady() const {
    prepare();
    const std::lock_guard lock(mutex_);
    if (!ready_) throw Failure(failure_);
}

QString SqliteFile::describe(const QSqlError& error) const {
    const int code = codeOf(error);
    if (code == kSqliteBusy || code == kSqliteLocked) return words_.inUse.arg(file_);
    if (code == kSqliteFull) {
        const QString full = FullDiskReason(file_);
        if (!full.isEmpty()) return words_.cannotWrite.arg(file_, full);
    }
    if (damageCode(code)) return words_.damaged.arg(file_);
    QString reason = error.databaseText();
    if (reason.isEmpty()) reason = error.driverText();
    if (code == kSqlitePerm || code == kSqliteReadOnly)
        return words_.cannotWrite.arg(file_, reason);
    return words_.cannotUse.arg(file_, reason);
}

void SqliteFile::prepare() const {
    const std::lock_guard lock(mutex_);
    if (ready_) return;
    const QByteArray native = QFile::encodeName(file_);
    const QString folder = QFileInfo(file_).absolutePath();
    try {
        MakePrivateFolder(folder);
        for (const QString& other : folders_) MakePrivateFolder(other);
        // One program at a time looks the file over: two that found it damaged at once would
        // otherwise both move "it" aside, the second the new file the first had just made.
        const FolderLock folderLock(folder);
        if (!folderLock.held()) throw Failure(words_.inUseAtStart.arg(file_));
        // Made here, readable by the user alone: SQLite would make it as the umask says (its
        // journal files take the file's own permissions).
        const auto makeFile = [&] {
            const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) {
                ::fchmod(fd, 0600);
                ::close(fd);
            } else if (errno != EEXIST) {
                throw Failure(words_.cannotMake.arg(file_, systemReason(errno)));
            }
        };
        makeFile();
        struct stat info {};
        if (::stat(native.constData(), &info) == 0 && (info.st_mode & 07777) != 0600 &&
            info.st_uid == ::geteuid())
            ::chmod(native.constData(), 0600);

        // Damaged: not a database at all, or one whose pages do not hold together. A file
        // that is only busy is not damaged: that fails, and the file stays as it is.
        bool damaged = false;
        {
            Connection connection(file_, *this);
            QSqlQuery check = connection.tryRun(QStringLiteral("PRAGMA quick_check"));
            if (check.lastError().isValid()) {
                if (!damageCode(codeOf(check.lastError())))
                    throw Failure(describe(check.lastError()));
                damaged = true;
            } else {
                damaged = !check.next() || check.value(0).toString() != QLatin1String("ok");
            }
        }
        if (damaged) {
            const QString stamp =
                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
            QString aside = file_ + QStringLiteral(".damaged-") + stamp;
            for (int n = 2; FileExists(aside); ++n)
                aside = file_ + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
            if (!QFile::rename(file_, aside)) throw Failure(words_.cannotPutAside.arg(file_));
            // Its journal goes with it: replayed into the new file, it would damage that too.
            const QString wal = file_ + QStringLiteral("-wal");
            if (FileExists(wal)) QFile::rename(wal, aside + QStringLiteral("-wal"));
            RemoveFileQuietly(file_ + QStringLiteral("-shm"));
            makeFile();
            damage_ = words_.keptAside.arg(aside);
        }

        Connection connection(file_, *this);
        // WAL: readers never wait for a writer, and two programs may write in turn. The
        // mode stays with the file.
        connection.run(QStringLiteral("PRAGMA journal_mode=WAL"));
        const auto version = [&] {
            QSqlQuery query = connection.run(QStringLiteral("PRAGMA user_version"));
            return query.next() ? query.value(0).toInt() : 0;
        };
        // Only a file without its tables waits for the write lock: another program's long
        // write does not keep this one from starting and reading meanwhile. A later version's
        // file is used as it is (a later version only ever adds columns).
        if (version() < schemaVersion_)
            connection.writing([&] {
                const int found = version();
                if (found >= schemaVersion_) return;  // made meanwhile
                schema_(connection, found);
                connection.run(QStringLiteral("PRAGMA user_version=%1").arg(schemaVersion_));
            });
        ready_ = true;
        failure_.clear();
    } catch (const Failure& failure) {
        failure_ = QString::fromStdString(failure.what());
    }
}

namespace {
const QString& readyFile(const SqliteFile& file) {
    file.ensureReady();
    return file.file();
}
}  // namespace

SqliteFile::Connection::Connection(const SqliteFile& file) : Connection(readyFile(file), file) {}

SqliteFile::Connection::Connection(const QString& path, const SqliteFile& file)
    : file_(file), name_(connectionName()) {
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db_.setDatabaseName(path);
    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMs));
    if (!db_.open()) {
        const QString words = file_.describe(db_.lastError());
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw Failure(words);
    }
}

SqliteFile::Connection::~Connection() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

QSqlQuery SqliteFile::Connection::run(const QString& sql, const QVariantList& values) {
    QSqlQuery query = tryRun(sql, values);
    if (query.lastError().isValid()) throw Failure(file_.describe(query.lastError()));
    return query;
}

QSqlQuery SqliteFile::Connection::tryRun(const QString& sql, const QVariantList& values) {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (query.prepare(sql)) {
        for (const QVariant& value : values) {
            // Text is never NULL: Qt binds a null string so, an empty one as text.
            if (value.typeId() == QMetaType::QString && value.toString().isNull())
                query.addBindValue(QString(QLatin1String("")));
            else
                query.addBindValue(value);
        }
        query.exec();
    }
    return query;
}

}  // namespace velmora
