// The company directory searched against an OpenLDAP server of the test's own: by name and by
// company, text that means something in a search filter, the bind DN's password, a server that
// is gone or does not answer, a search given up.
#include "recipients/directory/Directory.h"

#include "PrivateDirectory.h"
#include "Processes.h"
#include "TestSupport.h"
#include "shell/Job.h"
#include "shell/JobWorker.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>

namespace velmora {
namespace {

using test::PrivateDirectory;

const QString kPeople = QStringLiteral(R"(dn: cn=Ada Lovelace,ou=people,dc=example,dc=org
objectClass: inetOrgPerson
cn: Ada Lovelace
sn: Lovelace
o: Analytical Engines
facsimileTelephoneNumber: +1 201 555 0142
telephoneNumber: +1 201 555 0100
mail: ada@engines.example

dn: cn=Grace Hopper,ou=people,dc=example,dc=org
objectClass: inetOrgPerson
cn: Grace Hopper
sn: Hopper
o: Navy Computing
facsimileTelephoneNumber: +1 201 555 0143

dn: cn=O'Brien (Sales)*,ou=people,dc=example,dc=org
objectClass: inetOrgPerson
cn: O'Brien (Sales)*
sn: O'Brien
o: Brindle Supplies
facsimileTelephoneNumber: +49 30 1234567

dn: cn=Sales Desk,ou=people,dc=example,dc=org
objectClass: inetOrgPerson
cn: Sales Desk
sn: Desk
o: Brindle Supplies
facsimileTelephoneNumber: +49 30 7654321

)");

class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!directory_.whyNot().isEmpty()) GTEST_SKIP() << directory_.whyNot().toStdString();
        DirectoryPasswords::remember(settings(), QLatin1String(PrivateDirectory::kReaderPassword));
    }
    void TearDown() override { DirectoryPasswords::forget(settings()); }

    DirectorySettings settings() const {
        return {directory_.uri(), QLatin1String(PrivateDirectory::kBase),
                QLatin1String(PrivateDirectory::kReader)};
    }
    QStringList names(const QString& text, int limit = 50) const {
        QStringList found;
        for (const DirectoryEntry& entry : SearchDirectory(settings(), text, limit))
            found << entry.name;
        found.sort();
        return found;
    }

    PrivateDirectory directory_{kPeople};
};

TEST_F(DirectoryTest, FindsPeopleByNameAndByCompanyWithTheirNumbers) {
    const std::vector<DirectoryEntry> ada =
        SearchDirectory(settings(), QStringLiteral("lovel"), 50);
    ASSERT_EQ(ada.size(), 1u);
    EXPECT_EQ(ada[0].name, QStringLiteral("Ada Lovelace"));
    EXPECT_EQ(ada[0].company, QStringLiteral("Analytical Engines"));
    EXPECT_EQ(ada[0].fax, QStringLiteral("+1 201 555 0142"));
    EXPECT_EQ(ada[0].phone, QStringLiteral("+1 201 555 0100"));
    EXPECT_EQ(ada[0].email, QStringLiteral("ada@engines.example"));
    EXPECT_EQ(ada[0].dn, QStringLiteral("cn=Ada Lovelace,ou=people,dc=example,dc=org"));

    EXPECT_EQ(names(QStringLiteral("navy")), QStringList{QStringLiteral("Grace Hopper")});
    EXPECT_EQ(names(QStringLiteral(" Brindle ")),
              (QStringList{QStringLiteral("O'Brien (Sales)*"), QStringLiteral("Sales Desk")}));
    EXPECT_TRUE(names(QStringLiteral("nobody here")).empty());
    // More than the limit: as many as it allows, no failure.
    EXPECT_EQ(SearchDirectory(settings(), QString(), 2).size(), 2u);
}

TEST_F(DirectoryTest, TextThatMeansSomethingInAFilterIsSearchedForAsWritten) {
    EXPECT_EQ(names(QStringLiteral("O'Brien (Sales)*")),
              QStringList{QStringLiteral("O'Brien (Sales)*")});
    EXPECT_EQ(names(QStringLiteral("(Sales)")), QStringList{QStringLiteral("O'Brien (Sales)*")});
    // A star is a star, not "anything": only the entry with one, as OpenLDAP's own client finds
    // it with the filter written out.
    EXPECT_EQ(names(QStringLiteral("*")), QStringList{QStringLiteral("O'Brien (Sales)*")});
    EXPECT_EQ(directory_.ldapsearch(QStringLiteral("(|(cn=*\\2a*)(o=*\\2a*)(sn=*\\2a*))")),
              QStringList{QStringLiteral("cn=O'Brien (Sales)*,ou=people,dc=example,dc=org")});
    EXPECT_TRUE(names(QStringLiteral("\\")).empty());
    EXPECT_TRUE(names(QStringLiteral("Sales)(cn=*")).empty());
    EXPECT_EQ(EscapeFilterValue(QStringLiteral("a*(b)\\c")), QStringLiteral("a\\2a\\28b\\29\\5cc"));
    EXPECT_EQ(EscapeFilterValue(QString(QChar(0))), QStringLiteral("\\00"));
}

