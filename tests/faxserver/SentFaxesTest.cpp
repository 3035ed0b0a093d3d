// The record of faxes sent: a real SQLite file in the test's folder, written by this process
// and by a second one (this very program, started again) at once.
#include "fax/server/SentFaxes.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/RunRecord.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <sys/stat.h>
#include <iostream>
#include <set>
#include <string>

namespace velmora {
namespace {

QString RecordFolder(const QString& name) {
    return test::TestFolder() + QStringLiteral("/data-") + name + QStringLiteral("/velmora");
}

// A fax as sent, with bytes of every value, in the test's folder.
QString SentPdf() {
    const QString path = test::TestFolder() + QStringLiteral("/sent.pdf");
    if (!QFileInfo::exists(path)) {
        QByteArray bytes("%PDF-1.4\n");
        for (int i = 0; i < 3000; ++i) bytes += char(i * 7);
        NewFile::Write(path, bytes);
    }
    return path;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

unsigned Mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

QStringList Files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

SentFax Fax(const QString& recipient, const QString& number = QStringLiteral("555-014-2278"),
            const QString& packetKey = QStringLiteral("cover+report.pdf:3")) {
    static qint64 minute = 0;
    SentFax fax;
    fax.server = QStringLiteral("fax.example:4559");
    fax.user = QStringLiteral("ann");
    fax.jobId = QStringLiteral("17");
    fax.groupId = QStringLiteral("9");
    fax.recipient = recipient;
    fax.company = QStringLiteral("Lee & Daughters");
    fax.number = number;
    // Each fax a minute after the one before, to the millisecond.
    fax.submitted = QDateTime::fromMSecsSinceEpoch(1'790'000'000'123 + 60'000 * ++minute, Qt::UTC);
    fax.sendAt = fax.submitted.addSecs(3600);
    fax.resolution = FaxResolution::Standard;
    fax.packetKey = packetKey;
    fax.state = FaxJobState::Pending;
    fax.pagesTotal = 3;
    return fax;
}

// What the record keeps of a fax, the record's own id and document left out.
auto Kept(const SentFax& f) {
    return std::tuple(f.server, f.user, f.jobId, f.groupId, f.recipient, f.company, f.number,
                      f.submitted, f.sendAt, f.resolution, f.packetKey, f.state, f.status,
                      f.pagesSent, f.pagesTotal, f.tries, f.dials, f.nextTry, f.finished,
                      f.remoteStation, f.noticed);
}

TEST(SentFaxes, KeepsEveryFieldAndAPrivateCopyUntilTheFaxIsRemoved) {
    const QString folder = RecordFolder(QStringLiteral("copy"));
    SentFaxes record(folder);
    EXPECT_TRUE(record.problem().isEmpty()) << record.problem();

    const SentFax first = Fax(QStringLiteral("Ann Lee"));
    qint64 id = 0;
    {
        // The copy outlives the run: it is none of the files a run tidies at its end.
        const RunRecord run(test::TestFolder());
        id = record.add(first, SentPdf());
    }
    const std::optional<SentFax> found = record.find(id);
    ASSERT_TRUE(found);
    EXPECT_EQ(Kept(*found), Kept(first));
    EXPECT_EQ(found->submitted.timeSpec(), Qt::UTC);
    EXPECT_EQ(Bytes(found->document), Bytes(SentPdf()));
    EXPECT_EQ(QFileInfo(found->document).absolutePath(), folder + QStringLiteral("/sent"));
    // Nobody else's business.
    EXPECT_EQ(Mode(folder), 0700u);
    EXPECT_EQ(Mode(folder + QStringLiteral("/sent")), 0700u);
    EXPECT_EQ(Mode(record.file()), 0600u);
    EXPECT_EQ(Mode(found->document), 0600u);

    // The server's word changes only what the server says.
    SentFax said = first;
    said.state = FaxJobState::Done;
    said.status = QStringLiteral("Sent with 0 retransmissions");
    said.pagesSent = 3;
    said.tries = 1;
    said.dials = 2;
    said.finished = QDateTime::fromMSecsSinceEpoch(1'790'000'999'456, Qt::UTC);
    said.remoteStation = QStringLiteral("+1 555 014 2278");
    SentFax told = said;
    told.id = id;
    told.recipient = told.number = told.packetKey = QStringLiteral("someone else's");
    told.submitted = {};
    record.updateState(told);
    EXPECT_EQ(Kept(*record.find(id)), Kept(said));

    // A fax that cannot be copied is not recorded, and leaves nothing.
    EXPECT_THROW(record.add(Fax(QStringLiteral("Bo")), folder + QStringLiteral("/none.pdf")),
                 Failure);
    const qint64 later = record.add(Fax(QStringLiteral("Cy Ode")), SentPdf());
    const std::vector<SentFax> all = record.all();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, later);  // newest first
    EXPECT_EQ(all[1].id, id);
    EXPECT_EQ(Files(folder + QStringLiteral("/sent")).size(), 2);

    record.remove(id);
    EXPECT_FALSE(record.find(id));
    EXPECT_FALSE(QFileInfo::exists(found->document));
    EXPECT_EQ(Files(folder + QStringLiteral("/sent")),
              QStringList{QFileInfo(record.find(later)->document).fileName()});
}

TEST(SentFaxes, SameFaxIsAnOpenFaxOfThePacketToTheSameDigits) {
    SentFaxes record(RecordFolder(QStringLiteral("same")));
    const QString packet = QStringLiteral("cover+price-list.pdf:4");
    const auto add = [&](const QString& number, FaxJobState state,
                         const QString& key = QStringLiteral("cover+price-list.pdf:4")) {
        SentFax fax = Fax(number, number, key);
        fax.state = state;
        return record.add(fax, SentPdf());
    };
    const qint64 done = add(QStringLiteral("+1 (555) 014-2278"), FaxJobState::Done);
    add(QStringLiteral("15550142278"), FaxJobState::Failed);
    add(QStringLiteral("1-555-014-2278"), FaxJobState::Cancelled);
    add(QStringLiteral("1 555 014 2278"), FaxJobState::Done, QStringLiteral("cover.pdf:1"));
    add(QStringLiteral("1 555 014 2279"), FaxJobState::Pending);
    const qint64 sending = add(QStringLiteral("1.555.014.2278"), FaxJobState::Sending);

    std::vector<qint64> same;
    for (const SentFax& fax : record.sameFax(packet, QStringLiteral("1 555 0142278")))
        same.push_back(fax.id);
    EXPECT_EQ(same, (std::vector<qint64>{sending, done}));
    EXPECT_TRUE(record.sameFax(packet, QStringLiteral("ext.")).empty());
}

// Each process adds its faxes, says what the server said of each, and tells every fax not
// told yet that it sees; the ids it was the one to mark.
std::set<qint64> AddAndNotice(SentFaxes& record, const QString& who) {
    std::set<qint64> marked;
    for (int i = 0; i < 25; ++i) {
        SentFax fax = Fax(who + QString::number(i));
        fax.id = record.add(fax, SentPdf());
        fax.state = FaxJobState::Sending;
        fax.status = who;
        fax.tries = i + 1;
        record.updateState(fax);
        for (const SentFax& any : record.all())
            if (!any.noticed && record.markNoticed(any.id)) marked.insert(any.id);
    }
    return marked;
}

TEST(SentFaxes, TwoProcessesWritingAtOnceLoseNothingAndTellEachFaxOnce) {
    const QString folder = RecordFolder(QStringLiteral("two"));
    if (qEnvironmentVariableIsSet("VELMORA_SENT_FAXES_CHILD")) {
        // The second process: this test in the same folder, from the first one's word on.
        SentFaxes record(folder);
        std::cout << "ready" << std::endl;
        std::string go;
        std::getline(std::cin, go);
        for (const qint64 id : AddAndNotice(record, QStringLiteral("child-")))
            std::cout << "marked " << id << std::endl;
        return;
    }
    SentFaxes record(folder);
    SentPdf();  // made before the child may look for it
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELMORA_SENT_FAXES_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=SentFaxes.") +
                 QLatin1String(testing::UnitTest::GetInstance()->current_test_info()->name())});
    QByteArray said;
    while (!said.contains("ready\n") && child.waitForReadyRead(60000)) said += child.readAll();
    ASSERT_TRUE(said.contains("ready\n")) << said.toStdString();
    child.write("go\n");
    ASSERT_TRUE(child.waitForBytesWritten(60000));
    const std::set<qint64> markedHere = AddAndNotice(record, QStringLiteral("parent-"));
    ASSERT_TRUE(child.waitForFinished(120000));
    said += child.readAll();
    ASSERT_EQ(child.exitCode(), 0) << said.toStdString();

