#include "OfficeConnection.h"

#include "PagePicture.h"
#include "shell/AtomicFile.h"
#include "shell/OfficeFiles.h"
#include "shell/Trace.h"

#include <com/sun/star/beans/PropertyAttribute.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XMultiPropertyStates.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertyState.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/NoSuchElementException.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/text/XBookmarksSupplier.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XRefreshable.hpp>
#include <cppuhelper/bootstrap.hxx>

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>
#include <map>
#include <mutex>

#include <langinfo.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velmora::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

rtl::OUString ToOffice(const QString& text) {
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()),
                         sal_Int32(text.size()));
}

QString FromOffice(const rtl::OUString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}

namespace {

using namespace std::chrono_literals;

// How long a liveness check waits for an answer, and an office asked to end.
constexpr std::chrono::milliseconds kAnswerBound = 1s;
constexpr std::chrono::milliseconds kEndingBound = 2s;

// soffice.bin asks to be run again after it has set up a new profile; its launcher would
// restart it, and as we start it directly, so do we.
constexpr int kRestartRequested = 81;
constexpr int kRestartAfterCrash = 79;

const char* const kBuiltInFontConfig = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <dir>/usr/share/wine/fonts</dir>
</fontconfig>
)";

// The UNO runtime of our own process, made once. It is never destroyed: the runtime's
// libraries may be finalised before static destructors would run.
Reference<css::uno::XComponentContext> LocalContext() {
    static std::mutex mutex;
    static Reference<css::uno::XComponentContext>* context = nullptr;
    const std::lock_guard lock(mutex);
    if (!context) {
        // A write to an office that has just died must fail the call, not end the program.
        struct sigaction current {};
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::signal(SIGPIPE, SIG_IGN);
        // Without it the first call through the bridge crashes instead of failing.
        ::setenv("URE_BOOTSTRAP", "vnd.sun.star.pathname:" VELMORA_OFFICE_DIR "/fundamentalrc", 0);
        context = new Reference<css::uno::XComponentContext>(
            cppu::defaultBootstrap_InitialComponentContext());
    }
    return *context;
}

css::beans::PropertyValue Property(const char* name, const css::uno::Any& value) {
    css::beans::PropertyValue property;
    property.Name = rtl::OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

css::uno::Sequence<css::beans::PropertyValue> Properties(
    const std::vector<css::beans::PropertyValue>& properties) {
    return css::uno::Sequence<css::beans::PropertyValue>(properties.data(),
                                                         sal_Int32(properties.size()));
}

rtl::OUString FileUrl(const QString& fileName) {
    return ToOffice(
        QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

QString UniquePipeName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("velmora_%1_%2_%3")
        .arg(::getpid())
        .arg(counter++)
        .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
}

// The office's version as its installation states it ("7.4"); empty when it cannot be read.
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
void WriteProfileSettings(const QString& profileFolder, const QString& version) {
    struct Setting {
        QByteArray name;
        QByteArray item;
    };
    std::vector<Setting> settings = {
        {"\"UseDocumentOOoLockFile\"",
         "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
         "oor:name=\"UseDocumentOOoLockFile\" oor:op=\"fuse\"><value>true</value></prop></item>"}};
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
        AtomicFile out(file);
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
            AtomicFile out(file);
            out.write(kBuiltInFontConfig);
            out.commit();
        } catch (const Failure&) {
            // Without it the office finds the system's fonts only.
        }
    }
    return file;
}

