#pragma once

#include "recipients/Recipient.h"

#include <QByteArray>
#include <vector>

namespace velmora {

enum class VCardVersion { v3, v4 };

// The entries of a vCard file (2.1, 3.0 or 4.0; RFC 2426, RFC 6350), in its order, ids 0:
// - name: FN, or N put together when there is no FN (given name first; family name first,
//   without a space, for Chinese and Japanese names); company: ORG's first part;
// - fax: the TEL whose types hold "fax" (TYPE=fax, TYPE=work,fax, TYPE="fax", TYPE=FAX;TYPE=WORK,
//   2.1's TEL;FAX;WORK), phone: another TEL; of several, the preferred one (TYPE=pref, PREF=n),
//   else the first; a tel: URI (VALUE=uri) as its number; email: EMAIL, the same way;
// - notes: NOTE (several one a line); groups: CATEGORIES.
// Lines folded (a line break and a space or tab) are joined; escaped characters (\, \; \n \\)
// are taken as meant; text is UTF-8, or as CHARSET says, and 2.1's ENCODING=QUOTED-PRINTABLE
// (its soft line breaks too) and BASE64 are decoded. A card without a fax number is an entry
// all the same, its fax empty. Other properties, cards inside cards (2.1's AGENT) and lines
// outside cards are passed over; a card cut short by the file's end is taken as it is.
std::vector<Recipient> ReadVCards(const QByteArray& bytes);

// The entries as a vCard file of `version`, UTF-8, lines ending in CRLF and folded at 75
// octets (never inside a UTF-8 sequence): FN and N (the last word of the name taken for the
// family name), ORG, TEL;TYPE=fax, TEL;TYPE=voice, EMAIL, NOTE, CATEGORIES; empty fields left
// out (but FN and N, which every card has). ReadVCards() reads back the very same entries.
QByteArray WriteVCards(const std::vector<Recipient>& entries, VCardVersion version);

}  // namespace velmora
