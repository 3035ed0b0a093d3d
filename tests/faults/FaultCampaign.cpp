#include "FaultCampaign.h"
#include "FaultRows.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <QThread>
#include <QUuid>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

extern char** environ;

namespace velmora::faults {
namespace {

// Window sizes in pixels (15 twips each): the editor's client area and the preview's.
constexpr int kEditorWidth = 632, kEditorHeight = 567;
constexpr int kPreviewWidth = 656, kPreviewHeight = 626;

// argv/envp for posix_spawn, kept alive with their strings.
class CStrings {
public:
    explicit CStrings(const QStringList& strings) {
        for (const QString& s : strings) bytes_.push_back(QFile::encodeName(s));
        for (QByteArray& b : bytes_) pointers_.push_back(b.data());
        pointers_.push_back(nullptr);
    }
    char* const* get() { return pointers_.data(); }

private:
    std::vector<QByteArray> bytes_;
    std::vector<char*> pointers_;
};

pid_t spawn(const QStringList& argv, const QStringList& environment, int errorFd, int extraFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (errorFd >= 0) posix_spawn_file_actions_adddup2(&actions, errorFd, 2);
    if (extraFd >= 0) posix_spawn_file_actions_adddup2(&actions, extraFd, 3);
    // Nothing else of this process's (ctest leaves descriptors open to its tests): the program
    // starts with the descriptors a desktop gives it, so that its own take the numbers they
    // would take there.
    posix_spawn_file_actions_addclosefrom_np(&actions, extraFd >= 0 ? 4 : 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: a Ctrl+C at the terminal that runs the tests is not the case's.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    CStrings args(argv), env(environment);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args.get()[0], &actions, &attributes, args.get(), env.get()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

QStringList currentEnvironment() {
    QStringList list;
    for (char** entry = environ; *entry; ++entry) list << QFile::decodeName(*entry);
    return list;
}

void endAndReap(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// The first line a child writes to `fd` (trimmed), "" when none came within 20 s.
QByteArray readLine(int fd) {
    QByteArray line;
    pollfd watched{fd, POLLIN, 0};
    while (!line.endsWith('\n') && ::poll(&watched, 1, 20000) > 0) {
        char c;
        if (::read(fd, &c, 1) != 1) break;
        line += c;
    }
    return line.endsWith('\n') ? line.trimmed() : QByteArray();
}

QString programFile() {
    const QString chosen = qEnvironmentVariable("VELMORA_FAULT_PROGRAM");
    return chosen.isEmpty() ? QStringLiteral(VELMORA_PROGRAM) : chosen;
}

}  // namespace

// --- XServer ---

XServer::XServer() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    // -noreset: by default the server resets when its last client leaves (a short-lived
    // xdotool, say), and drops a client that is connecting at that moment.
    pid_ = spawn({QStringLiteral("Xvfb"), QStringLiteral("-displayfd"), QStringLiteral("3"),
                  QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                  QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")},
                 currentEnvironment(), -1, fds[1]);
    ::close(fds[1]);
    // Xvfb writes the display's number, then a newline, once it takes connections.
    const QByteArray number = pid_ > 0 ? readLine(fds[0]) : QByteArray();
    ::close(fds[0]);
    if (number.isEmpty()) {
        endAndReap(std::exchange(pid_, -1));
        return;
    }
    display_ = QLatin1Char(':') + QString::fromLatin1(number);
}

XServer::~XServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);  // it removes its socket and lock file
    ::waitpid(pid_, nullptr, 0);
}

QString XServer::xdotool(const QStringList& arguments) const {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(20000) || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// --- SessionBus ---

SessionBus::SessionBus(QProcessEnvironment environment) {
    const QString mark = QUuid::createUuid().toString(QUuid::WithoutBraces);
    mark_ = "VELMORA_FAULT_BUS=" + mark.toLatin1();
    environment.insert(QStringLiteral("VELMORA_FAULT_BUS"), mark);
    int fds[2];
    if (::pipe(fds) != 0) return;
    // In the foreground (--fork would make it a session of its own, not our child), in a
    // process group of its own (spawn), which the services it starts join. Its socket is an
    // abstract one: the session's default is a file in /tmp, which a killed daemon leaves, and
    // a path in the case's folder may be longer than a socket's name can be.
    const QStringList command{QStringLiteral("dbus-daemon"),
                              QStringLiteral("--session"),
                              QStringLiteral("--nofork"),
                              QStringLiteral("--nopidfile"),
                              QStringLiteral("--print-address=3"),
                              QStringLiteral("--address=unix:abstract=velmora-fault-bus-") + mark};
    pid_ = spawn(command, environment.toStringList(), -1, fds[1]);
    ::close(fds[1]);
    // It writes its address once it takes connections.
    const QByteArray address = pid_ > 0 ? readLine(fds[0]) : QByteArray();
    ::close(fds[0]);
    address_ = QString::fromUtf8(address);
}

SessionBus::~SessionBus() {
    if (pid_ > 0) {
        ::kill(-pid_, SIGKILL);  // the daemon's group: it and the services it started
        ::waitpid(pid_, nullptr, 0);
    }
    // Anything that left the group on its way (a daemon of its own) still has the mark.
    test::Eventually([&] {
        const std::set<pid_t> left = test::ProcessesCarrying(mark_);
        for (const pid_t pid : left) ::kill(pid, SIGKILL);
        return left.empty();
    });
}

// --- Program ---

Program::Program(const QStringList& command, const QProcessEnvironment& environment,
                 const XServer& display, int inheritedFd)
    : display_(display) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = spawn(command, environment.toStringList(), fds[1], inheritedFd);
    ::close(fds[1]);
    errorFd_ = fds[0];
    ::fcntl(errorFd_, F_SETFL, O_NONBLOCK);
}

Program::~Program() {
    if (pid_ > 0 && exitCode_ < 0 && endSignal_ == 0) endAndReap(pid_);
    if (errorFd_ >= 0) ::close(errorFd_);
}

bool Program::runs() const {
    return test::ProcessRuns(pid_);
}

std::vector<Window> Program::windows() const {
    std::vector<Window> found;
    // --all: windows that are visible, of this process and named; without it xdotool takes any
    // one of the three, and so every named window on the display.
    const QString ids =
        display_.xdotool({QStringLiteral("search"), QStringLiteral("--all"),
                          QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                          QString::number(pid_), QStringLiteral("--name"), QStringLiteral(".")});
    for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString shape =
            display_.xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
        Window window{id};
        for (const QString& line : shape.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("WIDTH="))) window.width = line.mid(6).toInt();
            if (line.startsWith(QLatin1String("HEIGHT="))) window.height = line.mid(7).toInt();
        }
        if (window.width > 1 && window.height > 1) found.push_back(window);
    }
    return found;
}