// Word keeps the formatting of the text it writes over; for us the written text takes the
// paragraph's own formatting, so that a "V" written over a grey Wingdings tick square reads
// as a V in the document's text font. Every character attribute set directly on the text,
// and its character style, goes back to the paragraph's.
void ResetCharacterFormatting(const Reference<css::text::XTextCursor>& cursor,
                              std::vector<rtl::OUString>& characterProperties) {
    const Reference<css::beans::XPropertyState> state(cursor, UNO_QUERY_THROW);
    // The same for every piece of text; asked for once per connection.
    if (characterProperties.empty()) {
        const Reference<css::beans::XPropertySet> properties(cursor, UNO_QUERY_THROW);
        for (const css::beans::Property& property :
             properties->getPropertySetInfo()->getProperties()) {
            if (property.Name.startsWith("Char") &&
                !(property.Attributes & css::beans::PropertyAttribute::READONLY))
                characterProperties.push_back(property.Name);
        }
    }
    const css::uno::Sequence<css::beans::PropertyState> states =
        state->getPropertyStates(css::uno::Sequence<rtl::OUString>(
            characterProperties.data(), sal_Int32(characterProperties.size())));
    std::vector<rtl::OUString> direct;
    for (sal_Int32 i = 0; i < states.getLength(); ++i) {
        if (states[i] != css::beans::PropertyState_DEFAULT_VALUE)
            direct.push_back(characterProperties[size_t(i)]);
    }
    if (direct.empty()) return;
    try {
        Reference<css::beans::XMultiPropertyStates>(cursor, UNO_QUERY_THROW)
            ->setPropertiesToDefault(
                css::uno::Sequence<rtl::OUString>(direct.data(), sal_Int32(direct.size())));
    } catch (const css::uno::RuntimeException&) {
        throw;
    } catch (const css::uno::Exception&) {
        // One of them cannot be reset; reset the others one by one.
        for (const rtl::OUString& name : direct) {
            try {
                state->setPropertyToDefault(name);
            } catch (const css::uno::RuntimeException&) {
                throw;
            } catch (const css::uno::Exception&) {
            }
        }
    }
}

// What the user typed, as the document's text can hold it. A line break typed as CR LF, CR or
// LF ends the paragraph, as it does when Word is given the same text (the office splits
// paragraphs at CR and would make an LF a line break within the paragraph). A vertical tab,
// Word's own line break, is a line break within the paragraph. The tab stays; every other
// control character (form feed, BEL, ESC, NUL, ... as pasted from other programs) is a space:
// the office would drop the whole value, and in a Word file they mark fields and objects.
// Non-characters, and halves of surrogate pairs without their other half, become U+FFFD; the
// office cannot even take the latter.
rtl::OUString OfficeText(const QString& value) {
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        const bool pair =
            c.isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate();
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            text += QLatin1Char('\r');
            if (c == QLatin1Char('\r') && i + 1 < value.size() && value[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\v')) {
            text += QLatin1Char('\n');
        } else if (c == QLatin1Char('\t')) {
            text += c;
        } else if (c.unicode() < 0x20) {
            text += QLatin1Char(' ');
        } else if (pair && !QChar::isNonCharacter(QChar::surrogateToUcs4(c, value[i + 1]))) {
            text += c;
            text += value[++i];
        } else if (pair || c.isSurrogate() || QChar::isNonCharacter(c.unicode())) {
            text += QChar::ReplacementCharacter;
            i += pair;
        } else {
            text += c;
        }
    }
    return ToOffice(text);
}

}  // namespace

OfficeConnection::OfficeConnection(const StartOptions& options) : callBound_(options.callBound) {
    try {
        start(options);
    } catch (...) {
        shutDown();
        throw;
    }
}

OfficeConnection::~OfficeConnection() {
    shutDown();
}

void OfficeConnection::start(const StartOptions& options) {
    const auto deadline = std::chrono::steady_clock::now() + options.startBound;
    slot_.emplace(ProfileSlot::acquire(options.profileFolder, deadline));
    const QString pipeName = UniquePipeName();
    // Noted before the office runs, so that the next user of the slot removes the pipe
    // even if this process does not live to do it.
    slot_->recordLeftovers({PipePath(pipeName)});

    const Reference<css::uno::XInterface> remote = connect(options, pipeName, deadline);
    context_.set(remote, UNO_QUERY);
    if (!context_.is())
        throw WordError(QStringLiteral("The office does not offer its component context."));
    desktop_ = guarded(QStringLiteral("reach the office desktop"),
                       [&] { return css::frame::Desktop::create(context_); });
    const QStringList pipes = OfficeProcess::listeningSockets(process_->pid());
    slot_->recordLeftovers(pipes);
    process_->removeOnExit(pipes);
}

