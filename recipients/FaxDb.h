#pragma once

#include "recipients/Recipient.h"

#include <QByteArray>
#include <vector>

namespace velmora {

// The entries of a HylaFAX client's personal fax database (~/.faxdb, hylafax-client(1)):
// "keyword: value" pairs, free format, values with spaces in double quotes, "#" to the line's
// end a comment, and records in "[ ]" that may hold records, a record inheriting what it does
// not say from the records around it:
//     [ Company: "Silicon Graphics, Inc."  Location: "Mountain View, California"
//       [ Name: "Sam Leffler"  FAX-Number: +1.415.965.7824 ] ]
// Each record with a Name or a FAX-Number of its own is an entry, in the order the records
// begin: Name, Company, FAX-Number and Voice-Number as the entry's name, company, fax and
// phone, Location as its notes. Keywords are matched whatever their case; others are passed
// over. The text is UTF-8, else Latin-1. Brackets left open are closed at the end; a stray
// closing one is passed over.
std::vector<Recipient> ReadFaxDb(const QByteArray& bytes);

// Whether `bytes` look like a fax database: a known keyword with its colon, outside comments.
bool LooksLikeFaxDb(const QByteArray& bytes);

}  // namespace velmora
