#pragma once

#include "FaxPages.h"
#include "coversheet/DocumentExport.h"
#include "coversheet/OfficeJobs.h"

#include <QString>

namespace velmora {

class FaxPacket;
class Job;

// What a save writes: where, in which format, and for a fax TIFF how finely.
struct SaveOrder {
    QString target;
    DocumentFormat format = DocumentFormat::Word97;
    FaxResolution resolution = FaxResolution::Fine;
};

// Whether a save in `format` holds the whole packet (the cover, then the attached documents):
// a PDF does when documents are attached, and a fax TIFF always does; a Word file holds the
// cover alone.
bool SaveHoldsPacket(DocumentFormat format, const FaxPacket& packet);

// Saves on the worker: the cover's document copied as it is (.doc), exported by the office
// (.docx, a PDF of the cover alone), or the whole packet joined as one PDF or drawn as a fax
// TIFF. The target is replaced only by a complete new file; a job given up leaves it as it was
// and nothing beside it. `done` comes on `receiver`'s thread. Returns the job's handle.
Job* SavePacket(FaxPacket& packet, const SaveOrder& order, QObject* receiver,
                OfficeJobs::Done done);

// Saves the packet as one PDF for each of `recipients` into `folder`, each behind a cover of
// its own (FaxPacket::postForEach), named after the recipient ("Ann Lee.pdf"; the number where
// there is no name; "Ann Lee (2).pdf" where the name is taken: nothing in the folder is
// replaced). `done` comes on `receiver`'s thread with the files written, also when the job
// failed or was given up part way (those written stay; none is left half written).
struct CoverRecipient;
using SavedForEach = std::function<void(std::exception_ptr failure, const QStringList& written)>;
Job* SavePacketForEach(FaxPacket& packet, const std::vector<CoverRecipient>& recipients,
                       const QString& folder, QObject* receiver, SavedForEach done);

// The name in `folder` a recipient's PDF is saved under: free, made of the recipient's name (or
// number) with what a file name cannot hold replaced.
QString RecipientPdfName(const QString& folder, const CoverRecipient& recipient);

}  // namespace velmora
