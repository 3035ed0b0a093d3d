#pragma once

#include <QString>
#include <vector>

namespace velmora {

// A fax number as the user typed it, looked at through libphonenumber. What it finds is a
// warning, never a reason not to send: the number goes to the server as typed.
struct CheckedNumber {
    QString typed;
    // The number in international form ("+1 201-555-0142"); empty when it is no phone number.
    QString international;
    // What goes to the fax server: the number as typed, without spaces, brackets and dashes,
    // its pauses (",") and a leading "+" kept, keypad letters as their digits.
    QString dialled;
    bool valid = false;
    // What is wrong with it, in plain words ("not a valid number for US"); empty when fine.
    QString warning;
};

// Checks `typed` as dialled from `region` (two letters, "US"; "ZZ": anywhere, so only numbers
// with their "+country code" are understood). Commas are pauses: a dialling prefix before one
// ("0,", "9,,") or digits after one do not spoil the check.
CheckedNumber CheckFaxNumber(const QString& typed, const QString& region);

// The region of the system's locale ("DE"), or "ZZ" where it names none.
QString DefaultRegion();
// The region numbers are dialled from: the setting "FaxRegion", else DefaultRegion().
QString FaxRegion();
// Sets it; empty: follow the locale again.
void SetFaxRegion(const QString& region);

// Several numbers typed into one field, separated by ";" or line breaks (a comma is a pause,
// not a separator); each trimmed, empty ones left out.
std::vector<QString> SplitNumbers(const QString& typed);

// Whether `typed` is not one number but several typed with commas or spaces between them
// ("555-0100, 555-0200", "2015550142 2015550143"): each part a whole number for the region (or
// a local number of 7 digits or more), the whole none. To ask the user about, never to send as
// one number.
bool LooksLikeTwoNumbers(const QString& typed, const QString& region);

// Whether `a` and `b`, both dialled from `region`, reach the same number ("(201) 555-0142" and
// "+1 201 555 0142"), as libphonenumber matches them; pauses and prefixes before them aside.
bool SameNumber(const QString& a, const QString& b, const QString& region);

}  // namespace velmora
