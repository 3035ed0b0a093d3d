#include "OfficeProfile.h"

#include "shell/AtomicFile.h"
#include "shell/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <mutex>
#include <vector>

#include <langinfo.h>
#include <clocale>
#include <cstring>

namespace velmora::office {
namespace {

const char* const kBuiltInFontConfig = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <dir>/usr/share/wine/fonts</dir>
</fontconfig>
)";

}  // namespace

QString InstalledVersion(const QString& program) {
    static std::mutex mutex;
    static std::map<QString, QString> known;
    const std::lock_guard lock(mutex);
    if (const auto found = known.find(program); found != known.end()) return found->second;
    QFile registry(QFileInfo(program).absolutePath() +
                   QStringLiteral("/../share/registry/main.xcd"));
    QString version;
    if (registry.open(QIODevice::ReadOnly)) {
        const QByteArray text = registry.readAll();
        const qsizetype name = text.indexOf("oor:name=\"ooSetupVersion\">");
        const qsizetype open = name < 0 ? -1 : text.indexOf("<value>", name);
        const qsizetype close = open < 0 ? -1 : text.indexOf("</value>", open);
        if (close > open && close - open < 40)
            version = QString::fromUtf8(text.mid(open + 7, close - open - 7)).trimmed();
    }
    known.emplace(program, version);
    return version;
}

// The settings every start puts into the slot's profile, whatever an earlier run or the user
// left there.
// - A headless office never notes in its profile that it has met its own version, so every
//   start would count as the first after an upgrade and run the graphics self-tests, which
//   take most of a second of the start. The profile gets the note the office would have made.
// - Lock files stay on. Without them the office does not find out before writing that a
//   document cannot be created where it was asked to save it, and its Word filter then spins
//   for ever on the stream that failed, until the call bound kills the office; with them the
//   save fails at once with the office's own reason.
// - Links to the outside are never followed: a document the user attaches may link a picture
//   on a server, whose owner would learn who opened the document, and when. The office
//   fetches no linked picture or data of a document opened with this setting.
void WriteProfileSettings(const QString& profileFolder, const QString& version) {
    struct Setting {
        QByteArray name;
        QByteArray item;
    };
    std::vector<Setting> settings = {
        {"\"UseDocumentOOoLockFile\"",
         "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
         "oor:name=\"UseDocumentOOoLockFile\" oor:op=\"fuse\"><value>true</value></prop></item>"},
        {"\"BlockUntrustedRefererLinks\"",
         "<item oor:path=\"/org.openoffice.Office.Common/Security/Scripting\"><prop "
         "oor:name=\"BlockUntrustedRefererLinks\" oor:op=\"fuse\"><value>true</value></prop>"
         "</item>"}};
    if (!version.isEmpty())
        settings.push_back({"\"ooSetupLastVersion\"",
                            "<item oor:path=\"/org.openoffice.Setup/Product\"><prop "
                            "oor:name=\"ooSetupLastVersion\" oor:op=\"fuse\"><value>" +
                                version.toUtf8() + "</value></prop></item>"});
    const QString file = profileFolder + QStringLiteral("/user/registrymodifications.xcu");
    QByteArray text;
    if (QFile existing(file); existing.open(QIODevice::ReadOnly)) text = existing.readAll();
    if (!text.contains("</oor:items>"))
        text =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items "
            "xmlns:oor=\"http://openoffice.org/2001/registry\" "
            "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n</oor:items>\n";
    // The office writes one item a line; a setting's earlier lines are replaced.
    const QByteArray before = text;
    for (const Setting& setting : settings) {
        QList<QByteArray> lines = text.split('\n');
        lines.removeIf([&](const QByteArray& line) {
            return line.contains(setting.name) && line != setting.item;
        });
        text = lines.join('\n');
        if (!lines.contains(setting.item))
            text.insert(text.lastIndexOf("</oor:items>"), setting.item + '\n');
    }
    if (text == before) return;
    QDir().mkpath(profileFolder + QStringLiteral("/user"));
    try {
        AtomicFile out(file, AtomicFile::Flush::ToDisk, AtomicFile::Access::OwnerOnly);
        out.write(text);
        out.commit();
    } catch (const Failure&) {
        // The office starts without them, as it did before they were written.
    }
}

// Whether the locale the environment names is installed and uses UTF-8. The office names
// files in its locale's character set: under any other locale (none, "C", or one that is not
// installed here, which leaves the C locale) it cannot open a path that goes beyond ASCII.
bool InheritedLocaleIsUtf8() {
    const locale_t inherited = ::newlocale(LC_ALL_MASK, "", locale_t(nullptr));
    if (!inherited) return false;
    const bool utf8 = std::strcmp(::nl_langinfo_l(CODESET, inherited), "UTF-8") == 0;
    ::freelocale(inherited);
    return utf8;
}

QString FontConfigFile(const StartOptions& options) {
    if (!options.fontConfigFile.isEmpty() && QFileInfo(options.fontConfigFile).isFile())
        return options.fontConfigFile;
    const QString file = options.profileFolder + QStringLiteral("/fonts.conf");
    if (!QFileInfo(file).isFile()) {
        try {
            AtomicFile out(file, AtomicFile::Flush::ToDisk, AtomicFile::Access::OwnerOnly);
            out.write(kBuiltInFontConfig);
            out.commit();
        } catch (const Failure&) {
            // Without it the office finds the system's fonts only.
        }
    }
    return file;
}

}  // namespace velmora::office
