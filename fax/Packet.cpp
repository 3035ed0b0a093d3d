#include "Packet.h"

#include "ImagePages.h"
#include "PdfFiles.h"
#include "coversheet/DocumentExport.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/TempFolder.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace velmora {
namespace {

// Whether the first bytes of a file fit its kind.
bool LooksLike(const QString& extension, const QByteArray& head) {
    if (extension == QLatin1String("pdf")) return head.left(1024).contains("%PDF-");
    if (extension == QLatin1String("png")) return head.startsWith("\x89PNG\r\n\x1a\n");
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        return head.startsWith("\xff\xd8\xff");
    if (extension == QLatin1String("tif") || extension == QLatin1String("tiff"))
        return head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4));
    if (extension == QLatin1String("doc")) return head.startsWith("\xd0\xcf\x11\xe0");
    if (extension == QLatin1String("docx") || extension == QLatin1String("odt"))
        return head.startsWith("PK\x03\x04");
    if (extension == QLatin1String("rtf")) return head.startsWith("{\\rtf");
    if (extension == QLatin1String("txt")) return !head.contains('\0');
    return false;
}

}  // namespace

TempPdf::TempPdf(const QString& prefix) {
    // Noted whatever it comes to hold: the PDF written at its name replaces it whole.
    NewFile file(TempFolder(), prefix, QStringLiteral(".pdf"));
    path_ = file.keep();
}

TempPdf::~TempPdf() {
    if (!kept_) RemoveFileQuietly(path_);
}

QString TempPdf::keep() {
    kept_ = true;
    return path_;
}

AttachmentKind KindOfAttachment(const QString& path) {
    const QString extension = QFileInfo(path).suffix().toLower();
    AttachmentKind kind;
    if (extension == QLatin1String("pdf"))
        kind = AttachmentKind::Pdf;
    else if (QStringList{"png", "jpg", "jpeg", "tif", "tiff"}.contains(extension))
        kind = AttachmentKind::Picture;
    else if (QStringList{"doc", "docx", "odt", "rtf", "txt"}.contains(extension))
        kind = AttachmentKind::OfficeDocument;
    else
        throw Failure(QStringLiteral("'%1' cannot be attached: only PDF files, pictures (PNG, "
                                     "JPEG, TIFF) and documents (.doc, .docx, .odt, .rtf, .txt) "
                                     "can.")
                          .arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("'%1' cannot be read: %2").arg(path, file.errorString()));
    if (!LooksLike(extension, file.read(4096)))
        throw Failure(
            QStringLiteral("'%1' is not the .%2 file its name says it is.").arg(path, extension));
    return kind;
}

void OfficeDocumentToPdf(const QString& source, const QString& pdf) {
    ExportDocument(source, pdf, DocumentFormat::Pdf);
}

Attachment PrepareAttachment(const QString& source, const OfficeToPdf& convert) {
    const QFileInfo info(source);
    if (!info.exists()) throw Failure(QStringLiteral("'%1' does not exist.").arg(source));
    if (!info.isFile()) throw Failure(QStringLiteral("'%1' is not a file.").arg(source));
    if (info.size() == 0) throw Failure(QStringLiteral("'%1' is empty.").arg(source));
    const AttachmentKind kind = KindOfAttachment(source);

    TempPdf pdf(QStringLiteral("velmora-attachment"));
    int pages = 0;
    switch (kind) {
        case AttachmentKind::Pdf:
            // Copied page by page: the packet keeps the file as it was when attached, repaired
            // where it was damaged and free of protection against changes.
            pages = JoinPdfs({source}, pdf.path());
            break;
        case AttachmentKind::Picture: {
            const std::vector<QImage> pictures = ReadImagePages(source);
            WriteImagePdf(pictures, pdf.path());
            pages = int(pictures.size());
            break;
        }
        case AttachmentKind::OfficeDocument:
            convert(source, pdf.path());
            pages = PdfPageCount(pdf.path());
            break;
    }
    if (pages <= 0) throw Failure(QStringLiteral("'%1' has no page to send.").arg(source));
    // A picture is held to the picture reader's limit when it is read; a PDF's pictures are
    // held to it here, before anything draws them.
    if (kind != AttachmentKind::Picture) {
        const QSize image = LargestPdfImage(pdf.path());
        if (qint64(image.width()) * image.height() > kMaxImagePixels)
            throw Failure(
                QStringLiteral("'%1' holds a picture of %2 x %3 dots, too large to attach.")
                    .arg(source)
                    .arg(image.width())
                    .arg(image.height()));
    }
    return {source, pdf.keep(), pages};
}

Packet::~Packet() {
    for (const Attachment& attachment : attachments_) RemoveFileQuietly(attachment.pdf);
}

void Packet::add(Attachment attachment) {
    attachments_.push_back(std::move(attachment));
}

void Packet::remove(int index) {
    if (index < 0 || index >= int(attachments_.size())) return;
    RemoveFileQuietly(attachments_[index].pdf);
    attachments_.erase(attachments_.begin() + index);
}

void Packet::move(int from, int to) {
    const int count = int(attachments_.size());
    if (from < 0 || from >= count || to < 0 || to >= count || from == to) return;
    Attachment moving = std::move(attachments_[from]);
    attachments_.erase(attachments_.begin() + from);
    attachments_.insert(attachments_.begin() + to, std::move(moving));
}

int Packet::attachedPages() const {
    int pages = 0;
    for (const Attachment& attachment : attachments_) pages += attachment.pages;
    return pages;
}

PdfPage Packet::attachedPage(int n) const {
    if (n < 0) return {};
    for (const Attachment& attachment : attachments_) {
        if (n < attachment.pages) return {attachment.pdf, n};
        n -= attachment.pages;
    }
    return {};
}

QStringList Packet::pdfs(const QString& coverPdf) const {
    QStringList inputs{coverPdf};
    for (const Attachment& attachment : attachments_) inputs << attachment.pdf;
    return inputs;
}

}  // namespace velmora
