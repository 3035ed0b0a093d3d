#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace velmora::test {

// An OpenLDAP server of the test's own: slapd on 127.0.0.1 at a free port, its configuration
// (slapd.conf) and its database (mdb) in a folder of the test's, filled by slapadd with the
// entries below kBase. Anonymous clients see nothing; kReader (password kReaderPassword) reads
// everything. whyNot() says why it does not run (to skip the test). Stopped, its folder
// removed, with the object; killed with the test program, however that ends.
class PrivateDirectory {
public:
    static constexpr auto kBase = "dc=example,dc=org";
    static constexpr auto kReader = "cn=reader,dc=example,dc=org";
    static constexpr auto kReaderPassword = "s3cret-Reader";

    // `ldif`: the entries below kBase (kBase, ou=people and the reader are there already).
    explicit PrivateDirectory(const QString& ldif);
    ~PrivateDirectory();
    PrivateDirectory(const PrivateDirectory&) = delete;
    PrivateDirectory& operator=(const PrivateDirectory&) = delete;

    const QString& whyNot() const { return whyNot_; }
    // "ldap://127.0.0.1:<port>".
    QString uri() const;
    // Ends the server (its folder stays until the object goes).
    void stop();

    // What OpenLDAP's own ldapsearch finds as the reader with `filter`: the entries' DNs.
    QStringList ldapsearch(const QString& filter) const;

private:
    bool start();

    QTemporaryDir folder_;
    QProcess slapd_;
    quint16 port_ = 0;
    QString whyNot_;
};

}  // namespace velmora::test
