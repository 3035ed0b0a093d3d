#include "FaxNumbers.h"

#include "shell/SettingsStore.h"

#include <phonenumbers/phonenumberutil.h>
#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <string>

namespace velmora {
namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

constexpr auto kRegionKey = "FaxRegion";
// A part of several numbers typed together counts as a number without its area code when it
// has this many digits at least (a local number in most places; fewer is more likely a piece
// of one number typed with spaces).
constexpr int kLocalNumberDigits = 7;

QString Words(const char* text) {
    return QCoreApplication::translate("FaxNumbers", text);
}

const PhoneNumberUtil& Util() {
    return *PhoneNumberUtil::GetInstance();
}

QString RegionCode(const QString& region) {
    const QString code = region.trimmed().toUpper();
    return code.isEmpty() ? QStringLiteral("ZZ") : code;
}

int DigitCount(const QString& text) {
    return int(std::count_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }));
}

struct Parsed {
    PhoneNumberUtil::ErrorType error = PhoneNumberUtil::NOT_A_NUMBER;
    PhoneNumber number;
    bool ok() const { return error == PhoneNumberUtil::NO_PARSING_ERROR; }
};

Parsed Parse(const QString& text, const QString& region) {
    Parsed parsed;
    parsed.error =
        Util().Parse(text.toStdString(), RegionCode(region).toStdString(), &parsed.number);
    return parsed;
}

bool IsValid(const QString& text, const QString& region) {
    const Parsed parsed = Parse(text, region);
    return parsed.ok() && Util().IsValidNumber(parsed.number);
}

// The number proper of what was typed with pauses: the whole without them where that is a
// valid number, else the first part between pauses that is one ("9,,2015550142": a prefix for
// an outside line, then the number), else the part with the most digits.
QString NumberProper(const QString& typed, const QString& region) {
    const QStringList parts = typed.split(QLatin1Char(','), Qt::SkipEmptyParts);
    QString whole = typed;
    whole.remove(QLatin1Char(','));
    if (parts.size() < 2 || IsValid(whole, region)) return whole;
    QString longest;
    for (const QString& part : parts) {
        if (IsValid(part, region)) return part;
        if (DigitCount(part) > DigitCount(longest)) longest = part;
    }
    return longest;
}

QString ParseProblem(PhoneNumberUtil::ErrorType error, const QString& region) {
    switch (error) {
        case PhoneNumberUtil::INVALID_COUNTRY_CODE_ERROR:
            return RegionCode(region) == QLatin1String("ZZ")
                       ? Words("no country code: begin it with + and the country's code")
                       : Words("no such country code");
        case PhoneNumberUtil::TOO_SHORT_AFTER_IDD:
        case PhoneNumberUtil::TOO_SHORT_NSN:
            return Words("too short");
        case PhoneNumberUtil::TOO_LONG_NSN:
            return Words("too long");
        default:
            return Words("not a phone number");
    }
}

// The country a number with this country code belongs to ("US" for +1).
QString CountryOf(const PhoneNumber& number) {
    std::string region;
    Util().GetRegionCodeForCountryCode(number.country_code(), &region);
    return QString::fromStdString(region);
}

QString InvalidNumberProblem(const PhoneNumber& number) {
    switch (Util().IsPossibleNumberWithReason(number)) {
        case PhoneNumberUtil::IS_POSSIBLE_LOCAL_ONLY:
            return Words("a local number: add the area code");
        case PhoneNumberUtil::INVALID_COUNTRY_CODE:
            return Words("no such country code");
        case PhoneNumberUtil::TOO_SHORT:
            return Words("too short");
        case PhoneNumberUtil::TOO_LONG:
            return Words("too long");
        case PhoneNumberUtil::INVALID_LENGTH:
            return Words("not as many digits as numbers in %1 have").arg(CountryOf(number));
        default:
            return Words("not a valid number for %1").arg(CountryOf(number));
    }
}

// What the kind of a valid number says about faxing to it (a fax line is a fixed line or a
// number libphonenumber cannot tell from one).
QString KindProblem(const PhoneNumber& number) {
    switch (Util().GetNumberType(number)) {
        case PhoneNumberUtil::MOBILE:
            return Words("a mobile number, which seldom takes faxes");
        case PhoneNumberUtil::PAGER:
            return Words("a pager's number, which takes no faxes");
        case PhoneNumberUtil::VOICEMAIL:
            return Words("a voicemail number, which takes no faxes");
        case PhoneNumberUtil::PREMIUM_RATE:
            return Words("a premium-rate number");
        default:
            return {};
    }
}

