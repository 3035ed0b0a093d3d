#pragma once

#include "FaxSending.h"

#include <QObject>
#include <QString>
#include <exception>
#include <functional>

namespace velmora {

class FaxPacket;
class Job;

// Sends the packet as one fax: its fax TIFF made (the cover's PDF first, where the office has
// not written it yet) and handed to the HylaFAX server (SendPdfAsFax), on the worker. `done`
// comes on `receiver`'s thread with the server's job id, or the failure. A job given up stops
// at once: sendfax and its session are killed and its TIFF goes.
using SendDone = std::function<void(std::exception_ptr failure, const QString& jobId)>;
Job* SendPacket(FaxPacket& packet, const FaxCall& call, QObject* receiver, SendDone done);

}  // namespace velmora
