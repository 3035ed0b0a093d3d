#pragma once

#include "FaxPages.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <vector>

namespace velmora {

// A new PDF file of the program's own in the temporary folder, named `prefix`-XXXXXX.pdf,
// noted in the run's record from the moment it exists and removed with the object unless
// kept. Throws Failure when it cannot be made.
class TempPdf {
public:
    explicit TempPdf(const QString& prefix);
    ~TempPdf();
    TempPdf(const TempPdf&) = delete;
    TempPdf& operator=(const TempPdf&) = delete;

    const QString& path() const { return path_; }
    // The file stays when the object goes; its owner removes it.
    QString keep();

private:
    QString path_;
    bool kept_ = false;
};

// The documents a cover sheet covers, each as a PDF of the program's own in the temporary
// folder, in the order they go out behind the cover.
struct Attachment {
    QString source;  // the file the user chose
    QString pdf;     // its pages, made when it was attached
    int pages = 0;
    PageKind kind = PageKind::Document;  // pictures for a picture file's pages
};

// What a file is attached as, by its name's extension: PDF; a picture (PNG, JPEG, TIFF), one
// page per picture; or an office document (.doc, .docx, .odt, .rtf, .txt) the office turns
// into PDF.
enum class AttachmentKind { Pdf, Picture, OfficeDocument };

// The kind `path` is attached as. Throws Failure when the extension is none of those above, or
// when the file's first bytes show it is not what its name says.
AttachmentKind KindOfAttachment(const QString& path);

// Turns an office document into a PDF at the given path (the office's export, run as office
// work).
using OfficeToPdf = std::function<void(const QString& source, const QString& pdf)>;

// The office's export through an instance of the pool (coversheet/DocumentExport), held to
// the bounds of an attachment's conversion: a document that keeps the office busy longer, or
// makes it take more memory, is given up with a message that says so, its office ended.
inline constexpr std::chrono::seconds kOfficeAttachmentTime{120};
inline constexpr qint64 kOfficeAttachmentMemory = qint64(2) << 30;
void OfficeDocumentToPdf(const QString& source, const QString& pdf);

// A .docx or .odt is a ZIP package: the office unpacks all of it. One that would unpack to
// more than this is refused before the office sees it, as is one whose directory cannot be
// read or needs the large-file form no document needs.
inline constexpr qint64 kMaxUnpackedDocument = qint64(200) << 20;

// Makes `source`'s pages as a PDF in the temporary folder, noted in the run's record. A file
// that is missing, unreadable, empty, not what its name says, protected by a password, damaged
// or without a page, and one holding a picture of more than kMaxImagePixels (fax/ImagePages.h;
// for a PDF, its images as LargestPdfImage finds them), throws Failure with a message for the
// user, and leaves nothing behind.
// Office documents go through `convert`, so this is office work for them.
Attachment PrepareAttachment(const QString& source, const OfficeToPdf& convert);

// One page of a PDF file, counted from 0.
struct PdfPage {
    QString pdf;
    int index = 0;
    PageKind kind = PageKind::Document;
};

// The attachments of the program's run, in order. It owns their PDFs and removes them when
// they are removed from it, and when it ends.
class Packet {
public:
    Packet() = default;
    ~Packet();
    Packet(const Packet&) = delete;
    Packet& operator=(const Packet&) = delete;

    const std::vector<Attachment>& attachments() const { return attachments_; }
    void add(Attachment attachment);
    void remove(int index);
    // Moves the attachment at `from` to stand at `to`; the others keep their order.
    void move(int from, int to);

    // The pages behind the cover.
    int attachedPages() const;
    // The page `n` behind the cover, counted from 0; an empty file name past the last.
    PdfPage attachedPage(int n) const;

    // What every page of the packet shows, in the order they go out: `coverPages` of the
    // cover's, then every attachment's (for the fax's threshold, FaxPages).
    std::vector<PageKind> pageKinds(int coverPages) const;

    // The PDFs of the packet in the order their pages go out: `coverPdf`, then every
    // attachment's (JoinPdfs makes them one).
    QStringList pdfs(const QString& coverPdf) const;

private:
    std::vector<Attachment> attachments_;
};

}  // namespace velmora
