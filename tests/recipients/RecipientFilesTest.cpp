// The phone book's files: vCard written and read back, read by another program's reader too
// (python3-vobject), cards as other programs write them, and HylaFAX's fax database.
#include "recipients/RecipientFiles.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringDecoder>

namespace velmora {

// Entries told in full when a test fails.
void PrintTo(const Recipient& entry, std::ostream* out) {
    *out << QStringList{entry.name,
                        entry.company,
                        entry.fax,
                        entry.phone,
                        entry.email,
                        entry.notes,
                        entry.groups.join(QLatin1Char('|'))}
                .join(QStringLiteral(" / "))
                .toStdString();
}

namespace {

QString Folder(const QString& name) {
    return test::TestFolder() + QStringLiteral("/files-") + name;
}

QString Written(const QString& name, const QByteArray& bytes) {
    const QString path = test::TestFolder() + QLatin1Char('/') + name;
    NewFile::Write(path, bytes);
    return path;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The entries without the phone book's ids.
std::vector<Recipient> WithoutIds(std::vector<Recipient> entries) {
    for (Recipient& entry : entries) entry.id = 0;
    return entries;
}

Recipient Card(const QString& name, const QString& company, const QString& fax,
               const QString& phone = {}, const QString& email = {}, const QString& notes = {},
               const QStringList& groups = {}) {
    return {0, name, company, fax, phone, email, notes, groups};
}

// What python3-vobject reads of a vCard file: per card FN, ORG's first part, each TEL with its
// types, EMAIL, NOTE and CATEGORIES.
QJsonArray ReadByVobject(const QString& path) {
    static const char script[] = R"(
import json, sys, vobject
cards = []
for card in vobject.readComponents(open(sys.argv[1], encoding='utf-8', newline='').read()):
    values = lambda name: [c.value for c in card.contents.get(name, [])]
    cards.append({
        'fn': card.fn.value,
        'org': card.org.value[0] if 'org' in card.contents else '',
        'tel': [[t.value, ','.join(t.params.get('TYPE', [])).lower()]
                for t in card.contents.get('tel', [])],
        'email': values('email'), 'note': values('note'),
        'categories': card.categories.value if 'categories' in card.contents else []})
print(json.dumps(cards))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QLatin1String(script), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        ADD_FAILURE() << "vobject: " << python.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

QJsonArray Strings(const QStringList& list) {
    return QJsonArray::fromStringList(list);
}

TEST(VCard, APhoneBookRoundTripsThroughVersion3And4AndAnotherReaderReadsItAlike) {
    PhoneBook book(Folder(QStringLiteral("round")));
    book.add({Card(QStringLiteral("Ann O'Brien"), QStringLiteral("Lee; Daughters, Ltd"),
                   QStringLiteral("+1 (555) 010-0100"), QStringLiteral("555-0199"),
                   QStringLiteral("ann@example.com"),
                   QStringLiteral("Fax after 6pm\nAsk for C:\\accounts, not sales"),
                   {QStringLiteral("Suppliers"), QStringLiteral("Ireland, North")}),
              // Long enough to be folded, in two- and three-byte characters.
              Card(QStringLiteral("Ελένη Παπαδοπούλου-Κωνσταντινίδου της Θεσσαλονίκης"),
                   QStringLiteral("株式会社テストの長い会社名前はここに続きます東京本社営業部"),
                   QStringLiteral("+81 3-3333-0123")),
              Card(QString(), QStringLiteral("Brine Ltd"), QString(), QString(), QString(),
                   QString(QStringLiteral("long note ")).repeated(20))});
    const std::vector<Recipient> entries = WithoutIds(book.all());

    for (const VCardVersion version : {VCardVersion::v3, VCardVersion::v4}) {
        const bool v3 = version == VCardVersion::v3;
        SCOPED_TRACE(v3 ? "3.0" : "4.0");
        const QString file = Folder(QStringLiteral("round")) + (v3 ? "/v3.vcf" : "/v4.vcf");
        ExportRecipients(book.all(), file, version);
        const QByteArray bytes = Bytes(file);
        EXPECT_TRUE(bytes.contains(v3 ? "\r\nVERSION:3.0\r\n" : "\r\nVERSION:4.0\r\n"));
        ASSERT_TRUE(bytes.endsWith("\r\n"));
        int folds = 0;
        for (const QByteArray& line : bytes.chopped(1).split('\n')) {
            ASSERT_TRUE(line.endsWith('\r')) << "a line not ended by CRLF";
            EXPECT_LE(line.size() - 1, 75) << line.toStdString();
            // Each line whole UTF-8 on its own: no character split by a fold.
            QStringDecoder utf8(QStringDecoder::Utf8);
            utf8(line);
            EXPECT_FALSE(utf8.hasError()) << line.toStdString();
            folds += line.startsWith(' ');
        }
        EXPECT_GE(folds, 3);

        PhoneBook again(Folder(QStringLiteral("again-") + (v3 ? "3" : "4")));
        const ImportResult result = ImportRecipients(again, file);
        EXPECT_EQ(result.added, 3);
        EXPECT_EQ(result.withoutFax, 1);
        EXPECT_EQ(WithoutIds(again.all()), entries);

        const QJsonArray cards = ReadByVobject(file);
        ASSERT_EQ(cards.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QJsonObject card = cards[i].toObject();
            const Recipient& entry = entries[i];
            EXPECT_EQ(card[QStringLiteral("fn")].toString(), entry.name);
            EXPECT_EQ(card[QStringLiteral("org")].toString(), entry.company);
            EXPECT_EQ(card[QStringLiteral("note")],
                      Strings(entry.notes.isEmpty() ? QStringList() : QStringList{entry.notes}));
            EXPECT_EQ(card[QStringLiteral("categories")], Strings(entry.groups));
            if (!entry.fax.isEmpty()) {
                EXPECT_EQ(card[QStringLiteral("tel")].toArray().first(),
                          Strings({entry.fax, "fax"}));
            }
        }
    }
}

TEST(VCard, CardsAsOtherProgramsWriteThemAreRead) {
    // A fold inside a two-byte character, as some writers make them.
    const QByteArray greek = QStringLiteral("Ελένη Παπαδοπούλου").toUtf8();
    QByteArray file =
        "\xEF\xBB\xBF"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" +
        greek.left(7) + "\r\n " + greek.mid(7) + "\r\n" +
        QStringLiteral("ORG:Παπαδόπουλος & Υιοί\\, Α.Ε.;Λογιστήριο\r\n").toUtf8() +
        "item1.TEL;TYPE=work,fax:+30 210 333 0199\r\n"
        "TEL;TYPE=cell:+30 690 000 0000\r\n"
        "TEL;TYPE=voice;TYPE=pref:+30 210 333 0100\r\n"
        "EMAIL;TYPE=internet:eleni@example.gr\r\n"
        "NOTE:Line one\\nLine two\\, with a comma\\; a semicolon \\\\ a back\r\n"
        "\tslash\r\n"
        "CATEGORIES:Suppliers,Greece\\, North\r\n"
        "END:VCARD\r\n";
    file += QStringLiteral(
                "BEGIN:VCARD\r\nVERSION:3.0\r\nN:山田;太郎;;;\r\n"
                "TEL;TYPE=FAX;TYPE=WORK:03-3333-0123\r\nORG:株式会社テスト\r\n"
                "END:VCARD\r\n")
                .toUtf8();
    file +=
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann O'Brien\r\n"
        "TEL;VALUE=uri;TYPE=\"voice\":tel:+1-555-555-0199\r\n"
        "TEL;VALUE=uri;TYPE=\"fax\":tel:+1-555-555-0111\r\n"
        "TEL;VALUE=uri;TYPE=\"fax,work\";PREF=1:tel:+1-555-555-0100;ext=22\r\n"
        "EMAIL;PREF=2:ann@example.com\r\nEMAIL;PREF=1:ann.obrien@example.com\r\n"
        "END:VCARD\r\n";
    // 2.1: quoted-printable (a soft line break too) in UTF-8 and Latin-1, bare types, and a card
    // inside the card.
    file +=
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;\r\n"
        "ORG;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:B=E4ckerei Sch=F6n=\r\n"
        "feld GmbH;Filiale\r\n"
        "AGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nFN:Assistant\r\nTEL;FAX:999\r\nEND:VCARD\r\n"
        "TEL;WORK;FAX:+49 30 1234567\r\nTEL;HOME:+49 30 7654321\r\n"
        "NOTE;QUOTED-PRINTABLE:Erste Zeile=0D=0AZweite Zeile\r\n"
        "END:VCARD\r\n";
    // Lines ended by LF alone; no fax number.
    file +=
        "BEGIN:VCARD\nVERSION:3.0\nFN:Dr. Tab\n\t Folded\nTEL;TYPE=home:+44 161 496 0000\n"
        "END:VCARD\n";
    // Nothing to go by.
    file += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\r\nEND:VCARD\r\n";

    const std::vector<Recipient> expected{
        Card(QStringLiteral("Ελένη Παπαδοπούλου"), QStringLiteral("Παπαδόπουλος & Υιοί, Α.Ε."),
             QStringLiteral("+30 210 333 0199"), QStringLiteral("+30 210 333 0100"),
             QStringLiteral("eleni@example.gr"),
             QStringLiteral("Line one\nLine two, with a comma; a semicolon \\ a backslash"),
             {QStringLiteral("Suppliers"), QStringLiteral("Greece, North")}),
        Card(QStringLiteral("山田太郎"), QStringLiteral("株式会社テスト"),
             QStringLiteral("03-3333-0123")),
        Card(QStringLiteral("Ann O'Brien"), QString(), QStringLiteral("+1-555-555-0100"),
             QStringLiteral("+1-555-555-0199"), QStringLiteral("ann.obrien@example.com")),
        Card(QStringLiteral("Jürgen Müller"), QStringLiteral("Bäckerei Schönfeld GmbH"),
             QStringLiteral("+49 30 1234567"), QStringLiteral("+49 30 7654321"), QString(),
             QStringLiteral("Erste Zeile\nZweite Zeile")),
        Card(QStringLiteral("Dr. Tab Folded"), QString(), QString(),
             QStringLiteral("+44 161 496 0000")),
    };
    PhoneBook book(Folder(QStringLiteral("cards")));
    const ImportResult result = ImportRecipients(book, Written(QStringLiteral("cards.vcf"), file));
    EXPECT_EQ(WithoutIds(book.all()), (std::vector<Recipient>{expected[2], expected[4], expected[3],
                                                              expected[0], expected[1]}));
    EXPECT_EQ(result.added, 5);
    EXPECT_EQ(result.withoutFax, 1);
    EXPECT_EQ(result.skipped.size(), 1) << result.skipped.join('\n');
    EXPECT_TRUE(result.summary.contains(QStringLiteral("cards.vcf"))) << result.summary;
}

TEST(FaxDb, NestedRecordsInheritWhatTheyDoNotSayAndAreImportedOnce) {
    const QString faxdb = Written(QStringLiteral(".faxdb"), R"(# Personal fax numbers
[   Company:   "Silicon Graphics, Inc."
    Location:  "Mountain View, California"   # building 5
    [ Name: "Sam Leffler"     FAX-Number: +1.415.965.7824 ]
    [ Name: "Paul Haeberli"   FAX-Number: +1.415.965.7825  Voice-Number: +1.415.965.1000 ]
    [ Location: "Building 9"
        [ name:"Lab Desk"  fax-number:+1.415.965.7900 ]
        [ Name: Reception ]
    ]
]
[ Name: "Müller, Jürgen" FAX-Number: "+49 30 123 4567" Company: Bäckerei ]
)");
    PhoneBook book(Folder(QStringLiteral("faxdb")));
    const ImportResult first = ImportRecipients(book, faxdb);
    const QString sgi = QStringLiteral("Silicon Graphics, Inc.");
    const QString mountainView = QStringLiteral("Mountain View, California");
    EXPECT_EQ(WithoutIds(book.all()),
              (std::vector<Recipient>{
                  Card(QStringLiteral("Lab Desk"), sgi, QStringLiteral("+1.415.965.7900"), {}, {},
                       QStringLiteral("Building 9")),
                  Card(QStringLiteral("Müller, Jürgen"), QStringLiteral("Bäckerei"),
                       QStringLiteral("+49 30 123 4567")),
                  Card(QStringLiteral("Paul Haeberli"), sgi, QStringLiteral("+1.415.965.7825"),
                       QStringLiteral("+1.415.965.1000"), {}, mountainView),
                  Card(QStringLiteral("Reception"), sgi, {}, {}, {}, QStringLiteral("Building 9")),
                  Card(QStringLiteral("Sam Leffler"), sgi, QStringLiteral("+1.415.965.7824"), {},
                       {}, mountainView),
              }));
    EXPECT_EQ(first.added, 5);
    EXPECT_EQ(first.withoutFax, 1);

    // Imported again: nothing twice.
    const ImportResult again = ImportRecipients(book, faxdb);
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.skipped.size(), 5);
    EXPECT_EQ(book.all().size(), 5u);

    // Neither kind of file: refused, nothing added.
    EXPECT_THROW(
        ImportRecipients(book, Written(QStringLiteral("list.csv"), "name,fax\nAnn,555-0100\n")),
        Failure);
    EXPECT_EQ(book.all().size(), 5u);
}

}  // namespace
}  // namespace velmora