    std::set<qint64> markedThere;
    for (const QByteArray& line : said.split('\n'))
        if (line.startsWith("marked ")) markedThere.insert(line.mid(7).toLongLong());
    const std::vector<SentFax> all = record.all();
    ASSERT_EQ(all.size(), 50u);
    std::set<QString> recipients;
    for (const SentFax& fax : all) {
        recipients.insert(fax.recipient);
        EXPECT_EQ(fax.status + QString::number(fax.tries - 1), fax.recipient);
        EXPECT_EQ(Bytes(fax.document), Bytes(SentPdf())) << fax.recipient;
        // Each one sees its own fax at least: told by one of the two, once.
        EXPECT_TRUE(fax.noticed);
        EXPECT_EQ(markedHere.count(fax.id) + markedThere.count(fax.id), 1u) << fax.id;
        EXPECT_FALSE(record.markNoticed(fax.id));
    }
    EXPECT_EQ(recipients.size(), 50u);
}

// A connection of the test's own to the store `file`, while it lives.
class OtherConnection {
public:
    explicit OtherConnection(const QString& file) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
        db.setDatabaseName(file);
        db.open();
    }
    ~OtherConnection() { QSqlDatabase::removeDatabase(kName); }
    bool run(const QString& sql) { return QSqlQuery(QSqlDatabase::database(kName)).exec(sql); }

private:
    static constexpr auto kName = "other-program";
};

