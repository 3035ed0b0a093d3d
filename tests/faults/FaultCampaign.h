#pragma once

// The fault campaign: each case drives the built program (and through it the office engine)
// as a user's system would, with real files, real processes, real signals, on an X server
// of its own, and leaves one row in the campaign's table: the case, its result, and the
// files and processes it left behind.

#include "Processes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/types.h>
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <set>

namespace velmora::faults {

using namespace std::chrono_literals;

// An X server (Xvfb) on a free display, for as long as the object lives.
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool running() const { return pid_ > 0 && !display_.isEmpty(); }
    const QString& display() const { return display_; }  // ":N"

    // xdotool on this display; returns its standard output, trimmed ("" when it failed).
    QString xdotool(const QStringList& arguments) const;

private:
    pid_t pid_ = -1;
    QString display_;
};

// A D-Bus session bus (dbus-daemon) of the case's own, for as long as the object lives, as a
// desktop session has one. Without a bus, libdbus (through Qt) autolaunches one for a program on
// an X display (`dbus-launch --autolaunch`, where dbus-x11 is installed), which outlives the
// program. The daemon runs in a process group of its own with a mark of its own, not the case's:
// neither it nor what it starts for its clients (the accessibility bus launcher and registry,
// say) counts as left by the program, and all of it ends with the object.
class SessionBus {
public:
    // `environment`: the session's (its display, home and runtime folder), which the services
    // it starts inherit.
    explicit SessionBus(QProcessEnvironment environment);
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    bool running() const { return pid_ > 0 && !address_.isEmpty(); }
    const QString& address() const { return address_; }  // DBUS_SESSION_BUS_ADDRESS

private:
    pid_t pid_ = -1;
    QString address_;
    QByteArray mark_;
};

// A top-level window of the program as the X server sees it.
struct Window {
    QString id;
    int width = 0, height = 0;
};

// One run of the built program `velmora`.
class Program {
public:
    // `command`: the program's file, after a launcher that execs it (prlimit ...) if any.
    // `inheritedFd`, when given, is the program's descriptor 3, as a launcher may pass one.
    Program(const QStringList& command, const QProcessEnvironment& environment,
            const XServer& display, int inheritedFd = -1);
    ~Program();  // kills the program if it still runs
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t pid() const { return pid_; }
    bool runs() const;

    // The program's visible top-level windows (its editor, preview or message boxes).
    std::vector<Window> windows() const;
    // Waits until a visible window of the given pixel size shows (the editor, the preview),
    // or one that is neither (a message box); returns its id, "" when none came.
    QString waitForEditor(std::chrono::milliseconds bound = 60s) const;
    QString waitForPreview(std::chrono::milliseconds bound = 90s) const;
    QString waitForMessageBox(std::chrono::milliseconds bound = 60s) const;

    // Input as a user gives it: a click at a point of a window's client area (the editor's or
    // the preview's, as designed), keys, typed text. Each first gives the window the input
    // focus.
    void click(const QString& window, int x, int y) const;
    void key(const QString& window, const QString& keys) const;
    void type(const QString& window, const QString& text) const;
    // Presses `keys` on a window until `done` holds (a key that comes before the window is
    // ready for it is lost); returns whether it came to hold within `bound`.
    bool keyUntil(const QString& window, const QString& keys, const std::function<bool()>& done,
                  std::chrono::milliseconds bound = 60s) const;
    // Opens a file dialog with `keys` on `window` (ctrl+shift+a, ctrl+s), types `file` into it
    // and presses Return; false when no dialog came.
    bool chooseFile(const QString& window, const QString& keys, const QString& file) const;
    // Clicks "Start Creating Template" on the editor.
    void clickStart(const QString& editor) const;

    void signal(int number) const;
    // Waits for the program to end; true when it did within `bound`.
    bool waitForEnd(std::chrono::milliseconds bound = 60s);
    // How it ended: the exit code, or -1 when a signal ended it.
    int exitCode() const { return exitCode_; }
    int endSignal() const { return endSignal_; }
    // Everything it wrote to standard error so far.
    QString standardError();

private:
    const XServer& display_;
    pid_t pid_ = -1;
    int errorFd_ = -1;
    QByteArray error_;
    int exitCode_ = -1, endSignal_ = 0;
};

// A case of the campaign. Each case has a folder of its own that stands in for the user's
// home, settings, cache, runtime folder, TEMP and the system's temporary folder (TMPDIR), and an
// X server and a session bus of its own;
// every process the program starts carries the case's mark in its environment, so whatever
// outlives the case is found and counted (and then ended).
class FaultCase : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The environment the next start() uses; change it before starting.
    QProcessEnvironment& environment() { return environment_; }
    // `launcher`: a program that execs the next, put before it (prlimit --nofile=32 --).
    std::unique_ptr<Program> start(int inheritedFd = -1, const QStringList& launcher = {});

    QString folder() const { return folder_; }
    QString temp() const { return folder_ + QStringLiteral("/temp"); }       // TEMP
    QString systemTemp() const { return folder_ + QStringLiteral("/tmp"); }  // TMPDIR
    QString settingsFile() const { return folder_ + QStringLiteral("/config/Brindlework.conf"); }

    // Files (not folders) under TEMP and the system temporary folder, relative to the case's
    // folder, but for those the case pinned; the office's own working folders under the
    // cache are not counted.
    QStringList filesLeft() const;
    // Processes (other than this one) that carry the case's mark.
    std::set<pid_t> processesLeft() const;

    // Cases that need root (a tiny tmpfs, files of another user) skip themselves without it:
    //   if (!RunsAsRoot()) GTEST_SKIP() << "needs root";
    static bool RunsAsRoot();
    // Mounts a tmpfs of `kilobytes` at `folder` (made when missing), for the rest of the case
    // (root only); returns whether it worked.
    bool mountTinyFilesystem(const QString& folder, int kilobytes);
    // Makes the file `file` a mount point of itself for the rest of the case (root only), so
    // that nobody can remove or replace it, as a file of another user's in a sticky folder
    // cannot be by an ordinary user; returns whether it worked.
    bool pinFile(const QString& file);
    // Fills the file system that holds `folder` up to its last byte.
    static void fillUp(const QString& folder);

    const XServer& display() const { return *x_; }

private:
    QString folder_;
    QString mark_;
    QProcessEnvironment environment_;
    std::unique_ptr<XServer> x_;
    std::unique_ptr<SessionBus> bus_;
    QStringList mounts_;
};

// Reads a settings value as another program would.
QString StoredSetting(const QString& settingsFile, const QString& key);

}  // namespace velmora::faults
