#include "PrintJob.h"

#include "PagePrinter.h"
#include "fax/FaxPacket.h"
#include "shell/Job.h"

#include <QPointer>
#include <QPrinter>

namespace velmora {

Job* PrintPacket(FaxPacket& packet, std::shared_ptr<QPrinter> printer, QObject* receiver,
                 OfficeJobs::Done done) {
    const FaxPacket::Parts parts = packet.parts();
    return OfficeJobs::shared().post(
        receiver,
        [parts, printer] {
            parts.coverWork();
            WithPacketPdf(parts.pdfs, [&](const QString& pdf) {
                Job* const job = Job::current();
                PagePrinter(pdf).print(*printer, [job](int printed, int sheets) {
                    if (job) job->reportProgress(printed, sheets);
                    return !JobCancelled();
                });
            });
        },
        [parts, done = std::move(done),
         to = QPointer<FaxPacket>(&packet)](std::exception_ptr failure) {
            if (to && !failure) to->partsUsed(parts);
            done(failure);
        });
}

}  // namespace velmora
