// The phone book: a real SQLite file in the test's folder, written by this process and by a
// second one (this very program, started again) at once.
#include "recipients/PhoneBook.h"
#include "shell/AtomicFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>
#include <algorithm>
#include <iostream>
#include <string>

namespace velmora {
namespace {

QString BookFolder(const QString& name) {
    return test::TestFolder() + QStringLiteral("/data-") + name + QStringLiteral("/velmora");
}

Recipient Entry(const QString& name, const QString& company = {}, const QString& fax = {},
                const QStringList& groups = {}) {
    Recipient entry;
    entry.name = name;
    entry.company = company;
    entry.fax = fax;
    entry.groups = groups;
    return entry;
}

QStringList Names(const std::vector<Recipient>& entries) {
    QStringList names;
    for (const Recipient& entry : entries) names += entry.name;
    return names;
}

// Each process adds its entries, edits each it added, removes every fifth, and edits the
// entry both share.
void AddAndEdit(PhoneBook& book, const QString& who, qint64 shared) {
    for (int i = 0; i < 30; ++i) {
        Recipient entry = Entry(who + QString::number(i), who, QStringLiteral("555-01%1").arg(i),
                                {who, QStringLiteral("everyone")});
        entry.id = book.add(entry);
        entry.notes = QStringLiteral("edited by ") + who;
        ASSERT_TRUE(book.update(entry));
        if (i % 5 == 4) book.remove(entry.id);
        Recipient both = Entry(QStringLiteral("shared ") + who, who);
        both.id = shared;
        both.notes = QStringLiteral("edited by ") + who;
        ASSERT_TRUE(book.update(both));
    }
}

TEST(PhoneBook, TwoProcessesAddingAndEditingAtOnceLoseNothing) {
    const QString folder = BookFolder(QStringLiteral("two"));
    if (qEnvironmentVariableIsSet("VELMORA_PHONE_BOOK_CHILD")) {
        PhoneBook book(folder);
        std::cout << "ready" << std::endl;
        std::string go;
        std::getline(std::cin, go);
        AddAndEdit(book, QStringLiteral("child-"), qEnvironmentVariableIntValue("VELMORA_SHARED"));
        return;
    }
    PhoneBook book(folder);
    const qint64 shared = book.add(Entry(QStringLiteral("shared")));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELMORA_PHONE_BOOK_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("VELMORA_SHARED"), QString::number(shared));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=PhoneBook.") +
                 QLatin1String(testing::UnitTest::GetInstance()->current_test_info()->name())});
    QByteArray said;
    while (!said.contains("ready\n") && child.waitForReadyRead(60000)) said += child.readAll();
    ASSERT_TRUE(said.contains("ready\n")) << said.toStdString();
    child.write("go\n");
    ASSERT_TRUE(child.waitForBytesWritten(60000));
    AddAndEdit(book, QStringLiteral("parent-"), shared);
    ASSERT_TRUE(child.waitForFinished(120000));
    said += child.readAll();
    ASSERT_EQ(child.exitCode(), 0) << said.toStdString();
    ASSERT_FALSE(said.contains("[  FAILED  ]")) << said.toStdString();

    // The entry both edited is one edit whole, not half of each.
    const Recipient both = *book.find(shared);
    EXPECT_EQ(both.notes, QStringLiteral("edited by ") + both.company);
    EXPECT_EQ(both.name, QStringLiteral("shared ") + both.company);
    QStringList expected;
    for (const QString& who : {QStringLiteral("child-"), QStringLiteral("parent-")}) {
        for (int i = 0; i < 30; ++i) {
            if (i % 5 == 4) continue;
            expected += who + QString::number(i);
            const std::optional<Recipient> entry = book.byName(who + QString::number(i));
            ASSERT_TRUE(entry) << expected.last();
            EXPECT_EQ(entry->notes, QStringLiteral("edited by ") + who);
            EXPECT_EQ(entry->groups, (QStringList{who, QStringLiteral("everyone")}));
        }
        EXPECT_EQ(book.search(who, 0).size(), 24u + (both.company == who)) << who;
    }
    expected += both.name;
    expected.sort();
    EXPECT_EQ(Names(book.all()), expected);
    EXPECT_EQ(book.inGroup(QStringLiteral("everyone")).size(), 48u);
}

