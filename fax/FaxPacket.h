#pragma once

#include "Packet.h"
#include "coversheet/GenerationRun.h"
#include "coversheet/OfficeJobs.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velmora {

class Job;

// One of several recipients a packet goes to, each behind a cover of their own: the cover's
// "For", fax number and phone, and the number as it is dialled (empty: as on the cover).
struct CoverRecipient {
    QString name;
    QString number;
    QString phone;
    QString dialled;
};

// A packet as it goes to each of several recipients: the values of the click that made its
// cover, and the documents attached behind it, taken on the window's thread for the worker.
class RecipientCovers {
public:
    using EachWork =
        std::function<void(int index, const QStringList& pdfs, const std::vector<PageKind>& kinds)>;
    // On the worker: for each of `recipients`, in their order, a cover made from those values
    // with the recipient's name, number and phone instead (CoverWriter), and `work` called with
    // the PDFs of the packet as it goes to that recipient (that cover, then the attached
    // documents) and what each of its pages shows. The job's progress tells each cover as it is
    // made; each cover's PDF goes once `work` returns. Without a cover made by the packet's own
    // run, throws Failure with the reason before anything is made.
    void each(const std::vector<CoverRecipient>& recipients, const EachWork& work) const;

private:
    friend class FaxPacket;
    std::optional<RunValues> values_;
    QStringList attached_;  // the attached documents' PDFs
    std::vector<PageKind> attachedKinds_;
};

// One fax as it goes out: the cover sheet a run made (its document, its first page as the
// office pictured it, its own pages, the PDF of them once asked for), then the documents
// attached behind it, in their order. The windows show it and send it commands; the ways out
// (save, print, send) are jobs on its PDFs (postWithPdfs).
//
// The cover counts the pages of the whole packet. When the documents change under a cover,
// the packet has the cover made again from the values of the click that made it (its run).
// No widgets: what goes wrong is told by signal, for a window to show.
class FaxPacket : public QObject, public CoverReceiver {
    Q_OBJECT
public:
    // With a host the packet makes its covers itself (GenerationRun, "Start Creating
    // Template"); without one it takes covers given to it (tests).
    explicit FaxPacket(GenerationHost* host = nullptr, QObject* parent = nullptr);
    ~FaxPacket() override;

    // The run that makes the cover; null without a host.
    GenerationRun* coverRun() const { return run_.get(); }

    // The cover.
    bool hasCover() const { return !coverPicture_.isNull(); }
    const QImage& coverPicture() const { return coverPicture_; }
    // The cover's document in the temporary folder; empty when there is none.
    const QString& coverDocument() const { return coverDocument_; }
    int coverPages() const { return coverPages_; }
    // The cover goes: its document and PDF are removed ("< Back", closing the preview).
    void discardCover();
    // Whether a working file the packet's ways out read is gone from the temporary folder: the
    // cover's document, its PDF once made, a document's PDF.
    bool workingFilesGone() const;
    // The recipient's fax number on the sheet; empty before a cover was made.
    QString recipientNumber() const;
    // The recipient's name on the cover ("For"), as read at the click; empty before.
    QString recipientName() const;
    // The words the cover was made with, all fields in a fixed order: what tells one cover's
    // fax from another's.
    QString coverWords() const;

    // CoverReceiver: the run hands the cover over.
    int attachedPages() const override { return documents_.attachedPages(); }
    void setCoverPicture(const QImage& page) override;
    void setCoverDocument(const QString& documentPath) override;