Reference<css::uno::XInterface> OfficeConnection::connect(
    const StartOptions& options, const QString& pipeName,
    std::chrono::steady_clock::time_point deadline) {
    const QString program = options.program.isEmpty()
                                ? QStringLiteral(VELMORA_OFFICE_DIR "/soffice.bin")
                                : options.program;

    // First: it sets up the environment the office inherits.
    const Reference<css::uno::XComponentContext> local = LocalContext();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FONTCONFIG_FILE"), FontConfigFile(options));
    environment.insert(QStringLiteral("TMPDIR"), slot_->tempFolder());
    // C.UTF-8 is there on every system.
    if (!InheritedLocaleIsUtf8())
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    OfficeCommand command;
    command.program = program;
    command.arguments = {QStringLiteral("--headless"),
                         QStringLiteral("--invisible"),
                         QStringLiteral("--norestore"),
                         QStringLiteral("--nologo"),
                         QStringLiteral("--nolockcheck"),
                         QStringLiteral("--nodefault"),
                         QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipeName),
                         QStringLiteral("-env:UserInstallation=") + slot_->profileUrl()};
    command.environment = environment.toStringList();
    WriteProfileSettings(slot_->folder(), InstalledVersion(program));
    command.inheritedFd = slot_->lockDescriptor();
    command.logFile = slot_->logFile();

    const Reference<css::connection::XConnector> connector =
        css::connection::Connector::create(local);
    const rtl::OUString address = ToOffice(QStringLiteral("pipe,name=") + pipeName);
    const auto seconds = [&] { return QString::number(options.startBound.count() / 1000.0); };

    process_ = std::make_unique<OfficeProcess>(command);
    Reference<css::connection::XConnection> connection;
    while (!connection.is()) {
        if (const auto status = process_->waitForExit(0ms)) {
            const bool restart = WIFEXITED(*status) && (WEXITSTATUS(*status) == kRestartRequested ||
                                                        WEXITSTATUS(*status) == kRestartAfterCrash);
            if (!restart || std::chrono::steady_clock::now() >= deadline)
                throw WordError(QStringLiteral("The office program ended while starting (%1).")
                                    .arg(OfficeProcess::describeWaitStatus(*status)));
            process_ = std::make_unique<OfficeProcess>(command);
            continue;
        }
        try {
            connection = connector->connect(address);
        } catch (const css::connection::NoConnectException&) {
            if (std::chrono::steady_clock::now() >= deadline)
                throw WordError(
                    QStringLiteral("The office did not answer within %1 seconds.").arg(seconds()));
            process_->waitForExit(40ms);
        }
    }

    watchdog_ =
        std::make_unique<Watchdog>([process = process_.get()] { process->kill(); },
                                   [process = process_.get()] { return process->processorTime(); });
    const auto left = std::max(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   deadline - std::chrono::steady_clock::now()),
                               std::chrono::milliseconds(1000));
    const auto armed = watchdog_->arm(left);
    try {
        bridge_ = css::bridge::BridgeFactory::create(local)->createBridge(rtl::OUString(), "urp",
                                                                          connection, nullptr);
        return bridge_->getInstance("StarOffice.ComponentContext");
    } catch (const css::uno::Exception& error) {
        if (watchdog_->fired())
            throw WordError(
                QStringLiteral("The office did not answer within %1 seconds.").arg(seconds()));
        throw WordError(
            QStringLiteral("Cannot connect to the office: %1").arg(FromOffice(error.Message)));
    }
}

