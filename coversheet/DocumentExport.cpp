#include "DocumentExport.h"

#include "WordEngine.h"
#include "shell/AtomicFile.h"

#include <QFileInfo>
#include <iterator>
#include <memory>
#include <optional>

namespace velmora {
namespace {

// The office's part of an export: the document opened read-only, closed and the instance
// ended however the export went.
class OpenDocument {
public:
    OpenDocument(const QString& source, const OfficeWorkLimits& limits)
        : word_(CreateWordApplication()) {
        try {
            word_->limitWork(limits);
            word_->documentsOpen(source, true);
        } catch (...) {
            quit();
            throw;
        }
    }
    ~OpenDocument() {
        // The file is written or given up by now; a failure to close changes neither.
        try {
            word_->closeWithoutSaving();
        } catch (...) {
        }
        quit();
    }
    OpenDocument(const OpenDocument&) = delete;
    OpenDocument& operator=(const OpenDocument&) = delete;

    WordConnection& word() { return *word_; }

private:
    void quit() noexcept {
        try {
            word_->quit();
        } catch (...) {
        }
    }

    std::unique_ptr<WordConnection> word_;
};

}  // namespace

QString SaveFormatFilter() {
    return QStringLiteral(
        "Word Files (*.doc)|*.doc|PDF Files (*.pdf)|*.pdf|Word 2007-365 Files (*.docx)|*.docx|"
        "Fax TIFF (*.tif *.tiff)|*.tif;*.tiff");
}

namespace {

// In the order of DocumentFormat.
constexpr const char* kExtensions[] = {"doc", "pdf", "docx", "tif"};

std::optional<DocumentFormat> NamedFormat(const QString& name) {
    const QString extension = QFileInfo(name).suffix().toLower();
    if (extension == QLatin1String("tiff")) return DocumentFormat::FaxTiff;
    for (int format = 0; format < int(std::size(kExtensions)); ++format)
        if (extension == QLatin1String(kExtensions[format])) return DocumentFormat(format);
    return std::nullopt;
}

}  // namespace

DocumentFormat FormatForName(const QString& name, DocumentFormat selectedFilter) {
    return NamedFormat(name).value_or(selectedFilter);
}

QString NameWithFormatExtension(const QString& name, DocumentFormat selectedFilter) {
    if (name.isEmpty() || NamedFormat(name)) return name;
    return name + QLatin1Char('.') + QLatin1String(kExtensions[int(selectedFilter)]);
}

void ExportDocument(const QString& source, const QString& target, DocumentFormat format,
                    const OfficeWorkLimits& limits) {
    // An empty document would open as a blank page and be exported as one.
    const QFileInfo document(source);
    if (!document.isFile() || !document.isReadable() || document.size() == 0)
        throw Failure(QStringLiteral("The document '%1' is missing or empty.").arg(source));
    if (format == DocumentFormat::FaxTiff)
        throw Failure(QStringLiteral("A fax TIFF is made from the PDF, not by the office."));
    OpenDocument opened(source, limits);
    if (format == DocumentFormat::Word97)
        throw Failure(QStringLiteral("A Word 97-2003 document is copied, not exported."));
    // The office writes the new file beside the target, which it replaces once complete.
    AtomicFile file(target);
    try {
        if (format == DocumentFormat::Pdf)
            opened.word().exportAsPdf(file.path());
        else
            opened.word().saveAsDocx(file.path());
    } catch (const WordError& error) {
        // The user knows the file by the name they chose.
        throw WordError(QString::fromStdString(error.what()).replace(file.path(), target));
    }
    file.commit();
}

}  // namespace velmora
