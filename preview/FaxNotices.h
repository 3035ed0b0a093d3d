#pragma once

#include "fax/server/SentFax.h"

#include <QObject>
#include <QString>

namespace velmora {

class DesktopNotices;
class FaxOutbox;

// Tells the user when a fax sent from here was sent or failed, while the program runs: a
// desktop notice, or where no notification service takes it, the status bar of the window in
// front.
class FaxNotices : public QObject {
    Q_OBJECT
public:
    FaxNotices(FaxOutbox& outbox, DesktopNotices& notices, QObject* parent = nullptr);

    // "Fax to Martin Hale sent: 5 pages", "Fax to Martin Hale failed: No answer from remote".
    static QString summary(const SentFax& fax);
    // The number, the server and the job, for the notice's body.
    static QString body(const SentFax& fax);

signals:
    // A notice no service took, as the status bar tells it.
    void toldInStatusBar(const QString& text);
};

}  // namespace velmora
