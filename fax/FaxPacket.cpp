#include "FaxPacket.h"

#include "ImagePages.h"
#include "PdfFiles.h"
#include "coversheet/DocumentExport.h"
#include "coversheet/office/PictureText.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/Job.h"

#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace velmora {

// The documents of one attach command as the worker made them ready. Those never handed to
// the packet (the program ended first, or the command was stopped) go with the batch.
struct FaxPacket::Batch {
    QStringList files;
    std::vector<Attachment> ready;
    QStringList failures;

    Batch() = default;
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    ~Batch() {
        for (const Attachment& attachment : ready) RemoveFileQuietly(attachment.pdf);
    }
};

void WithPacketPdf(const QStringList& pdfs, const std::function<void(const QString&)>& use) {
    if (pdfs.size() == 1) return use(pdfs.front());
    const TempPdf joined(QStringLiteral("velmora-packet"));
    JoinPdfs(pdfs, joined.path());
    use(joined.path());
}

FaxPacket::FaxPacket(GenerationHost* host, QObject* parent) : QObject(parent) {
    if (host) run_ = std::make_unique<GenerationRun>(*host, *this);
}

FaxPacket::~FaxPacket() = default;

void FaxPacket::setCoverPicture(const QImage& page) {
    if (page.isNull()) throw Failure(QStringLiteral("Invalid picture"));
    forgetCoverPdf();
    coverPages_ = std::max(1, page.text(QLatin1String(kPicturePagesKey)).toInt());
    coverCounted_ = attachedPages();
    coverPicture_ = page;
    emit coverChanged();
}

void FaxPacket::setCoverDocument(const QString& documentPath) {
    // A cover made afresh replaces the one before it.
    if (!coverDocument_.isEmpty() && coverDocument_ != documentPath)
        RemoveFileQuietly(coverDocument_);
    coverDocument_ = documentPath;
    forgetCoverPdf();
}

void FaxPacket::discardCover() {
    forgetCoverPdf();
    RemoveFileQuietly(coverDocument_);
    coverDocument_.clear();
    coverPicture_ = QImage();
    coverPages_ = 1;
    coverCounted_ = 0;
}

bool FaxPacket::workingFilesGone() const {
    const auto gone = [](const QString& file) { return !QFileInfo(file).isFile(); };
    if (!coverDocument_.isEmpty() && gone(coverDocument_)) return true;
    if (coverPdfMade_ && gone(coverPdf_->path())) return true;
    for (const Attachment& attachment : documents_.attachments())
        if (gone(attachment.pdf)) return true;
    return false;
}

QString FaxPacket::recipientNumber() const {
    const RunValues* values = run_ ? run_->lastValues() : nullptr;
    if (!values) return {};
    try {
        return values->text("txtFaxFor");
    } catch (...) {
        return {};  // not read at the click: no number to offer
    }
}

QString FaxPacket::recipientName() const {
    const RunValues* values = run_ ? run_->lastValues() : nullptr;
    if (!values) return {};
    try {
        return values->text("txtFor").trimmed();
    } catch (...) {
        return {};
    }
}

QString FaxPacket::coverWords() const {
    const RunValues* values = run_ ? run_->lastValues() : nullptr;
    if (!values) return coverDocument_;
    QStringList words{QString::number(values->tab())};
    for (const char* field : {"txtFor", "txtFrom", "txtFaxFor", "txtSubj", "txtMsg", "txtCC",
                              "txtPhoneFor", "txtPhone", "txtFaxFrom", "txtOrgName"}) {
        try {
            words << values->text(field);
        } catch (...) {
            words << QString();
        }
    }
    return words.join(QChar(0x1f));
}

Job* FaxPacket::attach(const QStringList& files) {
    if (files.isEmpty()) return nullptr;
    auto batch = std::make_shared<Batch>();
    batch->files = files;
    return postBatch(batch, [batch] {
        for (const QString& file : batch->files) {
            ThrowIfJobCancelled();
            try {
                batch->ready.push_back(PrepareAttachment(file, OfficeDocumentToPdf));
            } catch (const std::exception& failure) {
                if (JobCancelled()) throw JobGivenUp();
                batch->failures << QString::fromUtf8(failure.what());
            }
        }
    });
}

QString FaxPacket::ScanName(int pages) {
    return pages == 1 ? tr("Scan, 1 page") : tr("Scan, %1 pages").arg(pages);
}

Job* FaxPacket::attachPages(std::vector<QImage> pages) {
    if (pages.empty()) return nullptr;
    const bool mono = std::all_of(pages.begin(), pages.end(),
                                  [](const QImage& page) { return page.depth() == 1; });
    const QString name = ScanName(int(pages.size()));
    auto batch = std::make_shared<Batch>();
    return postBatch(batch, [batch, pages = std::move(pages), mono, name] {
        try {
            TempPdf pdf(QStringLiteral("velmora-scan"));
            WritePagesPdf(pages, pdf.path());
            batch->ready.push_back({name, pdf.keep(), int(pages.size()),
                                    mono ? PageKind::Document : PageKind::Picture});
        } catch (const JobGivenUp&) {
            throw;
        } catch (const std::exception& failure) {
            if (JobCancelled()) throw JobGivenUp();
            batch->failures << QString::fromUtf8(failure.what());
        }
    });
}

