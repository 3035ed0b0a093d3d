#include "VCard.h"

#include <QStringDecoder>
#include <QUrl>
#include <optional>

namespace velmora {
namespace {

// --- Reading ---

// One property of a card, its line taken apart: "item1.TEL;TYPE=work,fax:+1 555 0100".
struct Property {
    QByteArray name;          // upper case, without its group ("TEL")
    QList<QByteArray> types;  // lower case, each once ("work", "fax"), 2.1's bare ones too
    QByteArray encoding;      // upper case ("QUOTED-PRINTABLE", "B", "BASE64"), or empty
    QByteArray charset;       // as given, or empty
    QByteArray valueType;     // lower case ("uri", "text"), or empty
    int pref = 101;           // PREF's 1 to 100, 1 for TYPE=pref; above 100: not preferred
    QByteArray value;         // as written, encoded
};

QByteArray unquoted(QByteArray text) {
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
        text = text.mid(1, text.size() - 2);
    return text;
}

// The parts of `text` between `separator`s that stand outside double quotes.
QList<QByteArray> splitOutsideQuotes(const QByteArray& text, char separator) {
    QList<QByteArray> parts;
    QByteArray part;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == separator && !quoted) {
            parts += part;
            part.clear();
        } else {
            part += c;
        }
    }
    parts += part;
    return parts;
}

// Where the value starts: after the first colon outside double quotes (-1: none).
qsizetype valueStart(const QByteArray& line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ':' && !quoted) return i + 1;
    }
    return -1;
}

std::optional<Property> propertyOf(const QByteArray& line) {
    const qsizetype start = valueStart(line);
    if (start < 0) return std::nullopt;
    Property property;
    property.value = line.mid(start);
    QList<QByteArray> head = splitOutsideQuotes(line.left(start - 1), ';');
    property.name = head.takeFirst().trimmed().toUpper();
    if (const qsizetype dot = property.name.lastIndexOf('.'); dot >= 0)
        property.name = property.name.mid(dot + 1);
    const auto addType = [&](const QByteArray& type) {
        const QByteArray lower = unquoted(type).toLower();
        if (lower.isEmpty()) return;
        if (lower == "pref") property.pref = std::min(property.pref, 1);
        if (!property.types.contains(lower)) property.types += lower;
    };
    for (const QByteArray& parameter : head) {
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0) {
            // 2.1's bare parameters: types, and the encoding or character set named alone.
            const QByteArray bare = parameter.trimmed().toUpper();
            if (bare == "QUOTED-PRINTABLE" || bare == "BASE64")
                property.encoding = bare;
            else
                addType(bare);
            continue;
        }
        const QByteArray key = parameter.left(equals).trimmed().toUpper();
        const QByteArray value = unquoted(parameter.mid(equals + 1));
        if (key == "TYPE") {
            for (const QByteArray& type : splitOutsideQuotes(value, ',')) addType(type);
        } else if (key == "ENCODING") {
            property.encoding = value.toUpper();
        } else if (key == "CHARSET") {
            property.charset = value;
        } else if (key == "VALUE") {
            property.valueType = value.toLower();
        } else if (key == "PREF") {
            bool number = false;
            const int pref = value.toInt(&number);
            if (number && pref >= 1) property.pref = std::min(property.pref, pref);
        }
    }
    return property;
}

bool quotedPrintable(const QByteArray& line) {
    const qsizetype start = valueStart(line);
    return start > 0 && line.left(start).toUpper().contains("QUOTED-PRINTABLE");
}

QByteArray fromQuotedPrintable(const QByteArray& encoded) {
    QByteArray bytes;
    bytes.reserve(encoded.size());
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '=' && i + 2 < encoded.size() && hex(encoded[i + 1]) >= 0 &&
            hex(encoded[i + 2]) >= 0) {
            bytes += char(hex(encoded[i + 1]) * 16 + hex(encoded[i + 2]));
            i += 2;
        } else if (encoded[i] == '=' && i + 1 == encoded.size()) {
            // a soft line break left at the very end
        } else {
            bytes += encoded[i];
        }
    }
    return bytes;
}

// Bytes as text: in `charset` when one is named (and known), else UTF-8, else (bytes that are
// not UTF-8, as old address books wrote) Windows' Western code page, or Latin-1.
QString cardText(const QByteArray& bytes, const QByteArray& charset) {
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid()) {
            const QString text = decoder(bytes);
            if (!decoder.hasError()) return text;
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    QStringDecoder western("windows-1252");
    if (western.isValid()) return western(bytes);
    return QString::fromLatin1(bytes);
}

