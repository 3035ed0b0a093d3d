#include "OfficeConnection.h"

#include "OfficeProfile.h"
#include "coversheet/office/OfficeFiles.h"

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <cppuhelper/bootstrap.hxx>

#include <QCoreApplication>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <atomic>
#include <mutex>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>

// The office started and connected, its liveness checked, and ended. The document calls are
// in DocumentCalls.cpp, the text written into bookmarks in BookmarkText.cpp, and the profile
// and fonts an office starts with in OfficeProfile.cpp.

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

QString UniquePipeName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("velmora_%1_%2_%3")
        .arg(::getpid())
        .arg(counter++)
        .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
}

}  // namespace

OfficeConnection::OfficeConnection(const StartOptions& options, std::function<bool()> workGivenUp)
    : callBound_(options.callBound), givenUp_(std::move(workGivenUp)) {
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
    // Noted before the office runs, so that the next user of the slot removes the pipes
    // even if this process does not live to do it.
    slot_->recordLeftovers({PipePath(pipeName), SingleInstancePipePath(slot_->profileUrl())});

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

    // The pipes known before the office runs go with it however it ends, however often it
    // is started.
    const QStringList pipes{PipePath(pipeName), SingleInstancePipePath(slot_->profileUrl())};
    const auto startOffice = [&] {
        process_ = std::make_unique<OfficeProcess>(command);
        process_->removeOnExit(pipes);
    };
    startOffice();
    Reference<css::connection::XConnection> connection;
    while (!connection.is()) {
        if (const auto status = process_->waitForExit(0ms)) {
            const bool restart = WIFEXITED(*status) && (WEXITSTATUS(*status) == kRestartRequested ||
                                                        WEXITSTATUS(*status) == kRestartAfterCrash);
            if (!restart || std::chrono::steady_clock::now() >= deadline)
                throw WordError(QStringLiteral("The office program ended while starting (%1).")
                                    .arg(OfficeProcess::describeWaitStatus(*status)));
            startOffice();
            continue;
        }
        if (givenUp_ && givenUp_())
            throw WordError(QStringLiteral("The office start was given up."));
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
                                   [process = process_.get()] { return process->processorTime(); },
                                   [this] { return (givenUp_ && givenUp_()) || pastLimits(); });
    const auto left = std::max(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   deadline - std::chrono::steady_clock::now()),
                               std::chrono::milliseconds(1000));
    const auto armed = watchdog_->arm(left);
    try {
        bridge_ = css::bridge::BridgeFactory::create(local)->createBridge(rtl::OUString(), "urp",
                                                                          connection, nullptr);
        return bridge_->getInstance("StarOffice.ComponentContext");
    } catch (const css::uno::Exception& error) {
        if (givenUp_ && givenUp_())
            throw WordError(QStringLiteral("The office start was given up."));
        if (watchdog_->fired())
            throw WordError(
                QStringLiteral("The office did not answer within %1 seconds.").arg(seconds()));
        throw WordError(
            QStringLiteral("Cannot connect to the office: %1").arg(FromOffice(error.Message)));
    }
}

namespace {

qint64 SteadyNanoseconds(std::chrono::steady_clock::time_point at) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

}  // namespace

void OfficeConnection::limitWork(const OfficeWorkLimits& limits) {
    limits_ = limits;
    limitDeadlineNs_ = limits.total.count() > 0
                           ? SteadyNanoseconds(std::chrono::steady_clock::now() + limits.total)
                           : 0;
    memoryLimit_ = limits.memoryBytes;
}

bool OfficeConnection::pastLimits() {
    if (pastLimit_) return true;
    const auto now = std::chrono::steady_clock::now();
    const qint64 deadline = limitDeadlineNs_;
    if (deadline > 0 && SteadyNanoseconds(now) > deadline) {
        pastLimit_ = 1;
    } else if (const qint64 memory = memoryLimit_;
               memory > 0 && process_ && now >= nextMemoryLook_) {
        // Measuring walks the process table: twice a second is enough for a bound of
        // gigabytes (an office that runs away grows by tens of megabytes a second).
        nextMemoryLook_ = now + std::chrono::milliseconds(500);
        if (process_->residentBytes() > memory) pastLimit_ = 2;
    }
    return pastLimit_ != 0;
}

WordError OfficeConnection::failure(const QString& what, std::chrono::milliseconds bound,
                                    const css::uno::Exception& error, bool disposed) {
    if (pastLimit_) {
        lostReason_ =
            QCoreApplication::translate("velmora::office::OfficeConnection",
                                        "The office was ended: the work went past its bounds.");
        return WordError(pastLimit_ == 1
                             ? QCoreApplication::translate(
                                   "velmora::office::OfficeConnection",
                                   "The office took longer than %1 seconds to %2, and was ended.")
                                   .arg(limits_.total.count() / 1000)
                                   .arg(what)
                             : QCoreApplication::translate(
                                   "velmora::office::OfficeConnection",
                                   "The office needed more than %1 MB of memory to %2, and was "
                                   "ended.")
                                   .arg(limits_.memoryBytes / (1024 * 1024))
                                   .arg(what));
    }
    if (aborted_ || (givenUp_ && givenUp_())) {
        lostReason_ = QStringLiteral("The office work was stopped.");
        return WordError(
            QStringLiteral("The office work was stopped while trying to %1.").arg(what));
    }
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

void OfficeConnection::quit() {
    shutDown();
}

void OfficeConnection::abort() noexcept {
    aborted_ = true;
    if (process_) process_->kill();
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
