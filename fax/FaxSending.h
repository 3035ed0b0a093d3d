#pragma once

#include "FaxPages.h"

#include <QString>
#include <chrono>
#include <vector>

namespace velmora {

// Sending a fax through HylaFAX's client, sendfax, which hands it to a HylaFAX server as a job
// (the server dials, or queues the job until it can). No widgets: submitting waits on the
// server, so it is work for the office worker.

// Whether HylaFAX's client (sendfax) is installed: faxes can be sent only then.
bool FaxSendingAvailable();

// What is wrong with `number` as a fax number, in words for the user; empty when it is one. A
// fax number holds digits, spaces, "+", "-", "(", ")" and "," (a pause), at least one digit.
QString FaxNumberProblem(const QString& number);

// The server sendfax uses when none is named: $FAXSERVER, else localhost.
QString DefaultFaxServer();

// Where a fax goes, and how finely it is sent.
struct FaxCall {
    QString number;
    QString server;  // empty: as sendfax itself chooses (DefaultFaxServer())
    FaxResolution resolution = FaxResolution::Fine;
};

// How long sendfax may take to hand a fax over before it is given up (and killed).
inline constexpr std::chrono::seconds kFaxSubmitBound{60};

// Submits the fax TIFF `tiff` (made at call.resolution) as a job to call.number, without
// HylaFAX's own cover page (the sheet is the cover). Waits for sendfax, at most `bound`, with no
// events run. Returns the job id the server gave. Throws Failure: a number that is none
// (FaxNumberProblem), sendfax not installed, the server not reached or refusing the job (with
// its own words), or no answer within `bound` (sendfax is killed: a server that never answers
// holds nobody up).
QString SubmitFax(const QString& tiff, const FaxCall& call,
                  std::chrono::milliseconds bound = kFaxSubmitBound);

// Sends the PDF `pdf` (the packet) as a fax: its fax TIFF is written in the temporary folder
// (WriteFaxTiff, at call.resolution, its pages of `kinds`), submitted (SubmitFax) and removed
// again, whatever happens. Returns the job id. Throws Failure.
QString SendPdfAsFax(const QString& pdf, const FaxCall& call,
                     const std::vector<PageKind>& kinds = {},
                     std::chrono::milliseconds bound = kFaxSubmitBound);

}  // namespace velmora
