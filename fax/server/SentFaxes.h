#pragma once

#include "fax/server/SentFax.h"

#include <QString>
#include <mutex>
#include <optional>
#include <vector>

namespace velmora {

// The record of faxes sent from this program: an SQLite file (through Qt SQL) in the program's
// data folder, with a kept copy of each fax as sent. Two instances of the program may use it at
// once: it is in WAL mode, each write is one transaction that waits up to a few seconds for
// another writer, and each change is to a single row.
//
// Threads: every call opens a connection of its own on the calling thread and closes it before
// it returns. Qt SQL's connections belong to the thread that made them and must be removed
// there; a connection kept per thread would outlive a worker thread that ends before the
// object, or have to be removed from a thread it does not belong to. Opening the file is
// cheap beside what is done with it (a few calls a minute at most), so no connection is
// kept: any thread may call any member at any time, also at once with another thread. A call
// may wait up to five seconds for another program's write: windows call it through a job on a
// worker (shell/Job.h), not on their own thread.
//
// Every failure throws Failure with plain words (shell/Failure.h): the file cannot be
// read or written, or another program held it longer than the wait allows. Nothing
// recorded is lost by a failure: a change is made whole or not at all.
class SentFaxes {
public:
    // The store in `folder`: file "sent-faxes.sqlite" (0600) in the folder (0700), made when
    // missing, and the kept copies in "<folder>/sent/" (0700, files 0600). A store found
    // damaged is moved aside and a new one started (see problem()); a store that cannot be
    // used at all leaves problem() saying so, and every call throws.
    explicit SentFaxes(const QString& folder = DefaultFolder());
    SentFaxes(const SentFaxes&) = delete;
    SentFaxes& operator=(const SentFaxes&) = delete;

    // $XDG_DATA_HOME/velmora.
    static QString DefaultFolder();

    // The store's file.
    QString file() const;

    // Records `fax` (its id and document are not looked at) with a kept copy of `pdf`, the fax
    // as sent, as its document; returns the new id. Ids are never used twice, even after a
    // remove().
    qint64 add(SentFax fax, const QString& pdf);
    // Every fax recorded, newest first (by the time it was handed to the server).
    std::vector<SentFax> all() const;
    std::optional<SentFax> find(qint64 id) const;
    // The last the server said of fax.id: its state, status, pages, tries, dials, next try,
    // end and remote station; nothing else of the row changes. Nothing happens when it was
    // removed meanwhile.
    void updateState(const SentFax& fax);
    // Marks fax `id` as told to the user; true only for the one caller, of whichever process,
    // that marked it, so that two instances never both tell it.
    bool markNoticed(qint64 id);
    // Removes the fax's row, then its kept copy.
    void remove(qint64 id);
    // The faxes of the packet `packetKey` to the same number (the digits alone compared) that
    // did not fail and were not cancelled, newest first: to ask before the same fax goes out
    // twice. None for an empty key or a number without digits.
    std::vector<SentFax> sameFax(const QString& packetKey, const QString& number) const;

    // Empty while the store could be used as found; else the plain words for the user: the
    // damaged file was moved aside (never overwritten) and a new store started, or the store
    // could not be opened at all. The program goes on either way.
    QString problem() const;

private:
    class Connection;
    // Makes the folders and the store, with its tables, when missing, moving a damaged one
    // aside first; sets problem_ when it cannot. Once done, later calls do nothing.
    void prepare() const;
    // prepare(), then throws what it found when the store cannot be used.
    void ensureReady() const;
    QString sentFolder() const;

    const QString folder_;
    mutable std::mutex mutex_;  // prepare()'s state below
    mutable bool ready_ = false;
    mutable QString damage_;   // what was found damaged and put aside
    mutable QString failure_;  // why the store cannot be used, while it cannot
};

}  // namespace velmora
