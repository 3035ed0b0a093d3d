#pragma once

#include "fax/server/ReceivedFaxes.h"
#include "fax/server/SentFax.h"

#include <QObject>
#include <QString>

namespace velmora {

class DesktopNotices;
class FaxOutbox;

// Tells the user when a fax sent from here was sent or failed, and when a fax arrives
// (hear()), while the program runs: a desktop notice, or where no notification service takes it,
// the status bar of the window in front.
class FaxNotices : public QObject {
    Q_OBJECT
public:
    FaxNotices(FaxOutbox& outbox, DesktopNotices& notices, QObject* parent = nullptr);

    // Tells the faxes that arrive at `received` too.
    void hear(ReceivedFaxes& received);

    // "Fax to Martin Hale sent: 5 pages", "Fax to Martin Hale failed: No answer from remote".
    static QString summary(const SentFax& fax);
    // The number, the server and the job, for the notice's body.
    static QString body(const SentFax& fax);

    // "Fax received from Martin Hale: 3 pages".
    static QString summary(const ReceivedFax& fax);
    // The caller's number and the server, for the notice's body.
    static QString body(const ReceivedFax& fax);

signals:
    // A notice no service took, as the status bar tells it.
    void toldInStatusBar(const QString& text);

private:
    DesktopNotices& notices_;
};

// The phone book's name for a caller's number (ReceivedFaxes::setNameLookup); empty where it
// has none.
QString PhoneBookName(const QString& number);

}  // namespace velmora