namespace {
QString waitForWindow(const Program& program, std::chrono::milliseconds bound,
                      const std::function<bool(const Window&)>& wanted) {
    QString id;
    test::Eventually(
        [&] {
            for (const Window& window : program.windows())
                if (wanted(window)) {
                    id = window.id;
                    return true;
                }
            return !program.runs();
        },
        bound);
    return id;
}
// The designed client area's width, and its height with a menu bar above and a status bar
// below it.
bool isEditor(const Window& w) {
    return w.width == kEditorWidth && w.height > kEditorHeight && w.height < kEditorHeight + 120;
}
bool isPreview(const Window& w) {
    return w.width == kPreviewWidth && w.height > kPreviewHeight && w.height < kPreviewHeight + 120;
}
}  // namespace

QString Program::waitForEditor(std::chrono::milliseconds bound) const {
    return waitForWindow(*this, bound, isEditor);
}

QString Program::waitForPreview(std::chrono::milliseconds bound) const {
    return waitForWindow(*this, bound, isPreview);
}

QString Program::waitForMessageBox(std::chrono::milliseconds bound) const {
    return waitForWindow(*this, bound,
                         [](const Window& w) { return !isEditor(w) && !isPreview(w); });
}

void Program::click(const QString& window, int x, int y) const {
    // The client area lies between a menu bar and a status bar of the same height.
    int top = 0;
    for (const Window& shown : windows())
        if (shown.id == window)
            top = (shown.height - (isEditor(shown) ? kEditorHeight : kPreviewHeight)) / 2;
    display_.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    display_.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                      QString::number(x), QString::number(y + top), QStringLiteral("click"),
                      QStringLiteral("1")});
}

void Program::key(const QString& window, const QString& keys) const {
    display_.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    display_.xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
}

bool Program::keyUntil(const QString& window, const QString& keys,
                       const std::function<bool()>& done, std::chrono::milliseconds bound) const {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        key(window, keys);
        if (test::Eventually(done, 2s)) return true;
    }
    return done();
}

