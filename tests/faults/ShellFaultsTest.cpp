// Faults of the program's own shell: signals, crashed runs, the shared temporary folder, a
// missing engine, long fields and an unwritable settings store.
#include "FaultCampaign.h"
#include "PdfReaders.h"
#include "SlowFaxServer.h"
#include "coversheet/office/OfficeFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QUrl>
#include <algorithm>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

namespace velmora::faults {
namespace {

QStringList Documents(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("quillon*.doc")}, QDir::Files);
}

// The templates runs write for themselves.
QStringList Templates(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("template*.dot")}, QDir::Files);
}

// Starts a run from the editor and waits for its preview, the document in `folder`.
QString GenerateDocument(Program& program, const QString& editor) {
    program.clickStart(editor);
    return program.waitForPreview();
}

QString Antiword(const QString& document) {
    QProcess reader;
    reader.start(QStringLiteral("antiword"), {QStringLiteral("-w"), QStringLiteral("0"), document});
    reader.waitForFinished(60000);
    return QString::fromUtf8(reader.readAllStandardOutput());
}

// Starts a run (the program traces its steps: VELMORA_TRACE) and, once it has its template
// and its office, stops every office: the call under way, or the next, hangs.
void StartARunWhoseOfficesHang(Program& velmora, const QString& editor) {
    velmora.clickStart(editor);
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!velmora.standardError().contains(QLatin1String("PushButton6_Click 124")) &&
           std::chrono::steady_clock::now() < deadline)
        QThread::usleep(500);
    for (const pid_t office : test::OfficesUnder(velmora.pid())) ASSERT_TRUE(test::Stop(office));
    ASSERT_TRUE(velmora.waitForPreview(3s).isEmpty()) << "the run ended before the offices hung";
}

using ShellFaults = FaultCase;

// The "For:" field of the Casual tab, in the editor window's pixels.
constexpr int kForFieldX = 376, kForFieldY = 162;
// "Load Sample/Example Data": 4800, 630, 4560 x 405 twips.
constexpr int kSampleButtonX = (4800 + 4560 / 2) / 15, kSampleButtonY = (630 + 405 / 2) / 15;

void PrintTo(const struct EngineFault& fault, std::ostream* out);

// --- 12: SIGTERM, SIGHUP and SIGINT end the program as closing the preview does ---

class EndingSignal : public FaultCase, public ::testing::WithParamInterface<int> {};

TEST_P(EndingSignal, EndsTheProgramAsClosingThePreviewDoes) {
    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    ASSERT_FALSE(GenerateDocument(*velmora, editor).isEmpty()) << velmora->standardError();
    ASSERT_EQ(Documents(temp()).size(), 1);

    velmora->signal(GetParam());
    ASSERT_TRUE(velmora->waitForEnd());
    EXPECT_EQ(velmora->endSignal(), 0) << "killed by the signal instead of ending";
    EXPECT_EQ(velmora->exitCode(), 0);
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
    EXPECT_TRUE(test::Eventually([&] { return processesLeft().empty(); }));
}

INSTANTIATE_TEST_SUITE_P(Faults, EndingSignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const auto& info) {
                             return std::string(info.param == SIGTERM  ? "SIGTERM"
                                                : info.param == SIGHUP ? "SIGHUP"
                                                                       : "SIGINT");
                         });

// --- 12: what a crashed run left is tidied at the next start; a running one's files stay ---

