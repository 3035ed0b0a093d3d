#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <mutex>
#include <type_traits>

namespace velmora {

// An SQLite file of the program's own (through Qt SQL) that two running programs may use at
// once: readable by the user alone (0600, in folders 0700), in WAL mode (readers never wait for
// a writer), each write one transaction that takes the write lock up front and waits up to a
// few seconds for another writer. A file found damaged is moved aside (never overwritten) and
// a new one started; the schema is made, or brought up to date, by its user's function, with
// its version in PRAGMA user_version.
//
// Threads: every call opens a connection of its own on the calling thread (Connection) and
// closes it before it returns. Qt SQL's connections belong to the thread that made them and
// must be removed there; a connection kept per thread would outlive a worker thread that ends
// before the object. Opening the file is cheap beside what is done with it. A call may wait up
// to five seconds for another program's write: windows call through a job on a worker
// (shell/Job.h).
//
// Every failure throws Failure in the plain words its user gave (Words): the file cannot be
// read or written, or another program held it longer than the wait allows.
class SqliteFile {
public:
    // What the user reads, in the words of the file's user (translated there). %1 is the file,
    // %2 the reason.
    struct Words {
        QString inUse;           // %1: held by another program too long; nothing was changed
        QString inUseAtStart;    // %1: held too long while it was being looked over
        QString damaged;         // %1: found damaged by a call; put aside at the next start
        QString cannotWrite;     // %1, %2
        QString cannotUse;       // %1, %2
        QString cannotMake;      // %1, %2
        QString cannotPutAside;  // %1: damaged and cannot be moved aside
        QString keptAside;       // %1 the damaged file's new name: what is lost, what goes on
    };

    class Connection;
    // Makes the tables of a file of `version` (0: a new file) into those of the current version,
    // inside a write transaction.
    using Schema = std::function<void(Connection&, int version)>;

    // The file `file`, made when missing with its folder (and `folders`, all 0700). A file
    // found damaged is moved aside and a new one started (see problem()); a file that cannot
    // be used at all leaves problem() saying so, and every call throws.
    SqliteFile(const QString& file, int schemaVersion, Schema schema, Words words,
               const QStringList& folders = {});
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    const QString& file() const { return file_; }
    const Words& words() const { return words_; }

    // Empty while the file could be used as found; else the plain words for the user: the
    // damaged file was moved aside and a new one started, or the file cannot be used at all.
    QString problem() const;

    // Throws what keeps the file from being used (trying to make it again first).
    void ensureReady() const;

    // The plain words for a failed statement on the file.
    QString describe(const QSqlError& error) const;

private:
    // Makes the folders and the file, with its tables, when missing, moving a damaged one
    // aside first; sets failure_ when it cannot. Once done, later calls do nothing.
    void prepare() const;

    const QString file_;
    const int schemaVersion_;
    const Schema schema_;
    const Words words_;
    const QStringList folders_;
    mutable std::mutex mutex_;  // prepare()'s state below
    mutable bool ready_ = false;
    mutable QString damage_;   // what was found damaged and put aside
    mutable QString failure_;  // why the file cannot be used, while it cannot
};

// One connection to the file, made on the calling thread and removed with the object, on the
// same thread. Queries made through it must go before it does. Making one throws what keeps the
// file from being used or opened (SqliteFile::ensureReady() first).
class SqliteFile::Connection {
public:
    explicit Connection(const SqliteFile& file);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs `sql` with `values` bound in order; the query, positioned before its first row.
    // Throws the failure in plain words.
    QSqlQuery run(const QString& sql, const QVariantList& values = {});
    // The same, with a failure left in the query's lastError().
    QSqlQuery tryRun(const QString& sql, const QVariantList& values = {});

    // Runs `change` in one transaction that holds the file's write lock from its start (so
    // that it waits for another writer once, up front, rather than failing midway); made
    // whole or not at all.
    template <class Change>
    auto writing(Change&& change) {
        run(QStringLiteral("BEGIN IMMEDIATE"));
        try {
            if constexpr (std::is_void_v<decltype(change())>) {
                change();
                run(QStringLiteral("COMMIT"));
            } else {
                auto result = change();
                run(QStringLiteral("COMMIT"));
                return result;
            }
        } catch (...) {
            tryRun(QStringLiteral("ROLLBACK"));
            throw;
        }
    }

private:
    friend class SqliteFile;
    Connection(const QString& path, const SqliteFile& file);

    const SqliteFile& file_;
    const QString name_;
    QSqlDatabase db_;
};

// $XDG_DATA_HOME/velmora: where the program keeps its own files.
QString ProgramDataFolder();

// Makes `path` and the folders above it that are missing, readable by the user alone, and
// makes `path` so if it stood already (it is the program's own). Throws Failure.
void MakePrivateFolder(const QString& path);

}  // namespace velmora