void Program::type(const QString& window, const QString& text) const {
    display_.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    display_.xdotool(
        {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

bool Program::chooseFile(const QString& window, const QString& keys, const QString& file) const {
    key(window, keys);
    const QString dialog = waitForMessageBox(10s);
    if (dialog.isEmpty()) return false;
    type(dialog, file);
    key(dialog, QStringLiteral("Return"));
    return true;
}

void Program::clickStart(const QString& editor) const {
    // PushButton6: 120, 120, 9240 x 405 twips.
    click(editor, (120 + 9240 / 2) / 15, (120 + 405 / 2) / 15);
}

void Program::signal(int number) const {
    if (pid_ > 0) ::kill(pid_, number);
}

bool Program::waitForEnd(std::chrono::milliseconds bound) {
    if (pid_ <= 0) return true;
    if (exitCode_ >= 0 || endSignal_ != 0) return true;
    int status = 0;
    const bool ended = test::Eventually(
        [&] {
            standardError();  // keeps the pipe from filling up
            return ::waitpid(pid_, &status, WNOHANG) == pid_;
        },
        bound);
    if (!ended) return false;
    if (WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) endSignal_ = WTERMSIG(status);
    return true;
}

QString Program::standardError() {
    char buffer[4096];
    ssize_t n;
    while (errorFd_ >= 0 && (n = ::read(errorFd_, buffer, sizeof buffer)) > 0)
        error_.append(buffer, n);
    return QString::fromLocal8Bit(error_);
}

// --- FaultCase ---

void FaultCase::SetUp() {
    folder_ = test::TestFolder() + QLatin1Char('/') + CurrentCaseName();
    QDir().mkpath(folder_);
    for (const char* sub : {"home", "config", "cache", "runtime", "temp", "tmp"})
        QDir().mkpath(folder_ + QLatin1Char('/') + QLatin1String(sub));
    QFile::setPermissions(folder_ + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The system's temporary folder is shared by every user: sticky and open to all.
    ::chmod(QFile::encodeName(systemTemp()).constData(), 01777);
    mark_ = QUuid::createUuid().toString(QUuid::WithoutBraces);

    x_ = std::make_unique<XServer>();
    ASSERT_TRUE(x_->running()) << "no X server (Xvfb) could be started";

    environment_ = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"QT_QPA_PLATFORM", "VELMORA_TEST_FOLDER", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS",
          "DBUS_STARTER_ADDRESS", "DBUS_STARTER_BUS_TYPE", "AT_SPI_BUS_ADDRESS", "XAUTHORITY",
          "WAYLAND_DISPLAY"})
        environment_.remove(QLatin1String(name));
    const auto set = [&](const char* name, const QString& value) {
        environment_.insert(QLatin1String(name), value);
    };
    set("QT_QPA_PLATFORM", QStringLiteral("xcb"));
    set("DISPLAY", x_->display());
    set("HOME", folder_ + QStringLiteral("/home"));
    set("XDG_CONFIG_HOME", folder_ + QStringLiteral("/config"));
    set("XDG_CACHE_HOME", folder_ + QStringLiteral("/cache"));
    set("XDG_RUNTIME_DIR", folder_ + QStringLiteral("/runtime"));
    set("TEMP", temp());
    set("TMPDIR", systemTemp());

    // The session's bus, started before the case's mark is set: it is not the program's.
    bus_ = std::make_unique<SessionBus>(environment_);
    ASSERT_TRUE(bus_->running()) << "no session bus (dbus-daemon) could be started";
    set("DBUS_SESSION_BUS_ADDRESS", bus_->address());
    set("VELMORA_FAULT_CASE", mark_);
}

void FaultCase::TearDown() {
    const QStringList files = filesLeft();
    const std::set<pid_t> processes = processesLeft();
    for (const pid_t pid : processes) ::kill(pid, SIGKILL);
    WriteFaultRow(CurrentCaseName(), *::testing::UnitTest::GetInstance()->current_test_info(),
                  files, processes);
    test::Eventually([&] { return processesLeft().empty(); }, 10s);
    for (const QString& mount : mounts_)
        ::umount2(QFile::encodeName(mount).constData(), MNT_DETACH);
    bus_.reset();
    x_.reset();
}

std::unique_ptr<Program> FaultCase::start(int inheritedFd, const QStringList& launcher) {
    return std::make_unique<Program>(launcher + QStringList{programFile()}, environment_, *x_,
                                     inheritedFd);
}

QStringList FaultCase::filesLeft() const {
    QStringList files;
    for (const QString& root : {temp(), systemTemp()}) {
        QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            // A file the case pinned in place is its own, not the program's.
            if (!mounts_.contains(file)) files << QDir(folder_).relativeFilePath(file);
        }
    }
    files.sort();
    return files;
}

std::set<pid_t> FaultCase::processesLeft() const {
    return test::ProcessesCarrying("VELMORA_FAULT_CASE=" + mark_.toLatin1());
}

bool FaultCase::mountTinyFilesystem(const QString& folder, int kilobytes) {
    QDir().mkpath(folder);
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) !=
        0)
        return false;
    mounts_ << folder;
    return true;
}

bool FaultCase::pinFile(const QString& file) {
    const QByteArray native = QFile::encodeName(file);
    if (::mount(native.constData(), native.constData(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    mounts_ << file;
    return true;
}

void FaultCase::fillUp(const QString& folder) {
    QFile filler(folder + QStringLiteral("/.filler"));
    if (!filler.open(QIODevice::WriteOnly)) return;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // The last partial block too.
    while (filler.write("x", 1) == 1 && filler.flush()) {
    }
}

bool FaultCase::RunsAsRoot() {
    return ::geteuid() == 0;
}

QString StoredSetting(const QString& settingsFile, const QString& key) {
    const QSettings store(settingsFile, QSettings::IniFormat);
    return store.value(QStringLiteral("Velmora/") + key).toString();
}

}  // namespace velmora::faults
