#pragma once

#include "recipients/PhoneBook.h"
#include "recipients/VCard.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace velmora {

// What an import did, for the user.
struct ImportResult {
    int added = 0;
    // Of those added, how many have no fax number (added all the same).
    int withoutFax = 0;
    // Each entry not added, in words: "“Ann Lee”: already in the phone book".
    QStringList skipped;
    // The whole of it in a few sentences: how many were added from which file, how many of
    // them have no fax number, how many were skipped and why.
    QString summary;
};

// Adds the entries of `file` to `book`: a vCard file (a line "BEGIN:VCARD" in it) or a HylaFAX
// fax database (~/.faxdb), told apart by what the file holds, whatever its name. Skipped: an
// entry without a name, a company or a fax number, and one the phone book has already (the
// same name, company and fax number's digits), also twice in the file. The new entries are
// added in one transaction. Throws Failure when the file cannot be read, is neither kind, or
// holds no entry at all; nothing is added then.
ImportResult ImportRecipients(PhoneBook& book, const QString& file);

// Writes `entries` to `file` as a vCard file of `version`, replacing it whole (AtomicFile).
// Throws Failure, also for no entries at all.
void ExportRecipients(const std::vector<Recipient>& entries, const QString& file,
                      VCardVersion version = VCardVersion::v3);

}  // namespace velmora
