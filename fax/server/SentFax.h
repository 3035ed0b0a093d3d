#pragma once

#include "fax/FaxPages.h"

#include <QDateTime>
#include <QString>

namespace velmora {

// Where a fax job stands on the server, as HylaFAX's job state letter tells it (faxstat's %a),
// and what only this program knows: that it was cancelled here, or that the server no longer
// lists it.
enum class FaxJobState {
    Unknown,    // "?" or not asked yet
    Suspended,  // "T": held, not scheduled
    Pending,    // "P": waiting for its time to send
    Sleeping,   // "S": waiting between tries
    Blocked,    // "B": another job to the same number goes first
    Waiting,    // "W": waiting for a modem
    Sending,    // "R": on the line
    Done,       // "D": sent
    Failed,     // "F": given up by the server
    Cancelled,  // removed from the queue by its sender
    Gone,       // not listed by the server any more, its end not seen
};

// The state HylaFAX's letter (faxstat's %a) names; Unknown for "?" and anything else.
FaxJobState FaxJobStateFromLetter(QChar letter);

// Whether a job in `state` has ended: nothing about it changes any more.
inline bool FaxJobEnded(FaxJobState state) {
    return state == FaxJobState::Done || state == FaxJobState::Failed ||
           state == FaxJobState::Cancelled || state == FaxJobState::Gone;
}

// One fax sent from this program, as the record of faxes sent keeps it (fax/server/SentFaxes)
// and the outbox shows it: what was sent where, and the last the server said of it.
struct SentFax {
    qint64 id = 0;        // the record's own number; 0 until recorded
    QString server;       // "host:port", as used
    QString user;         // the login name on the server
    QString jobId;        // the server's job id
    QString groupId;      // the server's group id (faxes sent together share it)
    QString recipient;    // the name on the cover
    QString company;      // the recipient's company on the cover, if any
    QString number;       // the number as dialled
    QDateTime submitted;  // when it was handed to the server (UTC)
    QDateTime sendAt;     // when the server is to send it; invalid: at once
    FaxResolution resolution = FaxResolution::Fine;
    QString packetKey;  // what the packet holds (its documents and pages), to tell a fax sent twice
    QString document;   // the kept copy of the fax as sent (a PDF in the record's folder)

    // The last the server said of it.
    FaxJobState state = FaxJobState::Unknown;
    QString status;  // the server's words on its last try, if any
    int pagesSent = 0;
    int pagesTotal = 0;
    int tries = 0;
    int dials = 0;
    QDateTime nextTry;      // when a sleeping job tries again
    QDateTime finished;     // when it ended (sent, failed, cancelled)
    QString remoteStation;  // the receiving machine's id (its CSI), when it was sent
    bool noticed = false;   // its end has been told to the user (a notice)
};

}  // namespace velmora
