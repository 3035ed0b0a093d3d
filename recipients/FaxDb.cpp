#include "FaxDb.h"

#include <QStringDecoder>
#include <algorithm>
#include <map>

namespace velmora {
namespace {

// The database's tokens: "[", "]", ":", and words (quoted or not).
class Tokens {
public:
    enum class Kind { Open, Close, Colon, Word, End };
    struct Token {
        Kind kind;
        QString text;
    };

    explicit Tokens(const QString& text) : text_(text) {}

    // The next token; `value`: a word may hold colons (what follows "keyword:").
    Token next(bool value = false) {
        for (;;) {
            while (at_ < text_.size() && text_[at_].isSpace()) ++at_;
            if (at_ < text_.size() && text_[at_] == QLatin1Char('#')) {
                while (at_ < text_.size() && text_[at_] != QLatin1Char('\n')) ++at_;
                continue;
            }
            break;
        }
        if (at_ == text_.size()) return {Kind::End, {}};
        const QChar c = text_[at_];
        if (c == QLatin1Char('[')) return ++at_, Token{Kind::Open, {}};
        if (c == QLatin1Char(']')) return ++at_, Token{Kind::Close, {}};
        if (c == QLatin1Char(':') && !value) return ++at_, Token{Kind::Colon, {}};
        if (c == QLatin1Char('"')) {
            const qsizetype end = text_.indexOf(QLatin1Char('"'), at_ + 1);
            const qsizetype stop = end < 0 ? text_.size() : end;
            Token word{Kind::Word, text_.mid(at_ + 1, stop - at_ - 1)};
            at_ = end < 0 ? stop : stop + 1;
            return word;
        }
        const qsizetype start = at_;
        while (at_ < text_.size() && !text_[at_].isSpace() &&
               !QStringView(u"[]\"#").contains(text_[at_]) &&
               (value || text_[at_] != QLatin1Char(':')))
            ++at_;
        return {Kind::Word, text_.mid(start, at_ - start)};
    }

private:
    const QString text_;
    qsizetype at_ = 0;
};

QString faxDbText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

constexpr const char* kKeywords[] = {"name", "company", "location", "fax-number", "voice-number"};

struct Record {
    int order;                          // when it began
    int parent;                         // its index, -1 for the file itself
    std::map<QString, QString> fields;  // by keyword, lower case
};

}  // namespace

std::vector<Recipient> ReadFaxDb(const QByteArray& bytes) {
    Tokens tokens(faxDbText(bytes));
    // The file itself is the outermost record.
    std::vector<Record> records{{0, -1, {}}};
    std::vector<int> open{0};
    QString keyword;  // said, waiting for its colon and value
    for (Tokens::Token token = tokens.next(); token.kind != Tokens::Kind::End;) {
        switch (token.kind) {
            case Tokens::Kind::Open:
                records.push_back({int(records.size()), open.back(), {}});
                open.push_back(int(records.size()) - 1);
                keyword.clear();
                break;
            case Tokens::Kind::Close:
                if (open.size() > 1) open.pop_back();
                keyword.clear();
                break;
            case Tokens::Kind::Word:
                keyword = token.text.toLower();
                break;
            case Tokens::Kind::Colon:
                if (!keyword.isEmpty()) {
                    const Tokens::Token value = tokens.next(true);
                    if (value.kind != Tokens::Kind::Word) {
                        token = value;  // "Name: ]": no value; the bracket still counts
                        keyword.clear();
                        continue;
                    }
                    records[open.back()].fields[keyword] = value.text.trimmed();
                    keyword.clear();
                }
                break;
            case Tokens::Kind::End:
                break;
        }
        token = tokens.next();
    }

    std::vector<Recipient> entries;
    for (const Record& record : records) {
        if (!record.fields.count(QStringLiteral("name")) &&
            !record.fields.count(QStringLiteral("fax-number")))
            continue;
        // Each field from the record itself, else from the nearest record around it.
        const auto field = [&](const char* keyword) {
            for (int at = record.order; at >= 0; at = records[at].parent) {
                const auto found = records[at].fields.find(QLatin1String(keyword));
                if (found != records[at].fields.end()) return found->second;
            }
            return QString();
        };
        Recipient entry;
        entry.name = field("name");
        entry.company = field("company");
        entry.fax = field("fax-number");
        entry.phone = field("voice-number");
        entry.notes = field("location");
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool LooksLikeFaxDb(const QByteArray& bytes) {
    Tokens tokens(faxDbText(bytes));
    QString word;
    for (Tokens::Token token = tokens.next(); token.kind != Tokens::Kind::End;
         token = tokens.next()) {
        if (token.kind == Tokens::Kind::Colon &&
            std::any_of(std::begin(kKeywords), std::end(kKeywords),
                        [&](const char* keyword) { return word == QLatin1String(keyword); }))
            return true;
        word = token.kind == Tokens::Kind::Word ? token.text.toLower() : QString();
    }
    return false;
}

}  // namespace velmora