TEST_F(DirectoryTest, AMissingOrWrongPasswordIsAskedForAgain) {
    DirectoryPasswords::forget(settings());
    try {
        SearchDirectory(settings(), QStringLiteral("Ada"), 50);
        FAIL() << "searched without a password";
    } catch (const DirectoryPasswordNeeded& needed) {
        EXPECT_FALSE(needed.refused());
        EXPECT_EQ(needed.settings(), settings());
    }

    DirectoryPasswords::remember(settings(), QStringLiteral("not the password"));
    try {
        SearchDirectory(settings(), QStringLiteral("Ada"), 50);
        FAIL() << "searched with a wrong password";
    } catch (const DirectoryPasswordNeeded& needed) {
        EXPECT_TRUE(needed.refused());
        EXPECT_TRUE(QString::fromUtf8(needed.what()).contains(QLatin1String("refused")));
    }
    EXPECT_FALSE(DirectoryPasswords::find(settings())) << "a refused password is kept";

    // Anonymously this directory shows nothing, not even where to search: told, with the
    // server's words and what to set up.
    DirectorySettings anonymous = settings();
    anonymous.bindDn.clear();
    try {
        SearchDirectory(anonymous, QStringLiteral("Ada"), 50);
        FAIL() << "searched anonymously";
    } catch (const Failure& failure) {
        const QString said = QString::fromUtf8(failure.what());
        EXPECT_TRUE(said.contains(QLatin1String("No such object"))) << said;
        EXPECT_TRUE(said.contains(QLatin1String("bind DN"))) << said;
    }
}

TEST_F(DirectoryTest, AServerGoneOrSilentIsToldAndASearchCanBeGivenUp) {
    directory_.stop();
    try {
        SearchDirectory(settings(), QStringLiteral("Ada"), 50);
        FAIL() << "searched a server that is gone";
    } catch (const DirectoryPasswordNeeded&) {
        FAIL() << "a server that is gone taken for a refused password";
    } catch (const Failure& failure) {
        const QString said = QString::fromUtf8(failure.what());
        EXPECT_TRUE(said.contains(QLatin1String("could not be reached"))) << said;
        EXPECT_TRUE(said.contains(directory_.uri())) << said;
    }

    // A server that takes the connection and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    DirectorySettings mute = settings();
    mute.uri = QStringLiteral("ldap://127.0.0.1:%1").arg(silent.serverPort());
    DirectoryPasswords::remember(mute, QStringLiteral("any"));
    try {
        SearchDirectory(mute, QStringLiteral("Ada"), 50, std::chrono::seconds(1));
        FAIL() << "a silent server answered";
    } catch (const Failure& failure) {
        EXPECT_TRUE(QString::fromUtf8(failure.what()).contains(QLatin1String("did not answer")))
            << failure.what();
    }

    // The same search as a job, with no bound to end it: giving the job up does.
    JobWorker worker(QStringLiteral("directory"));
    QObject receiver;
    std::exception_ptr failure;
    bool ended = false;
    Job* job = worker.post(
        &receiver, [&] { SearchDirectory(mute, QStringLiteral("Ada"), 50, std::chrono::hours(1)); },
        [&](std::exception_ptr outcome) {
            failure = outcome;
            ended = true;
        });
    QTimer::singleShot(300, job, &Job::cancel);
    ASSERT_TRUE(test::Eventually([&] {
        QCoreApplication::processEvents();
        return ended;
    }));
    DirectoryPasswords::forget(mute);
    ASSERT_TRUE(failure);
    EXPECT_THROW(std::rethrow_exception(failure), JobGivenUp);
}

TEST(Directory, SettingsAreKeptAndAnUnsetDirectoryIsTold) {
    const DirectorySettings set{QStringLiteral(" ldap://directory.example:3890 "),
                                QStringLiteral("dc=example,dc=org"), QString()};
    set.save();
    const DirectorySettings loaded = DirectorySettings::load();
    EXPECT_EQ(loaded.uri, QStringLiteral("ldap://directory.example:3890"));
    EXPECT_EQ(loaded.base, set.base);
    EXPECT_TRUE(loaded.bindDn.isEmpty());

    EXPECT_THROW(SearchDirectory(DirectorySettings{}, QStringLiteral("Ada"), 50), Failure);
    EXPECT_THROW(SearchDirectory({QStringLiteral("no such thing://"), QStringLiteral("dc=x"), {}},
                                 QStringLiteral("Ada"), 50),
                 Failure);
}

}  // namespace
}  // namespace velmora