TEST(PhoneBook, ADamagedFileIsKeptAsideWithAMessageAndANewOneStarted) {
    const QString folder = BookFolder(QStringLiteral("damaged"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray damaged = QByteArray("Ann Lee, 555-0100\n").repeated(400);
    NewFile::Write(folder + QStringLiteral("/phone-book.sqlite"), damaged);

    PhoneBook book(folder);
    const QStringList aside = QDir(folder).entryList({QStringLiteral("*.damaged-*")});
    ASSERT_EQ(aside.size(), 1) << aside.join(' ');
    QFile kept(folder + QLatin1Char('/') + aside[0]);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), damaged);
    EXPECT_TRUE(book.problem().contains(aside[0])) << book.problem();
    EXPECT_TRUE(book.all().empty());
    const qint64 id = book.add(Entry(QStringLiteral("Bo")));
    EXPECT_EQ(PhoneBook(folder).find(id)->name, QStringLiteral("Bo"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(book.file()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST(PhoneBook, SearchFindsWordStartsOfNamesAndCompaniesAndDigitsOfFaxNumbers) {
    PhoneBook book(BookFolder(QStringLiteral("search")));
    const qint64 zoe =
        book.add(Entry(QStringLiteral("Zoë Ångström"), QStringLiteral("Müller & Söhne"),
                       QStringLiteral("+49 (89) 555-0100"), {QStringLiteral("Kunden")}));
    book.add(Entry(QStringLiteral("Ann O'Brien"), QStringLiteral("Acme"),
                   QStringLiteral("555-0100"),
                   {QStringLiteral("Suppliers"), QStringLiteral("Kunden")}));
    book.add(Entry(QStringLiteral("Ελένη Παπαδοπούλου"), QStringLiteral("Αθήνα Α.Ε."),
                   QStringLiteral("+30 210 333 0199")));
    book.add(Entry(QStringLiteral("山田太郎"), QStringLiteral("株式会社テスト"),
                   QStringLiteral("03-3333-0123")));
    book.add(Entry(QString(), QStringLiteral("Brine Ltd"), QStringLiteral("0161 496 0000")));

    const auto found = [&](const QString& text) { return Names(book.search(text)); };
    const QString zoeName = QStringLiteral("Zoë Ångström");
    EXPECT_EQ(found(QStringLiteral("zoe")), QStringList{zoeName});
    EXPECT_EQ(found(QStringLiteral("ANGS")), QStringList{zoeName});
    EXPECT_EQ(found(QStringLiteral("muller soh")), QStringList{zoeName});
    EXPECT_EQ(found(QStringLiteral("o'b")), QStringList{QStringLiteral("Ann O'Brien")});
    EXPECT_EQ(found(QStringLiteral("obri")), QStringList{QStringLiteral("Ann O'Brien")});
    EXPECT_EQ(found(QStringLiteral("rien")), QStringList());  // not the start of a word
    EXPECT_EQ(found(QStringLiteral("ελενη")), QStringList{QStringLiteral("Ελένη Παπαδοπούλου")});
    EXPECT_EQ(found(QStringLiteral("ΑΘΗΝΑ")), QStringList{QStringLiteral("Ελένη Παπαδοπούλου")});
    EXPECT_EQ(found(QStringLiteral("太郎")), QStringList{QStringLiteral("山田太郎")});
    EXPECT_EQ(found(QStringLiteral("ﾃｽﾄ")), QStringList{QStringLiteral("山田太郎")});  // half-width
    EXPECT_EQ(found(QStringLiteral("brine")), QStringList{QString()});
    // Digits in a row anywhere in the fax number, however the number is written.
    EXPECT_EQ(found(QStringLiteral("5550")), (QStringList{QStringLiteral("Ann O'Brien"), zoeName}));
    EXPECT_EQ(found(QStringLiteral("(89) 555")), QStringList{zoeName});
    EXPECT_EQ(found(QStringLiteral("333 0199")), QStringList{QStringLiteral("Ελένη Παπαδοπούλου")});
    EXPECT_EQ(book.search(QString(), 2).size(), 2u);

    EXPECT_EQ(book.byNumber(QStringLiteral("+49 89 5550100"))->id, zoe);
    EXPECT_EQ(book.byNumber(QStringLiteral("089 555 0100"))->id, zoe);  // without the country
    EXPECT_EQ(book.byNumber(QStringLiteral("555.0100"))->name, QStringLiteral("Ann O'Brien"));
    EXPECT_FALSE(book.byNumber(QStringLiteral("0100")));
    EXPECT_EQ(book.byName(QStringLiteral("  zoe   angstrom "))->id, zoe);
    EXPECT_EQ(book.groups(), (QStringList{QStringLiteral("Kunden"), QStringLiteral("Suppliers")}));
    EXPECT_EQ(Names(book.inGroup(QStringLiteral("Kunden"))),
              (QStringList{QStringLiteral("Ann O'Brien"), zoeName}));

    // An edit is searched as it is now, not as it was.
    Recipient renamed = *book.find(zoe);
    renamed.name = QStringLiteral("Zora Lind");
    renamed.fax = QStringLiteral("+49 30 777 1234");
    renamed.groups = {QStringLiteral("Lieferanten")};
    ASSERT_TRUE(book.update(renamed));
    EXPECT_EQ(*book.find(zoe), renamed);
    EXPECT_EQ(found(QStringLiteral("zoe")), QStringList());
    EXPECT_EQ(found(QStringLiteral("lind")), QStringList{QStringLiteral("Zora Lind")});
    EXPECT_EQ(found(QStringLiteral("7771")), QStringList{QStringLiteral("Zora Lind")});
    EXPECT_EQ(found(QStringLiteral("(89)")), QStringList());
    EXPECT_EQ(book.inGroup(QStringLiteral("Kunden")).size(), 1u);
    book.remove(zoe);
    EXPECT_EQ(found(QStringLiteral("lind")), QStringList());
    EXPECT_FALSE(book.update(renamed));
}

TEST(PhoneBook, TenThousandEntriesAreSearchedAsTheUserTypes) {
    PhoneBook book(BookFolder(QStringLiteral("large")));
    const QStringList given{QStringLiteral("Ann"), QStringLiteral("Björn"), QStringLiteral("Chloé"),
                            QStringLiteral("Dmitri"), QStringLiteral("Émile")};
    std::vector<Recipient> entries;
    for (int i = 0; i < 10000; ++i)
        entries.push_back(Entry(given[i % 5] + QStringLiteral(" Family%1").arg(i),
                                QStringLiteral("Company %1").arg(i / 10),
                                QStringLiteral("+1 (555) %1").arg(1000000 + i * 7)));
    book.add(entries);

    std::vector<qint64> times;
    const QString typed = QStringLiteral("emile family12");
    for (int length = 1; length <= typed.size(); ++length) {
        QElapsedTimer timer;
        timer.start();
        const std::vector<Recipient> hits = book.search(typed.left(length), 20);
        times.push_back(timer.nsecsElapsed() / 1000);
        ASSERT_FALSE(hits.empty()) << typed.left(length);
        for (const Recipient& hit : hits) EXPECT_TRUE(hit.name.startsWith(QStringLiteral("Émile")));
        EXPECT_TRUE(std::is_sorted(hits.begin(), hits.end(), [](const auto& a, const auto& b) {
            return SearchFolded(a.name) < SearchFolded(b.name);
        }));
    }
    // Family12, Family120..129, Family1200..1299: those of Émile.
    int family12 = 0;
    for (int i = 4; i < 10000; i += 5)
        family12 += QString::number(i).startsWith(QLatin1String("12"));
    EXPECT_EQ(book.search(typed, 0).size(), size_t(family12));
    EXPECT_EQ(Names(book.search(QStringLiteral("555 106"), 3)).size(), 3);
    std::sort(times.begin(), times.end());
    std::cout << "median search of 10,000 entries: " << times[times.size() / 2] << " us"
              << std::endl;
}

}  // namespace
}  // namespace velmora