    // The documents behind the cover.
    const Packet& documents() const { return documents_; }
    int count() const { return int(documents_.attachments().size()); }
    // Whether documents are being made ready now.
    bool attaching() const { return bool(attachJob_); }
    // Attaches `files` behind those attached already, in their order: each is made ready on
    // the worker (read, checked, its pages written as PDF; an office document converted by the
    // office). Those that fail are told together by attachFailed. Returns the job's handle;
    // cancelling it stops the batch and attaches none of it.
    Job* attach(const QStringList& files);
    // Attaches scanned `pages` behind those attached already as one document, named by
    // ScanName, its PDF written on the worker (WritePagesPdf). Pages of 1 bit a dot are a
    // document's pages for the fax's threshold, others a picture's. Returns the job's handle;
    // cancelling it attaches nothing.
    Job* attachPages(std::vector<QImage> pages);
    // "Scan, 3 pages", "Scan, 1 page": what scanned pages are called in the packet.
    static QString ScanName(int pages);
    void remove(int index);
    void move(int from, int to);

    // Stop: the packet's own work under way (documents being attached, the cover being made
    // again) is given up.
    void stop();

    // Pages of the whole packet: the cover's, then the attached.
    int pageTotal() const { return coverPages_ + attachedPages(); }
    // Page `index` of the packet, from 0, as a page of a PDF: an attached page, or a page of
    // the cover's PDF (coverPdfMade() tells whether it is written yet).
    PdfPage page(int index) const;
    // What every page of the packet shows, in order (for the fax's threshold: FaxPages).
    std::vector<PageKind> pageKinds() const { return documents_.pageKinds(coverPages_); }
    // What page `index` of the packet is to its reader: a page of the cover or of an attached
    // document, and which of that one's pages.
    struct PageOrigin {
        QString source;  // the file attached; empty for the cover
        int page = 0;    // within the cover or that document, from 0
        int pages = 0;   // the cover's or that document's
    };
    PageOrigin pageOrigin(int index) const;

    // The PDF of the cover's pages, made by the office the first time a job needs it.
    bool coverPdfMade() const { return coverPdfMade_; }
    // Posts `work` for the worker with the packet's PDFs in the order their pages go out (the
    // cover's first, written by the office first where it is not written yet); `done` comes on
    // `receiver`'s thread. Once a job has written the cover's PDF, later jobs take it as it is.
    // Returns the job's handle.
    using PdfsWork = std::function<void(const QStringList& pdfs)>;
    Job* postWithPdfs(QObject* receiver, PdfsWork work, OfficeJobs::Done done);
    // Writes the cover's PDF on the worker; `done` on `receiver`'s thread.
    Job* makeCoverPdf(QObject* receiver, OfficeJobs::Done done);
    // The packet as it goes to each of several recipients (RecipientCovers), taken now.
    RecipientCovers recipientCovers() const;
    // Posts RecipientCovers::each(recipients, work) for the worker; `done` on `receiver`'s
    // thread.
    Job* postForEach(const std::vector<CoverRecipient>& recipients, QObject* receiver,
                     RecipientCovers::EachWork work, OfficeJobs::Done done);

signals:
    // A new cover was handed over (or the cover went).
    void coverChanged();
    // A document was attached, removed or moved.
    void documentsChanged();
    void attachingChanged(bool attaching);
    // The documents of an attach command that could not be attached, each with its reason.
    void attachFailed(const QStringList& reasons);

private:
    struct Batch;
    Job* postBatch(std::shared_ptr<Batch> batch, std::function<void()> work);
    void forgetCoverPdf();
    void documentsChangedUnderCover();

    std::unique_ptr<GenerationRun> run_;
    Packet documents_;
    QPointer<Job> attachJob_;
    QImage coverPicture_;
    QString coverDocument_;
    int coverPages_ = 1;    // the cover's own pages
    int coverCounted_ = 0;  // the attached pages the cover's page count includes
    std::unique_ptr<TempPdf> coverPdf_;
    bool coverPdfMade_ = false;
};

// Calls `use` with one PDF of the packet's pages `pdfs`: the only one there is, or the pages
// joined into a working PDF that goes when `use` returns. On the worker.
void WithPacketPdf(const QStringList& pdfs, const std::function<void(const QString&)>& use);

}  // namespace velmora
