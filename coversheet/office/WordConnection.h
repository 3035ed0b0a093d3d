#pragma once

// The office engine's contract with the program: what a connection to an office instance can
// do. The office module implements it; coversheet drives it.

#include "shell/Failure.h"

#include <QImage>
#include <QString>
#include <chrono>
#include <memory>

namespace velmora {

// A failed office call. Its text is the description the caller's error report shows, so it
// names what failed (the bookmark, the file, the engine).
class WordError : public Failure {
public:
    using Failure::Failure;
};

// Bounds of their own for office work on a document the program did not write (an attachment
// of the user's): however busy the office keeps itself, it gets `total` for all the calls
// from then on, and never more than `memoryBytes` of memory. Zero: no such bound.
struct OfficeWorkLimits {
    std::chrono::milliseconds total{0};
    qint64 memoryBytes = 0;
};

// One connection to an office instance, used for one task and ended with quit(). Its
// operations are those of the word processor's automation model the program relies on;
// each is synchronous and throws WordError when it fails.
class WordConnection {
public:
    virtual ~WordConnection() = default;  // ends the instance if quit() was not called

    // Documents.Open(fileName, ReadOnly:=readOnly). The document becomes the active one.
    // Read-only opens the file itself, not an untitled copy of it.
    virtual void documentsOpen(const QString& fileName, bool readOnly) = 0;

    // ActiveDocument.Bookmarks.Item(name).Range.Text = value. The bookmark's whole range
    // takes the value, in the paragraph's own text formatting; the bookmark survives. What a
    // document's text cannot hold is stood in for: a vertical tab is a line break, any other
    // control character but tab, CR and LF a space, a non-character or a lone half of a
    // surrogate pair U+FFFD. The bookmark is read back, and a mismatch is a WordError that
    // names it.
    virtual void setBookmarkText(const QString& name, const QString& value) = 0;

    // ActiveDocument.Fields.Update
    virtual void fieldsUpdate() = 0;

    // The page-count fields show the document's own pages plus `pages` (the documents sent
    // behind it), as fixed text.
    virtual void addToPageCount(int pages) {
        throw WordError(
            QStringLiteral("This office cannot add %1 pages to the page count.").arg(pages));
    }

    // Document.SaveAs(fileName): a Word 97-2003 document.
    virtual void saveAs(const QString& fileName) = 0;

    // ActiveDocument.ExportAsFixedFormat(fileName, wdExportFormatPDF): every page of the
    // document as the office lays it out, its fonts embedded and its text selectable.
    virtual void exportAsPdf(const QString& fileName) {
        throw WordError(QStringLiteral("This office cannot export '%1' as PDF.").arg(fileName));
    }

    // ActiveDocument.SaveAs2(fileName, FileFormat:=wdFormatXMLDocument): a copy of the
    // document in the Word 2007-365 format; the active document stays the one opened.
    virtual void saveAsDocx(const QString& fileName) {
        throw WordError(QStringLiteral("This office cannot save '%1' in the Word 2007-365 format.")
                            .arg(fileName));
    }

    // Holds every later call to `limits`: past either bound the instance is ended, and the
    // call under way fails with a WordError that says which bound it went past.
    virtual void limitWork(const OfficeWorkLimits& limits) { (void)limits; }

    // Application.DisplayAlerts = value
    virtual void setDisplayAlerts(bool value) = 0;

    // Document.Close
    virtual void close() = 0;

    // ActiveDocument.Close(savechanges:=0)
    virtual void closeWithoutSaving() = 0;

    // Document.Range.CopyAsPicture: a picture of the document's first page goes to the
    // system clipboard. The same picture is returned: the clipboard is shared by every
    // program on the desktop, so the caller takes its page from here, never from there.
    // The returned picture also carries the page's text and the document's page count
    // (coversheet/office/PictureText.h), for those who cannot see it.
    virtual QImage copyAsPicture() = 0;

    // Application.Quit: the instance ends.
    virtual void quit() = 0;

    // Ends the instance at once, from any thread: a call under way fails, and so does every
    // later one. The program's way out of office work it no longer wants.
    virtual void abort() noexcept {}

    // Whether the instance still runs and can take calls; one started ahead of need is
    // checked with it before it is handed over.
    virtual bool alive() { return true; }

    // Readies an instance started ahead of need for the work to come (the office loads its
    // code for reading, saving and picturing a document), with no document left open.
    virtual void warmUp() {}
};

// The connection a step works with; a connection whose creation failed makes the step fail,
// as using an object that was never set does.
inline WordConnection& Use(const std::unique_ptr<WordConnection>& word) {
    if (!word) throw WordError(QStringLiteral("Object variable or With block variable not set"));
    return *word;
}

}  // namespace velmora
