#pragma once

#include "coversheet/OfficeJobs.h"

#include <QObject>
#include <memory>

class QPrinter;

namespace velmora {

class FaxPacket;
class Job;

// Prints the packet on `printer` (as the print dialog set it up), on the worker: the cover's
// PDF first, where the office has not written it yet, then every chosen page as the office
// lays it out (PagePrinter). Its progress comes by the job's signal, page by page. A job given
// up gives the printer's job up, and a file printed to goes with it. `done` comes on
// `receiver`'s thread. Returns the job's handle.
Job* PrintPacket(FaxPacket& packet, std::shared_ptr<QPrinter> printer, QObject* receiver,
                 OfficeJobs::Done done);

}  // namespace velmora
