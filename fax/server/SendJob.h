#pragma once

#include "FaxServerAddress.h"
#include "HylaFaxSession.h"
#include "SentFax.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <vector>

namespace velmora {

class FaxPacket;
class Job;
struct CoverRecipient;
class SentFaxes;

// Where a fax goes, when, and how finely it is sent.
struct FaxCall {
    QString number;
    FaxServerAddress server = FaxServerAddress::fallback();
    FaxResolution resolution = FaxResolution::Fine;
    QDateTime sendAt;   // invalid: at once
    QString recipient;  // the name on the cover; empty: the packet's
};

// Sends the PDF `pdf` (the packet) as a fax through `session`: its fax TIFF is written in the
// temporary folder (WriteFaxTiff, at call.resolution, its pages of `kinds`), handed over and
// removed again, whatever happens. Throws Failure: a number that is none (FaxNumberProblem),
// the server not reached or refusing the job (with its own words); JobGivenUp when the job is
// given up first, and then nothing is queued.
SubmittedJob SendPdfAsFax(HylaFaxSession& session, const QString& pdf, const FaxSubmission& fax,
                          const std::vector<PageKind>& kinds = {});

// Sends the packet as one fax on the office's worker: its fax TIFF made (the cover's PDF
// first, where the office has not written it yet), handed to the server over its client
// protocol, and recorded in `record` with a copy of the packet's PDF. `done` comes on
// `receiver`'s thread with the fax as recorded (id 0 when the record could not take it: then
// `recordProblem` says why; the fax is queued all the same), or the failure. A job given up
// before the server queued the fax leaves nothing queued, nothing recorded, and no file behind.
using SendDone = std::function<void(std::exception_ptr failure, const SentFax& fax,
                                    const QString& recordProblem)>;
Job* SendPacket(FaxPacket& packet, const FaxCall& call, SentFaxes& record, QObject* receiver,
                SendDone done);

// Sends the packet to each of `recipients` as a fax of its own, behind a cover of its own
// (FaxPacket::postForEach), to call.server with call's resolution and time (call.number and
// call.recipient are the recipients'). Each is its own job on the server; the record keeps them
// as one group (the first job's group id); each is recorded in `record` as it is queued. `done`
// comes on `receiver`'s thread with the faxes queued, as recorded, in the recipients' order (the
// record's problems, if any, in `recordProblem`), and the failure that stopped the rest, if any.
// Given up part way, the faxes queued stay queued and recorded; the one under way is not queued.
using SentToEach = std::function<void(std::exception_ptr failure, const std::vector<SentFax>& faxes,
                                      const QString& recordProblem)>;
Job* SendPacketToEach(FaxPacket& packet, const std::vector<CoverRecipient>& recipients,
                      const FaxCall& call, SentFaxes& record, QObject* receiver, SentToEach done);

// What the packet holds, as a key: the cover's words, and each attached file as it stands (its
// name, size, time of change and pages). The same key and number twice is the same fax sent
// twice, also after the program was started again.
QString PacketKey(const FaxPacket& packet);

}  // namespace velmora