QString decodedValue(const Property& property) {
    QByteArray bytes = property.value;
    if (property.encoding == "QUOTED-PRINTABLE")
        bytes = fromQuotedPrintable(bytes);
    else if (property.encoding == "B" || property.encoding == "BASE64")
        bytes = QByteArray::fromBase64(bytes);
    return cardText(bytes, property.charset);
}

// The parts of a value between unescaped `separator`s, still escaped.
QStringList splitEscaped(const QString& value, QChar separator) {
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            part += value[i];
            part += value[++i];
        } else if (value[i] == separator) {
            parts += part;
            part.clear();
        } else {
            part += value[i];
        }
    }
    parts += part;
    return parts;
}

// 3.0 and 4.0 escape backslashes, commas, semicolons and line breaks; 2.1 only semicolons.
QString unescaped(const QString& value, bool version21) {
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const QChar next = value[i + 1];
        if (next == QLatin1Char(';')) {
            text += next;
        } else if (version21) {
            text += value[i];
            continue;
        } else if (next == QLatin1Char('n') || next == QLatin1Char('N')) {
            text += QLatin1Char('\n');
        } else {
            text += next;  // \\ \, \: and any other
        }
        ++i;
    }
    return text;
}

bool isUnspacedName(const QString& text) {
    for (const char32_t c : text.toUcs4())
        if ((c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x9FFF) ||
            (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF))
            return true;
    return false;
}

// A TEL's number: a tel: URI's, without its parameters, or the text as written.
QString numberOf(const QString& value, const Property& property) {
    QString number = value.trimmed();
    if (property.valueType == "uri" ||
        number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
        if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) number = number.mid(4);
        number = QUrl::fromPercentEncoding(number.section(QLatin1Char(';'), 0, 0).toUtf8());
    }
    return number;
}

// A card as it is read: each field with how preferred the value kept is.
class CardReader {
public:
    void take(const Property& property) {
        if (property.name == "VERSION") {
            version21_ = property.value.trimmed() == "2.1";
            return;
        }
        const QString value = decodedValue(property);
        if (property.name == "FN") {
            if (name_.isEmpty()) name_ = unescaped(value, version21_).trimmed();
        } else if (property.name == "N") {
            if (structuredName_.isEmpty()) structuredName_ = nameFromParts(value);
        } else if (property.name == "ORG") {
            if (entry_.company.isEmpty())
                entry_.company =
                    unescaped(splitEscaped(value, QLatin1Char(';')).front(), version21_).trimmed();
        } else if (property.name == "TEL") {
            const QString number = numberOf(unescaped(value, version21_), property);
            if (number.isEmpty()) return;
            if (property.types.contains("fax"))
                keep(entry_.fax, faxPref_, number, property.pref);
            else
                keep(entry_.phone, phonePref_, number, property.pref);
        } else if (property.name == "EMAIL") {
            const QString email = unescaped(value, version21_).trimmed();
            if (!email.isEmpty()) keep(entry_.email, emailPref_, email, property.pref);
        } else if (property.name == "NOTE") {
            QString note = unescaped(value, version21_);
            note.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            if (!note.isEmpty())
                entry_.notes += (entry_.notes.isEmpty() ? QString() : QStringLiteral("\n")) + note;
        } else if (property.name == "CATEGORIES") {
            for (const QString& group : splitEscaped(value, QLatin1Char(','))) {
                const QString name = unescaped(group, version21_).trimmed();
                if (!name.isEmpty() && !entry_.groups.contains(name)) entry_.groups += name;
            }
        }
    }

    Recipient entry() const {
        Recipient entry = entry_;
        entry.name = name_.isEmpty() ? structuredName_ : name_;
        return entry;
    }

private:
    // Family;Given;Additional;Prefixes;Suffixes, each part a list.
    QString nameFromParts(const QString& value) const {
        QStringList parts;
        for (const QString& part : splitEscaped(value, QLatin1Char(';'))) {
            QStringList words;
            for (const QString& word : splitEscaped(part, QLatin1Char(',')))
                if (const QString text = unescaped(word, version21_).trimmed(); !text.isEmpty())
                    words += text;
            parts += words.join(QLatin1Char(' '));
        }
        while (parts.size() < 5) parts += QString();
        const QString &family = parts[0], &given = parts[1];
        if (isUnspacedName(family + given)) return family + given;
        QStringList ordered{parts[3], given, parts[2], family, parts[4]};
        ordered.removeAll(QString());
        return ordered.join(QLatin1Char(' '));
    }

    static void keep(QString& field, int& kept, const QString& value, int pref) {
        if (field.isEmpty() || pref < kept) {
            field = value;
            kept = pref;
        }
    }

