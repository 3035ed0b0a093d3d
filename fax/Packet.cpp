#include "Packet.h"

#include "ImagePages.h"
#include "PdfFiles.h"
#include "coversheet/DocumentExport.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/TempFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
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

// What the ZIP package `file` unpacks to, by its central directory (what the office reads
// it by); -1 when the directory cannot be read or uses the ZIP64 form.
qint64 UnpackedSize(QFile& file) {
    const auto u16 = [](const char* p) { return qFromLittleEndian<quint16>(p); };
    const auto u32 = [](const char* p) { return qFromLittleEndian<quint32>(p); };
    // The end record: its signature in the last 64 KB and 22 bytes, behind a comment.
    const qint64 size = file.size();
    const qint64 tailStart = std::max<qint64>(0, size - (65535 + 22));
    if (!file.seek(tailStart)) return -1;
    const QByteArray tail = file.read(size - tailStart);
    const qsizetype end = tail.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || tail.size() - end < 22) return -1;
    const char* record = tail.constData() + end;
    const quint32 entries = u16(record + 10);
    const quint32 directorySize = u32(record + 12);
    const quint32 directoryStart = u32(record + 16);
    if (entries == 0xffff || directorySize == 0xffffffff || directoryStart == 0xffffffff ||
        qint64(directoryStart) + directorySize > size)
        return -1;
    if (!file.seek(directoryStart)) return -1;
    const QByteArray directory = file.read(directorySize);
    qint64 total = 0;
    qsizetype at = 0;
    for (quint32 entry = 0; entry < entries; ++entry) {
        if (directory.size() - at < 46 || !directory.mid(at, 4).startsWith("PK\x01\x02")) return -1;
        const char* header = directory.constData() + at;
        const quint32 unpacked = u32(header + 24);
        if (unpacked == 0xffffffff || u32(header + 20) == 0xffffffff) return -1;
        total += unpacked;
        at += 46 + u16(header + 28) + u16(header + 30) + u16(header + 32);
    }
    return total;
}

// Refuses a ZIP package (.docx, .odt) that would unpack to more than kMaxUnpackedDocument.
void CheckUnpackedSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("'%1' cannot be read: %2").arg(path, file.errorString()));
    const qint64 unpacked = UnpackedSize(file);
    if (unpacked < 0)
        throw Failure(QCoreApplication::translate("velmora::Packet",
                                                  "'%1' is damaged: its contents cannot be read.")
                          .arg(path));
    if (unpacked > kMaxUnpackedDocument)
        throw Failure(
            QCoreApplication::translate("velmora::Packet",
                                        "'%1' cannot be attached: it unpacks to %2 MB, more than "
                                        "the %3 MB a document may.")
                .arg(path)
                .arg(unpacked >> 20)
                .arg(kMaxUnpackedDocument >> 20));
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
    ExportDocument(source, pdf, DocumentFormat::Pdf,
                   {.total = kOfficeAttachmentTime, .memoryBytes = kOfficeAttachmentMemory});
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
        case AttachmentKind::Picture:
            pages = WriteImagePdf(source, pdf.path());
            break;
        case AttachmentKind::OfficeDocument:
            if (const QString extension = info.suffix().toLower();
                extension == QLatin1String("docx") || extension == QLatin1String("odt"))
                CheckUnpackedSize(source);
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
                QCoreApplication::translate(
                    "velmora::Packet", "'%1' holds a picture of %2 x %3 dots, too large to attach.")
                    .arg(source)
                    .arg(image.width())
                    .arg(image.height()));
    }
    return {source, pdf.keep(), pages,
            kind == AttachmentKind::Picture ? PageKind::Picture : PageKind::Document};
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
        if (n < attachment.pages) return {attachment.pdf, n, attachment.kind};
        n -= attachment.pages;
    }
    return {};
}

std::vector<PageKind> Packet::pageKinds(int coverPages) const {
    std::vector<PageKind> kinds(size_t(std::max(0, coverPages)), PageKind::Document);
    for (const Attachment& attachment : attachments_)
        kinds.insert(kinds.end(), size_t(attachment.pages), attachment.kind);
    return kinds;
}

QStringList Packet::pdfs(const QString& coverPdf) const {
    QStringList inputs{coverPdf};
    for (const Attachment& attachment : attachments_) inputs << attachment.pdf;
    return inputs;
}

}  // namespace velmora
