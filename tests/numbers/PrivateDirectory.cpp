#include "PrivateDirectory.h"

#include "Processes.h"
#include "TestSupport.h"

#include <sys/prctl.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <csignal>

namespace velmora::test {
namespace {

const QString kSlapd = QStringLiteral("/usr/sbin/slapd");
const QString kSlapadd = QStringLiteral("/usr/sbin/slapadd");

QString Configuration(const QString& folder) {
    return QStringLiteral(R"(include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
pidfile %1/slapd.pid
argsfile %1/slapd.args
modulepath /usr/lib/ldap
moduleload back_mdb
database mdb
maxsize 10485760
suffix "%2"
directory %1/db
access to attrs=userPassword by anonymous auth by * none
access to * by users read by * none
)")
        .arg(folder, QLatin1String(PrivateDirectory::kBase));
}

QString Skeleton() {
    return QStringLiteral(R"(dn: dc=example,dc=org
objectClass: dcObject
objectClass: organization
dc: example
o: Example Holdings

dn: ou=people,dc=example,dc=org
objectClass: organizationalUnit
ou: people

dn: cn=reader,dc=example,dc=org
objectClass: person
cn: reader
sn: reader
userPassword: %1

)")
        .arg(QLatin1String(PrivateDirectory::kReaderPassword));
}

bool Write(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

QString Run(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60'000)) {
        process.kill();
        process.waitForFinished();
        *exitCode = -1;
        return program + QStringLiteral(" did not end within a minute");
    }
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll()).trimmed();
}

}  // namespace

PrivateDirectory::PrivateDirectory(const QString& ldif)
    : folder_(TestFolder() + QStringLiteral("/directory-XXXXXX")) {
    if (!QFile::exists(kSlapd) || !QFile::exists(kSlapadd)) {
        whyNot_ = QStringLiteral("slapd is not installed");
        return;
    }
    const QString path = folder_.path();
    if (!folder_.isValid() || !QDir(path).mkdir(QStringLiteral("db")) ||
        !Write(path + QStringLiteral("/slapd.conf"), Configuration(path)) ||
        !Write(path + QStringLiteral("/entries.ldif"), Skeleton() + ldif)) {
        whyNot_ = QStringLiteral("the directory's folder could not be made in ") + TestFolder();
        return;
    }
    int exitCode = 0;
    const QString said =
        Run(kSlapadd,
            {QStringLiteral("-q"), QStringLiteral("-f"), path + QStringLiteral("/slapd.conf"),
             QStringLiteral("-l"), path + QStringLiteral("/entries.ldif")},
            &exitCode);
    if (exitCode != 0) {
        whyNot_ = QStringLiteral("slapadd failed: ") + said;
        return;
    }
    // A free port may be taken by another between looking and binding: a few tries.
    for (int attempt = 0; attempt < 3 && !start(); ++attempt) {
    }
}

PrivateDirectory::~PrivateDirectory() {
    stop();
}

bool PrivateDirectory::start() {
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            whyNot_ = QStringLiteral("no free port on 127.0.0.1");
            return false;
        }
        port_ = probe.serverPort();
    }
    slapd_.setProcessChannelMode(QProcess::MergedChannels);
    // Never outlives the test program, however that ends.
    slapd_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    // "-d 0": in the foreground, a child of this process, saying only what goes wrong.
    slapd_.start(kSlapd, {QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-f"),
                          folder_.path() + QStringLiteral("/slapd.conf"), QStringLiteral("-h"),
                          uri() + QLatin1Char('/')});
    if (!slapd_.waitForStarted(10'000)) {
        whyNot_ = QStringLiteral("slapd could not be started: ") + slapd_.errorString();
        return false;
    }
    const bool answers = Eventually([this] {
        if (slapd_.state() != QProcess::Running) return true;
        int exitCode = 0;
        Run(QStringLiteral("ldapsearch"),
            {QStringLiteral("-x"), QStringLiteral("-LLL"), QStringLiteral("-H"), uri(),
             QStringLiteral("-b"), QString(), QStringLiteral("-s"), QStringLiteral("base"),
             QStringLiteral("(objectClass=*)"), QStringLiteral("1.1")},
            &exitCode);
        return exitCode == 0;
    });
    if (answers && slapd_.state() == QProcess::Running) {
        whyNot_.clear();
        return true;
    }
    stop();
    whyNot_ = QStringLiteral("slapd did not run: ") + QString::fromLocal8Bit(slapd_.readAll());
    return false;
}

void PrivateDirectory::stop() {
    if (slapd_.state() == QProcess::NotRunning) return;
    slapd_.terminate();
    if (!slapd_.waitForFinished(10'000)) {
        slapd_.kill();
        slapd_.waitForFinished();
    }
}

QString PrivateDirectory::uri() const {
    return QStringLiteral("ldap://127.0.0.1:%1").arg(port_);
}

QStringList PrivateDirectory::ldapsearch(const QString& filter) const {
    int exitCode = 0;
    const QString said =
        Run(QStringLiteral("ldapsearch"),
            {QStringLiteral("-x"), QStringLiteral("-LLL"), QStringLiteral("-o"),
             QStringLiteral("ldif-wrap=no"), QStringLiteral("-H"), uri(), QStringLiteral("-D"),
             QLatin1String(kReader), QStringLiteral("-w"), QLatin1String(kReaderPassword),
             QStringLiteral("-b"), QLatin1String(kBase), filter, QStringLiteral("1.1")},
            &exitCode);
    if (exitCode != 0) return {QStringLiteral("ldapsearch failed: ") + said};
    QStringList dns;
    for (const QString& line : said.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("dn: "))) dns << line.mid(4);
    return dns;
}

}  // namespace velmora::test