    bool version21_ = false;
    Recipient entry_;
    QString name_, structuredName_;
    int faxPref_ = 1000, phonePref_ = 1000, emailPref_ = 1000;
};

// The file's lines, each property whole: folded lines joined (3.0 and 4.0 drop the space or
// tab that starts a continued line, 2.1 keeps it), and quoted-printable values continued
// after a soft line break.
QList<QByteArray> unfoldedLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    bool version21 = false;
    const auto close = [&] {
        if (lines.isEmpty()) return;
        const QByteArray upper = lines.last().trimmed().toUpper();
        if (upper.startsWith("VERSION:")) version21 = upper.endsWith("2.1");
    };
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
        const QByteArray line = bytes.mid(start, end - start);
        start = end;
        if (start < bytes.size() && bytes[start] == '\r') ++start;
        if (start < bytes.size() && bytes[start] == '\n') ++start;

        if (!lines.isEmpty() && lines.last().endsWith('=') && quotedPrintable(lines.last())) {
            lines.last().chop(1);
            lines.last() += line;
        } else if (!lines.isEmpty() && (line.startsWith(' ') || line.startsWith('\t'))) {
            lines.last() += version21 ? line : line.mid(1);
        } else if (!line.isEmpty()) {
            close();
            lines += line;
        }
    }
    return lines;
}

// --- Writing ---

QByteArray escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QChar c : plain) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char(';'))
            out += QLatin1Char('\\') + QString(c);
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out.toUtf8();
}

// A content line folded at 75 octets: the continued lines start with a space, which counts;
// a UTF-8 sequence is never split.
QByteArray folded(const QByteArray& line) {
    QByteArray out;
    qsizetype position = 0;
    qsizetype room = 75;
    while (line.size() - position > room) {
        qsizetype cut = room;
        while (cut > 1 && (uchar(line[position + cut]) & 0xC0) == 0x80) --cut;
        out += line.mid(position, cut);
        out += "\r\n ";
        position += cut;
        room = 74;
    }
    out += line.mid(position);
    out += "\r\n";
    return out;
}

}  // namespace

std::vector<Recipient> ReadVCards(const QByteArray& bytes) {
    std::vector<Recipient> entries;
    std::optional<CardReader> card;
    int nested = 0;  // cards inside the card (2.1's AGENT)
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    for (const QByteArray& line : unfoldedLines(text)) {
        const std::optional<Property> property = propertyOf(line);
        if (!property) continue;
        const QByteArray value = property->value.trimmed().toUpper();
        if (property->name == "BEGIN" && value == "VCARD") {
            if (card)
                ++nested;
            else
                card.emplace();
        } else if (property->name == "END" && value == "VCARD") {
            if (nested > 0) {
                --nested;
            } else if (card) {
                entries.push_back(card->entry());
                card.reset();
            }
        } else if (card && nested == 0) {
            card->take(*property);
        }
    }
    if (card) entries.push_back(card->entry());
    return entries;
}

QByteArray WriteVCards(const std::vector<Recipient>& entries, VCardVersion version) {
    QByteArray out;
    for (const Recipient& entry : entries) {
        out += "BEGIN:VCARD\r\n";
        out += version == VCardVersion::v3 ? "VERSION:3.0\r\n" : "VERSION:4.0\r\n";
        out += folded("FN:" + escaped(entry.name));
        // The family name is the name's last word, or the whole of a name without spaces.
        const QString name = entry.name.simplified();
        const qsizetype space = name.lastIndexOf(QLatin1Char(' '));
        out += folded("N:" + escaped(name.mid(space + 1)) + ';' +
                      escaped(space < 0 ? QString() : name.left(space)) + ";;;");
        if (!entry.company.isEmpty()) out += folded("ORG:" + escaped(entry.company));
        if (!entry.fax.isEmpty()) out += folded("TEL;TYPE=fax:" + escaped(entry.fax));
        if (!entry.phone.isEmpty()) out += folded("TEL;TYPE=voice:" + escaped(entry.phone));
        if (!entry.email.isEmpty())
            out += folded((version == VCardVersion::v3 ? "EMAIL;TYPE=internet:" : "EMAIL:") +
                          escaped(entry.email));
        if (!entry.notes.isEmpty()) out += folded("NOTE:" + escaped(entry.notes));
        if (!entry.groups.isEmpty()) {
            QList<QByteArray> groups;
            for (const QString& group : entry.groups) groups += escaped(group);
            out += folded("CATEGORIES:" + groups.join(','));
        }
        out += "END:VCARD\r\n";
    }
    return out;
}

}  // namespace velmora