WordError OfficeConnection::failure(const QString& what, std::chrono::milliseconds bound,
                                    const css::uno::Exception& error, bool disposed) {
    if (watchdog_ && watchdog_->fired()) {
        lostReason_ = QStringLiteral("The office stopped answering and was ended.");
        return WordError(QStringLiteral("The office stopped answering while trying to %1, and was "
                                        "ended after %2 seconds.")
                             .arg(what)
                             .arg(double(bound.count()) / 1000.0));
    }
    if (disposed || (process_ && process_->hasExited())) {
        lostReason_ = QStringLiteral("The office ended unexpectedly.");
        return WordError(
            QStringLiteral("The office ended unexpectedly while trying to %1.").arg(what));
    }
    const QString detail = FromOffice(error.Message).trimmed();
    return WordError(QStringLiteral("Could not %1.").arg(what) +
                     (detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail)));
}

Reference<css::lang::XComponent> OfficeConnection::activeDocument() const {
    return documents_.empty() ? Reference<css::lang::XComponent>() : documents_.back();
}

Reference<css::lang::XComponent> OfficeConnection::requireDocument() const {
    if (documents_.empty())
        throw WordError(
            QStringLiteral("This command is not available because no document is open."));
    return documents_.back();
}

void OfficeConnection::documentsOpen(const QString& fileName, bool readOnly) {
    if (!QFileInfo(fileName).isFile())
        throw WordError(QStringLiteral("The document '%1' could not be found.").arg(fileName));
    // A template opens as an untitled copy unless it is opened read-only and not as a
    // template; only then does the office open the file itself, read-only.
    const auto arguments = Properties(
        {Property("Hidden", css::uno::Any(true)), Property("ReadOnly", css::uno::Any(readOnly)),
         Property("AsTemplate", css::uno::Any(false)),
         Property("MacroExecutionMode", css::uno::Any(css::document::MacroExecMode::NEVER_EXECUTE)),
         Property("UpdateDocMode", css::uno::Any(css::document::UpdateDocMode::NO_UPDATE))});
    const QString what = QStringLiteral("open the document '%1'").arg(fileName);
    // The lock file the office puts beside a document opened for editing goes with the
    // document; should the office die first, it goes when the instance ends, or at the next
    // start.
    const QFileInfo file(fileName);
    if (!readOnly) slot_->recordLeftovers({LockFileOf(fileName)});
    const qint64 size = file.size();
    const Reference<css::lang::XComponent> document = guarded(what, boundFor(size), [&] {
        const Reference<css::frame::XComponentLoader> loader(desktop_, UNO_QUERY_THROW);
        return loader->loadComponentFromURL(FileUrl(fileName), "_blank", 0, arguments);
    });
    if (!document.is())
        throw WordError(QStringLiteral("Could not %1: the office could not read it.").arg(what));
    documents_.push_back(document);
    carried_ = size;
}