Job* FaxPacket::postBatch(std::shared_ptr<Batch> batch, std::function<void()> work) {
    const bool wasAttaching = attaching();
    Job* job = OfficeJobs::shared().post(this, std::move(work), {});
    attachJob_ = job;
    connect(job, &Job::finished, this, [this, job, batch](std::exception_ptr) {
        if (attachJob_ == job) attachJob_.clear();
        emit attachingChanged(attaching());
        if (job->cancelled()) return;  // stopped: nothing of the batch is attached or told
        for (Attachment& attachment : batch->ready) documents_.add(std::move(attachment));
        const bool added = !batch->ready.empty();
        batch->ready.clear();
        if (added) documentsChangedUnderCover();
        if (!batch->failures.isEmpty()) emit attachFailed(batch->failures);
    });
    if (!wasAttaching) emit attachingChanged(true);
    return job;
}

void FaxPacket::remove(int index) {
    if (index < 0 || index >= count()) return;
    documents_.remove(index);
    documentsChangedUnderCover();
}

void FaxPacket::move(int from, int to) {
    if (from < 0 || from >= count() || to < 0 || to >= count() || from == to) return;
    documents_.move(from, to);
    documentsChangedUnderCover();
}

void FaxPacket::stop() {
    if (attachJob_) attachJob_->cancel();
    if (run_) run_->cancel();
}

void FaxPacket::documentsChangedUnderCover() {
    emit documentsChanged();
    // The cover counts the packet's pages: it is made again for the new count.
    if (hasCover() && attachedPages() != coverCounted_ && !coverDocument_.isEmpty() && run_)
        run_->renew();
}

PdfPage FaxPacket::page(int index) const {
    if (index >= coverPages_) return documents_.attachedPage(index - coverPages_);
    if (index < 0 || !coverPdf_) return {};
    return {coverPdf_->path(), index};
}

FaxPacket::PageOrigin FaxPacket::pageOrigin(int index) const {
    if (index < coverPages_) return {{}, index, coverPages_};
    index -= coverPages_;
    for (const Attachment& attachment : documents_.attachments()) {
        if (index < attachment.pages) return {attachment.source, index, attachment.pages};
        index -= attachment.pages;
    }
    return {};
}

Job* FaxPacket::postWithPdfs(QObject* receiver, PdfsWork work, OfficeJobs::Done done) {
    if (!coverPdf_) {
        coverPdf_ = std::make_unique<TempPdf>(QStringLiteral("velmora-cover"));
        coverPdfMade_ = false;
    }
    const QString coverPdf = coverPdf_->path();
    const bool made = coverPdfMade_;
    return OfficeJobs::shared().post(
        receiver,
        [pdfs = documents_.pdfs(coverPdf), document = coverDocument_, coverPdf, made,
         work = std::move(work)] {
            if (!made) ExportDocument(document, coverPdf, DocumentFormat::Pdf);
            if (work) work(pdfs);
        },
        [coverPdf, done = std::move(done),
         packet = QPointer<FaxPacket>(this)](std::exception_ptr failure) {
            // Made, for the cover it was made for.
            if (packet && !failure && packet->coverPdf_ && packet->coverPdf_->path() == coverPdf)
                packet->coverPdfMade_ = true;
            if (done) done(failure);
        });
}

Job* FaxPacket::makeCoverPdf(QObject* receiver, OfficeJobs::Done done) {
    return postWithPdfs(receiver, {}, std::move(done));
}

RecipientCovers FaxPacket::recipientCovers() const {
    RecipientCovers covers;
    if (run_ && run_->lastValues() && hasCover() && !coverDocument_.isEmpty()) {
        covers.values_ = *run_->lastValues();
        covers.values_->setAttachedPages(attachedPages());
    }
    covers.attached_ = documents_.pdfs({}).mid(1);
    covers.attachedKinds_ = documents_.pageKinds(0);
    return covers;
}

Job* FaxPacket::postForEach(const std::vector<CoverRecipient>& recipients, QObject* receiver,
                            RecipientCovers::EachWork work, OfficeJobs::Done done) {
    return OfficeJobs::shared().post(
        receiver,
        [covers = recipientCovers(), recipients, work = std::move(work)] {
            covers.each(recipients, work);
        },
        std::move(done));
}

void RecipientCovers::each(const std::vector<CoverRecipient>& recipients,
                           const EachWork& work) const {
    if (!values_)
        throw Failure(
            FaxPacket::tr("The cover was not made here, so it cannot be made again for "
                          "each recipient. Make it with \"Start Creating Template\"."));
    CoverWriter writer;
    const int total = int(recipients.size());
    for (int index = 0; index < total; ++index) {
        ThrowIfJobCancelled();
        const CoverRecipient& recipient = recipients[size_t(index)];
        const QString shown = recipient.name.isEmpty() ? recipient.number : recipient.name;
        if (Job* job = Job::current())
            job->reportProgress(
                index, total,
                FaxPacket::tr("Cover %1 of %2: %3").arg(index + 1).arg(total).arg(shown));
        const TempPdf cover(QStringLiteral("velmora-cover"));
        writer.write(values_->withText("txtFor", recipient.name)
                         .withText("txtFaxFor", recipient.number)
                         .withText("txtPhoneFor", recipient.phone),
                     cover.path());
        std::vector<PageKind> kinds(size_t(PdfPageCount(cover.path())), PageKind::Document);
        kinds.insert(kinds.end(), attachedKinds_.begin(), attachedKinds_.end());
        work(index, QStringList{cover.path()} + attached_, kinds);
    }
    if (Job* job = Job::current()) job->reportProgress(total, total);
}

void FaxPacket::forgetCoverPdf() {
    coverPdf_.reset();
    coverPdfMade_ = false;
}

}  // namespace velmora
