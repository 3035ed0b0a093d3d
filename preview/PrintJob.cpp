#include "PrintJob.h"

#include "PagePrinter.h"
#include "fax/FaxPacket.h"
#include "shell/Job.h"

#include <QPrinter>

namespace velmora {

Job* PrintPacket(FaxPacket& packet, std::shared_ptr<QPrinter> printer, QObject* receiver,
                 OfficeJobs::Done done) {
    return packet.postWithPdfs(
        receiver,
        [printer](const QStringList& pdfs) {
            WithPacketPdf(pdfs, [&](const QString& pdf) {
                Job* const job = Job::current();
                PagePrinter(pdf).print(*printer, [job](int printed, int sheets) {
                    if (job) job->reportProgress(printed, sheets);
                    return !JobCancelled();
                });
            });
        },
        std::move(done));
}

}  // namespace velmora