void OfficeConnection::setBookmarkText(const QString& name, const QString& value) {
    const Reference<css::lang::XComponent> document = requireDocument();
    carried_ += value.size();
    guarded(QStringLiteral("write the bookmark '%1'").arg(name), boundFor(carried_), [&] {
        // Every call is a round trip to the office; the document's bookmarks are asked for
        // once, not once per bookmark.
        holdLayout(document);
        if (bookmarksOf_ != document) {
            bookmarks_ =
                Reference<css::text::XBookmarksSupplier>(document, UNO_QUERY_THROW)->getBookmarks();
            bookmarksOf_ = document;
        }
        Reference<css::text::XTextContent> bookmark;
        try {
            bookmark.set(bookmarks_->getByName(ToOffice(name)), UNO_QUERY_THROW);
        } catch (const css::container::NoSuchElementException&) {
            throw WordError(QStringLiteral("The document has no bookmark named '%1'.").arg(name));
        }
        const rtl::OUString text = OfficeText(value);
        // What the bookmark reads once written: paragraph and line breaks both read as LF.
        const rtl::OUString expected = text.replace('\r', '\n');
        const Reference<css::text::XTextRange> anchor = bookmark->getAnchor();
        const Reference<css::text::XText> body = anchor->getText();
        // The written text starts just after the character before the bookmark, which the
        // writing does not move. (The cursor that writes would span the text, but the office
        // counts a surrogate pair as one character there and starts it too early.)
        const Reference<css::text::XTextCursor> range =
            body->createTextCursorByRange(anchor->getStart());
        const bool atStart = !range->goLeft(1, false);
        const Reference<css::text::XTextCursor> written = body->createTextCursorByRange(anchor);
        written->setString(text);
        if (atStart)
            range->gotoStart(false);
        else
            range->goRight(1, false);
        range->gotoRange(written->getEnd(), true);
        // An empty bookmark stays empty before its new text, and one that gets several
        // paragraphs ends after the first; such a bookmark is set again around all of it.
        rtl::OUString held = bookmark->getAnchor()->getString();
        if (held != expected) {
            Reference<css::lang::XComponent>(bookmark, UNO_QUERY_THROW)->dispose();
            bookmark.set(Reference<css::lang::XMultiServiceFactory>(document, UNO_QUERY_THROW)
                             ->createInstance("com.sun.star.text.Bookmark"),
                         UNO_QUERY_THROW);
            Reference<css::container::XNamed>(bookmark, UNO_QUERY_THROW)->setName(ToOffice(name));
            body->insertTextContent(Reference<css::text::XTextRange>(range.get()), bookmark, true);
            held = bookmark->getAnchor()->getString();
        }
        // Read back: what the office did not take as written fails the step, naming the
        // bookmark, rather than leaving the value out of the document unsaid.
        if (held != expected)
            throw WordError(
                QStringLiteral("The bookmark '%1' does not hold the text written to it.")
                    .arg(name));
        ResetCharacterFormatting(range, characterProperties_);
    });
}

// The office lays the document out again after every change it is sent, and a page of a long
// paragraph takes it seconds; a cover sheet is written bookmark by bookmark and pictured only
// once it is saved. So the layout waits from the first write until the document is pictured
// or exported (saving and closing do not need it), which changes nothing in what is written.
void OfficeConnection::holdLayout(const Reference<css::lang::XComponent>& document) {
    if (layoutHeldFor_ == document) return;
    Reference<css::frame::XModel>(document, UNO_QUERY_THROW)->lockControllers();
    layoutHeldFor_ = document;
}

void OfficeConnection::releaseLayout(const Reference<css::lang::XComponent>& document) {
    if (layoutHeldFor_ != document) return;
    guarded(QStringLiteral("lay out the document"), boundFor(carried_), [&] {
        layoutHeldFor_.clear();
        Reference<css::frame::XModel>(document, UNO_QUERY_THROW)->unlockControllers();
    });
}

void OfficeConnection::fieldsUpdate() {
    const Reference<css::lang::XComponent> document = requireDocument();
    guarded(QStringLiteral("update the fields"), boundFor(carried_), [&] {
        const Reference<css::text::XTextFieldsSupplier> supplier(document, UNO_QUERY_THROW);
        Reference<css::util::XRefreshable>(supplier->getTextFields(), UNO_QUERY_THROW)->refresh();
    });
}

void OfficeConnection::saveAs(const QString& fileName) {
    const Reference<css::lang::XComponent> document = requireDocument();
    const QString what = QStringLiteral("save the document as '%1'").arg(fileName);
    // The office writes into the instance's own folder, where whatever a failed or broken-off
    // save leaves (part of the file, the office's lu*.tmp) goes with the instance; the
    // document reaches its place only once it is complete.
    const QTemporaryDir folder(slot_->tempFolder() + QStringLiteral("/save-XXXXXX"));
    if (!folder.isValid())
        throw WordError(QStringLiteral("Could not %1: %2").arg(what, folder.errorString()));
    const QString stored = folder.filePath(QStringLiteral("document.doc"));
    guarded(what, boundFor(carried_), [&] {
        Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
            ->storeToURL(
                FileUrl(stored),
                Properties({Property("FilterName", css::uno::Any(rtl::OUString("MS Word 97")))}));
    });
    if (QFileInfo(stored).size() <= 0)
        throw WordError(QStringLiteral("Could not %1: the office wrote nothing.").arg(what));
    try {
        AtomicFile placed(fileName);
        placed.moveIn(stored);
        placed.commit();
    } catch (const Failure& error) {
        throw WordError(
            QStringLiteral("Could not %1: %2").arg(what, QString::fromUtf8(error.what())));
    }
}