TEST_F(ShellFaults, CrashedRunIsTidiedAtTheNextStartButARunningOneIsLeftAlone) {
    // A run that lives on with its document in the preview.
    auto living = start();
    const QString livingEditor = living->waitForEditor();
    ASSERT_FALSE(livingEditor.isEmpty()) << living->standardError();
    ASSERT_FALSE(GenerateDocument(*living, livingEditor).isEmpty());
    const QStringList livingDocument = Documents(temp());
    ASSERT_EQ(livingDocument.size(), 1);
    // Its template goes only after the preview is shown (the run's last steps).
    ASSERT_TRUE(test::Eventually([&] { return Templates(temp()).isEmpty(); }));

    // A run killed in the middle of making its document, while its template is written.
    auto crashed = start();
    const QString crashedEditor = crashed->waitForEditor();
    ASSERT_FALSE(crashedEditor.isEmpty()) << crashed->standardError();
    crashed->clickStart(crashedEditor);
    ASSERT_TRUE(test::Eventually([&] { return !Templates(temp()).isEmpty(); }, 60s));
    crashed->signal(SIGKILL);
    ASSERT_TRUE(crashed->waitForEnd());
    ASSERT_FALSE(Templates(temp()).isEmpty());

    // The next start tidies after the crashed run only.
    auto next = start();
    ASSERT_FALSE(next->waitForEditor().isEmpty()) << next->standardError();
    EXPECT_TRUE(Templates(temp()).isEmpty());
    EXPECT_EQ(Documents(temp()), livingDocument) << "the living run's document must stay";
    EXPECT_TRUE(living->runs());

    for (Program* program : {living.get(), next.get()}) {
        program->signal(SIGTERM);
        EXPECT_TRUE(program->waitForEnd());
    }
    // None of the program's own files stays; what the killed office itself left (its lock
    // and working files) shows in the table's count.
    static const QRegularExpression ours(QStringLiteral(
        "(^|/)(template[^/]*\\.dot|temp\\.bmp|quillon\\d{8}\\.doc|\\.velmora-run-.*)$"));
    EXPECT_TRUE(filesLeft().filter(ours).isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- 3: with TEMP unset the files go to a private folder, never through a planted link ---

TEST_F(ShellFaults, WithoutTempAPrivateFolderIsUsedAndPlantedLinksAreNotTouched) {
    environment().remove(QStringLiteral("TEMP"));
    const QString victim = folder() + QStringLiteral("/home/victim.txt");
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the user's own file");
    file.close();
    ::chmod(QFile::encodeName(victim).constData(), 0644);
    // Another user's links in the shared folder, at the names the program uses.
    const QStringList planted{systemTemp() + QStringLiteral("/template.dot"),
                              systemTemp() + QStringLiteral("/temp.bmp")};
    for (const QString& link : planted) {
        ASSERT_TRUE(QFile::link(victim, link));
        if (RunsAsRoot()) {
            ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
        }
    }

    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    ASSERT_FALSE(GenerateDocument(*velmora, editor).isEmpty()) << velmora->standardError();

    const QString own = systemTemp() + QStringLiteral("/velmora-%1").arg(::geteuid());
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(own).constData(), &info), 0) << "no private folder";
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(Documents(own).size(), 1);
    EXPECT_TRUE(Documents(systemTemp()).isEmpty());
    for (const QString& link : planted)
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), victim) << link << " was changed";
    ASSERT_EQ(::stat(QFile::encodeName(victim).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    QFile check(victim);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("the user's own file"));

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
    for (const QString& link : planted) QFile::remove(link);
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- 9: when the engine cannot start, the reason is told ---

struct EngineFault {
    const char* name;
    const char* variable;
    const char* value;   // relative to the case's folder
    const char* reason;  // a part of what standard error must say
};

void PrintTo(const EngineFault& fault, std::ostream* out) {
    *out << fault.name;
}

class EngineCannotStart : public FaultCase, public ::testing::WithParamInterface<EngineFault> {};

TEST_P(EngineCannotStart, TheReasonIsToldAndTheProgramEndsAfterOk) {
    QFile blocker(folder() + QStringLiteral("/blocker"));  // a file where a folder must be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    environment().insert(QLatin1String(GetParam().variable),
                         folder() + QLatin1Char('/') + QLatin1String(GetParam().value));
    auto velmora = start();
    const QString box = velmora->waitForMessageBox();
    ASSERT_FALSE(box.isEmpty()) << velmora->standardError();
    EXPECT_TRUE(test::Eventually([&] {
        return velmora->standardError().contains(QLatin1String(GetParam().reason));
    })) << velmora->standardError();
    ASSERT_TRUE(velmora->keyUntil(box, QStringLiteral("Return"), [&] { return !velmora->runs(); }));
    ASSERT_TRUE(velmora->waitForEnd());
    EXPECT_EQ(velmora->exitCode(), 0);
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

INSTANTIATE_TEST_SUITE_P(Faults, EngineCannotStart,
                         ::testing::Values(EngineFault{"OfficeMissing", "VELMORA_OFFICE_PROGRAM",
                                                       "none/soffice.bin", "could not be started"},
                                           // The office profiles live in the cache folder.
                                           EngineFault{"CacheUnwritable", "XDG_CACHE_HOME",
                                                       "blocker/cache", "profile folder"}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- 10: a field of any length is kept whole, in the store and in the document ---

TEST_F(ShellFaults, LongFieldsAreKeptWholeInTheStoreAndTheDocument) {
    const QString longName = QString(40000, QLatin1Char('n')) + QStringLiteral("END");
    {
        QSettings store(settingsFile(), QSettings::IniFormat);
        store.setValue(QStringLiteral("Velmora/txtFor"), longName);
    }
    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    EXPECT_EQ(StoredSetting(settingsFile(), QStringLiteral("txtFor")).size(), longName.size());

    ASSERT_FALSE(GenerateDocument(*velmora, editor).isEmpty()) << velmora->standardError();
    const QStringList documents = Documents(temp());
    ASSERT_EQ(documents.size(), 1);
    const QString text = Antiword(temp() + QLatin1Char('/') + documents.front());
    EXPECT_TRUE(text.contains(QStringLiteral("nnnnEND"))) << "the end of the long name is missing";

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
    EXPECT_EQ(StoredSetting(settingsFile(), QStringLiteral("txtFor")), longName);
}

// --- A pipe where the settings file belongs: the program starts, says so once, and ends ---

TEST_F(ShellFaults, APipeAsTheSettingsFileIsToldAndNeverWaitedOn) {
    QDir().mkpath(QFileInfo(settingsFile()).path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(settingsFile()).constData(), 0600), 0);
    auto velmora = start();
    const QString editor = velmora->waitForEditor(60s);
    ASSERT_FALSE(editor.isEmpty()) << "no editor: the start waits on the pipe";
    const QString box = velmora->waitForMessageBox(30s);
    ASSERT_FALSE(box.isEmpty()) << "nothing said of the settings file";
    ASSERT_TRUE(velmora->keyUntil(box, QStringLiteral("Return"),
                                  [&] { return velmora->windows().size() == 1; }));

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd(10s));
    EXPECT_TRUE(QFileInfo(settingsFile()).exists()) << "the pipe is the user's; it stays";
}

// --- Started with umask 000: the settings, the document and the offices are the user's alone ---

TEST_F(ShellFaults, UnderUmaskZeroTheFilesAndTheOfficesAreTheUsersAlone) {
    // The program, and everything it starts, inherits this process's umask.
    const mode_t before = ::umask(0);
    auto velmora = start();
    ::umask(before);
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    velmora->click(editor, kSampleButtonX, kSampleButtonY);  // stores every field
    ASSERT_TRUE(test::Eventually([&] { return QFileInfo::exists(settingsFile()); }));
    ASSERT_FALSE(GenerateDocument(*velmora, editor).isEmpty()) << velmora->standardError();

    const auto mode = [](const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
    };
    EXPECT_EQ(mode(settingsFile()), 0600u);
    const QStringList documents = Documents(temp());
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(mode(temp() + QLatin1Char('/') + documents.front()), 0600u);
    // The offices' pipes, through which their owner drives them, take the offices' umask.
    // The office of the run has ended by now; those kept ready for the next are (re)starting.
    std::set<pid_t> offices;
    EXPECT_TRUE(test::Eventually([&] {
        offices = test::OfficesUnder(velmora->pid());
        return !offices.empty();
    }));
    for (const pid_t office : offices) {
        QFile status(QStringLiteral("/proc/%1/status").arg(office));
        if (!status.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = status.readAll();
        EXPECT_TRUE(text.contains("Umask:\t0077")) << text.left(200).toStdString();
    }

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
}

// --- Typing after the window was left and activated again adds to the field ---

TEST_F(ShellFaults, TypingAfterTheWindowIsActivatedAgainAddsToTheField) {
    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    velmora->click(editor, kForFieldX, kForFieldY);
    velmora->type(editor, QStringLiteral("Ann"));
    ASSERT_TRUE(test::Eventually(
        [&] { return StoredSetting(settingsFile(), QStringLiteral("txtFor")) == "Ann"; }, 10s));

    // Another window takes the focus (Help > About), and the user comes back and types on.
    velmora->key(editor, QStringLiteral("alt+h"));
    velmora->key(editor, QStringLiteral("a"));
    const QString about = velmora->waitForMessageBox(10s);
    ASSERT_FALSE(about.isEmpty()) << "no About box";
    ASSERT_TRUE(velmora->keyUntil(about, QStringLiteral("Return"),
                                  [&] { return velmora->windows().size() == 1; }));
    velmora->type(editor, QStringLiteral("X"));
    EXPECT_TRUE(test::Eventually(
        [&] { return StoredSetting(settingsFile(), QStringLiteral("txtFor")) == "AnnX"; }, 10s))
        << "the field holds " << StoredSetting(settingsFile(), QStringLiteral("txtFor"));

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
}

// --- A run whose office hangs is given up by the user (Esc), and the next run starts ---

TEST_F(ShellFaults, AHungOfficeIsGivenUpWithEscapeAndTheNextRunStarts) {
    environment().insert(QStringLiteral("VELMORA_TRACE"), QStringLiteral("1"));
    environment().insert(QStringLiteral("VELMORA_OFFICE_CALL_TIMEOUT"), QStringLiteral("120"));
    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    ASSERT_NO_FATAL_FAILURE(StartARunWhoseOfficesHang(*velmora, editor));

    velmora->key(editor, QStringLiteral("Escape"));
    // No box about the steps that did not run; nothing the run made stays.
    EXPECT_FALSE(test::Eventually([&] { return velmora->windows().size() > 1; }, 5s))
        << "a box after the stop";
    EXPECT_TRUE(Documents(temp()).isEmpty()) << Documents(temp()).join(' ');

    // The run is over: "Start Creating Template" starts the next one (a run under way would
    // ignore the click until its call's bound, two minutes).
    velmora->clickStart(editor);
    EXPECT_TRUE(test::Eventually(
        [&] { return velmora->standardError().count(QLatin1String("PushButton6_Click 102")) == 2; },
        10s))
        << "no second run after the stop";

    velmora->signal(SIGTERM);
    ASSERT_TRUE(velmora->waitForEnd(30s));
    EXPECT_TRUE(test::Eventually([&] { return processesLeft().empty(); }, 5s));
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- The campaign's window search finds the program's own windows, not another program's ---

TEST_F(ShellFaults, TheProgramsWindowsAreItsOwnWhateverElseIsOnTheDisplay) {
    QProcess other;
    other.start(QStringLiteral("xmessage"), {QStringLiteral("-display"), display().display(),
                                             QStringLiteral("another program's window")});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(test::Eventually(
        [&] {
            return !display()
                        .xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                  QStringLiteral("--name"), QStringLiteral("xmessage")})
                        .isEmpty();
        },
        10s));
    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    EXPECT_EQ(velmora->windows().size(), 1u) << "another program's window taken for ours";
    other.kill();
    other.waitForFinished();

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
}

// --- Saving onto the document the preview shows, which "< Back" removes, is refused ---

TEST_F(ShellFaults, SavingOntoTheDocumentShownIsRefusedAndNothingSaysDone) {
    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    const QString preview = GenerateDocument(*velmora, editor);
    ASSERT_FALSE(preview.isEmpty()) << velmora->standardError();
    const QStringList documents = Documents(temp());
    ASSERT_EQ(documents.size(), 1);
    const QString shown = temp() + QLatin1Char('/') + documents.front();

    // The save dialog, its name typed as a user would: the document shown.
    ASSERT_TRUE(velmora->chooseFile(preview, QStringLiteral("ctrl+s"), shown)) << "no save dialog";
    // One box saying why, and no question about overwriting followed by "Done.".
    ASSERT_TRUE(test::Eventually([&] { return velmora->windows().size() == 2; }, 30s));
    velmora->key(velmora->waitForMessageBox(), QStringLiteral("Return"));
    EXPECT_FALSE(test::Eventually([&] { return velmora->windows().size() > 1; }, 3s))
        << "another box: the save went ahead";
    EXPECT_TRUE(QFile::exists(shown));

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- A long print shows its progress, is cancelled, and ends with the program ---

TEST_F(ShellFaults, ALongPrintShowsItsProgressIsCancelledAndEndsWithTheProgram) {
    // Two hundred pages behind the cover: a print of a minute or so.
    const QString contract = folder() + QStringLiteral("/contract.pdf");
    QStringList pages;
    for (int n = 1; n <= 200; ++n) pages << QStringLiteral("Contract page %1").arg(n);
    test::WriteTextPdf(contract, pages);
    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    ASSERT_TRUE(velmora->chooseFile(editor, QStringLiteral("ctrl+shift+a"), contract))
        << "no file dialog";
    ASSERT_TRUE(test::Eventually([&] { return velmora->windows().size() == 1; }, 30s));
    // Start stays disabled while the office reads the document in; clicked until it is taken.
    QString preview;
    for (int click = 0; click < 20 && preview.isEmpty(); ++click) {
        velmora->clickStart(editor);
        preview = velmora->waitForPreview(3s);
    }
    ASSERT_FALSE(preview.isEmpty()) << velmora->standardError();

    // Printed to a file, the print dialog's own choice where there is no printer.
    const QString printed = folder() + QStringLiteral("/home/Velmora.pdf");
    const auto otherWindow = [&](const QStringList& known) {
        for (const Window& shown : velmora->windows())
            if (shown.id != preview && !known.contains(shown.id)) return shown.id;
        return QString();
    };
    // Prints; returns the box that shows the progress.
    const auto print = [&] {
        // Print is disabled until the office work before it is over.
        QString dialog;
        if (!velmora->keyUntil(
                preview, QStringLiteral("ctrl+p"),
                [&] { return !(dialog = velmora->waitForMessageBox(0s)).isEmpty(); }, 30s))
            return QString();
        velmora->key(dialog, QStringLiteral("Return"));
        QString box;
        test::Eventually([&] { return !(box = otherWindow({dialog})).isEmpty(); }, 30s);
        return box;
    };
    const QString progress = print();
    ASSERT_FALSE(progress.isEmpty()) << "no progress shown";
    ASSERT_TRUE(QFile::exists(printed));
    // Cancel: the box goes, the half-printed file too, and the preview works on.
    velmora->key(progress, QStringLiteral("Escape"));
    EXPECT_TRUE(test::Eventually([&] { return velmora->windows().size() == 1; }, 5s));
    EXPECT_TRUE(test::Eventually([&] { return !QFile::exists(printed); }, 10s))
        << "a cancelled print left its file";

    // A second print, ended by SIGTERM: at once, with nothing left.
    ASSERT_FALSE(print().isEmpty()) << "no second print";
    QElapsedTimer ending;
    ending.start();
    velmora->signal(SIGTERM);
    ASSERT_TRUE(velmora->waitForEnd(10s)) << "the print held the program";
    EXPECT_LT(ending.elapsed(), 5000) << "the print held the program";
    EXPECT_FALSE(QFile::exists(printed)) << "an ended print left its file";
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
    EXPECT_TRUE(test::Eventually([&] { return processesLeft().empty(); }));
}

// --- A template another user planted in a shared TEMP is never the cover sheet ---

TEST_F(ShellFaults, ATemplatePlantedByAnotherUserInASharedTempIsNeverOpened) {
    if (!RunsAsRoot()) GTEST_SKIP() << "needs root (another user's file that stays put)";
    ::chmod(QFile::encodeName(temp()).constData(), 01777);
    // Another style's template, with all the bookmarks, at the name runs once used; its owner
    // is another user, so that the victim can neither remove nor replace it.
    const QString planted = temp() + QStringLiteral("/template.dot");
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMORA_TEMPLATES "/professional.dot"), planted));
    ASSERT_EQ(::chown(QFile::encodeName(planted).constData(), 65534, 65534), 0);
    ASSERT_TRUE(pinFile(planted));

    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    ASSERT_FALSE(GenerateDocument(*velmora, editor).isEmpty())
        << "no preview (a box about the planted file?)";
    EXPECT_EQ(velmora->windows().size(), 1u) << "a box beside the preview";
    const QStringList documents = Documents(temp());
    ASSERT_EQ(documents.size(), 1);
    const QString text = Antiword(temp() + QLatin1Char('/') + documents.front());
    EXPECT_TRUE(text.contains(QStringLiteral("Regarding:"))) << "not the Casual sheet: " << text;
    EXPECT_FALSE(text.contains(QStringLiteral("Please Recycle"))) << "the planted sheet";
    QFile theirs(planted);
    ASSERT_TRUE(theirs.open(QIODevice::ReadOnly));
    QFile original(QStringLiteral(VELMORA_TEMPLATES "/professional.dot"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(theirs.readAll(), original.readAll());

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- A low limit of open files: the engine's reason or a working program, never a hang, and
// nothing written to a descriptor the program was given ---

TEST_F(ShellFaults, ALowLimitOfOpenFilesGivesTheEnginesReasonOrAWorkingProgram) {
    for (const int limit : {32, 64}) {
        SCOPED_TRACE(limit);
        // Descriptor 3 of the program, a socket as a launcher may pass one (or as the X
        // server's connection may get that number): nobody writes to it.
        int given[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, given), 0);
        // Both limits, so that the program cannot raise its own (Qt raises the soft one).
        auto velmora =
            start(given[1], {QStringLiteral("prlimit"), QStringLiteral("--nofile=%1").arg(limit),
                             QStringLiteral("--")});
        ::close(given[1]);

        ASSERT_TRUE(
            test::Eventually([&] { return !velmora->windows().empty() || !velmora->runs(); }, 60s))
            << "no window within a minute: the start hangs";
        ASSERT_TRUE(velmora->runs()) << velmora->standardError();
        const QString box = velmora->waitForMessageBox(5s);
        if (!box.isEmpty()) {
            // The office could not start: the engine says why, and OK ends the program.
            EXPECT_TRUE(test::Eventually([&] {
                return velmora->standardError().contains(QLatin1String("could not be started"));
            })) << velmora->standardError();
            ASSERT_TRUE(
                velmora->keyUntil(box, QStringLiteral("Return"), [&] { return !velmora->runs(); }));
        } else {
            const QString editor = velmora->waitForEditor();
            ASSERT_FALSE(editor.isEmpty());
            EXPECT_FALSE(GenerateDocument(*velmora, editor).isEmpty()) << velmora->standardError();
            velmora->signal(SIGTERM);
        }
        ASSERT_TRUE(velmora->waitForEnd(10s));
        EXPECT_EQ(velmora->exitCode(), 0) << velmora->standardError();
        char written[64];
        EXPECT_LE(::read(given[0], written, sizeof written), 0)
            << "something wrote to the descriptor the program was given";
        ::close(given[0]);
    }
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- A signal during a hung office call ends the program at once, offices and all ---

TEST_F(ShellFaults, ASignalDuringAHungOfficeCallEndsTheProgramAndItsOfficesAtOnce) {
    environment().insert(QStringLiteral("VELMORA_TRACE"), QStringLiteral("1"));
    environment().insert(QStringLiteral("VELMORA_OFFICE_CALL_TIMEOUT"), QStringLiteral("120"));
    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    ASSERT_NO_FATAL_FAILURE(StartARunWhoseOfficesHang(*velmora, editor));

    const qsizetype said = velmora->standardError().size();
    QElapsedTimer ending;
    ending.start();
    velmora->signal(SIGTERM);
    ASSERT_TRUE(velmora->waitForEnd(30s));
    EXPECT_LT(ending.elapsed(), 2000) << "ms to end";
    EXPECT_EQ(velmora->exitCode(), 0);
    // The step under way ends with the offices; no later step runs.
    static const QRegularExpression step(
        QStringLiteral("velmora-trace: Form1\\.(PushButton6_Click|SaveDocAsJPG) \\d+"));
    const QString after = velmora->standardError().mid(said);
    EXPECT_LE(after.count(step), 1) << after;
    EXPECT_TRUE(test::Eventually([&] { return processesLeft().empty(); }, 2s));
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- The offices' pipes in /tmp go with them, or at the next start, however they ended ---

TEST_F(ShellFaults, OfficePipesOfAKilledProgramGoAtTheNextStart) {
    // The single-instance pipes of this case's office profiles.
    const auto pipes = [&] {
        QStringList found;
        for (int slot = 0; slot < 8; ++slot) {
            const QString path = office::SingleInstancePipePath(
                QUrl::fromLocalFile(folder() +
                                    QStringLiteral("/cache/velmora/office/slot-%1").arg(slot))
                    .toString(QUrl::FullyEncoded));
            struct stat info {};
            if (::lstat(QFile::encodeName(path).constData(), &info) == 0) found << path;
        }
        return found;
    };
    auto killed = start();
    // An office that has made its pipe stops before it takes the program's connection; then
    // the program, its keepers and its offices are killed at once.
    QStringList made;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while ((made = pipes()).isEmpty() && std::chrono::steady_clock::now() < deadline)
        QThread::usleep(500);
    ASSERT_FALSE(made.isEmpty()) << killed->standardError();
    for (const pid_t office : test::OfficesUnder(killed->pid())) test::Stop(office);
    for (const pid_t pid : processesLeft()) ::kill(pid, SIGKILL);
    ASSERT_TRUE(killed->waitForEnd());
    ASSERT_TRUE(test::Eventually([&] { return processesLeft().empty(); }));
    made = pipes();
    ASSERT_FALSE(made.isEmpty());

    // The next start, whose office cannot run (so that it makes no pipes of its own), tidies.
    environment().insert(QStringLiteral("VELMORA_OFFICE_PROGRAM"),
                         folder() + QStringLiteral("/none/soffice.bin"));
    auto next = start();
    const QString box = next->waitForMessageBox();
    ASSERT_FALSE(box.isEmpty()) << next->standardError();
    EXPECT_EQ(pipes(), QStringList()) << "left in /tmp";
    ASSERT_TRUE(next->keyUntil(box, QStringLiteral("Return"), [&] { return !next->runs(); }));
    for (const QString& pipe : pipes()) QFile::remove(pipe);
}

// --- 11: an unwritable store is told once, and the program keeps working ---

TEST_F(ShellFaults, UnwritableStoreIsToldOnceAndTheProgramKeepsWorking) {
    // A file where the settings folder must be: no write can succeed, not even root's.
    QFile blocker(folder() + QStringLiteral("/blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    environment().insert(QStringLiteral("XDG_CONFIG_HOME"),
                         blocker.fileName() + QStringLiteral("/config"));

    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    velmora->click(editor, kForFieldX, kForFieldY);
    velmora->type(editor, QStringLiteral("M"));
    const QString box = velmora->waitForMessageBox(30s);
    ASSERT_FALSE(box.isEmpty()) << "no word that entries cannot be remembered";
    ASSERT_TRUE(velmora->keyUntil(box, QStringLiteral("Return"),
                                  [&] { return velmora->windows().size() == 1; }));

    // More typing and the sample data say nothing more; the run still makes its document.
    velmora->type(editor, QStringLiteral("artin"));
    velmora->click(editor, kSampleButtonX, kSampleButtonY);  // "Load Sample/Example Data"
    ASSERT_FALSE(GenerateDocument(*velmora, editor).isEmpty()) << velmora->standardError();
    EXPECT_EQ(velmora->windows().size(), 1u) << "a second box, or the editor still shown";
    const QStringList documents = Documents(temp());
    ASSERT_EQ(documents.size(), 1);
    const QString text = Antiword(temp() + QLatin1Char('/') + documents.front());
    EXPECT_TRUE(text.contains(QStringLiteral("Martin Hale"))) << text;

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
}

TEST_F(ShellFaults, FullDiskUnderTheStoreIsToldOnce) {
    if (!RunsAsRoot()) GTEST_SKIP() << "needs root (a tiny tmpfs)";
    const QString config = folder() + QStringLiteral("/config");
    ASSERT_TRUE(mountTinyFilesystem(config, 64));
    {
        QSettings(settingsFile(), QSettings::IniFormat)
            .setValue(QStringLiteral("Velmora/txtFor"), QStringLiteral("Nora"));
    }
    fillUp(config);

    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    velmora->click(editor, kForFieldX, kForFieldY);
    velmora->type(editor, QStringLiteral("M"));
    const QString box = velmora->waitForMessageBox(30s);
    ASSERT_FALSE(box.isEmpty()) << "no word that entries cannot be remembered";
    ASSERT_TRUE(velmora->keyUntil(box, QStringLiteral("Return"),
                                  [&] { return velmora->windows().size() == 1; }));
    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
    EXPECT_EQ(StoredSetting(settingsFile(), QStringLiteral("txtFor")), QStringLiteral("Nora"))
        << "a full disk must not cost the stored values";
}

// --- 12 with 9: a signal while the engine's message is up ends the program at once ---

TEST_F(ShellFaults, SignalWhileTheEngineMessageIsShownEndsTheProgram) {
    environment().insert(QStringLiteral("VELMORA_OFFICE_PROGRAM"),
                         folder() + QStringLiteral("/none/soffice.bin"));
    auto velmora = start();
    ASSERT_FALSE(velmora->waitForMessageBox().isEmpty()) << velmora->standardError();
    velmora->signal(SIGTERM);
    ASSERT_TRUE(velmora->waitForEnd());
    EXPECT_EQ(velmora->endSignal(), 0);
    EXPECT_EQ(velmora->exitCode(), 0);
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- A send under way is stopped by Stop and by the program's end, and never goes out ---

TEST_F(ShellFaults, ASendStoppedOrEndedWithTheProgramNeverGoesOut) {
    // A fax server that takes its time over taking the fax in, and notes when a client comes
    // and when a fax is queued; the program's server when none is named in Send Fax.
    test::SlowFaxServer server(folder(), 4);
    ASSERT_NE(server.port(), 0);
    environment().insert(QStringLiteral("FAXSERVER"), server.server());
    const auto noted = [&](const char* what) { return server.noted(what); };

    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    velmora->clickStart(editor);
    const QString preview = velmora->waitForPreview();
    ASSERT_FALSE(preview.isEmpty()) << velmora->standardError();
    // Sends to a number; returns once the program is with the server.
    const auto send = [&](int sends) {
        QString dialog;
        if (!velmora->keyUntil(
                preview, QStringLiteral("ctrl+shift+Return"),
                [&] { return !(dialog = velmora->waitForMessageBox(0s)).isEmpty(); }, 30s))
            return false;
        velmora->key(dialog, QStringLiteral("ctrl+a"));
        velmora->type(dialog, QStringLiteral("5551234"));
        velmora->key(dialog, QStringLiteral("Return"));
        // A number in no phone book, never faxed: asked about before it is dialled.
        QString question;
        if (!test::Eventually(
                [&] {
                    question = velmora->waitForMessageBox(0s);
                    return !question.isEmpty() && question != dialog;
                },
                30s))
            return false;
        velmora->key(question, QStringLiteral("alt+y"));
        return test::Eventually([&] { return noted("started") == sends; }, 60s);
    };

    // Stop: the send is given up at once, the fax with it.
    ASSERT_TRUE(send(1)) << "the fax did not go to the server";
    velmora->key(preview, QStringLiteral("Escape"));

    // The program's end (a logout: SIGTERM, and another while it ends): within two seconds,
    // by itself, the send given up with it.
    ASSERT_TRUE(send(2)) << "the fax did not go to the server again";
    QElapsedTimer ending;
    ending.start();
    velmora->signal(SIGTERM);
    QThread::msleep(30);
    velmora->signal(SIGTERM);
    ASSERT_TRUE(velmora->waitForEnd(10s)) << "the send held the program";
    EXPECT_LT(ending.elapsed(), 2000) << "the send held the program";
    EXPECT_EQ(velmora->endSignal(), 0) << "ended by the signal, not by itself";
    EXPECT_TRUE(test::Eventually([&] { return processesLeft().empty(); }));
    // Past the moment the server would have taken the faxes.
    QThread::sleep(5);
    EXPECT_EQ(noted("submitted"), 0) << "a fax went out after it was stopped";
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- The packet's working PDFs of a killed run go at the next start ---

TEST_F(ShellFaults, ThePacketsWorkingPdfsOfAKilledRunGoAtTheNextStart) {
    const QString contract = folder() + QStringLiteral("/contract.pdf");
    test::WriteTextPdf(contract, {QStringLiteral("Contract page 1")});
    const QString photo = folder() + QStringLiteral("/photo.png");
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    ASSERT_TRUE(picture.save(photo));
    const auto packetFiles = [&] {
        return QDir(temp()).entryList({QStringLiteral("velmora-*")}, QDir::Files);
    };

    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    for (const QString& file : {contract, photo}) {
        ASSERT_TRUE(velmora->chooseFile(editor, QStringLiteral("ctrl+shift+a"), file))
            << "no file dialog";
        ASSERT_TRUE(test::Eventually([&] { return velmora->windows().size() == 1; }, 30s));
    }
    ASSERT_TRUE(test::Eventually([&] { return packetFiles().size() == 2; }, 30s));
    QString preview;
    for (int click = 0; click < 20 && preview.isEmpty(); ++click) {
        velmora->clickStart(editor);
        preview = velmora->waitForPreview(3s);
    }
    ASSERT_FALSE(preview.isEmpty()) << velmora->standardError();
    // Fax view has the cover's own PDF written.
    ASSERT_TRUE(velmora->keyUntil(preview, QStringLiteral("ctrl+shift+f"), [&] {
        return packetFiles().filter(QStringLiteral("velmora-cover-")).size() == 1;
    }));
    velmora->signal(SIGKILL);
    ASSERT_TRUE(velmora->waitForEnd());
    ASSERT_EQ(packetFiles().size(), 3) << packetFiles().join(QLatin1Char(' '));

    auto next = start();
    ASSERT_FALSE(next->waitForEditor().isEmpty()) << next->standardError();
    EXPECT_TRUE(packetFiles().isEmpty()) << packetFiles().join(QLatin1Char(' '));
    next->signal(SIGTERM);
    EXPECT_TRUE(next->waitForEnd());
    EXPECT_TRUE(packetFiles().isEmpty()) << packetFiles().join(QLatin1Char(' '));
}

// --- A working copy removed while the preview shows it is told plainly ---

TEST_F(ShellFaults, ACoverWhoseWorkingCopyWasRemovedIsToldPlainlyAndNothingIsSaved) {
    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    const QString preview = GenerateDocument(*velmora, editor);
    ASSERT_FALSE(preview.isEmpty()) << velmora->standardError();
    const QStringList documents = Documents(temp());
    ASSERT_EQ(documents.size(), 1);
    // A tidying tool empties TEMP.
    ASSERT_TRUE(QFile::remove(temp() + QLatin1Char('/') + documents.front()));

    const QString target = folder() + QStringLiteral("/home/cover.doc");
    ASSERT_TRUE(velmora->chooseFile(preview, QStringLiteral("ctrl+s"), target)) << "no save dialog";
    // One box, the program's own, not the error report that names the internal file.
    ASSERT_TRUE(test::Eventually([&] { return velmora->windows().size() == 2; }, 30s));
    const QString box = velmora->waitForMessageBox();
    const QString title = display().xdotool({QStringLiteral("getwindowname"), box});
    EXPECT_FALSE(title.startsWith(QLatin1String("Application Error"))) << title;
    velmora->key(box, QStringLiteral("Return"));
    EXPECT_FALSE(test::Eventually([&] { return velmora->windows().size() > 1; }, 3s))
        << "another box: the save went ahead";
    EXPECT_FALSE(QFile::exists(target));

    velmora->signal(SIGTERM);
    EXPECT_TRUE(velmora->waitForEnd());
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
}

// --- The program's end gives up a long attach at once ---

TEST_F(ShellFaults, ASignalDuringALongAttachEndsTheProgramWithinTwoSeconds) {
    // A fax of 300 pages as a fax server receives it (Group 3, fine), made by ImageMagick and
    // libtiff's tiffcp: some twenty seconds of reading.
    const QString page = folder() + QStringLiteral("/page.tif");
    test::ToolOutput(QStringLiteral("convert"),
                     {QStringLiteral("-size"), QStringLiteral("1728x2200"),
                      QStringLiteral("xc:white"), QStringLiteral("-fill"), QStringLiteral("black"),
                      QStringLiteral("-draw"), QStringLiteral("rectangle 100,100 1600,2000"),
                      QStringLiteral("-type"), QStringLiteral("bilevel"), QStringLiteral("-depth"),
                      QStringLiteral("1"), QStringLiteral("-density"), QStringLiteral("204x196"),
                      QStringLiteral("-units"), QStringLiteral("PixelsPerInch"), page});
    QStringList pages{QStringLiteral("-c"), QStringLiteral("g3")};
    for (int n = 0; n < 300; ++n) pages << page;
    const QString fax = folder() + QStringLiteral("/received.tif");
    test::ToolOutput(QStringLiteral("tiffcp"), pages << fax);

    auto velmora = start();
    const QString editor = velmora->waitForEditor();
    ASSERT_FALSE(editor.isEmpty()) << velmora->standardError();
    ASSERT_TRUE(velmora->chooseFile(editor, QStringLiteral("ctrl+shift+a"), fax))
        << "no file dialog";
    // Under way once its PDF is being written.
    ASSERT_TRUE(test::Eventually(
        [&] { return !QDir(temp()).entryList({QStringLiteral("velmora-attachment-*")}).isEmpty(); },
        30s));
    QThread::msleep(500);
    QElapsedTimer ending;
    ending.start();
    velmora->signal(SIGTERM);
    ASSERT_TRUE(velmora->waitForEnd(30s));
    EXPECT_LT(ending.elapsed(), 2000) << "the attach held the program";
    EXPECT_EQ(velmora->endSignal(), 0);
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(QLatin1Char(' '));
    EXPECT_TRUE(test::Eventually([&] { return processesLeft().empty(); }));
}

}  // namespace
}  // namespace velmora::faults