TEST(SentFaxes, ADamagedStoreIsPutAsideAsItWasAndANewOneStarted) {
    // Not a database at all; and a database with a page written over.
    for (const bool database : {false, true}) {
        SCOPED_TRACE(database ? "damaged pages" : "not a database");
        const QString folder =
            RecordFolder(database ? QStringLiteral("pages") : QStringLiteral("text"));
        const QString file = folder + QStringLiteral("/sent-faxes.sqlite");
        QByteArray damaged;
        if (database) {
            {
                SentFaxes record(folder);
                for (int i = 0; i < 40; ++i) {
                    SentFax fax = Fax(QStringLiteral("Ann Lee"));
                    fax.status = QString(200, QLatin1Char('x'));
                    record.add(fax, SentPdf());
                }
            }
            damaged = Bytes(file);
            ASSERT_GT(damaged.size(), 3 * 4096) << "the journal was not taken in";
            damaged.replace(2 * 4096, 64, QByteArray(64, '\xa5'));
        } else {
            ASSERT_TRUE(QDir().mkpath(folder));
            damaged = QByteArray("Fax log\n").repeated(600);
        }
        NewFile::Write(file, damaged);

        SentFaxes record(folder);
        const QStringList aside = QDir(folder).entryList({QStringLiteral("*.damaged-*")});
        ASSERT_EQ(aside.size(), 1) << aside.join(' ');
        EXPECT_TRUE(aside[0].startsWith(QStringLiteral("sent-faxes.sqlite.damaged-")));
        EXPECT_EQ(Bytes(folder + QLatin1Char('/') + aside[0]), damaged);
        EXPECT_TRUE(record.problem().contains(aside[0])) << record.problem();
        EXPECT_TRUE(record.all().empty());
        const qint64 id = record.add(Fax(QStringLiteral("Bo")), SentPdf());
        EXPECT_EQ(SentFaxes(folder).find(id)->recipient, QStringLiteral("Bo"));
    }
}

TEST(SentFaxes, AStoreHeldByAnotherProgramFailsPlainlyLosesNothingAndIsNotTakenForDamaged) {
    const QString folder = RecordFolder(QStringLiteral("held"));
    SentFaxes record(folder);
    const qint64 first = record.add(Fax(QStringLiteral("Ann Lee")), SentPdf());
    {
        OtherConnection other(record.file());
        ASSERT_TRUE(other.run(QStringLiteral("BEGIN EXCLUSIVE")));
        try {
            record.add(Fax(QStringLiteral("Bo")), SentPdf());
            ADD_FAILURE() << "added while the store was held";
        } catch (const Failure& failure) {
            EXPECT_TRUE(QString::fromUtf8(failure.what()).contains(record.file()))
                << failure.what();
        }
        // Started meanwhile: the store is read, not put aside.
        SentFaxes meanwhile(folder);
        EXPECT_TRUE(meanwhile.problem().isEmpty()) << meanwhile.problem();
        EXPECT_EQ(meanwhile.all().size(), 1u);
        other.run(QStringLiteral("ROLLBACK"));
    }
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.damaged-*")}), QStringList());
    EXPECT_EQ(Files(folder + QStringLiteral("/sent")).size(), 1);  // the failed one's copy went
    record.add(Fax(QStringLiteral("Cy Ode")), SentPdf());
    const std::vector<SentFax> all = record.all();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].id, first);
}

}  // namespace
}  // namespace velmora