// The office runs headless and never asks anything, so there is nothing to switch off.
void OfficeConnection::setDisplayAlerts(bool) {}

void OfficeConnection::close() {
    const Reference<css::lang::XComponent> document = requireDocument();
    // Word would ask about unsaved changes here; with nobody to ask, they are dropped.
    guarded(QStringLiteral("close the document"), boundFor(carried_),
            [&] { Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true); });
    documents_.pop_back();
    forgetBookmarks();
    if (documents_.empty()) carried_ = 0;
}

void OfficeConnection::closeWithoutSaving() {
    const Reference<css::lang::XComponent> document = requireDocument();
    guarded(QStringLiteral("close the document"), boundFor(carried_), [&] {
        const Reference<css::util::XModifiable> modifiable(document, UNO_QUERY);
        if (modifiable.is()) modifiable->setModified(false);
        Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
    });
    documents_.pop_back();
    forgetBookmarks();
    if (documents_.empty()) carried_ = 0;
}

void OfficeConnection::exportFirstPage(const QString& pdfFile) {
    const Reference<css::lang::XComponent> document = requireDocument();
    releaseLayout(document);
    guarded(QStringLiteral("make a picture of the page"), boundFor(carried_), [&] {
        // The pictures go in as the document holds them: a JPEG is then copied, not encoded
        // anew (the Casual artwork: 30 ms instead of 80).
        const auto pageRange =
            Properties({Property("PageRange", css::uno::Any(rtl::OUString("1"))),
                        Property("ReduceImageResolution", css::uno::Any(false))});
        Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
            ->storeToURL(FileUrl(pdfFile),
                         Properties({Property("FilterName",
                                              css::uno::Any(rtl::OUString("writer_pdf_Export"))),
                                     Property("FilterData", css::uno::Any(pageRange))}));
    });
}

// A copy of the active document in another format; the document stays as it was opened.
void OfficeConnection::storeCopy(const QString& what, const QString& fileName, const char* filter,
                                 const css::uno::Sequence<css::beans::PropertyValue>& filterData) {
    const Reference<css::lang::XComponent> document = requireDocument();
    releaseLayout(document);
    guarded(what, [&] {
        std::vector<css::beans::PropertyValue> arguments = {
            Property("FilterName", css::uno::Any(rtl::OUString::createFromAscii(filter))),
            Property("Overwrite", css::uno::Any(true))};
        if (filterData.hasElements())
            arguments.push_back(Property("FilterData", css::uno::Any(filterData)));
        Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
            ->storeToURL(FileUrl(fileName), Properties(arguments));
    });
}

void OfficeConnection::exportAsPdf(const QString& fileName) {
    // Every font embedded, the standard PDF ones as well, so that the file looks the same
    // wherever it is opened or printed; the pictures as the document holds them, with no
    // second loss of detail.
    storeCopy(QStringLiteral("export the document as PDF to '%1'").arg(fileName), fileName,
              "writer_pdf_Export",
              Properties({Property("EmbedStandardFonts", css::uno::Any(true)),
                          Property("ReduceImageResolution", css::uno::Any(false))}));
}

void OfficeConnection::saveAsDocx(const QString& fileName) {
    storeCopy(QStringLiteral("save the document as '%1'").arg(fileName), fileName,
              "MS Word 2007 XML");
}

