#pragma once

#include "fax/server/SentFax.h"
#include "shell/SqliteFile.h"

#include <QString>
#include <optional>
#include <vector>

namespace velmora {

// The record of faxes sent from this program: an SQLite file in the program's data folder
// (shell/SqliteFile.h: shared with another instance of the program, private to the user, a
// damaged one put aside), with a kept copy of each fax as sent. Each change is to a single row.
//
// Threads: any thread may call any member at any time, also at once with another thread; each
// call has a connection of its own. A call may wait up to five seconds for another program's
// write: windows call it through a job on a worker (shell/Job.h), not on their own thread.
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
    QString sentFolder() const;

    const QString folder_;
    SqliteFile store_;
};

}  // namespace velmora