// A whole number for the region, or one without its area code that is long enough to be one.
bool IsWholeNumber(const QString& text, const QString& region) {
    const Parsed parsed = Parse(text, region);
    if (!parsed.ok()) return false;
    if (Util().IsValidNumber(parsed.number)) return true;
    return Util().IsPossibleNumberWithReason(parsed.number) ==
               PhoneNumberUtil::IS_POSSIBLE_LOCAL_ONLY &&
           DigitCount(text) >= kLocalNumberDigits;
}

// Digits, pauses, "*" and "#" of what was typed, a "+" before the first digit; keypad letters
// ("1-800-FLOWERS") become their digits, other letters end the number (an extension follows).
QString Dialled(const QString& typed) {
    std::string text = typed.toStdString();
    if (Util().IsAlphaNumber(text)) Util().ConvertAlphaCharactersInNumber(&text);
    QString dialled;
    bool digits = false;
    for (const QChar c : QString::fromStdString(text)) {
        if (c.isDigit()) {
            dialled += QChar(u'0' + c.digitValue());
            digits = true;
        } else if (c == u'+' && !digits && !dialled.contains(u'+')) {
            dialled += c;
        } else if (c == u',' || c == u'*' || c == u'#') {
            dialled += c;
        } else if (c.isLetter() && digits) {
            break;
        }
    }
    return dialled;
}

}  // namespace

CheckedNumber CheckFaxNumber(const QString& typed, const QString& region) {
    CheckedNumber checked;
    checked.typed = typed;
    checked.dialled = Dialled(typed);
    if (DigitCount(checked.dialled) == 0) {
        checked.warning =
            typed.trimmed().isEmpty() ? Words("no number") : Words("not a phone number");
        return checked;
    }
    const Parsed parsed = Parse(NumberProper(typed, region), region);
    if (!parsed.ok()) {
        checked.warning = ParseProblem(parsed.error, region);
        return checked;
    }
    std::string international;
    Util().Format(parsed.number, PhoneNumberUtil::INTERNATIONAL, &international);
    checked.international = QString::fromStdString(international);
    checked.valid = Util().IsValidNumber(parsed.number);
    QStringList problems;
    problems << (checked.valid ? KindProblem(parsed.number) : InvalidNumberProblem(parsed.number));
    if (parsed.number.has_extension())
        problems << Words("the extension %1 is not dialled")
                        .arg(QString::fromStdString(parsed.number.extension()));
    problems.removeAll(QString());
    checked.warning = problems.join(QStringLiteral("; "));
    return checked;
}

QString DefaultRegion() {
    const QLocale::Territory territory = QLocale::system().territory();
    if (territory == QLocale::AnyTerritory) return QStringLiteral("ZZ");
    const QString code = QLocale::territoryToCode(territory).toUpper();
    if (code.size() != 2 || Util().GetCountryCodeForRegion(code.toStdString()) == 0)
        return QStringLiteral("ZZ");
    return code;
}

QString FaxRegion() {
    const QString region = GetSetting(QLatin1String(kRegionKey)).trimmed().toUpper();
    return region.isEmpty() ? DefaultRegion() : region;
}

void SetFaxRegion(const QString& region) {
    SaveSetting(QLatin1String(kRegionKey), region.trimmed().toUpper());
}

std::vector<QString> SplitNumbers(const QString& typed) {
    static const QRegularExpression separators(QStringLiteral("[;\\r\\n\\x{2028}\\x{2029}]+"));
    std::vector<QString> numbers;
    for (const QString& part : typed.split(separators, Qt::SkipEmptyParts))
        if (const QString number = part.trimmed(); !number.isEmpty()) numbers.push_back(number);
    return numbers;
}

bool LooksLikeTwoNumbers(const QString& typed, const QString& region) {
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList parts = typed.split(separators, Qt::SkipEmptyParts);
    if (parts.size() < 2 || IsValid(parts.join(QString()), region)) return false;
    // groups[j]: the most whole numbers parts[0, j) fall into, one after the other; -1: none.
    std::vector<int> groups(parts.size() + 1, -1);
    groups[0] = 0;
    for (qsizetype end = 1; end <= parts.size(); ++end)
        for (qsizetype begin = 0; begin < end; ++begin)
            if (groups[begin] >= 0 && groups[begin] + 1 > groups[end] &&
                IsWholeNumber(parts.mid(begin, end - begin).join(QLatin1Char(' ')), region))
                groups[end] = groups[begin] + 1;
    return groups[parts.size()] >= 2;
}

bool SameNumber(const QString& a, const QString& b, const QString& region) {
    const Parsed first = Parse(NumberProper(a, region), region);
    const Parsed second = Parse(NumberProper(b, region), region);
    if (!first.ok() || !second.ok()) return Dialled(a) == Dialled(b);
    const auto match = Util().IsNumberMatch(first.number, second.number);
    return match == PhoneNumberUtil::EXACT_MATCH || match == PhoneNumberUtil::NSN_MATCH;
}

}  // namespace velmora