QImage OfficeConnection::copyAsPicture() {
    requireDocument();
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw WordError(QStringLiteral("There is no clipboard to copy the page picture to."));
    // In the instance's own folder, which goes with the instance however it ends.
    const QTemporaryDir folder(slot_->tempFolder() + QStringLiteral("/page-XXXXXX"));
    if (!folder.isValid())
        throw WordError(QStringLiteral("Cannot create a temporary folder for the page picture: %1")
                            .arg(folder.errorString()));
    const QString pdfFile = folder.filePath(QStringLiteral("page.pdf"));
    {
        const TraceScope trace("office page export");
        exportFirstPage(pdfFile);
    }
    QImage picture;
    {
        const TraceScope trace("office rasterise");
        picture = RenderFirstPage(pdfFile);
    }
    QGuiApplication::clipboard()->setImage(picture);
    return picture;
}

void OfficeConnection::quit() {
    shutDown();
}

void OfficeConnection::warmUp() {
    const QString wordFile = slot_->tempFolder() + QStringLiteral("/warm-up.doc");
    const QString pdfFile = slot_->tempFolder() + QStringLiteral("/warm-up.pdf");
    guarded(QStringLiteral("prepare the office"), [&] {
        const Reference<css::frame::XComponentLoader> loader(desktop_, UNO_QUERY_THROW);
        const auto store = [](const Reference<css::lang::XComponent>& document, const QString& file,
                              const rtl::OUString& filter) {
            Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
                ->storeToURL(FileUrl(file),
                             Properties({Property("FilterName", css::uno::Any(filter))}));
            Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
        };
        // A blank document through the Word filters and the page export, as a cover sheet
        // goes, so that their code is loaded before the user waits for it.
        store(loader->loadComponentFromURL("private:factory/swriter", "_blank", 0,
                                           Properties({Property("Hidden", css::uno::Any(true))})),
              wordFile, "MS Word 97");
        store(loader->loadComponentFromURL(FileUrl(wordFile), "_blank", 0,
                                           Properties({Property("Hidden", css::uno::Any(true)),
                                                       Property("ReadOnly", css::uno::Any(true))})),
              pdfFile, "writer_pdf_Export");
    });
    // And the page reader on our side, which sets up its fonts on first use.
    RenderFirstPage(pdfFile);
    QFile::remove(wordFile);
    QFile::remove(pdfFile);
}

bool OfficeConnection::alive() {
    if (!lostReason_.isEmpty() || !process_ || process_->hasExited() || !desktop_.is())
        return false;
    // An office killed a moment ago may not have been reported yet, and a hung one answers
    // nothing: a call finds out, and one that gets no answer within a second ends the office.
    try {
        guarded(
            QStringLiteral("reach the office"), kAnswerBound,
            [&] { desktop_->getCurrentComponent(); }, Watchdog::Patience::Bound);
        return true;
    } catch (...) {
        return false;
    }
}

void OfficeConnection::shutDown() noexcept {
    bool asked = false;
    if (desktop_.is() && lostReason_.isEmpty()) {
        try {
            // Ending gets little patience: its documents are closed, and an office that does
            // not answer at once is killed.
            guarded(QStringLiteral("end the office"), kEndingBound, [&] { desktop_->terminate(); });
            asked = true;
        } catch (...) {
            // Whatever the office says, it is ended below.
        }
    }
    try {
        forgetBookmarks();
        documents_.clear();
        desktop_.clear();
        context_.clear();
        if (bridge_.is()) {
            const Reference<css::lang::XComponent> bridge(bridge_, UNO_QUERY);
            bridge_.clear();
            if (bridge.is()) bridge->dispose();
        }
    } catch (...) {
    }
    if (lostReason_.isEmpty()) lostReason_ = QStringLiteral("The office has been ended.");
    watchdog_.reset();
    if (process_) {
        // An office asked to end gets a while to do so; any other is killed at once.
        if (!asked || !process_->waitForExit(10s)) process_->kill();
        process_.reset();
    }
    if (slot_) {
        // The office has ended: nothing it was working on is wanted any more.
        slot_->tidy();
        slot_.reset();
    }
}

}  // namespace velmora::office
