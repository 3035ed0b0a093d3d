#pragma once

#include "recipients/Recipient.h"
#include "shell/SqliteFile.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace velmora {

// The user's phone book: an SQLite file in the program's data folder (shell/SqliteFile.h:
// private to the user, shared with another running Velmora, a damaged one put aside). Each
// change is one transaction: two programs adding and editing at once lose nothing of each
// other's (an entry edited by both at once keeps the later edit whole).
//
// Searching is done in the file, over columns kept with each entry: its name and company case
// and accent folded, and its fax number's digits; so is ordering by name. A search over 10,000
// entries takes a few milliseconds (tools/bench-recipients.sh).
//
// Threads: any thread may call any member at any time. A call may wait up to five seconds for
// another program's write: windows call the writing ones through a job on a worker
// (shell/Job.h). Every failure throws Failure in plain words; nothing is changed by a failed
// call.
class PhoneBook {
public:
    // The phone book in `folder`: file "phone-book.sqlite" (0600) in the folder (0700), made
    // when missing. See problem() for a file found damaged or unusable.
    explicit PhoneBook(const QString& folder = DefaultFolder());
    PhoneBook(const PhoneBook&) = delete;
    PhoneBook& operator=(const PhoneBook&) = delete;

    // $XDG_DATA_HOME/velmora.
    static QString DefaultFolder();

    QString file() const;

    // Adds `entry` (its id is not looked at); returns the new id. Ids are never used twice.
    qint64 add(const Recipient& entry);
    // Adds them all in one transaction, the ids in their order.
    std::vector<qint64> add(const std::vector<Recipient>& entries);
    // Writes every field of entry.id; false when there is no such entry (removed meanwhile).
    bool update(const Recipient& entry);
    void remove(qint64 id);

    std::optional<Recipient> find(qint64 id) const;
    // Every entry, by name (case and accents folded), then in the order added.
    std::vector<Recipient> all() const;
    // As the user types: the entries, by name, at most `limit`, where every word of `text`
    // starts a word of the name or the company (O'Brien's words are "o", "brien" and
    // "obrien"; Chinese and Japanese words match anywhere in them), case and accents folded;
    // or, for text of digits alone (with spaces, "+", "-", "(", ")", "."), whose fax number
    // holds those digits in a row ("5550" finds "555-0100"). Empty text: the first by name.
    std::vector<Recipient> search(const QString& text, int limit = 50) const;

    // The names of the groups entries belong to, sorted (case and accents folded).
    QStringList groups() const;
    // The entries of group `name` (exactly that name), by name.
    std::vector<Recipient> inGroup(const QString& name) const;

    // The entry for fax number `number`: the first by name whose fax number has the same
    // digits; else the one whose digits, or those of `number`, end with the other's, leading
    // zeros left out, with the most digits in common, 7 at least (the same number with or
    // without its country or area code or trunk prefix). None for a number without digits.
    std::optional<Recipient> byNumber(const QString& number) const;
    // The first entry added of that name, case, accents and spacing folded.
    std::optional<Recipient> byName(const QString& name) const;

    // Empty while the phone book could be used as found; else the plain words for the user:
    // the damaged file was moved aside and a new phone book started, or the phone book cannot
    // be used at all. The program goes on either way.
    QString problem() const;

private:
    std::vector<Recipient> select(const QString& where, const QVariantList& values,
                                  const QString& tail = {}) const;

    SqliteFile store_;
};

}  // namespace velmora
