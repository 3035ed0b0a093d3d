#include "FaxNotices.h"

#include "fax/server/FaxOutbox.h"
#include "recipients/PhoneBook.h"
#include "shell/ui/DesktopNotices.h"

#include <QApplication>
#include <QStatusBar>
#include <QWidget>

namespace velmora {
namespace {

// How long the status bar tells a notice.
constexpr int kStatusTime = 60'000;

// The window in front, or else the first one shown.
QWidget* FrontWindow() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->findChild<QStatusBar*>()) return window;
    return nullptr;
}

}  // namespace

FaxNotices::FaxNotices(FaxOutbox& outbox, DesktopNotices& notices, QObject* parent)
    : QObject(parent), notices_(notices) {
    connect(&outbox, &FaxOutbox::ended, this,
            [&notices](const SentFax& fax) { notices.post(summary(fax), body(fax)); });
    connect(&notices, &DesktopNotices::notShown, this,
            [this](const QString& summary, const QString&) {
                if (QWidget* window = FrontWindow())
                    if (auto* bar = window->findChild<QStatusBar*>())
                        bar->showMessage(summary, kStatusTime);
                emit toldInStatusBar(summary);
            });
}

QString FaxNotices::summary(const SentFax& fax) {
    const QString to = fax.recipient.isEmpty() ? fax.number : fax.recipient;
    if (fax.state == FaxJobState::Done) {
        const int pages = fax.pagesSent > 0 ? fax.pagesSent : fax.pagesTotal;
        return pages == 1 ? tr("Fax to %1 sent: 1 page").arg(to)
                          : tr("Fax to %1 sent: %2 pages").arg(to).arg(pages);
    }
    return fax.status.isEmpty() ? tr("Fax to %1 failed").arg(to)
                                : tr("Fax to %1 failed: %2").arg(to, fax.status);
}

QString FaxNotices::body(const SentFax& fax) {
    return tr("%1, job %2 on %3").arg(fax.number, fax.jobId, fax.server);
}

void FaxNotices::hear(ReceivedFaxes& received) {
    connect(&received, &ReceivedFaxes::arrived, this,
            [this](const ReceivedFax& fax) { notices_.post(summary(fax), body(fax)); });
}

QString FaxNotices::summary(const ReceivedFax& fax) {
    const QString from = fax.from().isEmpty() ? tr("an unknown sender") : fax.from();
    return fax.pages == 1 ? tr("Fax received from %1: 1 page").arg(from)
                          : tr("Fax received from %1: %2 pages").arg(from).arg(fax.pages);
}

QString FaxNotices::body(const ReceivedFax& fax) {
    if (fax.callerNumber.isEmpty()) return tr("%1 on %2").arg(fax.file, fax.server);
    return tr("%1, %2 on %3").arg(fax.callerNumber, fax.file, fax.server);
}

QString PhoneBookName(const QString& number) {
    const PhoneBook book;
    if (const std::optional<Recipient> entry = book.byNumber(number)) return entry->name;
    return {};
}

}  // namespace velmora
