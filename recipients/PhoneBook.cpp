#include "PhoneBook.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <set>

namespace velmora {
namespace {

constexpr auto kFileName = "phone-book.sqlite";
// The schema's version, in PRAGMA user_version: a later version adds columns and raises it.
constexpr int kSchemaVersion = 1;

QString phoneBookText(const char* text) {
    return QCoreApplication::translate("velmora::PhoneBook", text);
}

SqliteFile::Words phoneBookWords() {
    SqliteFile::Words words;
    words.inUse = phoneBookText(
        "The phone book ('%1') is in use by another program (another Velmora, perhaps) and "
        "stayed so too long. Nothing was changed; try again in a moment.");
    words.inUseAtStart = phoneBookText(
        "The phone book ('%1') is in use by another program (another Velmora, perhaps) and "
        "stayed so too long.");
    words.damaged = phoneBookText(
        "The phone book ('%1') is damaged. It is put aside and a new one started when Velmora "
        "starts again.");
    words.cannotWrite = phoneBookText("Cannot write the phone book ('%1'): %2.");
    words.cannotUse = phoneBookText("Cannot use the phone book ('%1'): %2.");
    words.cannotMake = phoneBookText("Cannot make the phone book ('%1'): %2.");
    words.cannotPutAside = phoneBookText(
        "The phone book ('%1') is damaged, and it cannot be moved aside to start a new one.");
    words.keptAside = phoneBookText(
        "The phone book was damaged and could not be read. It was kept as '%1' and a new, empty "
        "phone book started: import the entries again from a vCard file you exported, if you "
        "have one.");
    return words;
}

// The columns that hold an entry are the first eight, in the order rowOf() reads them. The
// others are kept for searching and ordering: the name folded (byName), the name or, for an
// entry without one, the company folded (order), the words of both folded (search), the fax
// number's digits.
void makeTables(SqliteFile::Connection& connection, int /*version*/) {
    connection.run(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS recipients ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " name TEXT NOT NULL DEFAULT '', company TEXT NOT NULL DEFAULT '',"
        " fax TEXT NOT NULL DEFAULT '', phone TEXT NOT NULL DEFAULT '',"
        " email TEXT NOT NULL DEFAULT '', notes TEXT NOT NULL DEFAULT '',"
        " groups TEXT NOT NULL DEFAULT '',"
        " name_key TEXT NOT NULL DEFAULT '', sort_key TEXT NOT NULL DEFAULT '',"
        " search_key TEXT NOT NULL DEFAULT '', fax_digits TEXT NOT NULL DEFAULT '')"));
    connection.run(
        QStringLiteral("CREATE INDEX IF NOT EXISTS recipients_in_order ON recipients "
                       "(sort_key, id, search_key, fax_digits)"));
    connection.run(
        QStringLiteral("CREATE INDEX IF NOT EXISTS recipients_by_name ON recipients (name_key)"));
    connection.run(
        QStringLiteral("CREATE INDEX IF NOT EXISTS recipients_by_fax ON recipients (fax_digits)"));
}

constexpr auto kColumns = "id, name, company, fax, phone, email, notes, groups";
constexpr auto kInOrder = " ORDER BY sort_key, id";

// The fewest digits a number has that is taken for the same as one written with more.
constexpr int kLeastNumber = 7;

// Groups are kept one a line.
constexpr QChar kGroupSeparator = QLatin1Char('\n');

// Combining marks that are accents on Latin, Greek and Cyrillic letters (not the kana's voicing
// marks, which make another sound).
bool isAccent(char16_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

// Scripts written without spaces between words, where a word typed is looked for anywhere.
bool isUnspaced(char32_t c) {
    return (c >= 0x3040 && c <= 0x30FF) ||  // hiragana, katakana
           (c >= 0x3400 && c <= 0x4DBF) ||  // Han, extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||  // Han
           (c >= 0xF900 && c <= 0xFAFF) ||  // Han compatibility
           (c >= 0x20000 && c <= 0x3FFFF);  // Han, further extensions
}

bool isWordCharacter(char32_t c) {
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

// The words of folded text: runs of letters, digits and marks; a run of them joined by
// punctuation ("o'brien", "smith-jones") is also a word whole, without the punctuation.
QStringList wordsOf(const QString& folded, bool joined) {
    QStringList words;
    for (const QString& token : folded.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        QStringList parts;
        QString part;
        for (const char32_t c : token.toUcs4()) {
            if (isWordCharacter(c)) {
                part += QString::fromUcs4(&c, 1);
            } else if (!part.isEmpty()) {
                parts += part;
                part.clear();
            }
        }
        if (!part.isEmpty()) parts += part;
        words += parts;
        if (joined && parts.size() > 1) words += parts.join(QString());
    }
    return words;
}

QString searchKey(const Recipient& entry) {
    const QStringList words =
        wordsOf(SearchFolded(entry.name), true) + wordsOf(SearchFolded(entry.company), true);
    return QLatin1Char(' ') + words.join(QLatin1Char(' ')) + QLatin1Char(' ');
}

QStringList cleanGroups(const QStringList& groups) {
    QStringList clean;
    for (const QString& group : groups) {
        const QString name = group.simplified();
        if (!name.isEmpty() && !clean.contains(name)) clean += name;
    }
    return clean;
}

// What is written of an entry, the columns in this order: name, company, fax, phone, email,
// notes, groups, name_key, sort_key, search_key, fax_digits.
QVariantList valuesOf(const Recipient& given) {
    Recipient entry = given;
    for (QString* field : {&entry.name, &entry.company, &entry.fax, &entry.phone, &entry.email})
        *field = field->trimmed();
    const QString nameKey = SearchFolded(entry.name);
    return {entry.name,
            entry.company,
            entry.fax,
            entry.phone,
            entry.email,
            entry.notes,
            cleanGroups(entry.groups).join(kGroupSeparator),
            nameKey,
            nameKey.isEmpty() ? SearchFolded(entry.company) : nameKey,
            searchKey(entry),
            NumberDigits(entry.fax)};
}

Recipient rowOf(const QSqlQuery& query) {
    Recipient entry;
    entry.id = query.value(0).toLongLong();
    entry.name = query.value(1).toString();
    entry.company = query.value(2).toString();
    entry.fax = query.value(3).toString();
    entry.phone = query.value(4).toString();
    entry.email = query.value(5).toString();
    entry.notes = query.value(6).toString();
    entry.groups = query.value(7).toString().split(kGroupSeparator, Qt::SkipEmptyParts);
    return entry;
}

}  // namespace

QString NumberDigits(const QString& number) {
    QString digits;
    for (const QChar c : number)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits += c;
    return digits;
}

QString SearchFolded(const QString& text) {
    // Compatibility decomposition takes accents off their letters and folds widths; the
    // accents go, and what stays is composed again (kana with their voicing marks).
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString kept;
    kept.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (!isAccent(c.unicode())) kept += c;
    return kept.normalized(QString::NormalizationForm_C).toCaseFolded().simplified();
}

PhoneBook::PhoneBook(const QString& folder)
    : store_(folder + QLatin1Char('/') + QLatin1String(kFileName), kSchemaVersion, makeTables,
             phoneBookWords()) {}

QString PhoneBook::DefaultFolder() {
    return ProgramDataFolder();
}

QString PhoneBook::file() const {
    return store_.file();
}

QString PhoneBook::problem() const {
    return store_.problem();
}

qint64 PhoneBook::add(const Recipient& entry) {
    return add(std::vector<Recipient>{entry}).front();
}

std::vector<qint64> PhoneBook::add(const std::vector<Recipient>& entries) {
    SqliteFile::Connection connection(store_);
    return connection.writing([&] {
        std::vector<qint64> ids;
        ids.reserve(entries.size());
        for (const Recipient& entry : entries) {
            const QSqlQuery insert = connection.run(
                QStringLiteral("INSERT INTO recipients (name, company, fax, phone, email, notes, "
                               "groups, name_key, sort_key, search_key, fax_digits) VALUES "
                               "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                valuesOf(entry));
            ids.push_back(insert.lastInsertId().toLongLong());
        }
        return ids;
    });
}

bool PhoneBook::update(const Recipient& entry) {
    SqliteFile::Connection connection(store_);
    return connection.writing([&] {
        const QSqlQuery change = connection.run(
            QStringLiteral("UPDATE recipients SET name = ?, company = ?, fax = ?, phone = ?, "
                           "email = ?, notes = ?, groups = ?, name_key = ?, sort_key = ?, "
                           "search_key = ?, fax_digits = ? WHERE id = ?"),
            valuesOf(entry) << entry.id);
        return change.numRowsAffected() == 1;
    });
}

void PhoneBook::remove(qint64 id) {
    SqliteFile::Connection connection(store_);
    connection.writing(
        [&] { connection.run(QStringLiteral("DELETE FROM recipients WHERE id = ?"), {id}); });
}

std::vector<Recipient> PhoneBook::select(const QString& where, const QVariantList& values,
                                         const QString& tail) const {
    SqliteFile::Connection connection(store_);
    QSqlQuery query = connection.run(
        QStringLiteral("SELECT %1 FROM recipients%2%3%4")
            .arg(QLatin1String(kColumns), where.isEmpty() ? QString() : QStringLiteral(" WHERE "),
                 where, tail),
        values);
    std::vector<Recipient> entries;
    while (query.next()) entries.push_back(rowOf(query));
    return entries;
}

std::optional<Recipient> PhoneBook::find(qint64 id) const {
    std::vector<Recipient> found = select(QStringLiteral("id = ?"), {id});
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

std::vector<Recipient> PhoneBook::all() const {
    return select({}, {}, QLatin1String(kInOrder));
}

std::vector<Recipient> PhoneBook::search(const QString& text, int limit) const {
    const QString folded = SearchFolded(text);
    QStringList conditions;
    QVariantList values;
    for (const QString& word : wordsOf(folded, false)) {
        const auto characters = word.toUcs4();
        conditions += std::any_of(characters.cbegin(), characters.cend(), isUnspaced)
                          ? QStringLiteral("instr(search_key, ?) > 0")
                          : QStringLiteral("instr(search_key, ' ' || ?) > 0");
        values += word;
    }
    QString where = conditions.join(QStringLiteral(" AND "));
    // A number as it is typed: its digits, in a row, somewhere in the fax number's.
    const QString digits = NumberDigits(folded);
    const bool number =
        !digits.isEmpty() && std::all_of(folded.cbegin(), folded.cend(), [](QChar c) {
            return c.isDigit() || QStringLiteral(" +-().").contains(c);
        });
    if (number) {
        where = QStringLiteral("(%1) OR instr(fax_digits, ?) > 0").arg(where);
        values += digits;
    }
    return select(
        where, values,
        QLatin1String(kInOrder) + QStringLiteral(" LIMIT %1").arg(limit > 0 ? limit : -1));
}

QStringList PhoneBook::groups() const {
    SqliteFile::Connection connection(store_);
    QSqlQuery query =
        connection.run(QStringLiteral("SELECT DISTINCT groups FROM recipients WHERE groups != ''"));
    std::set<QString> names;
    while (query.next())
        for (const QString& name : query.value(0).toString().split(kGroupSeparator))
            names.insert(name);
    QStringList sorted(names.begin(), names.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return SearchFolded(a) < SearchFolded(b);
    });
    return sorted;
}

std::vector<Recipient> PhoneBook::inGroup(const QString& name) const {
    return select(QStringLiteral("instr(char(10) || groups || char(10), char(10) || ? || "
                                 "char(10)) > 0"),
                  {name.simplified()}, QLatin1String(kInOrder));
}

std::optional<Recipient> PhoneBook::byNumber(const QString& number) const {
    const QString digits = NumberDigits(number);
    if (digits.isEmpty()) return std::nullopt;
    std::vector<Recipient> found = select(QStringLiteral("fax_digits = ?"), {digits},
                                          QLatin1String(kInOrder) + QStringLiteral(" LIMIT 1"));
    if (!found.empty()) return std::move(found.front());
    // The same number with or without its country or area code in front, or its trunk
    // prefix ("089 555 0100" is "+49 89 555 0100"): the one with the most digits in common.
    const auto significant = [](const QString& number) {
        qsizetype zeros = 0;
        while (zeros < number.size() && number[zeros] == QLatin1Char('0')) ++zeros;
        return number.mid(zeros);
    };
    const QString wanted = significant(digits);
    if (wanted.size() < kLeastNumber) return std::nullopt;
    std::optional<Recipient> best;
    qsizetype bestLength = 0;
    for (Recipient& entry :
         select(QStringLiteral("substr(fax_digits, -?) = ?"),
                {kLeastNumber, wanted.right(kLeastNumber)}, QLatin1String(kInOrder))) {
        const QString theirs = significant(NumberDigits(entry.fax));
        if (theirs.size() < kLeastNumber || !(theirs.endsWith(wanted) || wanted.endsWith(theirs)))
            continue;
        if (const qsizetype length = std::min(theirs.size(), wanted.size()); length > bestLength) {
            bestLength = length;
            best = std::move(entry);
        }
    }
    return best;
}

std::optional<Recipient> PhoneBook::byName(const QString& name) const {
    const QString key = SearchFolded(name);
    if (key.isEmpty()) return std::nullopt;
    std::vector<Recipient> found =
        select(QStringLiteral("name_key = ?"), {key}, QStringLiteral(" ORDER BY id LIMIT 1"));
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

}  // namespace velmora
