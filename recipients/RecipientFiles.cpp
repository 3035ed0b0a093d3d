#include "RecipientFiles.h"

#include "recipients/FaxDb.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/Job.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <set>
#include <tuple>

namespace velmora {
namespace {

// No address book the program is given comes near this; a file larger is not one.
constexpr qint64 kLargestFile = 64 * 1024 * 1024;

QString filesText(const char* text, const char* disambiguation = nullptr, int n = -1) {
    return QCoreApplication::translate("velmora::RecipientFiles", text, disambiguation, n);
}

QByteArray readWhole(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        throw Failure(filesText("Cannot read '%1': %2.").arg(file, in.errorString()));
    if (in.size() > kLargestFile)
        throw Failure(
            filesText("'%1' is too large to be an address book; nothing was imported.").arg(file));
    QByteArray bytes = in.read(kLargestFile + 1);
    if (in.error() != QFileDevice::NoError)
        throw Failure(filesText("Cannot read '%1': %2.").arg(file, in.errorString()));
    return bytes;
}

bool isVCard(const QByteArray& bytes) {
    static const QRegularExpression begin(QStringLiteral("(^|[\\r\\n])\\s*BEGIN\\s*:\\s*VCARD"),
                                          QRegularExpression::CaseInsensitiveOption);
    return begin.match(QString::fromLatin1(bytes)).hasMatch();
}

// What makes two entries the same one.
auto identity(const Recipient& entry) {
    return std::tuple(SearchFolded(entry.name), SearchFolded(entry.company),
                      NumberDigits(entry.fax));
}

QString shownName(const Recipient& entry) {
    const QString name = entry.name.isEmpty() ? entry.company : entry.name;
    return filesText("\u201c%1\u201d").arg(name.isEmpty() ? entry.fax : name);
}

}  // namespace

ImportResult ImportRecipients(PhoneBook& book, const QString& file) {
    const QByteArray bytes = readWhole(file);
    const QString shown = QFileInfo(file).fileName();
    std::vector<Recipient> found;
    if (isVCard(bytes))
        found = ReadVCards(bytes);
    else if (LooksLikeFaxDb(bytes))
        found = ReadFaxDb(bytes);
    else
        throw Failure(filesText("'%1' is neither a vCard file nor a HylaFAX fax number database "
                                "(.faxdb); nothing was imported.")
                          .arg(file));
    if (found.empty())
        throw Failure(filesText("'%1' holds no address; nothing was imported.").arg(file));
    ThrowIfJobCancelled();

    ImportResult result;
    std::set<decltype(identity(Recipient()))> known;
    for (const Recipient& entry : book.all()) known.insert(identity(entry));
    std::vector<Recipient> added;
    int nameless = 0;
    for (Recipient& entry : found) {
        if (entry.name.trimmed().isEmpty() && entry.company.trimmed().isEmpty() &&
            NumberDigits(entry.fax).isEmpty()) {
            ++nameless;
            continue;
        }
        if (!known.insert(identity(entry)).second) {
            result.skipped += filesText("%1: already in the phone book").arg(shownName(entry));
            continue;
        }
        if (NumberDigits(entry.fax).isEmpty()) ++result.withoutFax;
        added.push_back(std::move(entry));
    }
    if (nameless > 0)
        result.skipped +=
            filesText("%n entries without a name, a company or a fax number", nullptr, nameless);
    ThrowIfJobCancelled();
    if (!added.empty()) book.add(added);
    result.added = int(added.size());

    QStringList sentences;
    sentences += filesText("Added %n entries from '%1' to the phone book.", nullptr, result.added)
                     .arg(shown);
    if (result.withoutFax > 0)
        sentences += filesText("%n of them have no fax number: give them one before faxing them.",
                               nullptr, result.withoutFax);
    if (!result.skipped.isEmpty())
        sentences += filesText("Not added: %1.").arg(result.skipped.join(QStringLiteral("; ")));
    result.summary = sentences.join(QLatin1Char(' '));
    return result;
}

void ExportRecipients(const std::vector<Recipient>& entries, const QString& file,
                      VCardVersion version) {
    if (entries.empty())
        throw Failure(filesText("There are no entries to export to '%1'.").arg(file));
    AtomicFile out(file);
    out.write(WriteVCards(entries, version));
    out.commit();
}

}  // namespace velmora
