#pragma once

#include <QString>
#include <QStringList>

namespace velmora {

// One entry of the phone book: someone a fax goes to. Every field may be empty; `groups` are
// the names of the groups the entry belongs to, in the order given, each once.
struct Recipient {
    qint64 id = 0;  // the phone book's own; 0 for an entry not in it
    QString name, company, fax, phone, email, notes;
    QStringList groups;

    bool operator==(const Recipient&) const = default;
};

// The digits of a phone number, nothing else: "+1 (555) 010-0100" is "15550100100".
QString NumberDigits(const QString& number);

// `text` as a search compares it: case folded, without accents (é, ö, Greek tonos), width
// folded (full-width Latin, half-width kana), with its whitespace simplified.
QString SearchFolded(const QString& text);

}  // namespace velmora
