#pragma once

#include "OfficeProcess.h"
#include "ProfileSlot.h"
#include "Watchdog.h"
#include "coversheet/office/OfficeModule.h"
#include "coversheet/office/WordConnection.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velmora::office {

namespace css = com::sun::star;

rtl::OUString ToOffice(const QString& text);
QString FromOffice(const rtl::OUString& text);

// One LibreOffice process of our own, started headless on a private profile and driven over
// a UNO pipe, behind the word processor's automation calls. Every call into the office runs
// under a watchdog, so a hung or dead office makes the call fail with a WordError instead of
// blocking the program.
class OfficeConnection final : public WordConnection {
public:
    // Starts the office and connects. Throws WordError when that fails within the bound.
    // `workGivenUp` is the program's HostServices::workGivenUp (none: the work is always
    // wanted).
    explicit OfficeConnection(const StartOptions& options, std::function<bool()> workGivenUp = {});
    ~OfficeConnection() override;

    void documentsOpen(const QString& fileName, bool readOnly) override;
    void setBookmarkText(const QString& name, const QString& value) override;
    void fieldsUpdate() override;
    void saveAs(const QString& fileName) override;
    void exportAsPdf(const QString& fileName) override;
    void saveAsDocx(const QString& fileName) override;
    void addToPageCount(int pages) override;
    void setDisplayAlerts(bool value) override;
    void limitWork(const OfficeWorkLimits& limits) override;
    void close() override;
    void closeWithoutSaving() override;
    QImage copyAsPicture() override;
    void quit() override;
    bool alive() override;
    void warmUp() override;
    void abort() noexcept override;

    // For tests and tools that look inside the documents.
    pid_t officeProcessId() const { return process_ ? process_->pid() : -1; }
    int profileSlot() const { return slot_ ? slot_->number() : -1; }
    css::uno::Reference<css::uno::XComponentContext> officeContext() const { return context_; }
    css::uno::Reference<css::lang::XComponent> activeDocument() const;

    // Runs `call` into the office under the watchdog: the office counts as hung, and is
    // ended, when it has not answered within `bound` (and, with the patience WhileWorking, has
    // not used the processor during the last bound either). A failing call becomes a WordError
    // that says what could not be done (`what`: "open '/tmp/x.dot'").
    template <class Call>
    auto guarded(const QString& what, std::chrono::milliseconds bound, Call&& call,
                 Watchdog::Patience patience = Watchdog::Patience::WhileWorking)
        -> decltype(call());
    template <class Call>
    auto guarded(const QString& what, Call&& call) -> decltype(call()) {
        return guarded(what, callBound_, std::forward<Call>(call));
    }

    // The bound of a call that carries `characters` of text: the call bound, and as much again
    // for every kCharactersPerBound characters, so that size alone never fails a call.
    static constexpr qint64 kCharactersPerBound = 64 * 1024;
    std::chrono::milliseconds boundFor(qint64 characters) const {
        return callBound_ + callBound_ * characters / kCharactersPerBound;
    }

private:
    void start(const StartOptions& options);
    css::uno::Reference<css::uno::XInterface> connect(
        const StartOptions& options, const QString& pipeName,
        std::chrono::steady_clock::time_point deadline);
    WordError failure(const QString& what, std::chrono::milliseconds bound,
                      const css::uno::Exception& error, bool disposed);
    css::uno::Reference<css::lang::XComponent> requireDocument() const;
    void exportFirstPage(const QString& pdfFile);
    // How many pages the active document has as the office lays it out; 0 when it cannot say.
    int pageCount();
    void storeCopy(const QString& what, const QString& fileName, const char* filter,
                   const css::uno::Sequence<css::beans::PropertyValue>& filterData = {});
    void shutDown() noexcept;
    void holdLayout(const css::uno::Reference<css::lang::XComponent>& document);
    void releaseLayout(const css::uno::Reference<css::lang::XComponent>& document);
    void forgetBookmarks() noexcept {
        bookmarks_.clear();
        bookmarksOf_.clear();
        layoutHeldFor_.clear();
    }

    std::chrono::milliseconds callBound_;
    std::function<bool()> givenUp_;  // the program is on its way out: work is given up
    // The characters the open document carries that this program wrote: into it, or into the
    // file it was opened from. Call bounds grow with them, never with a file's bytes.
    qint64 carried_ = 0;
    std::optional<ProfileSlot> slot_;
    std::unique_ptr<OfficeProcess> process_;
    std::unique_ptr<Watchdog> watchdog_;
    css::uno::Reference<css::bridge::XBridge> bridge_;
    css::uno::Reference<css::uno::XComponentContext> context_;
    css::uno::Reference<css::frame::XDesktop2> desktop_;
    std::vector<css::uno::Reference<css::lang::XComponent>> documents_;
    std::vector<rtl::OUString> characterProperties_;  // the names of text's character attributes
    css::uno::Reference<css::lang::XComponent> bookmarksOf_;  // the document bookmarks_ is of
    css::uno::Reference<css::container::XNameAccess> bookmarks_;
    css::uno::Reference<css::lang::XComponent> layoutHeldFor_;  // written to, not laid out since
    // Whether the work went past limitWork's bounds; the watchdog's thread ends the office
    // then, and says why here.
    bool pastLimits();
    std::atomic<qint64> limitDeadlineNs_{0};  // steady clock; 0: none
    std::atomic<qint64> memoryLimit_{0};
    std::atomic<int> pastLimit_{0};                         // 1: the time, 2: the memory
    std::chrono::steady_clock::time_point nextMemoryLook_;  // the watchdog's thread alone
    OfficeWorkLimits limits_;
    QString lostReason_;                // set once the office is gone: why every later call fails
    std::atomic<bool> aborted_{false};  // abort(): the office was ended on purpose
};

template <class Call>
auto OfficeConnection::guarded(const QString& what, std::chrono::milliseconds bound, Call&& call,
                               Watchdog::Patience patience) -> decltype(call()) {
    if (!lostReason_.isEmpty())
        throw WordError(lostReason_ + QStringLiteral(" Cannot %1.").arg(what));
    const auto armed = watchdog_->arm(bound, patience);
    try {
        return std::forward<Call>(call)();
    } catch (const css::lang::DisposedException& error) {
        throw failure(what, bound, error, true);
    } catch (const css::uno::Exception& error) {
        throw failure(what, bound, error, false);
    }
}

}  // namespace velmora::office
